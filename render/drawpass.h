// One complete drawing of the loaded model into the view's image: the order of work,
// the three drag previews, model box and axes, the statistics the status bar shows,
// the timing walk, per-part vertex lists and random colours.
#pragma once

#include <optional>
#include <string>

#include "geometry.h"
#include "measurements.h"
#include "model.h"
#include "viewtransform.h"

// Clears the image (all of it when full, else what the last drawing touched) and
// draws the model; the measurements of the drawing, or nothing when there was nothing
// to draw into or nothing to draw (the measurements before then stand).
std::optional<QzDrawStatistics> RedrawModel(QzRenderState& state, const QzModel& model, bool full);
std::optional<QzDrawStatistics> DrawModel(QzRenderState& state, const QzModel& model);

// The drag previews (the model up to its line `stop`, all of it for null) and the
// decorations; each ends with a flush of the renderer.
void DrawWireBoxes(QzRenderState& state, const QzPart* part, const QzLine* stop,
                   const QzMatrix& matrix);
void DrawSolidBoxes(QzRenderState& state, const QzPart* part, const QzLine* stop,
                    const QzMatrix& matrix);
void DrawModelBox(QzRenderState& state, const QzPart* part, const QzMatrix& matrix);
void DrawAxes(QzRenderState& state, const QzPart* part, const QzMatrix& matrix);
// Walks the model like a drawing without drawing; only its running time matters.
void TraverseTree(const QzRenderOptions& options, const QzPart* part, const QzMatrix& matrix);

// Works out beforehand what drawings of `top`, or of any file below it, work out on first
// use and keep with the parts (the walk form, the figures of the normal drawing, with
// highQuality the meshes of the high-quality drawing), so that several such drawings (of
// any step, in any colour) can run at once on threads of their own, each only reading
// what the parts keep. False when memory ran out.
bool QzPrepareDrawings(const QzPart& top, bool highQuality);

// The status-bar text of a drawing's measurements:
// "2:%d 3:%d 4:%d 5:%d %d.%03d seconds (%d) %s".
std::string QzDrawStatusText(const QzDrawStatistics& statistics);
