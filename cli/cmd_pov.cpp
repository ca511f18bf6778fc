#include "cmd_pov.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "colours.h"
#include "diagnostics.h"
#include "loadmodel.h"
#include "output.h"
#include "povwriter.h"

namespace cli {

void AddPovOptions(CLI::App& command, PovOptions& options) {
    AddLdrawOption(command, options.ldraw);
    command.add_option("model", options.model, "Model file")->required();
    command.add_option("-o,--output", options.output, "Scene file to write")->required();
    AddSchemeOption(command, options.scheme);
}

int RunPov(const PovOptions& options, std::ostream&, std::ostream& err) {
    if (!CheckOutputPath(options.output, options.model, err)) return 2;
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
