#include "cmd_stats.h"

#include <CLI/CLI.hpp>
#include <ostream>

namespace cli {

CLI::App* AddStatsCommand(CLI::App& app, StatsOptions& options) {
    CLI::App* sub = app.add_subcommand("stats", "Not built yet.");
    sub->add_option("--ldraw", options.ldraw, "LDraw library directory");
    sub->add_option("models", options.models, "Model files");
    return sub;
}

int RunStats(const StatsOptions&, std::ostream&, std::ostream& err) {
    err << "zarvel-cli: stats is not built yet\n";
    return 2;
}

}  // namespace cli
