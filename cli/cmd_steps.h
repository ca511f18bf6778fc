// Building steps on the command line: zarvel-cli steps prints how many steps a model
// has; render and stats draw one step with --step K.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace CLI {
class App;
}

class QzModel;
class QzRenderState;

namespace cli {

struct StepsOptions {
    std::string ldraw;
    // The submodel to work on (--submodel); empty for the main model.
    std::string submodel;
    std::string model;
    // The colour scheme; -1: the library's colours where it has them (ListScheme).
    int scheme = -1;
};

// Gives the command its options, bound to `options`.
void AddStepsOptions(CLI::App& command, StepsOptions& options);
int RunSteps(const StepsOptions& options, std::ostream& out, std::ostream& err);

// The --step option of the commands that draw (any whole number; the range is checked
// against the loaded model).
void AddStepOption(CLI::App& command, std::optional<int>& step);

// Makes the view draw the given step of the loaded model. True when no step was asked
// for or it lies in 1 to the model's count; otherwise a usage error naming the count
// goes to err and nothing changes.
bool ChooseStep(QzRenderState& state, const QzModel& model, const std::optional<int>& step,
                std::ostream& err);

}  // namespace cli
