#include "commands.h"

#include "clock.h"
#include "colours.h"
#include "commandids.h"
#include "diagnostics.h"
#include "drawpass.h"
#include "files.h"
#include "format.h"
#include "messagebox.h"
#include "viewtransform.h"

namespace {

// ---- Building blocks of the table ----

template <bool QzRenderOptions::*Field>
void ToggleOption(QzRenderState& s) {
    s.options.*Field = !(s.options.*Field);
}
template <bool QzRenderOptions::*Field>
bool OptionOn(const QzRenderState& s) {
    return s.options.*Field;
}
template <bool QzRenderState::*Field>
void ToggleState(QzRenderState& s) {
    s.*Field = !(s.*Field);
}
template <bool QzRenderState::*Field>
bool StateOn(const QzRenderState& s) {
    return s.*Field;
}
template <int View>
void StandardView(QzRenderState& s) {
    s.SetStandardView(View);
}
template <int Scheme>
void ColourScheme(QzRenderState& s) {
    s.colourScheme = Scheme;
    QzSelectColourScheme(Scheme);
}
template <int Scheme>
bool SchemeChosen(const QzRenderState& s) {
    return s.colourScheme == Scheme;
}
template <int Type>
void Renderer(QzRenderState& s) {
    s.SelectRenderer(Type);
}
template <int Type>
bool RendererChosen(const QzRenderState& s) {
    return s.rendererType == Type;
}

// ---- Commands that do more than turn a switch over ----

// Seams leave room between parts: lines and optional lines would only clutter the gaps.
void Seams(QzRenderState& s) {
    QzRenderOptions& o = s.options;
    o.seams = !o.seams;
    o.showType2 = !o.seams;
    o.showType3 = true;
    o.showType4 = true;
    o.showType5 = !o.seams;
}

// Drawing part by part only pays with studs drawn in their turn.
void RefreshEachPart(QzRenderState& s) {
    QzRenderOptions& o = s.options;
    o.refreshEachPart = !o.refreshEachPart;
    o.studsLast = !o.refreshEachPart;
}

void VertexLists(QzRenderState& s) {
    s.options.vertexLists = !s.options.vertexLists;
    if (s.options.vertexLists) BuildVertexLists();
}

void NormalColours(QzRenderState& s) { SetRandomColours(s, false); }
bool NormalColoursChosen(const QzRenderState& s) { return !s.options.randomColours; }

// Every choice gives new colours: the second assignment is seeded anew.
void RandomColours(QzRenderState& s) {
    SetRandomColours(s, true);
    SetRandomColours(s, true);
}

void Logging(QzRenderState&) {
    const std::string date = plat::DateText() + "\n";
    if (QzDebugEnabled) {
        QzDebugLog("Qz logging disabled %s", date.c_str());
        QzDebugEnabled = false;
    } else {
        QzDebugEnabled = true;
        QzDebugLog("Qz logging enabled %s---------------------\n", date.c_str());
    }
}
bool LoggingOn(const QzRenderState&) { return QzDebugEnabled; }

void RefreshDisplay(QzRenderState&) {
    plat::ShowMessage("Refresh: needs implementation...", plat::MessageKind::Exclamation);
}

constexpr const char* kLoggingPrompt = "Log debug info to file (%s)";

}  // namespace

// clang-format off
const QzCommand QzCommands[] = {
    // File menu.
    {ID_FILE_OPEN, "&Open...\tCtrl+O", "Open an existing model\nOpen", nullptr, nullptr, nullptr, -1},
    {ID_POLL_ACTIVATE, "Po&ll, activate", "Poll model file, reload and activate if changed", nullptr, nullptr, nullptr, -1},
    {ID_POLL_SILENT, "&Poll, silent update", "Poll model file, reload in background if changed", nullptr, nullptr, nullptr, -1},
    {ID_POLL_ASK, "&Ask on activate", "Whenever application is activated, check for changes and prompt for reload", nullptr, nullptr, nullptr, -1},
    {ID_POLL_OFF, "&Manual reload", "No timestamp checking at all", nullptr, nullptr, nullptr, -1},
    {ID_RELOAD, "&Reload model\tF5", "Reload the model", nullptr, nullptr, nullptr, -1},
    {ID_CACHE_SUBFILES, "&Cache subfiles", "Turn off to force reload of all subfiles on model load", nullptr, nullptr, nullptr, -1},
    {ID_FILE_STATISTICS, "S&tatistics...\tCtrl+Enter", "Open a window showing various statistics", nullptr, nullptr, nullptr, -1},
    {ID_REGISTER_BOTH, ".dat &and .mpd", "Register both .dat and .mpd", nullptr, nullptr, nullptr, -1},
    {ID_REGISTER_DAT, ".&dat only", "Register only .dat", nullptr, nullptr, nullptr, -1},
    {ID_REGISTER_MPD, ".&mpd only", "Register only .mpd", nullptr, nullptr, nullptr, -1},
    {ID_WRITE_POV, "Write POV file...", "Write the current drawing as a POV scene", nullptr, nullptr, nullptr, -1},
    {ID_APP_EXIT, "E&xit", "Quit Zarvel\nExit", nullptr, nullptr, nullptr, -1},

    // Edit menu.
    {ID_EDIT_UNDO, "&Undo\tCtrl+Z", "Undo the last action\nUndo", nullptr, nullptr, nullptr, -1},
    {ID_EDIT_CUT, "Cu&t\tCtrl+X", "Cut the selection and put it on the clipboard\nCut", nullptr, nullptr, nullptr, -1},
    {ID_EDIT_COPY, "&Copy\tCtrl+C", "Copy the selection and put it on the clipboard\nCopy", nullptr, nullptr, nullptr, -1},
    {ID_EDIT_PASTE, "&Paste\tCtrl+V", "Insert the clipboard's contents\nPaste", nullptr, nullptr, nullptr, -1},
    {ID_SET_LDRAW_DIR, "&Set LDrawDir...", "Specify or change the LDRAWDIR, the directory containing MODELS, PARTS and P", nullptr, nullptr, nullptr, -1},

    // View menu.
    {ID_VIEW_TOOLBAR, "&Toolbar", "Show or hide the toolbar\nToggle ToolBar", nullptr, nullptr, nullptr, -1},
    {ID_VIEW_STATUS_BAR, "&Status Bar", "Show or hide the status bar\nToggle StatusBar", nullptr, nullptr, nullptr, -1},
    {ID_TREE_VIEW, "Tree &View...", "Show the model and parts in a tree view", nullptr, nullptr, nullptr, -1},
    {ID_ZOOM, "&Zoom...", "Set zoom factor", nullptr, nullptr, nullptr, -1},
    {ID_BFC, "B&FC", "Enable Back Face Culling", ToggleOption<&QzRenderOptions::bfc>, OptionOn<&QzRenderOptions::bfc>, "bfc", -1},
    {ID_SHADING, "S&hading", "Turn shading on or off\nShading", ToggleOption<&QzRenderOptions::shading>, OptionOn<&QzRenderOptions::shading>, "shading", -1},
    {ID_SEAMS, "Sea&ms", "Show seam (gap) between parts\nSeams", Seams, OptionOn<&QzRenderOptions::seams>, "seams", -1},
    {ID_STUDS_LAST, "St&uds Last", "Draw all studs at the end for faster redraw", ToggleOption<&QzRenderOptions::studsLast>, OptionOn<&QzRenderOptions::studsLast>, "studsLast", -1},
    {ID_REFRESH_EACH_PART, "Refr&esh after each part", "Update display after each part rather than after drawing entire model in memory", RefreshEachPart, OptionOn<&QzRenderOptions::refreshEachPart>, "refreshEachPart", -1},
    {ID_LINE_AS_STUD, "&Line As Stud", "Just draw a line for each stud (centerline of cylinder) for faster redraw", ToggleOption<&QzRenderOptions::lineAsStud>, OptionOn<&QzRenderOptions::lineAsStud>, "lineAsStud", -1},
    {ID_VERTEX_LISTS, "Verte&x lists", "NOT IMPLEMENTED YET", VertexLists, OptionOn<&QzRenderOptions::vertexLists>, "vertexLists", -1},
    {ID_SHOW_TYPE2, "Show Line Type &2", "Line type 2 (lines) are drawn", ToggleOption<&QzRenderOptions::showType2>, OptionOn<&QzRenderOptions::showType2>, "showType2", -1},
    {ID_SHOW_TYPE3, "Show Line Type &3", "Line type 3 (triangles) are drawn", ToggleOption<&QzRenderOptions::showType3>, OptionOn<&QzRenderOptions::showType3>, "showType3", -1},
    {ID_SHOW_TYPE4, "Show Line Type &4", "Line type 4 (quadrilaterals) are drawn", ToggleOption<&QzRenderOptions::showType4>, OptionOn<&QzRenderOptions::showType4>, "showType4", -1},
    {ID_SHOW_TYPE5, "Show Line Type &5", "Line type 5 (optional lines) are drawn", ToggleOption<&QzRenderOptions::showType5>, OptionOn<&QzRenderOptions::showType5>, "showType5", -1},
    {ID_EDGES_TYPE3, "Show Edges for LT3", "Edges for Line type 3 (triangles) are drawn", ToggleOption<&QzRenderOptions::edgesType3>, OptionOn<&QzRenderOptions::edgesType3>, "edgesType3", -1},
    {ID_EDGES_TYPE4, "Show Edges for LT4", "Edges for Line type 4 (quadrilaterals) are drawn", ToggleOption<&QzRenderOptions::edgesType4>, OptionOn<&QzRenderOptions::edgesType4>, "edgesType4", -1},
    {ID_SHOW_ALL_TYPE5, "Show ALL Line Type 5", "Line type 5 (optional lines) are drawn unconditionally", ToggleOption<&QzRenderOptions::showAllType5>, OptionOn<&QzRenderOptions::showAllType5>, "showAllType5", -1},
    {ID_COLOUR24_BLACK, "Color 24 as black", "Show color 24 lines as black", ToggleOption<&QzRenderOptions::colour24Black>, OptionOn<&QzRenderOptions::colour24Black>, "colour24Black", -1},
    {ID_SHOW_MODEL_BOX, "Show Model &BBox", "Show Model's Bounding Box", ToggleState<&QzRenderState::showModelBox>, StateOn<&QzRenderState::showModelBox>, "showModelBox", -1},
    {ID_SHOW_AXES, "Show &Axes", "Show axes, x: blue, y: green, z: red", ToggleState<&QzRenderState::showAxes>, StateOn<&QzRenderState::showAxes>, "showAxes", -1},
    {ID_NORMAL_COLOURS, "&Normal Colors", "Use original colors of all lines of the part/model\nNormal Colors", NormalColours, NormalColoursChosen, "randomColours", 0},
    {ID_RANDOM_COLOURS, "&Random Colors", "Randomize colors for all lines of the part/model\nRandom Colors", RandomColours, OptionOn<&QzRenderOptions::randomColours>, "randomColours", 1},
    {QzSchemeIds[0], QzSchemeMenuTexts[0], QzSchemePrompts[0], ColourScheme<0>, SchemeChosen<0>, nullptr, -1},
    {QzSchemeIds[1], QzSchemeMenuTexts[1], QzSchemePrompts[1], ColourScheme<1>, SchemeChosen<1>, nullptr, -1},
    {QzSchemeIds[2], QzSchemeMenuTexts[2], QzSchemePrompts[2], ColourScheme<2>, SchemeChosen<2>, nullptr, -1},
    {QzSchemeIds[3], QzSchemeMenuTexts[3], QzSchemePrompts[3], ColourScheme<3>, SchemeChosen<3>, nullptr, -1},
    {ID_ALL_TRANSPARENT, "Show all colors as trans&parent", "Show all colors as transparent (useful when viewing parts)\nTransparent Colors (useful when viewing parts)", ToggleOption<&QzRenderOptions::allTransparent>, OptionOn<&QzRenderOptions::allTransparent>, "allTransparent", -1},
    {ID_DITHER_TRANSPARENCY, "&Dither transparency", "Toggles dithering/blending for transparent colors\nDither or blend transparent colors", ToggleOption<&QzRenderOptions::ditherTransparency>, OptionOn<&QzRenderOptions::ditherTransparency>, "ditherTransparency", -1},

    // Toolbar only.
    {ID_DITHER_256, nullptr, "Toggles dithering/blending for colors 256-511\nDither or blend colors 256-511", ToggleOption<&QzRenderOptions::dither256>, OptionOn<&QzRenderOptions::dither256>, "dither256", -1},
    {ID_AUTO_ZOOM, nullptr, "Toggle Auto Zoom on/off\nAuto Zoom", nullptr, nullptr, nullptr, -1},
    {ID_TOOLBAR_32816, nullptr, nullptr, nullptr, nullptr, nullptr, -1},
    {ID_TOOLBAR_32852, nullptr, nullptr, nullptr, nullptr, nullptr, -1},
    {ID_TOOLBAR_32853, nullptr, nullptr, nullptr, nullptr, nullptr, -1},
    {QzStandardViewIds[0], nullptr, "View from Front-Upper-Right (LDraw 3D)\nFront-Upper-Right (LDraw 3D)", StandardView<0>, nullptr, nullptr, -1},
    {QzStandardViewIds[1], nullptr, "View from Front-Upper-Right\nFront-Upper-Right", StandardView<1>, nullptr, nullptr, -1},
    {QzStandardViewIds[2], nullptr, "View from Back-Upper-Right\nBack-Upper-Right", StandardView<2>, nullptr, nullptr, -1},
    {QzStandardViewIds[3], nullptr, "View from Back-Upper-Left\nBack-Upper-Left", StandardView<3>, nullptr, nullptr, -1},
    {QzStandardViewIds[4], nullptr, "View from Front-Upper-Left\nFront-Upper-Left", StandardView<4>, nullptr, nullptr, -1},
    {QzStandardViewIds[5], nullptr, "View from Front-Lower-Right\nFront-Lower-Right", StandardView<5>, nullptr, nullptr, -1},
    {QzStandardViewIds[6], nullptr, "View from Back-Lower-Right\nBack-Lower-Right", StandardView<6>, nullptr, nullptr, -1},
    {QzStandardViewIds[7], nullptr, "View from Back-Lower-Left\nBack-Lower-Left", StandardView<7>, nullptr, nullptr, -1},
    {QzStandardViewIds[8], nullptr, "View from Front-Lower-Left\nFront-Lower-Left", StandardView<8>, nullptr, nullptr, -1},
    {QzStandardViewIds[9], nullptr, "View from Front\nFront", StandardView<9>, nullptr, nullptr, -1},
    {QzStandardViewIds[10], nullptr, "View from Right\nRight", StandardView<10>, nullptr, nullptr, -1},
    {QzStandardViewIds[11], nullptr, "View from Back\nBack", StandardView<11>, nullptr, nullptr, -1},
    {QzStandardViewIds[12], nullptr, "View from Left\nLeft", StandardView<12>, nullptr, nullptr, -1},
    {QzStandardViewIds[13], nullptr, "View from Over\nOver", StandardView<13>, nullptr, nullptr, -1},
    {QzStandardViewIds[14], nullptr, "View from Under\nUnder", StandardView<14>, nullptr, nullptr, -1},

    // Test menu.
    {ID_STATISTICS, "S&tatistics...", "Show some statistics", nullptr, nullptr, nullptr, -1},
    {ID_TIME_CALCULATIONS, "&Add timing of calculations", nullptr, ToggleState<&QzRenderState::timeCalculations>, StateOn<&QzRenderState::timeCalculations>, "timeCalculations", -1},
    {ID_LOGGING, "&Logging", kLoggingPrompt, Logging, LoggingOn, nullptr, -1},
    {ID_RENDERER_FIRST, "&1 LDLlite engine", "Use render routines from LDLite", Renderer<1>, RendererChosen<1>, nullptr, -1},
    {ID_RENDERER_FIRST + 1, "&2 Orv engine int", "Use the renderer with integer coordinates", Renderer<2>, RendererChosen<2>, nullptr, -1},
    {ID_RENDERER_FIRST + 2, "&3 Orv renderer float", "Use the renderer with floating-point coordinates and depth", Renderer<3>, RendererChosen<3>, nullptr, -1},
    {ID_MYTEST5, "mytest&5", "xx", ToggleOption<&QzRenderOptions::mytest5>, OptionOn<&QzRenderOptions::mytest5>, "mytest5", -1},
    {ID_MYTEST6, "mytest&6", "xx", ToggleOption<&QzRenderOptions::mytest6>, OptionOn<&QzRenderOptions::mytest6>, "mytest6", -1},
    {ID_REFRESH_DISPLAY, "Refresh display", "Copy DIB to display", RefreshDisplay, nullptr, nullptr, -1},
    {ID_BACKGROUND_IMAGE, "Load &background image", "Load a background image (*.bmp)", nullptr, nullptr, nullptr, -1},

    // Help menu.
    {ID_WEB_ZARVEL, "&Zarvel on the Internet...", "Launch your Internet Browser with Zarvel's homepage", nullptr, nullptr, nullptr, -1},
    {ID_WEB_TOLPIX, "&Tolpix on the Internet...", "Launch your Internet Browser with Tolpix's homepage", nullptr, nullptr, nullptr, -1},
    {ID_APP_ABOUT, "&About Zarvel...", "Display program information, version number and copyright\nAbout", nullptr, nullptr, nullptr, -1},
};
// clang-format on

const int QzCommandCount = static_cast<int>(sizeof(QzCommands) / sizeof(QzCommands[0]));

const QzCommand* QzFindCommand(int id) {
    for (const QzCommand& c : QzCommands)
        if (c.id == id) return &c;
    return nullptr;
}

std::string QzCommandPrompt(const QzCommand& command) {
    if (!command.prompt) return {};
    // The debug log is a file of this machine's temporary folder.
    if (command.prompt == kLoggingPrompt)
        return plat::Format(kLoggingPrompt, plat::DebugLogPath().c_str());
    return command.prompt;
}

std::string QzPromptStatusTip(const QzCommand& command) {
    const std::string prompt = QzCommandPrompt(command);
    return prompt.substr(0, prompt.find('\n'));
}

std::string QzPromptToolTip(const QzCommand& command) {
    const std::string prompt = QzCommandPrompt(command);
    const size_t newline = prompt.find('\n');
    return newline == std::string::npos ? std::string() : prompt.substr(newline + 1);
}

bool QzIsOption(std::string_view name) {
    for (const QzCommand& c : QzCommands)
        if (c.option && name == c.option) return true;
    return false;
}

bool QzSetOption(QzRenderState& state, std::string_view name, bool on) {
    bool found = false;
    for (const QzCommand& c : QzCommands) {
        if (!c.option || name != c.option) continue;
        found = true;
        if (c.optionSets < 0) {
            if (c.checked(state) != on) c.apply(state);
        } else if ((c.optionSets == 1) == on) {
            c.apply(state);
        }
    }
    return found;
}
