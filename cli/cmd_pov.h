#pragma once

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace cli {

struct PovOptions {
    std::string ldraw;
    std::string model;
    std::string output;
    int scheme = 0;
};

// Gives the command its options, bound to `options`.
void AddPovOptions(CLI::App& command, PovOptions& options);
// Loads the model and writes its POV-Ray scene. Exit status 0 when the scene was
// written, 1 for an empty model or a writing error, 2 when the model did not load.
int RunPov(const PovOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
