// Measurements of one drawing, shown by the status bar and the statistics report: what
// the drawing walk counted and how long it took. Each drawing returns its own; the POV
// export returns its duration in the same form.
#pragma once

#include <cstdint>
#include <string>

struct QzDrawStatistics {
    // Index 1 to 5 by line type: references walked, lines drawn, triangles drawn,
    // quadrilaterals drawn, optional lines considered. Index 0 is unused.
    int32_t typeCount[6] = {};
    int32_t drawTimeMs = 0;
    int32_t calcTimeMs = 0;
    // Matrix products and point transforms of the last full drawing.
    uint32_t matrixMulCount = 0;
    uint32_t transformCount = 0;
    // Whether the drawing stopped before its end: the model places more than a drawing
    // walks (QZ_MAX_PLACEMENTS), or memory ran out.
    bool incomplete = false;
    // "M:%d V:%d" of the two counts of the last full drawing: the drag previews and the
    // export keep the text of the one before them.
    std::string transformText;
};
