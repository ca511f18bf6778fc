// zarvel-cli instructions: writes a model's building instructions as a guide a web
// browser opens (frontend/instructions.h) into a folder.
#pragma once

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace cli {

struct InstructionsOptions {
    std::string ldraw;
    std::string model;
    std::string output;
    // The colour scheme; -1: the library's colours where it has them (ListScheme).
    int scheme = -1;
    std::string size = "800x600";
    std::string quality = "high";  // or "normal"
    bool noFade = false;
};

// Gives the command its options, bound to `options`.
void AddInstructionsOptions(CLI::App& command, InstructionsOptions& options);
int RunInstructions(const InstructionsOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
