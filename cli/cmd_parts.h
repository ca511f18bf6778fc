// zarvel-cli parts: the parts list of a model (part, colour, quantity, description) as
// aligned text, CSV or JSON.
#pragma once

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace cli {

struct PartsOptions {
    std::string ldraw;
    // The submodel to work on (--submodel); empty for the main model.
    std::string submodel;
    std::string model;
    // "text", "csv" or "json".
    std::string format = "text";
    // The colour scheme; -1: the one the list names colours by (ListScheme).
    int scheme = -1;
};

// Gives the command its options, bound to `options`.
void AddPartsOptions(CLI::App& command, PartsOptions& options);
// 0 when every reference resolved, 1 when some are missing (they are listed, marked)
// or the list is incomplete (the part table was full), 2 when the model did not load.
int RunParts(const PartsOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
