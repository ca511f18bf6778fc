#include "cmd_tree.h"

#include <CLI/CLI.hpp>
#include <ostream>

namespace cli {

CLI::App* AddTreeCommand(CLI::App& app, TreeOptions& options) {
    CLI::App* sub = app.add_subcommand("tree", "Not built yet.");
    sub->add_option("--ldraw", options.ldraw, "LDraw library directory");
    sub->add_option("models", options.models, "Model files");
    return sub;
}

int RunTree(const TreeOptions&, std::ostream&, std::ostream& err) {
    err << "zarvel-cli: tree is not built yet\n";
    return 2;
}

}  // namespace cli
