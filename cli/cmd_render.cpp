#include "cmd_render.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <ostream>

#include "cmd_steps.h"
#include "cnumbers.h"
#include "colours.h"
#include "commands.h"
#include "diagnostics.h"
#include "drawpass.h"
#include "loadmodel.h"
#include "messagebox.h"
#include "model.h"
#include "numbers.h"
#include "output.h"
#include "pngfile.h"
#include "usage.h"
#include "viewcore.h"

namespace cli {

namespace {

bool ParseInt(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

// The names of the drawing switches --opt sets on or off, those of the view's commands.
std::string SwitchNames() {
    std::string text;
    for (const std::string& name : QzOptionNames()) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// Checks one NAME=VALUE. seamWidth takes a number, every other name is a drawing switch
// of the view's commands with on or off. False with a reason when it is neither.
bool CheckOption(const std::string& text, std::string& error) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos) {
        error = "--opt needs NAME=on|off: " + text;
        return false;
    }
    const std::string name = text.substr(0, eq);
    const std::string value = text.substr(eq + 1);
    if (name == "seamWidth") {
        float width = 0;
        const char* last = value.data() + value.size();
        const auto [end, ec] = std::from_chars(value.data(), last, width);
        if (value.empty() || ec != std::errc() || end != last || !std::isfinite(width)) {
            error = "--opt seamWidth needs a finite number: " + value;
            return false;
        }
        return true;
    }
    if (value != "on" && value != "off") {
        error = "--opt value must be on or off: " + text;
        return false;
    }
    if (!QzIsOption(name)) {
        error = "unknown drawing option: " + name + " (the options are " + SwitchNames() +
                " and seamWidth)";
        return false;
    }
    return true;
}

// Whether the text holds nine decimal numbers and nothing else, with blanks or commas
// between them. The view's own reading takes the first nine and ignores what follows.
bool IsNineNumbers(const std::string& text) {
    int count = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == ',' || std::isspace(static_cast<unsigned char>(c))) {
            ++pos;
            continue;
        }
        size_t end = text.find_first_of(", \t\n\v\f\r", pos);
        if (end == std::string::npos) end = text.size();
        // Decimal numbers only: the C library would also take hexadecimal ("0x1p3"),
        // "inf" and "nan".
        const std::string word = text.substr(pos, end - pos);
        if (word.find_first_not_of("0123456789.+-eE") != std::string::npos) return false;
        // Read as the view reads them (the C library's way, in the C conventions).
        const plat::ScopedCNumbers numbers;
        char* stop = nullptr;
        std::strtof(word.c_str(), &stop);
        if (stop != word.c_str() + word.size()) return false;
        ++count;
        pos = end;
    }
    return count == 9;
}

// Applies one checked NAME=VALUE as the view's command would.
void ApplyOption(QzRenderState& state, QzModel& model, const std::string& text) {
    const size_t eq = text.find('=');
    const std::string name = text.substr(0, eq);
    const std::string value = text.substr(eq + 1);
    if (name == "seamWidth")
        std::from_chars(value.data(), value.data() + value.size(), state.options.seamWidth);
    else
        QzSetOption(state, model, name, value == "on");
}

}  // namespace

bool ParseImageSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    int w = 0, h = 0;
    if (!ParseInt(std::string_view(text).substr(0, x), w) ||
        !ParseInt(std::string_view(text).substr(x + 1), h))
        return false;
    if (w <= 0 || h <= 0) return false;
    width = w;
    height = h;
    return true;
}

void AddRenderOptions(CLI::App& command, RenderOptions& options) {
    AddLdrawOption(command, options.ldraw);
    command.add_option("model", options.model, "Model file (.dat, .ldr, .mpd)")->required();
    command.add_option("-o,--output", options.output, "PNG file to write")->required();
    command.add_option("--size", options.size, "Image size WxH (default 800x600)");
    AddViewOption(command, options.view);
    command.add_option("--matrix", options.matrix,
                       "View matrix: nine numbers separated by blanks or commas");
    command.add_option("--zoom", options.zoom, "Zoom in percent: pixels per 100 LDraw units")
        ->transform(Decimal());
    AddSchemeOption(command, options.scheme);
    command.add_option("--opt", options.opts,
                       "Drawing switch NAME=on|off, working as its View menu command does (NAME "
                       "one of " +
                           SwitchNames() + "), or seamWidth=NUMBER, the width of seams");
    command.add_option("--preview", options.preview, "Draw as during a mouse drag: wire or solid")
        ->check(CLI::IsMember({"wire", "solid"}));
    command.add_flag("--fit", options.fit, "Choose the zoom so that the model fills the image");
    AddQualityOption(command, options.quality);
    AddStepOption(command, options.step);
    AddSubmodelOption(command, options.submodel);
}

int RunRender(const RenderOptions& options, std::ostream& out, std::ostream& err) {
    if (!CheckOutputPath(options.output, options.model, err)) return 2;
    int width = 0, height = 0;
    if (!ParseImageSize(options.size, width, height)) {
        err << UsageError("--size must be WxH with positive numbers: " + options.size);
        return 2;
    }

    QzViewCore view;
    QzRenderState& state = view.State();
    StreamMessageBox box(err);
    plat::ScopedMessageBoxHandler scoped(&box);

    view.SetColourScheme(options.scheme);
    state.SetStandardView(options.view);
    if (!options.matrix.empty() &&
        (!IsNineNumbers(options.matrix) || !state.SetViewMatrix(options.matrix.c_str(), true))) {
        err << UsageError("--matrix needs nine finite numbers: " + options.matrix);
        return 2;
    }
    state.zoom = options.zoom;
    for (const std::string& opt : options.opts) {
        std::string error;
        if (!CheckOption(opt, error)) {
            err << UsageError(error);
            return 2;
        }
    }
    if (!view.Resize(width, height)) {
        err << "zarvel-cli: not enough memory for a " << width << "x" << height << " image\n";
        return 1;
    }

    QzModel model;
    const QzPart* shown = LoadFileForCommand(model, state.palette, options.ldraw, options.model,
                                             options.submodel, err);
    if (!shown) return 2;
    state.submodel = options.submodel;
    if (!ChooseStep(state, model, options.step, err)) return 2;

    // The switches work as the view's commands do, on the loaded model (random colours
    // and vertex lists need it).
    for (const std::string& opt : options.opts) ApplyOption(state, model, opt);
    state.options.highQuality = options.quality == "high";
    if (!options.preview.empty()) {
        state.dragging = true;
        state.dragMode = options.preview == "solid" ? 2 : 3;
        // A drag never turns a skewed matrix: the drawing starts from angles 30, 45,
        // and the fit must see that orientation.
        if (state.skewView) state.SetViewAngles(30, 45);
    }
    if (options.fit) {
        // A picture of its own: the model fills it, centred.
        view.FitCentred(model);
    }

    view.Draw(model);
    if (!DrawnWhole(view, err)) return 2;

    // Straight from the renderer's image: its rows, blue first.
    const QzZImage& image = view.Image();
    std::string error;
    const QzPngLayout layout{static_cast<size_t>(image.width) * 3, true};
    if (!QzWritePng(options.output, width, height, 3, image.pixels, error, layout)) {
        err << "zarvel-cli: cannot write " << options.output << ": " << error << "\n";
        return 1;
    }
    out << QzDrawStatusText(view.Statistics()) << "\n";
    return 0;
}

}  // namespace cli
