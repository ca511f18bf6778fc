#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cli {

struct RenderOptions {
    std::string ldraw;
    std::vector<std::string> models;
};

CLI::App* AddRenderCommand(CLI::App& app, RenderOptions& options);
int RunRender(const RenderOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
