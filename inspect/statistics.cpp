#include "statistics.h"

#include "format.h"
#include "sections.h"

namespace inspect {

namespace {

double D(float v) { return static_cast<double>(v); }

std::string BoxText(const QzBox& box) {
    return plat::Format("<%g,%g,%g> <%g,%g,%g>", D(box.min.x), D(box.min.y), D(box.min.z),
                        D(box.max.x), D(box.max.y), D(box.max.z));
}

constexpr const char* kOneLinerHeader =
    "Current view matrix one-liner for LDraw -a option: (except scaling):\r\n";

// The nine orientation numbers, row by row, for the "-a" option; no translation
// column and no fourth row.
std::string OneLiner(const std::array<float, 16>& view, const char* lastSeparator) {
    std::string text;
    for (int row = 0; row < 3; ++row) {
        text += plat::Format("%.4g,%.4g,%.4g%s", D(view[row * 4 + 0]), D(view[row * 4 + 1]),
                             D(view[row * 4 + 2]), row < 2 ? "," : lastSeparator);
    }
    return text;
}

}  // namespace

std::string StatisticsText(const QzModel& loaded, const QzDrawStatistics& drawing,
                           const std::array<float, 16>& view) {
    return StatisticsText(loaded, loaded.Main(), drawing, view);
}

std::string StatisticsText(const QzModel& loaded, const QzPart& model,
                           const QzDrawStatistics& drawing, const std::array<float, 16>& view) {
    std::string text;

    const bool main = &model == &loaded.Main();
    const QzFileTitle own = main ? QzFileTitle{} : QzTitleOf(model);
    text += "Title:\t" + (main ? loaded.modelTitle : own.title) + "\r\n";
    text += "Author:\t" + (main ? loaded.modelAuthor : own.author) + "\r\n";
    text += "\r\n";

    QzVector centre, size;
    QzVecMid(centre, model.box.min, model.box.max);
    QzVecSub(size, model.box.max, model.box.min);
    text += "BoundingBox:\t" + BoxText(model.box) + "\r\n";
    text += plat::Format("Center:\t<%g,%g,%g>\r\n", D(centre.x), D(centre.y), D(centre.z));
    text += plat::Format("Size:\t<%g,%g,%g>\r\n", D(size.x), D(size.y), D(size.z));
    text += "\r\n";

    text += kOneLinerHeader;
    text += OneLiner(view, "\r\n");
    text += "\r\n";

    text += "Timing:\r\n";
    text += plat::Format("\tLoad:\t%d ms\r\n", loaded.loadTimeMs);
    text += plat::Format("\tDraw:\t%d ms\r\n", drawing.drawTimeMs);
    text += plat::Format("\tCalc:\t%d ms (only in debug mode)\r\n", drawing.calcTimeMs);
    text += "\r\n";

    text += "LineTypes:\r\n";
    for (int type = 1; type <= 5; ++type) {
        text += plat::Format("\t%d\t%d\r\n", type, drawing.typeCount[type]);
    }
    text += "\r\n";

    text += "DatName\tPARTS\tEmpty\tBoundingBox\r\n";
    for (int i = 0; i < loaded.partCount; ++i) {
        const QzPart& part = loaded.parts[i];
        text += part.name;
        text += plat::Format("\t%d\t%d\t", (part.flags & PF_PARTS_DIR) ? 1 : 0,
                             (part.flags & PF_EMPTY) ? 1 : 0);
        text += BoxText(part.box) + "\r\n";
    }
    text += "\r\n";

    text += "Current view matrix (except scaling and translation):\r\n";
    for (int row = 0; row < 4; ++row) {
        text += plat::Format("%g\t%g\t%g\t%g\r\n", D(view[row * 4 + 0]), D(view[row * 4 + 1]),
                             D(view[row * 4 + 2]), D(view[row * 4 + 3]));
    }
    text += "\r\n";

    text += kOneLinerHeader;
    text += OneLiner(view, "");
    text += "\r\n";
    return text;
}

}  // namespace inspect
