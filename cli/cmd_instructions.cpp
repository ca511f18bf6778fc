#include "cmd_instructions.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <ostream>

#include "cmd_render.h"
#include "instructions.h"
#include "loadmodel.h"
#include "output.h"
#include "usage.h"

namespace cli {

void AddInstructionsOptions(CLI::App& command, InstructionsOptions& options) {
    AddLdrawOption(command, options.ldraw);
    AddSchemeOption(command, options.scheme, kListSchemeDefault);
    command.add_option("--size", options.size, "Size of the step pictures, WxH pixels")
        ->capture_default_str();
    command
        .add_option("--quality", options.quality,
                    "How the pictures are drawn: high (default), the view's High Quality; "
                    "normal, the drawing of the view")
        ->check(CLI::IsMember({"normal", "high"}));
    command.add_flag("--no-fade", options.noFade,
                     "Draw the parts of earlier steps in their own colours, not lighter");
    command.add_option("model", options.model, "Model file (.dat, .ldr, .mpd)")->required();
    command.add_option("-o,--output", options.output, "Folder to write the guide into")->required();
}

int RunInstructions(const InstructionsOptions& options, std::ostream& out, std::ostream& err) {
    QzGuideOptions guide;
    if (!ParseImageSize(options.size, guide.width, guide.height)) {
        err << UsageError("--size must be WxH with positive numbers: " + options.size);
        return 2;
    }
    if (options.output.empty()) {
        err << UsageError("the folder to write into has no name");
        return 2;
    }
    guide.highQuality = options.quality == "high";
    guide.fade = !options.noFade;

    const std::string ldrawDir = ResolveLdrawDir(options.ldraw);
    QzModel model;
    QzPalette palette;
    QzSelectColourScheme(palette, ListScheme(options.scheme, ldrawDir));
    if (!LoadModelForCommand(model, palette, options.ldraw, options.model, err)) return 2;

    StreamMessageBox box(err);
    plat::ScopedMessageBoxHandler scoped(&box);
    // On a terminal, how far the drawing has come, on one line.
    const bool terminal = isatty(STDERR_FILENO) != 0;
    int shown = -1;
    const QzGuideResult result =
        QzWriteGuide(model, palette, ldrawDir, options.output, guide, [&](int done, int total) {
            if (terminal && done != shown) {
                shown = done;
                err << "\rStep " << done << "/" << total << std::flush;
            }
            return true;
        });
    if (terminal && shown >= 0) err << "\n";
    if (result.outcome != QzGuideResult::Outcome::Written) {
        err << "zarvel-cli: instructions: " << result.error << "\n";
        return 1;
    }
    out << "Wrote " << result.steps << (result.steps == 1 ? " step" : " steps") << " and "
        << result.pictures << " pictures to " << options.output << "\n";
    return out ? 0 : 1;
}

}  // namespace cli
