#include "cmd_check.h"

#include <CLI/CLI.hpp>
#include <ostream>

namespace cli {

CLI::App* AddCheckCommand(CLI::App& app, CheckOptions& options) {
    CLI::App* sub = app.add_subcommand("check", "Not built yet.");
    sub->add_option("--ldraw", options.ldraw, "LDraw library directory");
    sub->add_option("models", options.models, "Model files");
    return sub;
}

int RunCheck(const CheckOptions&, std::ostream&, std::ostream& err) {
    err << "zarvel-cli: check is not built yet\n";
    return 2;
}

}  // namespace cli
