#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cli {

struct TreeOptions {
    std::string ldraw;
    std::vector<std::string> models;
};

CLI::App* AddTreeCommand(CLI::App& app, TreeOptions& options);
int RunTree(const TreeOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
