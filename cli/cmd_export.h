// zarvel-cli export: loads a model and writes it for other programs: glTF 2.0 (.glb, or
// .gltf with its .bin), binary STL or OBJ with its .mtl (export/exportfile.h); prints
// what it wrote.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace cli {

struct ExportOptions {
    std::string ldraw;
    std::string model;
    std::string output;
    // The colour scheme; -1: the library's colours where it has them (ListScheme).
    int scheme = -1;
    // The submodel exported as if it were the main model; empty for the main model.
    std::string submodel;
    // The building step of the model to export; the whole model when not given.
    std::optional<int> step;
    // glb, gltf, stl or obj; empty: by the output's extension.
    std::string format;
    // The edge lines too.
    bool lines = false;
};

// Gives the command its options, bound to `options`.
void AddExportOptions(CLI::App& command, ExportOptions& options);
// Exit status 0 when written, 1 when written but the model had problems (files not
// found, errors while loading) or when writing failed, 2 when nothing was written
// because of the call or a model that did not load.
int RunExport(const ExportOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
