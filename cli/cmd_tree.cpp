#include "cmd_tree.h"

#include <CLI/CLI.hpp>
#include <map>
#include <ostream>

#include "colours.h"
#include "diagnostics.h"
#include "loadmodel.h"
#include "model.h"
#include "numbers.h"
#include "treeview.h"
#include "usage.h"

namespace cli {

namespace {

const std::map<std::string, int> kModes = {
    {"normal", inspect::kTextNormal},
    {"bfc", inspect::kTextBfc},
    {"bbox", inspect::kTextBoundingBox},
};

void WriteItems(inspect::TreeModel& tree, inspect::TreeModel::ItemId parent, int level, int depth,
                std::ostream& out) {
    // Opening an item may add items, so walk a copy of the child list.
    const std::vector<inspect::TreeModel::ItemId> children = tree.Children(parent);
    for (inspect::TreeModel::ItemId item : children) {
        if (tree.IsPlaceholder(item)) continue;
        out << std::string(2 * static_cast<size_t>(level), ' ') << tree.OnGetItemText(item) << '\n';
        if (level + 1 < depth && tree.HasExpandButton(item)) {
            tree.OnItemExpanding(item);
            WriteItems(tree, item, level + 1, depth, out);
        }
    }
}

}  // namespace

void AddTreeOptions(CLI::App& command, TreeOptions& options) {
    AddLdrawOption(command, options.ldraw);
    command.add_option("--mode", options.mode, "Item texts: normal, bfc (flags) or bbox (boxes)")
        ->check(CLI::IsMember({"normal", "bfc", "bbox"}))
        ->capture_default_str();
    command.add_flag("--line-numbers", options.lineNumbers, "Start each item with its line number");
    command.add_option("--depth", options.depth, "Levels to print; 1 is the main model's lines")
        ->transform(Decimal(1))
        ->capture_default_str();
    AddSchemeOption(command, options.scheme);
    AddSubmodelOption(command, options.submodel);
    command.add_option("model", options.model, "Model file (.dat, .ldr, .mpd)")->required();
}

void WriteTree(inspect::TreeModel& tree, int depth, std::ostream& out) {
    WriteItems(tree, inspect::TreeModel::kRoot, 0, depth, out);
}

int RunTree(const TreeOptions& options, std::ostream& out, std::ostream& err) {
    const auto mode = kModes.find(options.mode);
    if (mode == kModes.end()) {
        err << UsageError("--mode must be normal, bfc or bbox");
        return 2;
    }
    QzPalette palette;
    QzSelectColourScheme(palette, options.scheme);
    QzModel model;
    const QzPart* shown =
        LoadFileForCommand(model, palette, options.ldraw, options.model, options.submodel, err);
    if (!shown) return 2;

    inspect::TreeModel tree;
    tree.Open(shown);
    tree.SetShowLineNumbers(options.lineNumbers);
    tree.SetTextMode(mode->second);
    WriteTree(tree, options.depth, out);
    return out ? 0 : 1;
}

}  // namespace cli
