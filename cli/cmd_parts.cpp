#include "cmd_parts.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "inventory.h"
#include "loadmodel.h"

namespace cli {

void AddPartsOptions(CLI::App& command, PartsOptions& options) {
    AddLdrawOption(command, options.ldraw);
    command.add_option("--format", options.format, "text, csv (RFC 4180) or json")
        ->check(CLI::IsMember({"text", "csv", "json"}))
        ->capture_default_str();
    AddSchemeOption(command, options.scheme, kListSchemeDefault);
    AddSubmodelOption(command, options.submodel);
    command.add_option("model", options.model, "Model file (.dat, .ldr, .mpd)")->required();
}

int RunParts(const PartsOptions& options, std::ostream& out, std::ostream& err) {
    const std::string ldrawDir = ResolveLdrawDir(options.ldraw);
    QzModel model;
    QzPalette palette;
    // Read in the colours the list names, so that current colours are no news.
    QzSelectColourScheme(palette, ListScheme(options.scheme, ldrawDir));
    const QzPart* shown =
        LoadFileForCommand(model, palette, options.ldraw, options.model, options.submodel, err);
    if (!shown) return 2;
    const std::vector<inspect::PartsRow> rows =
        inspect::ListParts(model, *shown, ldrawDir, inspect::ReadColourNames(ldrawDir));
    // A list the full part table cut short says so: in the text after the total, beside
    // the data forms on the error stream.
    const std::string incomplete = inspect::IncompleteText(model);
    if (options.format == "csv")
        out << inspect::PartsCsv(rows);
    else if (options.format == "json")
        out << inspect::PartsJson(rows);
    else
        out << inspect::PartsText(rows, incomplete);
    out.flush();
    if (!incomplete.empty() && options.format != "text")
        err << "zarvel-cli: " << incomplete << "\n";
    if (!out) return 1;
    return inspect::AnyMissing(rows) || !incomplete.empty() ? 1 : 0;
}

}  // namespace cli
