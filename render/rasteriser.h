// Colour patterns and shading of the rasteriser. The drawing operations themselves
// (lines, optional lines, triangles, quadrilaterals, the box occlusion test) are the
// renderer's five virtual operations, defined in rasteriser.cpp.
#pragma once

#include <cstdint>

#include "geometry.h"

class QzPalette;
struct QzRenderOptions;

// A colour as two entries of red, green, blue, alpha; alpha 0 means "not drawn".
// Pixel (x, y) uses a when x + y is odd and b when it is even.
struct QzPixelPattern {
    uint8_t a[4];
    uint8_t b[4];
};

// The pattern of a colour number under the palette and the dither256 option.
QzPixelPattern ResolveColour(int32_t colour, const QzRenderOptions& options,
                             const QzPalette& palette);
// Scales red, green and blue of both entries by the light falling on the face
// p0, p1, p2: 75% edge-on to 100% facing the light, either side alike.
void ShadeColours(const QzVector& p0, const QzVector& p1, const QzVector& p2,
                  QzPixelPattern& pattern);
// Which side of the diagonal a-b a point lies on (the quadrilateral split test).
bool QzIsBelowDiagonal(const QzVector& a, const QzVector& b, const QzVector& c);
// True when the control points lie strictly on opposite sides of the line p0-p1.
bool QzOptionalLineHidden(const QzVector& p0, const QzVector& p1, const QzVector& c0,
                          const QzVector& c1);
