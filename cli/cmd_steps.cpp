#include "cmd_steps.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "loadmodel.h"
#include "model.h"
#include "numbers.h"
#include "steps.h"
#include "usage.h"
#include "viewtransform.h"

namespace cli {

void AddStepsOptions(CLI::App& command, StepsOptions& options) {
    AddLdrawOption(command, options.ldraw);
    AddSchemeOption(command, options.scheme, kListSchemeDefault);
    AddSubmodelOption(command, options.submodel);
    command.add_option("model", options.model, "Model file (.dat, .ldr, .mpd)")->required();
}

int RunSteps(const StepsOptions& options, std::ostream& out, std::ostream& err) {
    QzModel model;
    QzPalette palette;
    QzSelectColourScheme(palette, ListScheme(options.scheme, ResolveLdrawDir(options.ldraw)));
    const QzPart* shown =
        LoadFileForCommand(model, palette, options.ldraw, options.model, options.submodel, err);
    if (!shown) return 2;
    out << QzStepCount(*shown) << "\n";
    return out ? 0 : 1;
}

void AddStepOption(CLI::App& command, std::optional<int>& step) {
    command
        .add_option("--step", step,
                    "Draw building step K of the model (1 to the number of steps), placed as "
                    "the whole model")
        ->transform(Decimal());
}

bool ChooseStep(QzRenderState& state, const QzModel& model, const std::optional<int>& step,
                std::ostream& err) {
    if (!step) return true;
    const int count = QzStepCount(state.ShownPart(model));
    if (*step < 1 || *step > count) {
        err << UsageError("--step " + std::to_string(*step) + ": the model has " +
                          std::to_string(count) + (count == 1 ? " step" : " steps"));
        return false;
    }
    state.step = *step;
    return true;
}

}  // namespace cli
