// Exporting a loaded model to a file, as the command line and the desktop program do:
// the format (from the output's extension, or named), the scene gathered through the one
// walk (exportscene.h) and written in that format, every file written beside its target
// and renamed over it only when all of them are complete (plat::AtomicFile): a .gltf
// and its .bin, an .obj and its .mtl, are put in place together or not at all.
//
//   exports::ExportRequest request;
//   request.format = *exports::FormatOfPath(path);
//   const exports::ExportResult done = exports::ExportModel(path, model, palette, request);
//   if (!done.written) ... done.error ...
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "colours.h"
#include "exportscene.h"
#include "model.h"

namespace exports {

enum class Format : uint8_t { Glb, Gltf, Stl, Obj };

struct FormatInfo {
    Format format;
    // As --format names it, which is also the extension.
    const char* name;
    // As a file dialog's filter shows it.
    const char* description;
};
extern const FormatInfo kFormats[4];

// "glb, gltf, stl, obj": the formats for messages.
std::string FormatNames();
std::optional<Format> FormatNamed(std::string_view name);
// The format of an output by its extension, in any letter case.
std::optional<Format> FormatOfPath(std::string_view path);
const FormatInfo& InfoOf(Format format);

// The file written beside the output: the .bin of a .gltf, the .mtl of an .obj (the
// output's name with that extension); empty for the formats of one file.
std::string CompanionPath(Format format, const std::string& output);

struct ExportRequest {
    Format format = Format::Glb;
    SceneRequest scene;
    // The colours' names (QzReadColourNames), for the materials.
    std::map<int32_t, std::string> colourNames;
};

// What an export wrote.
struct ExportSummary {
    int64_t parts = 0;
    int64_t meshes = 0;
    int64_t materials = 0;
    int64_t triangles = 0;
    int64_t dropped = 0;
    int64_t lines = 0;
    // Files placed that were not found.
    int64_t missing = 0;
    int32_t steps = 1;
    // Of every point written, in LDraw units of the model.
    QzBox box{};
};

struct ExportResult {
    bool written = false;
    // Why nothing was written.
    std::string error;
    ExportSummary summary;
};

// Exports the model to `output` (and its companion file). Nothing is written, and what
// was there stays, when the model cannot be exported or a write fails.
ExportResult ExportModel(const std::string& output, const QzModel& model, const QzPalette& palette,
                         const ExportRequest& request);

// The summary as the command line prints it, a line each: parts, meshes, materials,
// triangles (and faces dropped), edge lines, the box in the output's units.
std::string SummaryText(const ExportSummary& summary, Format format);

// The file name an export of the model proposes: the model's base name with the
// format's extension.
std::string ProposedExportName(const std::string& modelPath, Format format);

}  // namespace exports
