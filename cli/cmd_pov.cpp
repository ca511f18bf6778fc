#include "cmd_pov.h"

#include <CLI/CLI.hpp>
#include <ostream>

namespace cli {

CLI::App* AddPovCommand(CLI::App& app, PovOptions& options) {
    CLI::App* sub = app.add_subcommand("pov", "Not built yet.");
    sub->add_option("--ldraw", options.ldraw, "LDraw library directory");
    sub->add_option("models", options.models, "Model files");
    return sub;
}

int RunPov(const PovOptions&, std::ostream&, std::ostream& err) {
    err << "zarvel-cli: pov is not built yet\n";
    return 2;
}

}  // namespace cli
