#include "cmd_render.h"

#include <CLI/CLI.hpp>
#include <ostream>

namespace cli {

CLI::App* AddRenderCommand(CLI::App& app, RenderOptions& options) {
    CLI::App* sub = app.add_subcommand("render", "Not built yet.");
    sub->add_option("--ldraw", options.ldraw, "LDraw library directory");
    sub->add_option("models", options.models, "Model files");
    return sub;
}

int RunRender(const RenderOptions&, std::ostream&, std::ostream& err) {
    err << "zarvel-cli: render is not built yet\n";
    return 2;
}

}  // namespace cli
