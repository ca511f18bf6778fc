// The form of a part the drawing walk reads: its lines of types 1 to 5 in their order,
// without the comments between them, each with the numbers of its points in the list
// of the part's distinct points, and figures of the part that do not depend on where it
// is drawn. The renderer builds it the first time it draws the part (see render/) and
// keeps it with the part; it goes when the part's lines go.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry.h"

struct QzLine;
struct QzPart;

struct QzDrawItem {
    // The stored line: its matrix and part (type 1), its random colour.
    const QzLine* line;
    int32_t colour;
    uint8_t type;
    uint8_t bfc;
    // Numbers of the line's points in QzDrawData::points (types 2 to 5).
    uint16_t point[4];
};

struct QzDrawData {
    std::vector<QzDrawItem> items;
    // The distinct points of the part's lines of types 2 to 5 (bit for bit distinct).
    std::vector<QzVector> points;
    // Lines of each type 1 to 5.
    int32_t lines[6] = {};
    // Whether the part has more distinct points than a number holds: its lines are
    // then transformed one by one, and `points` is empty.
    bool perLine = false;
    // Whether a stud part is reached through the part's references: the stud pass
    // passes over parts without.
    bool studsBelow = false;
    // Stud references the stud pass meets below the part; -1 until worked out.
    int64_t studReferences = -1;
    // The matrix products the stud pass makes below the part, by the options that
    // change them (lineAsStud, seams); -1 until worked out.
    int64_t studPassProducts[2][2] = {{-1, -1}, {-1, -1}};
};

// A part with more distinct points than this is walked line by line instead.
inline constexpr size_t QZ_MAX_DRAW_POINTS = 65535;
