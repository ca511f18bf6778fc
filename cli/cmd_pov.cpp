#include "cmd_pov.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "colours.h"
#include "diagnostics.h"
#include "loadmodel.h"
#include "povwriter.h"

namespace cli {

CLI::App* AddPovCommand(CLI::App& app, PovOptions& options) {
    CLI::App* sub = app.add_subcommand("pov", "Write the model as a POV-Ray scene.");
    sub->add_option("--ldraw", options.ldraw, "LDraw library directory");
    sub->add_option("model", options.model, "Model file")->required();
    sub->add_option("-o,--output", options.output, "Scene file to write")->required();
    AddSchemeOption(sub, options.scheme);
    return sub;
}

int RunPov(const PovOptions& options, std::ostream&, std::ostream& err) {
    QzPalette palette;
    QzSelectColourScheme(palette, options.scheme);
    QzModel model;
    const LoadResult load =
        LoadModelForCli(model, palette, options.ldraw, options.model, false, err);
    if (load.libraryNotFound) return 2;
    err << PlainLines(model.inputLog);
    if (!load.loaded) return 2;

    const int result =
        PovWriteSceneFile(options.output, model, palette, kPovDefaultOptions, options.model).result;
    if (result == POV_OK) return 0;
    err << plat::kAppTitle << ": " << PovResultMessage(result);
    if (result == POV_NOT_OPENED) err << " " << options.output;
    err << '\n';
    return 1;
}

}  // namespace cli
