// One complete drawing of the loaded model into the view's image: the order of work,
// the three drag previews, model box and axes, the statistics the status bar shows,
// the timing walk, per-part vertex lists and random colours.
#pragma once

#include <string>

#include "geometry.h"
#include "model.h"
#include "viewtransform.h"

// Clears the image (all of it when full, else what the last drawing touched) and
// draws the model.
void RedrawModel(QzRenderState& state, bool full);
void DrawModel(QzRenderState& state);

// The drag previews and decorations; each ends with a flush of the renderer.
void DrawWireBoxes(QzRenderState& state, bool top, QzPart* part, int32_t colour,
                   const QzMatrix& matrix, bool invert);
void DrawSolidBoxes(QzRenderState& state, bool top, QzPart* part, int32_t colour,
                    const QzMatrix& matrix, bool invert);
void DrawModelBox(QzRenderState& state, QzPart* part, int32_t colour, const QzMatrix& matrix);
void DrawAxes(QzRenderState& state, QzPart* part, const QzMatrix& matrix);
// Walks the model like a drawing without drawing; only its running time matters.
void TraverseTree(QzRenderState& state, bool top, QzPart* part, int32_t colour,
                  const QzMatrix& matrix);

// Builds the distinct-vertex list of every part in the table.
void BuildVertexLists();
// Builds the list of one part; false when it has none afterwards (too many vertices,
// no memory, or no points at all). maxPoints and maxVertices are raised to this part's
// figures.
bool QzBuildPartVertexList(QzPart* part, int& maxPoints, int& maxVertices);
// Sets randomColours; when on, gives every line of the main model a new random colour.
void SetRandomColours(QzRenderState& state, bool on);

// The status-bar text of the last drawing:
// "2:%d 3:%d 4:%d 5:%d %d.%03d seconds (%d) %s".
std::string QzDrawStatusText();
