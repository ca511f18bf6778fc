#include "cmd_stats.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "cmd_render.h"
#include "cmd_steps.h"
#include "colours.h"
#include "diagnostics.h"
#include "loadmodel.h"
#include "numbers.h"
#include "statistics.h"
#include "usage.h"
#include "viewcore.h"

namespace cli {

void AddStatsOptions(CLI::App& command, StatsOptions& options) {
    AddLdrawOption(command, options.ldraw);
    AddViewOption(command, options.view);
    command.add_option("--size", options.size, "Size of the view's drawing, WxH pixels")
        ->check(CLI::Validator(
            [](std::string& text) {
                int width = 0, height = 0;
                return ParseImageSize(text, width, height)
                           ? std::string()
                           : "must be WxH with positive numbers: " + text;
            },
            "WxH"))
        ->capture_default_str();
    AddSchemeOption(command, options.scheme);
    AddQualityOption(command, options.quality);
    AddStepOption(command, options.step);
    AddSubmodelOption(command, options.submodel);
    command.add_option("model", options.model, "Model file (.dat, .ldr, .mpd)")->required();
}

int RunStats(const StatsOptions& options, std::ostream& out, std::ostream& err) {
    int width = 0, height = 0;
    if (!ParseImageSize(options.size, width, height)) {
        err << UsageError("--size must be WxH with positive numbers: " + options.size);
        return 2;
    }

    // The view exists before the model is loaded, as in the desktop program.
    QzViewCore view;
    StreamMessageBox box(err);
    plat::ScopedMessageBoxHandler scoped(&box);
    view.SetColourScheme(options.scheme);
    view.State().SetStandardView(options.view);
    view.State().options.highQuality = options.quality == "high";
    if (!view.Resize(width, height)) {
        err << "zarvel-cli: not enough memory for a " << width << "x" << height << " image\n";
        return 1;
    }

    QzModel model;
    const QzPart* shown = LoadFileForCommand(model, view.State().palette, options.ldraw,
                                             options.model, options.submodel, err);
    if (!shown) return 2;
    view.State().submodel = options.submodel;
    if (!ChooseStep(view.State(), model, options.step, err)) return 2;

    // The report shows the drawing's measurements and the load's time.
    view.Draw(model);
    if (!DrawnWhole(view, err)) return 2;
    out << PlainLines(
        inspect::StatisticsText(model, *shown, view.Statistics(), view.State().GetViewMatrix()));
    return out ? 0 : 1;
}

}  // namespace cli
