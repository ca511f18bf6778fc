// The normal drawing of a model. The one walk (model/walk.h) turns the model into a
// list of instances: each a run of a placed file's lines of types 2 to 5 with the
// file's matrix, colour, culling and inversion, in the order of the walk; then the
// studs of the stud pass: the walk meets a stud once everything before it is drawn, asks
// whether it can still change a pixel, and walks into it (its runs follow) only when it
// can. The list is made and drawn in chunks, so its memory stays bounded whatever the
// model places.
//
// The picture is cut in bands of rows, one thread each; every band walks the model
// itself and draws, in the order of the list, each instance that may touch its rows
// (as the boxes of the files placed tell), so each pixel sees the same lines in the
// same order whatever the number of bands: the picture, its rectangles and its counts
// do not depend on it. Each instance is counted by the first band that draws it. A stud
// lying across bands shows when some band finds it showing in its own rows. Where its
// own rows cannot tell whether drawing the stud there changes a pixel, a band draws it
// and waits for the others only when that did change one, putting back what it drew
// when none of them shows the stud.
//
// All faces and lines are written through QzPrimitiveWriter (rasteriser.h).
#pragma once

#include "geometry.h"
#include "model.h"
#include "options.h"
#include "renderer.h"

// One drawing of a model: what is drawn (a file and, for a building step, its last
// line), where (the model-to-screen matrix), how (switches and colours) and with how
// many threads.
struct QzDrawJob {
    const QzPart* top = nullptr;
    // The last line of `top` the drawing draws (a building step); null for all.
    const QzLine* stop = nullptr;
    // The last line of `top` drawn faded, lighter (the steps before the one drawn), with
    // all it places; null for none.
    const QzLine* fadeThrough = nullptr;
    // The colour `top` is drawn in (what its colour 16 stands for).
    int32_t colour = 7;
    QzMatrix screen{};
    const QzRenderOptions* options = nullptr;
    const QzPalette* palette = nullptr;
    // Bands of rows drawn at once; "Refresh after each part" and vertex lists are drawn
    // by one.
    int threads = 1;
    // The most files the drawing places (the high-quality drawing: QZ_MAX_HQ_PLACEMENTS
    // at most); it stops there, incomplete.
    uint64_t maxPlacements = QZ_MAX_PLACEMENTS;
};

// How a drawing ended.
enum class QzDrawOutcome {
    Drawn,
    // Memory ran out for the walk form of the parts: nothing was drawn.
    NoMemory,
    // The model places more files than QZ_MAX_PLACEMENTS: the drawing stopped there.
    TooManyPlacements,
};

// The message of a drawing that stopped at the bound on placements.
const char* QzTooManyPlacementsText();

// Draws the model into the renderer's image (cleared by the caller) and shows it,
// counting into the renderer's statistics: references walked, matrix products, point
// transforms, lines of each type.
QzDrawOutcome QzDrawNormal(QzRenderer& renderer, const QzDrawJob& job);

// The number of threads drawings use when not told: the machine's processors.
int QzDefaultDrawThreads();

// First rows of `bands` bands, each at least a row high (the first is row 0), from the
// work of each row of a picture: the first band takes firstShare of the work (0: an equal
// share), the others equal shares of the rest.
std::vector<int32_t> QzSplitRows(const std::vector<double>& workPerRow, int bands,
                                 double firstShare = 0.0);
