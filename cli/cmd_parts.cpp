#include "cmd_parts.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "inventory.h"
#include "loadmodel.h"

namespace cli {

CLI::App* AddPartsCommand(CLI::App& app, PartsOptions& options) {
    CLI::App* sub =
        app.add_subcommand("parts", "List the parts of a model by colour with their quantities.");
    sub->add_option("--ldraw", options.ldraw, "LDraw library directory (default: LDRAWDIR)");
    sub->add_option("--format", options.format, "text, csv (RFC 4180) or json")
        ->check(CLI::IsMember({"text", "csv", "json"}))
        ->capture_default_str();
    sub->add_option("model", options.model, "Model file (.dat, .ldr, .mpd)")->required();
    return sub;
}

int RunParts(const PartsOptions& options, std::ostream& out, std::ostream& err) {
    QzModel model;
    QzPalette palette;
    if (!LoadModelForCommand(model, palette, options.ldraw, options.model, err)) return 2;
    const std::vector<inspect::PartsRow> rows =
        inspect::ListParts(model, ResolveLdrawDir(options.ldraw));
    if (options.format == "csv")
        out << inspect::PartsCsv(rows);
    else if (options.format == "json")
        out << inspect::PartsJson(rows);
    else
        out << inspect::PartsText(rows);
    if (!out) return 1;
    return inspect::AnyMissing(rows) ? 1 : 0;
}

}  // namespace cli
