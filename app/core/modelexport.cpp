#include "modelexport.h"

#include "exportfile.h"
#include "ldconfig.h"

std::vector<std::string> QzExportFilters() {
    std::vector<std::string> filters;
    for (const exports::FormatInfo& info : exports::kFormats)
        filters.push_back(std::string(info.description) + " (*." + info.name + ")");
    return filters;
}

namespace {

const exports::FormatInfo& FilterFormat(int filter) {
    const int count = static_cast<int>(std::size(exports::kFormats));
    return exports::kFormats[filter >= 0 && filter < count ? filter : 0];
}

}  // namespace

std::string QzExportPath(const std::string& chosen, int filter) {
    if (exports::FormatOfPath(chosen)) return chosen;
    return chosen + "." + FilterFormat(filter).name;
}

std::string QzExportNameForFilter(const std::string& name, int filter) {
    std::string base = name;
    if (exports::FormatOfPath(name)) base.erase(base.find_last_of('.'));
    return base + "." + FilterFormat(filter).name;
}

std::string QzExportShownModel(const std::string& path, const QzModel& model,
                               const QzPalette& palette, const QzPart& shown, int step,
                               const std::string& ldrawDir) {
    exports::ExportRequest request;
    request.format = exports::FormatOfPath(path).value_or(exports::Format::Glb);
    request.scene.top = &shown;
    request.scene.step = step;
    request.colourNames = QzReadColourNames(ldrawDir);
    const exports::ExportResult done = exports::ExportModel(path, model, palette, request);
    if (done.written) return {};
    return "Could not export the model to " + path + ":\n" + done.error;
}
