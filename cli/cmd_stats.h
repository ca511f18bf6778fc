#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cli {

struct StatsOptions {
    std::string ldraw;
    std::vector<std::string> models;
};

CLI::App* AddStatsCommand(CLI::App& app, StatsOptions& options);
int RunStats(const StatsOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
