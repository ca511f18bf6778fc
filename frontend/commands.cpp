#include "commands.h"

#include <algorithm>
#include <array>

#include "clock.h"
#include "colours.h"
#include "diagnostics.h"
#include "files.h"
#include "format.h"
#include "messagebox.h"
#include "model.h"
#include "sections.h"
#include "steps.h"
#include "vertexlists.h"
#include "viewtransform.h"

namespace {

// ---- Building blocks of the table ----

template <bool QzRenderOptions::*Field>
void ToggleOption(QzCommandTarget& t) {
    QzRenderOptions& o = t.State().options;
    o.*Field = !(o.*Field);
}
template <bool QzRenderOptions::*Field>
bool OptionOn(QzCommandTarget& t) {
    return t.State().options.*Field;
}
template <bool QzRenderState::*Field>
void ToggleState(QzCommandTarget& t) {
    QzRenderState& s = t.State();
    s.*Field = !(s.*Field);
}
template <bool QzRenderState::*Field>
bool StateOn(QzCommandTarget& t) {
    return t.State().*Field;
}
template <int View>
void StandardView(QzCommandTarget& t) {
    t.State().SetStandardView(View);
}
template <int Scheme>
void ColourScheme(QzCommandTarget& t) {
    QzSelectColourScheme(t.State().palette, Scheme);
}
template <int Scheme>
bool SchemeChosen(QzCommandTarget& t) {
    return t.State().palette.scheme == Scheme;
}
template <int Type>
void Renderer(QzCommandTarget& t) {
    t.State().SelectRenderer(Type);
}
template <int Type>
bool RendererChosen(QzCommandTarget& t) {
    return t.State().rendererType == Type;
}
template <QzCmd Mode>
bool PollModeIs(QzCommandTarget& t) {
    return t.PollMode() == Mode;
}

// ---- Commands that do more than turn a switch over ----

// Seams leave room between parts: lines and optional lines would only clutter the gaps.
void Seams(QzCommandTarget& t) {
    QzRenderOptions& o = t.State().options;
    o.seams = !o.seams;
    o.showType2 = !o.seams;
    o.showType3 = true;
    o.showType4 = true;
    o.showType5 = !o.seams;
}

// The drawing mode is the user's choice across sessions: the program keeps it.
void HighQuality(QzCommandTarget& t) {
    QzRenderOptions& o = t.State().options;
    o.highQuality = !o.highQuality;
    t.RememberHighQuality(o.highQuality);
}

// Drawing part by part only pays with studs drawn in their turn.
void RefreshEachPart(QzCommandTarget& t) {
    QzRenderOptions& o = t.State().options;
    o.refreshEachPart = !o.refreshEachPart;
    o.studsLast = !o.refreshEachPart;
}

void VertexLists(QzCommandTarget& t) {
    QzRenderOptions& o = t.State().options;
    o.vertexLists = !o.vertexLists;
    if (o.vertexLists) BuildVertexLists(t.Model());
}

void NormalColours(QzCommandTarget& t) { t.State().options.randomColours = false; }
bool NormalColoursChosen(QzCommandTarget& t) { return !t.State().options.randomColours; }

// Every choice gives new colours: the second assignment is seeded anew.
void RandomColours(QzCommandTarget& t) {
    t.State().options.randomColours = true;
    QzAssignRandomColours(t.Model());
    QzAssignRandomColours(t.Model());
}

void Logging(QzCommandTarget&) {
    const std::string date = plat::DateText() + "\n";
    if (QzDebugEnabled) {
        QzDebugLog("Qz logging disabled %s", date.c_str());
        QzDebugEnabled = false;
    } else {
        QzDebugEnabled = true;
        QzDebugLog("Qz logging enabled %s---------------------\n", date.c_str());
    }
}
bool LoggingOn(QzCommandTarget&) { return QzDebugEnabled; }

void RefreshDisplay(QzCommandTarget&) {
    plat::ShowMessage("Refresh: needs implementation...", plat::MessageKind::Exclamation);
}

// Building steps: the first, one back, one on, the last.
enum class StepMove { First, Previous, Next, Last };
template <StepMove Move>
void GoToStep(QzCommandTarget& t) {
    const QzModel& model = t.Model();
    if (!model.Loaded()) return;
    const QzStepPosition at = QzShownStep(t.State(), model);
    const int step = Move == StepMove::First      ? 1
                     : Move == StepMove::Previous ? at.step - 1
                     : Move == StepMove::Next     ? at.step + 1
                                                  : at.count;
    QzShowStep(t.State(), model, step);
}

constexpr const char* kLoggingPrompt = "Log debug info to file (%s)";

// clang-format off
constexpr QzCommand kCommands[] = {
    {QzCmd::FileOpen, 57601, "&Open...", "Ctrl+O", "Open an existing model", "Open", QzCommandKind::Program, [](QzCommandTarget& t) { t.OpenFile(); }, nullptr, nullptr, -1},
    {QzCmd::PollActivate, 32864, "Po&ll, activate", nullptr, "Poll model file, reload and activate if changed", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.SetPollMode(QzCmd::PollActivate); }, PollModeIs<QzCmd::PollActivate>, nullptr, -1},
    {QzCmd::PollSilent, 32868, "&Poll, silent update", nullptr, "Poll model file, reload in background if changed", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.SetPollMode(QzCmd::PollSilent); }, PollModeIs<QzCmd::PollSilent>, nullptr, -1},
    {QzCmd::PollAsk, 32865, "&Ask on activate", nullptr, "Whenever application is activated, check for changes and prompt for reload", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.SetPollMode(QzCmd::PollAsk); }, PollModeIs<QzCmd::PollAsk>, nullptr, -1},
    {QzCmd::PollOff, 32866, "&Manual reload", nullptr, "No timestamp checking at all", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.SetPollMode(QzCmd::PollOff); }, PollModeIs<QzCmd::PollOff>, nullptr, -1},
    {QzCmd::Reload, 32867, "&Reload model", "F5", "Reload the model", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.Reload(); }, nullptr, nullptr, -1},
    {QzCmd::CacheSubfiles, 32854, "&Cache subfiles", nullptr, "Turn off to force reload of all subfiles on model load", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.ToggleCacheSubfiles(); }, [](QzCommandTarget& t) { return t.CachesSubfiles(); }, nullptr, -1},
    {QzCmd::FileStatistics, 32806, "S&tatistics...", "Ctrl+Enter", "Open a window showing various statistics", nullptr, QzCommandKind::Program, nullptr, nullptr, nullptr, -1},
    {QzCmd::RegisterBoth, 32840, ".dat &and .mpd", nullptr, "Register both .dat and .mpd", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.RegisterFileTypes(true, true); }, nullptr, nullptr, -1},
    {QzCmd::RegisterDat, 32841, ".&dat only", nullptr, "Register only .dat", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.RegisterFileTypes(true, false); }, nullptr, nullptr, -1},
    {QzCmd::RegisterMpd, 32842, ".&mpd only", nullptr, "Register only .mpd", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.RegisterFileTypes(false, true); }, nullptr, nullptr, -1},
    {QzCmd::WritePov, 32776, "Write POV file...", nullptr, "Write the current drawing as a POV scene", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.WritePovFile(); }, nullptr, nullptr, -1},
    {QzCmd::Export, 32880, "&Export...", nullptr, "Export the model as glTF, STL or OBJ for other programs, as far as the step shown", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.ExportModel(); }, nullptr, nullptr, -1},
    {QzCmd::SavePicture, 32875, "Save Picture...", nullptr, "Save the picture of the view as a PNG file", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.SavePicture(); }, nullptr, nullptr, -1},
    {QzCmd::WriteInstructions, 32879, "Write &Instructions...", nullptr, "Write the model's building instructions as a web page with a picture of every step", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.WriteInstructions(); }, nullptr, nullptr, -1},
    {QzCmd::AppExit, 57665, "E&xit", nullptr, "Quit Zarvel", "Exit", QzCommandKind::Program, [](QzCommandTarget& t) { t.Exit(); }, nullptr, nullptr, -1},
    {QzCmd::EditUndo, 57643, "&Undo", "Ctrl+Z", "Undo the last action", "Undo", QzCommandKind::Program, nullptr, nullptr, nullptr, -1},
    {QzCmd::EditCut, 57635, "Cu&t", "Ctrl+X", "Cut the selection and put it on the clipboard", "Cut", QzCommandKind::Program, nullptr, nullptr, nullptr, -1},
    {QzCmd::EditCopy, 57634, "&Copy", "Ctrl+C", "Copy the selection and put it on the clipboard", "Copy", QzCommandKind::Program, nullptr, nullptr, nullptr, -1},
    {QzCmd::EditPaste, 57637, "&Paste", "Ctrl+V", "Insert the clipboard's contents", "Paste", QzCommandKind::Program, nullptr, nullptr, nullptr, -1},
    {QzCmd::SetLDrawDir, 32812, "&Set LDrawDir...", nullptr, "Specify or change the LDRAWDIR, the directory containing MODELS, PARTS and P", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.SetLDrawDir(); }, nullptr, nullptr, -1},
    {QzCmd::ViewToolbar, 59392, "&Toolbar", nullptr, "Show or hide the toolbar", "Toggle ToolBar", QzCommandKind::Program, [](QzCommandTarget& t) { t.ToggleToolbar(); }, [](QzCommandTarget& t) { return t.ToolbarShown(); }, nullptr, -1},
    {QzCmd::ViewStatusBar, 59393, "&Status Bar", nullptr, "Show or hide the status bar", "Toggle StatusBar", QzCommandKind::Program, [](QzCommandTarget& t) { t.ToggleStatusBar(); }, [](QzCommandTarget& t) { return t.StatusBarShown(); }, nullptr, -1},
    {QzCmd::TreeView, 32811, "Tree &View...", nullptr, "Show the model and parts in a tree view", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.ShowTreeView(); }, nullptr, nullptr, -1},
    {QzCmd::PartsList, 32874, "Parts List...", nullptr, "List the parts of the model with their colours and quantities", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.ShowPartsList(); }, nullptr, nullptr, -1},
    {QzCmd::Zoom, 32794, "&Zoom...", nullptr, "Set zoom factor", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.ShowZoom(); }, nullptr, nullptr, -1},
    {QzCmd::Bfc, 32863, "B&FC", nullptr, "Enable Back Face Culling", nullptr, QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::bfc>, OptionOn<&QzRenderOptions::bfc>, "bfc", -1},
    {QzCmd::Shading, 32813, "S&hading", nullptr, "Turn shading on or off", "Shading", QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::shading>, OptionOn<&QzRenderOptions::shading>, "shading", -1},
    {QzCmd::HighQuality, 32876, "High &Quality", nullptr, "Draw the full picture anti-aliased, lit and with blended transparency (slower)", "High Quality", QzCommandKind::Drawing, HighQuality, OptionOn<&QzRenderOptions::highQuality>, nullptr, -1},
    {QzCmd::Seams, 32856, "Sea&ms", nullptr, "Show seam (gap) between parts", "Seams", QzCommandKind::Drawing, Seams, OptionOn<&QzRenderOptions::seams>, "seams", -1},
    {QzCmd::StudsLast, 32820, "St&uds Last", nullptr, "Draw all studs at the end for faster redraw", nullptr, QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::studsLast>, OptionOn<&QzRenderOptions::studsLast>, "studsLast", -1},
    {QzCmd::RefreshEachPart, 32821, "Refr&esh after each part", nullptr, "Update display after each part rather than after drawing entire model in memory", nullptr, QzCommandKind::Drawing, RefreshEachPart, OptionOn<&QzRenderOptions::refreshEachPart>, "refreshEachPart", -1},
    {QzCmd::LineAsStud, 32815, "&Line As Stud", nullptr, "Just draw a line for each stud (centerline of cylinder) for faster redraw", nullptr, QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::lineAsStud>, OptionOn<&QzRenderOptions::lineAsStud>, "lineAsStud", -1},
    {QzCmd::VertexLists, 32846, "Verte&x lists", nullptr, "Transform each distinct vertex of a part once, from the part's vertex list", nullptr, QzCommandKind::Drawing, VertexLists, OptionOn<&QzRenderOptions::vertexLists>, "vertexLists", -1},
    {QzCmd::ShowType2, 32771, "Show Line Type &2", nullptr, "Line type 2 (lines) are drawn", nullptr, QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::showType2>, OptionOn<&QzRenderOptions::showType2>, "showType2", -1},
    {QzCmd::ShowType3, 32772, "Show Line Type &3", nullptr, "Line type 3 (triangles) are drawn", nullptr, QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::showType3>, OptionOn<&QzRenderOptions::showType3>, "showType3", -1},
    {QzCmd::ShowType4, 32773, "Show Line Type &4", nullptr, "Line type 4 (quadrilaterals) are drawn", nullptr, QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::showType4>, OptionOn<&QzRenderOptions::showType4>, "showType4", -1},
    {QzCmd::ShowType5, 32774, "Show Line Type &5", nullptr, "Line type 5 (optional lines) are drawn", nullptr, QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::showType5>, OptionOn<&QzRenderOptions::showType5>, "showType5", -1},
    {QzCmd::EdgesType3, 32803, "Show Edges for LT3", nullptr, "Edges for Line type 3 (triangles) are drawn", nullptr, QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::edgesType3>, OptionOn<&QzRenderOptions::edgesType3>, "edgesType3", -1},
    {QzCmd::EdgesType4, 32804, "Show Edges for LT4", nullptr, "Edges for Line type 4 (quadrilaterals) are drawn", nullptr, QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::edgesType4>, OptionOn<&QzRenderOptions::edgesType4>, "edgesType4", -1},
    {QzCmd::ShowAllType5, 32836, "Show ALL Line Type 5", nullptr, "Line type 5 (optional lines) are drawn unconditionally", nullptr, QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::showAllType5>, OptionOn<&QzRenderOptions::showAllType5>, "showAllType5", -1},
    {QzCmd::Colour24Black, 32837, "Color 24 as black", nullptr, "Show color 24 lines as black", nullptr, QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::colour24Black>, OptionOn<&QzRenderOptions::colour24Black>, "colour24Black", -1},
    {QzCmd::ShowModelBox, 32839, "Show Model &BBox", nullptr, "Show Model's Bounding Box", nullptr, QzCommandKind::Drawing, ToggleState<&QzRenderState::showModelBox>, StateOn<&QzRenderState::showModelBox>, "showModelBox", -1},
    {QzCmd::ShowAxes, 32843, "Show &Axes", nullptr, "Show axes, x: blue, y: green, z: red", nullptr, QzCommandKind::Drawing, ToggleState<&QzRenderState::showAxes>, StateOn<&QzRenderState::showAxes>, "showAxes", -1},
    {QzCmd::NormalColours, 32825, "&Normal Colors", nullptr, "Use original colors of all lines of the part/model", "Normal Colors", QzCommandKind::Drawing, NormalColours, NormalColoursChosen, "randomColours", 0},
    {QzCmd::RandomColours, 32826, "&Random Colors", nullptr, "Randomize colors for all lines of the part/model", "Random Colors", QzCommandKind::Drawing, RandomColours, OptionOn<&QzRenderOptions::randomColours>, "randomColours", 1},
    {QzCmd::Scheme0, 32860, QzSchemeMenuTexts[0], nullptr, QzSchemePrompts[0], nullptr, QzCommandKind::Drawing, ColourScheme<0>, SchemeChosen<0>, nullptr, -1},
    {QzCmd::Scheme1, 32861, QzSchemeMenuTexts[1], nullptr, QzSchemePrompts[1], nullptr, QzCommandKind::Drawing, ColourScheme<1>, SchemeChosen<1>, nullptr, -1},
    {QzCmd::Scheme2, 32862, QzSchemeMenuTexts[2], nullptr, QzSchemePrompts[2], nullptr, QzCommandKind::Drawing, ColourScheme<2>, SchemeChosen<2>, nullptr, -1},
    {QzCmd::Scheme3, 32869, QzSchemeMenuTexts[3], nullptr, QzSchemePrompts[3], nullptr, QzCommandKind::Drawing, ColourScheme<3>, SchemeChosen<3>, nullptr, -1},
    {QzCmd::AllTransparent, 32851, "Show all colors as trans&parent", nullptr, "Show all colors as transparent (useful when viewing parts)", "Transparent Colors (useful when viewing parts)", QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::allTransparent>, OptionOn<&QzRenderOptions::allTransparent>, "allTransparent", -1},
    {QzCmd::DitherTransparency, 32850, "&Dither transparency", nullptr, "Toggles dithering/blending for transparent colors", "Dither or blend transparent colors", QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::ditherTransparency>, OptionOn<&QzRenderOptions::ditherTransparency>, "ditherTransparency", -1},
    {QzCmd::FirstStep, 32870, "First Step", "Home", "Show the first building step", "First Step", QzCommandKind::Drawing, GoToStep<StepMove::First>, nullptr, nullptr, -1},
    {QzCmd::PreviousStep, 32871, "Previous Step", "PgUp", "Show the previous building step", "Previous Step", QzCommandKind::Drawing, GoToStep<StepMove::Previous>, nullptr, nullptr, -1},
    {QzCmd::NextStep, 32872, "Next Step", "PgDown", "Show the next building step", "Next Step", QzCommandKind::Drawing, GoToStep<StepMove::Next>, nullptr, nullptr, -1},
    {QzCmd::LastStep, 32873, "Last Step", "End", "Show the last building step: the whole model", "Last Step", QzCommandKind::Drawing, GoToStep<StepMove::Last>, nullptr, nullptr, -1},
    {QzCmd::Dither256, 32858, nullptr, nullptr, "Toggles dithering/blending for colors 256-511", "Dither or blend colors 256-511", QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::dither256>, OptionOn<&QzRenderOptions::dither256>, "dither256", -1},
    {QzCmd::AutoZoom, 32795, nullptr, nullptr, "Toggle Auto Zoom on/off", "Auto Zoom", QzCommandKind::Program, [](QzCommandTarget& t) { t.ToggleAutoZoom(); }, [](QzCommandTarget& t) { return t.AutoZoom(); }, nullptr, -1},
    {QzCmd::Toolbar32816, 32816, nullptr, nullptr, nullptr, nullptr, QzCommandKind::Program, nullptr, nullptr, nullptr, -1},
    {QzCmd::Toolbar32852, 32852, nullptr, nullptr, nullptr, nullptr, QzCommandKind::Program, nullptr, nullptr, nullptr, -1},
    {QzCmd::Toolbar32853, 32853, nullptr, nullptr, nullptr, nullptr, QzCommandKind::Program, nullptr, nullptr, nullptr, -1},
    {QzCmd::View0, 32857, nullptr, nullptr, "View from Front-Upper-Right (LDraw 3D)", "Front-Upper-Right (LDraw 3D)", QzCommandKind::Drawing, StandardView<0>, nullptr, nullptr, -1},
    {QzCmd::View1, 32787, nullptr, nullptr, "View from Front-Upper-Right", "Front-Upper-Right", QzCommandKind::Drawing, StandardView<1>, nullptr, nullptr, -1},
    {QzCmd::View2, 32778, nullptr, nullptr, "View from Back-Upper-Right", "Back-Upper-Right", QzCommandKind::Drawing, StandardView<2>, nullptr, nullptr, -1},
    {QzCmd::View3, 32779, nullptr, nullptr, "View from Back-Upper-Left", "Back-Upper-Left", QzCommandKind::Drawing, StandardView<3>, nullptr, nullptr, -1},
    {QzCmd::View4, 32780, nullptr, nullptr, "View from Front-Upper-Left", "Front-Upper-Left", QzCommandKind::Drawing, StandardView<4>, nullptr, nullptr, -1},
    {QzCmd::View5, 32788, nullptr, nullptr, "View from Front-Lower-Right", "Front-Lower-Right", QzCommandKind::Drawing, StandardView<5>, nullptr, nullptr, -1},
    {QzCmd::View6, 32782, nullptr, nullptr, "View from Back-Lower-Right", "Back-Lower-Right", QzCommandKind::Drawing, StandardView<6>, nullptr, nullptr, -1},
    {QzCmd::View7, 32783, nullptr, nullptr, "View from Back-Lower-Left", "Back-Lower-Left", QzCommandKind::Drawing, StandardView<7>, nullptr, nullptr, -1},
    {QzCmd::View8, 32784, nullptr, nullptr, "View from Front-Lower-Left", "Front-Lower-Left", QzCommandKind::Drawing, StandardView<8>, nullptr, nullptr, -1},
    {QzCmd::View9, 32785, nullptr, nullptr, "View from Front", "Front", QzCommandKind::Drawing, StandardView<9>, nullptr, nullptr, -1},
    {QzCmd::View10, 32786, nullptr, nullptr, "View from Right", "Right", QzCommandKind::Drawing, StandardView<10>, nullptr, nullptr, -1},
    {QzCmd::View11, 32789, nullptr, nullptr, "View from Back", "Back", QzCommandKind::Drawing, StandardView<11>, nullptr, nullptr, -1},
    {QzCmd::View12, 32790, nullptr, nullptr, "View from Left", "Left", QzCommandKind::Drawing, StandardView<12>, nullptr, nullptr, -1},
    {QzCmd::View13, 32791, nullptr, nullptr, "View from Over", "Over", QzCommandKind::Drawing, StandardView<13>, nullptr, nullptr, -1},
    {QzCmd::View14, 32792, nullptr, nullptr, "View from Under", "Under", QzCommandKind::Drawing, StandardView<14>, nullptr, nullptr, -1},
    {QzCmd::Statistics, 32796, "S&tatistics...", nullptr, "Show some statistics", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.ShowStatistics(); }, nullptr, nullptr, -1},
    {QzCmd::TimeCalculations, 32847, "&Add timing of calculations", nullptr, nullptr, nullptr, QzCommandKind::Drawing, ToggleState<&QzRenderState::timeCalculations>, StateOn<&QzRenderState::timeCalculations>, "timeCalculations", -1},
    {QzCmd::Logging, 32838, "&Logging", nullptr, kLoggingPrompt, nullptr, QzCommandKind::Drawing, Logging, LoggingOn, nullptr, -1},
    {QzCmd::Renderer1, 32797, "&1 LDLlite engine", nullptr, "Use render routines from LDLite", nullptr, QzCommandKind::Drawing, Renderer<1>, RendererChosen<1>, nullptr, -1},
    {QzCmd::Renderer2, 32798, "&2 Orv engine int", nullptr, "Use the renderer with integer coordinates", nullptr, QzCommandKind::Drawing, Renderer<2>, RendererChosen<2>, nullptr, -1},
    {QzCmd::Renderer3, 32799, "&3 Orv renderer float", nullptr, "Use the renderer with floating-point coordinates and depth", nullptr, QzCommandKind::Drawing, Renderer<3>, RendererChosen<3>, nullptr, -1},
    {QzCmd::FlushAfterEveryPart, 32801, "mytest&5", nullptr, "With Refresh after each part, update the display after every part, also one that drew nothing", nullptr, QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::flushAfterEveryPart>, OptionOn<&QzRenderOptions::flushAfterEveryPart>, "flushAfterEveryPart", -1},
    {QzCmd::BfcTestColours, 32802, "mytest&6", nullptr, "Colour faces by back-face culling instead of culling them: front green, back red, not certified blue", nullptr, QzCommandKind::Drawing, ToggleOption<&QzRenderOptions::bfcTestColours>, OptionOn<&QzRenderOptions::bfcTestColours>, "bfcTestColours", -1},
    {QzCmd::RefreshDisplay, 32822, "Refresh display", nullptr, "Copy DIB to display", nullptr, QzCommandKind::Drawing, RefreshDisplay, nullptr, nullptr, -1},
    {QzCmd::BackgroundImage, 32834, "Load &background image", nullptr, "Load a background image (*.bmp)", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.LoadBackgroundImage(); }, nullptr, nullptr, -1},
    {QzCmd::WebZarvel, 32809, "&Zarvel on the Internet...", nullptr, "Launch your Internet Browser with Zarvel's homepage", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.OpenZarvelPage(); }, nullptr, nullptr, -1},
    {QzCmd::WebTolpix, 32810, "&Tolpix on the Internet...", nullptr, "Launch your Internet Browser with Tolpix's homepage", nullptr, QzCommandKind::Program, [](QzCommandTarget& t) { t.OpenTolpixPage(); }, nullptr, nullptr, -1},
    {QzCmd::AppAbout, 57664, "&About Zarvel...", nullptr, "Display program information, version number and copyright", "About", QzCommandKind::Program, [](QzCommandTarget& t) { t.ShowAbout(); }, nullptr, nullptr, -1},
};
// clang-format on

// Every command has its row, in the order of its name.
constexpr bool RowsFollowTheNames() {
    for (int i = 0; i < QZ_COMMAND_COUNT; ++i)
        if (static_cast<int>(kCommands[i].cmd) != i) return false;
    return true;
}
static_assert(std::size(kCommands) == QZ_COMMAND_COUNT, "one row per command");
static_assert(RowsFollowTheNames(), "rows in the order of QzCmd");

}  // namespace

const QzCommand& QzCommandOf(QzCmd cmd) { return kCommands[static_cast<int>(cmd)]; }

const QzCommand* QzFindCommand(int id) {
    for (const QzCommand& c : kCommands)
        if (c.id == id) return &c;
    return nullptr;
}

std::string QzCommandStatusTip(const QzCommand& command) {
    if (!command.statusTip) return {};
    // The debug log is a file of this machine's temporary folder.
    if (command.statusTip == kLoggingPrompt)
        return plat::Format(kLoggingPrompt, plat::DebugLogPath().c_str());
    return command.statusTip;
}

std::string QzCommandToolTip(const QzCommand& command) {
    return command.toolTip ? command.toolTip : std::string();
}

std::string QzCommandMenuText(const QzCommand& command) {
    std::string text = command.menuText ? command.menuText : "";
    if (command.shortcut) text.append("\t").append(command.shortcut);
    return text;
}

QzStepPosition QzShownStep(const QzRenderState& state, const QzModel& model) {
    if (!model.Loaded()) return {};
    const int count = QzStepCount(state.ShownPart(model));
    return {state.step <= 0 || state.step >= count ? count : state.step, count};
}

void QzShowStep(QzRenderState& state, const QzModel& model, int step) {
    const int count = model.Loaded() ? QzStepCount(state.ShownPart(model)) : 1;
    state.step = step >= count ? 0 : step < 1 ? 1 : step;
}

std::vector<QzSubmodelChoice> QzSubmodelChoices(const QzModel& model) {
    std::vector<QzSubmodelChoice> choices;
    if (!model.Loaded()) return choices;
    choices.push_back({"", QzFileName(model, model.Main()) + " (main model)"});
    for (const QzModelSection* section : QzSubmodels(model))
        choices.push_back({section->name, section->name});
    return choices;
}

int QzShownChoice(const QzRenderState& state, const QzModel& model) {
    if (!model.Loaded()) return 0;
    const QzPart* shown = &state.ShownPart(model);
    const std::vector<const QzModelSection*> submodels = QzSubmodels(model);
    for (size_t i = 0; i < submodels.size(); ++i)
        if (&model.parts[submodels[i]->index] == shown) return static_cast<int>(i) + 1;
    return 0;
}

namespace {

// Names the command line took for switches before they were named for what they do:
// scripts may still use them.
constexpr struct {
    std::string_view old, now;
} kFormerOptionNames[] = {{"mytest5", "flushAfterEveryPart"}, {"mytest6", "bfcTestColours"}};

std::string_view CurrentOptionName(std::string_view name) {
    for (const auto& former : kFormerOptionNames)
        if (name == former.old) return former.now;
    return name;
}

}  // namespace

bool QzIsOption(std::string_view name) {
    name = CurrentOptionName(name);
    for (const QzCommand& c : kCommands)
        if (c.option && name == c.option) return true;
    return false;
}

std::vector<std::string> QzOptionNames() {
    std::vector<std::string> names;
    for (const QzCommand& c : kCommands)
        if (c.option && std::find(names.begin(), names.end(), c.option) == names.end())
            names.emplace_back(c.option);
    return names;
}

namespace {

// The command line's view: a drawing state and a model, no program around them.
class SwitchTarget : public QzCommandTarget {
  public:
    SwitchTarget(QzRenderState& state, QzModel& model) : state_(state), model_(model) {}
    QzRenderState& State() override { return state_; }
    QzModel& Model() override { return model_; }

  private:
    QzRenderState& state_;
    QzModel& model_;
};

}  // namespace

bool QzSetOption(QzRenderState& state, QzModel& model, std::string_view name, bool on) {
    SwitchTarget target(state, model);
    name = CurrentOptionName(name);
    bool found = false;
    for (const QzCommand& c : kCommands) {
        if (!c.option || name != c.option) continue;
        found = true;
        if (c.optionSets < 0) {
            if (c.checked(target) != on) c.run(target);
        } else if ((c.optionSets == 1) == on) {
            c.run(target);
        }
    }
    return found;
}
