#include "exportfile.h"

#include <cmath>
#include <cstdio>
#include <new>

#include "atomicfile.h"
#include "gltfwriter.h"
#include "meshfiles.h"

namespace exports {

const FormatInfo kFormats[4] = {
    {Format::Glb, "glb", "glTF binary"},
    {Format::Gltf, "gltf", "glTF with its .bin"},
    {Format::Stl, "stl", "STL"},
    {Format::Obj, "obj", "OBJ with its .mtl"},
};

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path without its extension (a dot in a folder's name is no extension).
std::string WithoutExtension(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

// Writes the scene to the open files; false with a reason when the format cannot hold it.
bool WriteScene(Format format, const Scene& scene, const QzPalette& palette,
                const ExportRequest& request, const std::string& modelName,
                const std::string& companion, std::FILE* main, std::FILE* second,
                ExportSummary& summary, std::string& error) {
    switch (format) {
        case Format::Glb:
        case Format::Gltf: {
            const GltfDocument document(scene, palette, request.colourNames, modelName);
            summary.meshes = static_cast<int64_t>(document.MeshCount());
            summary.materials = static_cast<int64_t>(document.MaterialCount());
            if (format == Format::Gltf) {
                document.WriteJson(main, UriOfFileName(BaseName(companion)));
                document.WriteBin(second);
                return true;
            }
            if (document.WriteGlb(main)) return true;
            error = "the model is too large for a .glb file (4 GiB at most)";
            return false;
        }
        case Format::Stl:
            summary.meshes = static_cast<int64_t>(scene.meshes.size());
            if (WriteStl(main, scene, modelName)) return true;
            error = "the model has more triangles than an STL file can count";
            return false;
        case Format::Obj:
            summary.meshes = static_cast<int64_t>(scene.meshes.size());
            summary.materials = static_cast<int64_t>(WriteObj(
                main, second, scene, palette, request.colourNames, BaseName(companion), modelName));
            return true;
    }
    return false;
}

}  // namespace

std::string FormatNames() {
    std::string names;
    for (const FormatInfo& info : kFormats)
        names += (names.empty() ? "" : ", ") + std::string(info.name);
    return names;
}

std::optional<Format> FormatNamed(std::string_view name) {
    for (const FormatInfo& info : kFormats)
        if (name == info.name) return info.format;
    return std::nullopt;
}

std::optional<Format> FormatOfPath(std::string_view path) {
    const std::string base = BaseName(std::string(path));
    const size_t dot = base.find_last_of('.');
    if (dot == std::string::npos) return std::nullopt;
    return FormatNamed(Lower(std::string_view(base).substr(dot + 1)));
}

const FormatInfo& InfoOf(Format format) { return kFormats[static_cast<int>(format)]; }

std::string CompanionPath(Format format, const std::string& output) {
    if (format == Format::Gltf) return WithoutExtension(output) + ".bin";
    if (format == Format::Obj) return WithoutExtension(output) + ".mtl";
    return {};
}

ExportResult ExportModel(const std::string& output, const QzModel& model, const QzPalette& palette,
                         const ExportRequest& request) {
    ExportResult result;
    Scene scene;
    if (!CollectScene(model, palette, request.scene, scene, result.error)) return result;
    ExportSummary& summary = result.summary;
    summary.parts = scene.parts;
    summary.triangles = scene.triangles;
    summary.dropped = scene.dropped;
    summary.lines = scene.lineCount;
    summary.missing = scene.missing;
    summary.steps = scene.stepCount;
    summary.box = scene.box;

    const QzPart& top = request.scene.top ? *request.scene.top : model.Main();
    const std::string modelName = BaseName(top.name);
    const std::string companion = CompanionPath(request.format, output);
    plat::AtomicFile main, second;
    if (!main.Open(output, result.error)) return result;
    if (!companion.empty() && !second.Open(companion, result.error)) return result;
    if (!WriteScene(request.format, scene, palette, request, modelName, companion, main.File(),
                    second.File(), summary, result.error))
        return result;
    if (companion.empty() ? !main.Commit(result.error)
                          : !plat::CommitTogether(main, second, result.error))
        return result;
    result.written = true;
    return result;
}

std::string SummaryText(const ExportSummary& s, Format format) {
    // The box in the output's axes and units.
    const bool stl = format == Format::Stl;
    const double scale = stl ? 0.4 : 0.0004;
    auto mapped = [&](const QzVector& p, double out[3]) {
        if (stl) {
            out[0] = p.x * scale, out[1] = p.z * scale, out[2] = -p.y * scale;
        } else {
            out[0] = p.x * scale, out[1] = -p.y * scale, out[2] = -p.z * scale;
        }
        for (int k = 0; k < 3; ++k) out[k] += 0.0;  // no "-0"
    };
    std::string text = "Parts: " + std::to_string(s.parts) +
                       "\nMeshes: " + std::to_string(s.meshes) +
                       "\nMaterials: " + std::to_string(s.materials) +
                       "\nTriangles: " + std::to_string(s.triangles) + " (" +
                       std::to_string(s.dropped) + " faces without area left out)\n";
    if (s.lines) text += "Edge lines: " + std::to_string(s.lines) + "\n";
    if (s.box.min.x <= s.box.max.x) {
        double a[3], b[3];
        mapped(s.box.min, a);
        mapped(s.box.max, b);
        char line[200];
        std::snprintf(line, sizeof line, "BoundingBox (%s): <%g,%g,%g> <%g,%g,%g>\n",
                      stl ? "mm, Z up" : "m, Y up", std::fmin(a[0], b[0]), std::fmin(a[1], b[1]),
                      std::fmin(a[2], b[2]), std::fmax(a[0], b[0]), std::fmax(a[1], b[1]),
                      std::fmax(a[2], b[2]));
        text += line;
    }
    return text;
}

std::string ProposedExportName(const std::string& modelPath, Format format) {
    return WithoutExtension(BaseName(modelPath)) + "." + InfoOf(format).name;
}

}  // namespace exports
