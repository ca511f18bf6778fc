#pragma once

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace inspect {
class TreeModel;
}

namespace cli {

struct TreeOptions {
    std::string ldraw;
    // The submodel to work on (--submodel); empty for the main model.
    std::string submodel;
    // "normal", "bfc" or "bbox".
    std::string mode = "normal";
    bool lineNumbers = false;
    // Levels of items to print: 1 is the main model's lines.
    int depth = 1;
    std::string model;
    int scheme = 0;
};

// Gives the command its options, bound to `options`.
void AddTreeOptions(CLI::App& command, TreeOptions& options);
int RunTree(const TreeOptions& options, std::ostream& out, std::ostream& err);

// Prints the tree's items down to `depth` levels, opening every reference above the
// last level as a user would, each item indented by two blanks per level.
void WriteTree(inspect::TreeModel& tree, int depth, std::ostream& out);

}  // namespace cli
