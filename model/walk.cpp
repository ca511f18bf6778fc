#include "walk.h"

#include <unordered_set>

const int32_t QzEdgeColours[16] = {8, 9, 10, 11, 12, 13, 0, 8, 0, 1, 2, 3, 4, 5, 8, 8};

int32_t QzEdgeColour(const QzPalette& palette, int32_t inherited, bool black24) {
    if (black24) return 0;
    if (const QzLDConfigColour* defined = QzSchemeColour(palette, inherited)) return defined->edge;
    if (inherited < 0 || inherited > 15) return 0;
    return QzEdgeColours[inherited];
}

int32_t QzAllTransparentColour(const QzPalette& palette, int32_t c) {
    if (const QzLDConfigColour* defined = QzSchemeColour(palette, c)) {
        const uint32_t v = defined->rgb;
        if (defined->alpha == 255)
            c = static_cast<int32_t>(0x3000000 | (v & 0xFF) << 16 | (v & 0xFF00) |
                                     (v >> 16 & 0xFF));
    } else if (c >= 0 && c <= 31) {
        c += 32;
    } else if (c >= 0x2000000 && c <= 0x2FFFFFF) {
        c += 0x1000000;
    }
    return c;
}

int32_t QzFadedColour(const QzPalette& palette, int32_t c) {
    float rgb[3];
    if (QzColourToRgb(palette, c, rgb) != 0) return c;
    int32_t faded = 0;
    for (float v : rgb) {
        const float mixed = v + (1.0f - v) * QZ_FADE_TOWARDS_WHITE;
        faded = faded << 8 | static_cast<int32_t>(mixed * 255.0f + 0.5f);
    }
    const bool transparent = QzIsTransparentColour(palette, c) || (c >> 24) == 3;
    return (transparent ? 0x3000000 : 0x2000000) | faded;
}

QzMatrix QzSeamShrink(const QzPart& sub, float width) {
    QzMatrix s{};
    const float mins[3] = {sub.box.min.x, sub.box.min.y, sub.box.min.z};
    const float maxs[3] = {sub.box.max.x, sub.box.max.y, sub.box.max.z};
    for (int k = 0; k < 3; ++k) {
        const double e = static_cast<double>(maxs[k]) - mins[k];
        const double mid = (static_cast<double>(mins[k]) + maxs[k]) / 2.0;
        if (e == 0.0) {
            s.m[k][k] = 1.0f;
            s.m[k][3] = 0.0f;
        } else {
            const double r = width / e;
            s.m[k][k] = static_cast<float>(1.0 - r);
            s.m[k][3] = mid == 0.0 ? 0.0f : static_cast<float>(r * mid);
        }
    }
    s.m[3][3] = 1.0f;
    return s;
}

size_t QzItemsUpTo(const QzPart& part, const QzLine* stop, bool textures) {
    if (textures && part.cache->textured) {
        const std::vector<QzDrawItem>& items = part.cache->texturedItems;
        if (!stop) return items.size();
        // The lines up to the stop, and the texture geometry written before it.
        std::unordered_set<const QzLine*> before;
        bool found = false;
        for (const QzLine* line = part.lines; line; line = line->next) {
            before.insert(line);
            if (line == stop) {
                found = true;
                break;
            }
        }
        if (!found) return items.size();
        size_t count = 0;
        for (size_t i = 0; i < items.size(); ++i) {
            const QzLine* line = items[i].line;
            if (before.count(line) || (line->lineNo != 0 && line->lineNo <= stop->lineNo))
                count = i + 1;
        }
        return count;
    }
    const size_t all = part.cache->items.size();
    if (!stop) return all;
    size_t count = 0;
    for (const QzLine* line = part.lines; line; line = line->next) {
        if (line->type >= 1 && line->type <= 5) ++count;
        if (line == stop) return count;
    }
    return all;
}
