#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace cli {

struct StatsOptions {
    std::string ldraw;
    // The submodel to work on (--submodel); empty for the main model.
    std::string submodel;
    // Standard view 0 to 14.
    int view = 0;
    // Client area of the view that draws the model, "WxH".
    std::string size = "800x600";
    std::string model;
    int scheme = 0;
    std::string quality = "normal";  // or "high"
    // The building step to draw; the whole model when not given.
    std::optional<int> step;
};

// Gives the command its options, bound to `options`.
void AddStatsOptions(CLI::App& command, StatsOptions& options);
int RunStats(const StatsOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
