// The full drawing of a model in bands of rows, one thread per band, with exactly the
// pixels, rectangles and counts of the renderer's own walk (QzRenderer::DrawPart from
// the top, studs last).
//
// Every thread walks the model in the order of its lines and writes only the rows of
// its band, so each pixel sees the same lines in the same order as in one walk. A part
// whose box lies wholly in other bands is left to their threads; each part is counted
// by the lowest band that walks it. The stud pass decides for each stud whether it can
// still change a pixel by looking at the depths in its rectangle: a stud in one band is
// decided by that band's thread, one across bands by the first of them once the others
// have drawn everything before it, so every decision sees the depths one walk would.
//
// The walk reads the parts in the form of model/drawdata.h: their drawable lines in a
// row and their distinct points, each transformed once per placement. The counts of
// point transforms are those of the line-by-line walk, taken from the parts' figures.
#pragma once

#include "geometry.h"
#include "model.h"
#include "renderer.h"

// Whether the walk in bands draws this renderer's drawing: not for a renderer whose
// operations are replaced, nor with vertex lists or a refresh after each part, which
// draw their own way, nor for a building step short of the whole model.
bool QzBandWalkApplies(const QzRenderer& renderer);

// Draws the model as renderer.DrawPart(true, model, 7, screen, cull, false) does, with
// that many threads (1: this one alone), and leaves the renderer's statistics,
// rectangles and flush as that walk would.
void QzDrawInBands(QzRenderer& renderer, const QzPart* model, const QzMatrix& screen, bool cull,
                   int threads);

// Makes the walk form of the part and of every part it reaches, where missing; false
// when memory ran out (the line-by-line walk draws then).
bool QzPrepareDrawData(const QzPart* part);

// The number of threads drawings use when not told: the machine's processors.
int QzDefaultDrawThreads();
