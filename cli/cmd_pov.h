#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cli {

struct PovOptions {
    std::string ldraw;
    std::vector<std::string> models;
};

CLI::App* AddPovCommand(CLI::App& app, PovOptions& options);
int RunPov(const PovOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
