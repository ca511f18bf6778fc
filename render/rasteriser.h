// The rasteriser: colour patterns and shading, and lines and triangles written into a
// band of rows of the image with a per-pixel depth test. The renderer's five virtual
// operations (lines, optional lines, triangles, quadrilaterals, the box occlusion test),
// defined in rasteriser.cpp, draw through a band that holds every row; the threads of a
// drawing each draw through a band of their own.
#pragma once

#include <cstdint>

#include "geometry.h"
#include "zimage.h"

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

// How a face's pixels are written: not at all, one colour with its depth, a quarter
// of the colour blended over the pixel without depth, or the checkerboard of the two
// pattern entries with depth.
enum class QzFill : uint8_t { None, Solid, Blend, Checker };
QzFill QzFillOf(const QzPixelPattern& pattern, bool ditherTransparency);

// The face being filled: its pattern, how the pattern is written, and its shading,
// which waits for the face's first written pixel (hidden faces never pay for it).
struct QzFace {
    QzPixelPattern pattern;
    QzFill fill;
    bool shadePending;
    // The points the shading comes from.
    const QzVector* shadePoints[3];
};

// How far a face's depth may move from its plane: pushed back by at most `limit`, and
// at pixels beyond its corners no nearer than its nearest corner (pushed back) less
// `nearSlack` (see QzRenderer::SetFaceOffsetLimit). Unlimited until a drawing sets it.
struct QzFaceOffset {
    float limit = 1.0e30f;
    float nearSlack = 1.0e30f;
};

// Rows y0 to y1 of an image, and the rectangles the drawing in them touched. Pixels
// outside the rows are left to other bands; a band reads only its own rows except in
// BoxHidden, which reads the whole image.
class QzRasterBand {
  public:
    // The image's buffers stay the caller's; dirty and drawn are the rectangles grown
    // with every pixel written (drawn by the whole of dirty whenever a line or a
    // triangle wrote something).
    void Attach(const QzZImage& image, int32_t y0, int32_t y1, QzPixelRect* dirty,
                QzPixelRect* drawn);
    // How far a face's depth may move from its plane (see QzRenderer::SetFaceOffsetLimit).
    void SetFaceOffsetLimit(const QzFaceOffset& offset) { faceOffset_ = offset; }

    // Fills a triangle of the face; true when it wrote a pixel.
    bool FillTriangle(const QzVector& p0, const QzVector& p1, const QzVector& p2, QzFace& face);
    // Walks a line with the two pattern entries; true when it wrote a pixel.
    bool LineSpan(const QzVector& p0, const QzVector& p1, const uint8_t a[4], const uint8_t b[4]);
    // Whether every depth in the box's screen rectangle is nearer than its near
    // corner (the stud pass's occlusion test); true off the image.
    bool BoxHidden(const QzVector& nearCorner, const QzVector& farCorner) const;

    int32_t Top() const { return y0_; }
    int32_t Bottom() const { return y1_; }

  private:
    // Writes the pixels of columns c0 to c1 of row y that pass the depth test, depth z
    // at c0 growing by dz per column but never below nearest.
    template <QzFill kind>
    void WriteSpan(int32_t y, int32_t c0, int32_t c1, float z, float dz, float nearest,
                   QzFace& face, int32_t& first, int32_t& last);

    uint8_t* pixels_ = nullptr;
    float* depth_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t y0_ = 0;
    int32_t y1_ = -1;
    QzPixelRect* dirty_ = nullptr;
    QzPixelRect* drawn_ = nullptr;
    // How far a face's depth may move, in depth units; unlimited until a drawing sets it.
    QzFaceOffset faceOffset_{};
};
