#include "cmd_export.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "colours.h"
#include "exportfile.h"
#include "files.h"
#include "ldconfig.h"
#include "loadmodel.h"
#include "numbers.h"
#include "output.h"
#include "steps.h"
#include "usage.h"

namespace cli {

namespace {

// The folder a path names its file in ("." for a bare name).
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether a file can be written at path: it is no folder, and its folder is there.
bool CheckWritablePlace(const std::string& path, std::ostream& err) {
    if (plat::IsDirectory(path)) {
        err << UsageError("the output " + path + " is a folder");
        return false;
    }
    if (!plat::IsDirectory(FolderOf(path))) {
        err << UsageError("the folder of the output " + path + " does not exist");
        return false;
    }
    return true;
}

}  // namespace

void AddExportOptions(CLI::App& command, ExportOptions& options) {
    AddLdrawOption(command, options.ldraw);
    command.add_option("model", options.model, "Model file (.dat, .ldr, .mpd)")->required();
    command
        .add_option("-o,--output", options.output,
                    "File to write: .glb or .gltf (glTF 2.0; a .gltf has its .bin beside it), "
                    ".stl (binary STL) or .obj (with its .mtl beside it)")
        ->required();
    AddSchemeOption(command, options.scheme, kListSchemeDefault);
    AddSubmodelOption(command, options.submodel);
    command
        .add_option("--step", options.step,
                    "Export the model as built up to building step K (1 to the number of steps)")
        ->transform(Decimal());
    command.add_option("--format", options.format,
                       "The format, whatever the output's extension: " + exports::FormatNames());
    command.add_flag("--lines", options.lines,
                     "Add the edge lines, in each colour's edge colour (glTF and OBJ)");
}

int RunExport(const ExportOptions& options, std::ostream& out, std::ostream& err) {
    if (!CheckOutputPath(options.output, options.model, err)) return 2;
    std::optional<exports::Format> format;
    if (!options.format.empty()) {
        format = exports::FormatNamed(options.format);
        if (!format) {
            err << UsageError("--format " + options.format + ": the formats are " +
                              exports::FormatNames());
            return 2;
        }
    } else {
        format = exports::FormatOfPath(options.output);
        if (!format) {
            err << UsageError("the format of " + options.output +
                              " is not known by its extension: the formats are " +
                              exports::FormatNames() + " (or name one with --format)");
            return 2;
        }
    }
    const std::string companion = exports::CompanionPath(*format, options.output);
    if (!companion.empty() && !CheckOutputPath(companion, options.model, err)) return 2;
    if (!CheckWritablePlace(options.output, err)) return 2;
    if (!companion.empty() && !CheckWritablePlace(companion, err)) return 2;

    QzPalette palette;
    const std::string ldrawDir = ResolveLdrawDir(options.ldraw);
    QzSelectColourScheme(palette, ListScheme(options.scheme, ldrawDir));
    QzModel model;
    int boxes = 0;
    const QzPart* top = LoadFileForCommand(model, palette, options.ldraw, options.model,
                                           options.submodel, err, &boxes);
    if (!top) return 2;

    exports::ExportRequest request;
    request.format = *format;
    request.scene.top = top;
    request.scene.lines = options.lines;
    if (options.step) {
        const int count = QzStepCount(*request.scene.top);
        if (*options.step < 1 || *options.step > count) {
            err << UsageError("--step " + std::to_string(*options.step) + ": the model has " +
                              std::to_string(count) + (count == 1 ? " step" : " steps"));
            return 2;
        }
        request.scene.step = *options.step;
    }
    request.colourNames = QzReadColourNames(ldrawDir);
    const exports::ExportResult done =
        exports::ExportModel(options.output, model, palette, request);
    if (!done.written) {
        err << "zarvel-cli: " << done.error << "\n";
        return 1;
    }
    out << exports::SummaryText(done.summary, *format);
    if (done.summary.missing > 0 || boxes > 0) return 1;
    return out ? 0 : 1;
}

}  // namespace cli
