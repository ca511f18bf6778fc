#include "fit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "loader.h"
#include "model.h"
#include "render_math.h"

namespace {

// Smallest and largest screen x and y of the points seen, at zoom 100 around the
// box centre.
struct Extent {
    double minX = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();

    bool Empty() const { return !(minX <= maxX && minY <= maxY); }
    bool Holds(const QzVector& p) const {
        return p.x >= minX && p.x <= maxX && p.y >= minY && p.y <= maxY;
    }
    void Add(const QzVector& p) {
        // A point of a far-off or broken part that did not turn into a number is left out.
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
        minX = std::min(minX, double(p.x));
        maxX = std::max(maxX, double(p.x));
        minY = std::min(minY, double(p.y));
        maxY = std::max(maxY, double(p.y));
    }
};

// Every point the drawing walk would draw: the ends of lines and optional lines and
// the corners of triangles and quadrilaterals, through every reference.
void AddPoints(const QzPart& part, const QzMatrix& matrix, int depth, Extent& extent) {
    for (const QzLine* line = part.lines; line; line = line->next) {
        if (line->type == 1) {
            const QzPart* sub = line->part;
            if (!sub || (sub->flags & PF_EMPTY) || depth >= QZ_MAX_REFERENCE_DEPTH) continue;
            QzMatrix m;
            QzMultiply(m, matrix, line->p);
            // A part whose box lies inside the extent found so far cannot widen it:
            // most of a large model is passed over so.
            bool inside = true;
            for (int i = 0; i < 8 && inside; ++i) {
                QzVector corner;
                QzTransform(corner, m, QzBoxCorner(sub->box, i));
                inside = extent.Holds(corner);
            }
            if (!inside) AddPoints(*sub, m, depth + 1, extent);
        } else if (line->type >= 2 && line->type <= 5) {
            const int count = line->type == 5 ? 2 : line->type;
            for (int i = 0; i < count; ++i) {
                QzVector p;
                QzTransform(p, matrix, line->p[i]);
                extent.Add(p);
            }
        }
    }
}

}  // namespace

QzFit QzFitModel(const QzPart& model, const QzMatrix& view, int width, int height, int imageWidth,
                 QzFitPlacement placement) {
    QzFit fit;
    if (width <= 0 || height <= 0) return fit;
    const QzBox& box = model.box;
    if (!(box.min.x <= box.max.x && box.min.y <= box.max.y && box.min.z <= box.max.z)) return fit;

    // The view's turn about the box centre, one pixel per LDraw unit.
    const double c[3] = {(double(box.min.x) + box.max.x) / 2.0,
                         (double(box.min.y) + box.max.y) / 2.0,
                         (double(box.min.z) + box.max.z) / 2.0};
    QzMatrix turn{};
    for (int i = 0; i < 3; ++i) {
        double shift = 0;
        for (int j = 0; j < 3; ++j) {
            turn.m[i][j] = view.m[i][j];
            shift -= view.m[i][j] * c[j];
        }
        turn.m[i][3] = static_cast<float>(shift);
    }
    turn.m[3][3] = 1.0f;
    Extent e;
    AddPoints(model, turn, 0, e);
    if (e.Empty()) return fit;

    const double marginX = QZ_FIT_MARGIN * width;
    const double marginY = QZ_FIT_MARGIN * height;
    // Pixels per LDraw unit at which the points span the room between the margins.
    double scale = std::numeric_limits<double>::infinity();
    auto limit = [&scale](double room, double extent) {
        if (extent > 0) scale = std::min(scale, std::max(room, 1.0) / extent);
    };
    if (placement == QzFitPlacement::Centred) {
        limit(width - 2 * marginX, e.maxX - e.minX);
        limit(height - 2 * marginY, e.maxY - e.minY);
    } else {
        // The box centre stays where the view puts it; each side has its own room.
        const double cx = imageWidth / 2;
        const double cy = (2 * height) / 3;
        limit(width - marginX - cx, e.maxX);
        limit(cx - marginX, -e.minX);
        limit(cy - marginY, -e.minY);
        limit(height - marginY - cy, e.maxY);
    }
    // A model that is a single point keeps zoom 100.
    if (std::isfinite(scale))
        fit.zoom = static_cast<int32_t>(std::clamp(std::floor(scale * 100.0), 1.0, 1e8));

    if (placement == QzFitPlacement::Centred) {
        const double s = fit.zoom * 0.01;
        const double cx = imageWidth / 2;
        const double cy = (2 * height) / 3;
        fit.shiftX = static_cast<float>(width / 2.0 - (cx + s * (e.minX + e.maxX) / 2.0));
        fit.shiftY = static_cast<float>(height / 2.0 - (cy + s * (e.minY + e.maxY) / 2.0));
    }
    return fit;
}
