#include "povbase.h"

#include <cmath>
#include <cstdarg>

#include "format.h"

PovScene::PovScene(std::ostream& streamIn, const QzModel& modelIn, const QzPalette& paletteIn,
                   const PovExportOptions& optionsIn)
    : stream(streamIn),
      model(modelIn),
      palette(paletteIn),
      options(optionsIn),
      lights(modelIn.lights) {}

const PovScene::PartFigures* PovScene::FindFigures(const QzPart* part) const {
    auto found = figures_.find(part);
    return found == figures_.end() ? nullptr : &found->second;
}

double PovChecked(PovScene& scene, double value) {
    if (!std::isfinite(value)) scene.outOfRange = true;
    return value;
}

std::string PovVector(PovScene& scene, float x, float y, float z) {
    return plat::Format("<%g,%g,%g>", PovChecked(scene, x), PovChecked(scene, y),
                        PovChecked(scene, z));
}

std::string PovVector(PovScene& scene, const QzVector& v) {
    return PovVector(scene, v.x, v.y, v.z);
}

void PovPut(std::ostream& out, std::string_view text) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        out.write(text.data() + start, static_cast<std::streamsize>(i - start));
        out.write("\r\n", 2);
        start = i + 1;
    }
    out.write(text.data() + start, static_cast<std::streamsize>(text.size() - start));
}

void PovPrintf(std::ostream& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = plat::VFormat(format, args);
    va_end(args);
    PovPut(out, text);
}

void PovPrintf(PovScene& scene, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = plat::VFormat(format, args);
    va_end(args);
    PovPut(scene.stream, text);
}

std::string PovCommentText(std::string_view text) {
    std::string comment(text);
    for (char& c : comment) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return comment;
}
