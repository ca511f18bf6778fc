// Measurements of the last load and the last drawing, shown by the status bar and the
// statistics report. One set for the program: every drawing overwrites the drawing
// statistics, and the POV export overwrites them with its own duration.
#pragma once

#include <cstdint>
#include <string>

struct QzDrawStatistics {
    // Index 1 to 5 by line type: references walked, lines drawn, triangles drawn,
    // quadrilaterals drawn, optional lines considered. Index 0 is unused.
    int32_t typeCount[6];
    int32_t drawTimeMs;
    int32_t calcTimeMs;
    // "M:%d V:%d": matrix products and point transforms of the last full drawing.
    std::string transformText;
};

inline QzDrawStatistics QzDrawStats{};

// Duration of the last model load in milliseconds.
inline int32_t loadTimeMs = 0;
