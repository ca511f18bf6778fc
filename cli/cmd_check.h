// zarvel-cli check: loads each model as the desktop document does and prints the
// input log of every load; the exit status tells whether anything was reported.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

struct QzDiagnostic;

namespace CLI {
class App;
}

namespace cli {

struct CheckOptions {
    std::string ldraw;
    std::vector<std::string> models;
    // Empty the parts cache before each model instead of keeping it between them.
    bool noCache = false;
    // WARNING and SKIPPING lines as "PATH:LINE: warning|error: MESSAGE".
    bool gnu = false;
    int scheme = 0;
};

// Gives the command its options, bound to `options`.
void AddCheckOptions(CLI::App& command, CheckOptions& options);
// 0: every model loaded and nothing was reported; 1: every model loaded, something was
// reported; 2: a model failed to load.
int RunCheck(const CheckOptions& options, std::ostream& out, std::ostream& err);

// One input-log entry in the GNU form, given where each logged file name was read from
// (name, path pairs); entries tied to no file position give their text unchanged.
std::string GnuLogLine(const QzDiagnostic& entry,
                       const std::vector<std::pair<std::string, std::string>>& files);

}  // namespace cli
