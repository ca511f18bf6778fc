// zarvel-cli submodels: the submodels of a model file (its MPD sections that are not
// parts), one line each in file order: the name, the number of building steps and how
// many times the whole model places it, separated by tabs.
#pragma once

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

class QzModel;

namespace cli {

struct SubmodelsOptions {
    std::string ldraw;
    std::string model;
    // The colour scheme; -1: the library's colours where it has them (ListScheme).
    int scheme = -1;
};

// Gives the command its options, bound to `options`.
void AddSubmodelsOptions(CLI::App& command, SubmodelsOptions& options);
int RunSubmodels(const SubmodelsOptions& options, std::ostream& out, std::ostream& err);

// The lines the command prints for a loaded model; complete (when given) tells whether
// the counts of placements were made in full (a model may place more than the walk's
// bound).
std::string SubmodelsText(const QzModel& model, bool* complete = nullptr);

}  // namespace cli
