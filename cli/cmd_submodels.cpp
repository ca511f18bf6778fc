#include "cmd_submodels.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "inventory.h"
#include "loadmodel.h"
#include "model.h"
#include "sections.h"
#include "steps.h"
#include "walk.h"

namespace cli {

void AddSubmodelsOptions(CLI::App& command, SubmodelsOptions& options) {
    AddLdrawOption(command, options.ldraw);
    AddSchemeOption(command, options.scheme, kListSchemeDefault);
    command.add_option("model", options.model, "Model file (.mpd)")->required();
}

std::string SubmodelsText(const QzModel& model, bool* complete) {
    std::string text;
    if (!model.Loaded()) return text;
    const QzPlacements placed = QzCountPlacements(model.Main());
    if (complete) *complete = placed.complete;
    for (const QzModelSection* section : QzSubmodels(model)) {
        const QzPart& part = model.parts[section->index];
        const auto count = placed.count.find(&part);
        text += inspect::PrintableText(section->name) + "\t" + std::to_string(QzStepCount(part)) +
                "\t" + std::to_string(count == placed.count.end() ? 0 : count->second) + "\n";
    }
    return text;
}

int RunSubmodels(const SubmodelsOptions& options, std::ostream& out, std::ostream& err) {
    QzModel model;
    QzPalette palette;
    QzSelectColourScheme(palette, ListScheme(options.scheme, ResolveLdrawDir(options.ldraw)));
    if (!LoadModelForCommand(model, palette, options.ldraw, options.model, err)) return 2;
    bool complete = true;
    out << SubmodelsText(model, &complete);
    out.flush();
    if (!complete)
        err << "zarvel-cli: the model places more files than are counted: the counts stop at "
            << QZ_MAX_PLACEMENTS << " placements\n";
    return out && complete ? 0 : 1;
}

}  // namespace cli
