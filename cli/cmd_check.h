#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cli {

struct CheckOptions {
    std::string ldraw;
    std::vector<std::string> models;
};

CLI::App* AddCheckCommand(CLI::App& app, CheckOptions& options);
int RunCheck(const CheckOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
