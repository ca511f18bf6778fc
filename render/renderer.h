// The renderer: the off-screen image of a view with its background, clearing and
// showing, the measurements of the drawing made into it, and the primitive operations
// (lines, optional lines, triangles, quadrilaterals, the box occlusion test) that the
// drag previews and the decorations draw with. The drawing of a model itself is made
// by drawlist.h (normal) and hqrender.h (high quality).
#pragma once

#include <cstdint>

#include "geometry.h"
#include "measurements.h"
#include "options.h"
#include "rasteriser.h"
#include "zimage.h"

// The type-3 renderer: single-precision screen coordinates and a float depth buffer.
// It draws with the options and the palette it is given (both must outlive it).
class QzRenderer {
  public:
    QzRenderer(QzDisplaySink* sink, const QzRenderOptions* options, const QzPalette* palette);
    virtual ~QzRenderer() = default;
    QzRenderer(const QzRenderer&) = delete;
    QzRenderer& operator=(const QzRenderer&) = delete;

    // The primitive operations. Points are in screen space: x right, y down in pixels,
    // z depth growing away from the viewer. Colours are resolved at every call.
    virtual void DrawLine(const QzVector& p0, const QzVector& p1, int32_t colour);
    virtual void DrawTriangle(const QzVector& p0, const QzVector& p1, const QzVector& p2,
                              int32_t colour);
    virtual void DrawQuad(const QzVector& p0, const QzVector& p1, const QzVector& p2,
                          const QzVector& p3, int32_t colour);
    virtual void DrawOptionalLine(const QzVector& p0, const QzVector& p1, const QzVector& c0,
                                  const QzVector& c1, int32_t colour, bool drawAll);
    virtual bool IsBoxHidden(const QzVector& nearCorner, const QzVector& farCorner);

    // Takes a copy of the view's image descriptor, rectangles included.
    void SetImage(const QzZImage& image);
    void ClearImage(bool full);
    void Flush();
    // The background the image is cleared to: a checkerboard of the two colours (red,
    // green, blue each); both are red 119, green 215, blue 242 at first.
    void SetBackgroundColours(const uint8_t first[3], const uint8_t second[3]);

    // The face offsets of the drawings to come, from their model-to-screen matrix.
    void SetFaceOffsetLimit(const QzMatrix& screen);
    const QzFaceOffset& FaceOffsetLimit() const { return faceOffset_; }

    QzDisplaySink* sink;
    const QzRenderOptions* options;
    const QzPalette* palette;
    int32_t type = 3;
    QzZImage image{};
    // What the current drawing counted (line types and the work of the walk).
    QzDrawStatistics statistics;
    // Triangles and lines the primitive operations handed to the rasteriser, and how
    // many of them wrote a pixel.
    uint32_t trianglesTried = 0;
    uint32_t trianglesDrawn = 0;
    uint32_t linesTried = 0;
    uint32_t linesDrawn = 0;

  private:
    void Count(const QzPrimitiveWriter::Result& r, bool line);
    // Points the writer at the current image and face offset.
    void AttachWriter();

    // Blue, green, red of each pixel of a 4 x 2 block of the background.
    uint8_t background_[2][12];
    // How far a face's depth may move, in depth units; unlimited until a drawing sets it.
    QzFaceOffset faceOffset_{};
    // Every row of the image.
    QzPrimitiveWriter writer_;
};

// The screen rectangle of a stud's box placed by m, for the stud pass's occlusion test:
// lo holds the least x and y and the nearest depth, hi the greatest x and y.
void QzStudScreenBox(const QzPart& stud, const QzMatrix& m, QzVector& lo, QzVector& hi);

// How a walk treats a triangle or quadrilateral with screen points pts (type-3 or
// type-4 line of BFC bits lineBfc, in colour c): whether it is drawn at all (false: culled
// as certified and facing away), the colour it is drawn in (the BFC test colours
// replace c), and whether it counts as a line of its type.
struct QzFaceDecision {
    bool drawn;
    bool counted;
    int32_t colour;
};
// Whether a face facing away is culled: certified, in a placement that culls, with BFC on.
inline bool QzFaceCulledAway(const QzRenderOptions& o, uint32_t lineBfc, bool cull) {
    return o.bfc && cull && (lineBfc & LF_CULL);
}
// Whether QzDecideFace's drawn and counted depend on the face's side on the screen: when
// it may be culled, or the test colours show the side without culling; else a face is
// drawn and counted whichever way it faces.
inline bool QzFaceSideMatters(const QzRenderOptions& o, uint32_t lineBfc, bool cull) {
    return QzFaceCulledAway(o, lineBfc, cull) || (o.bfcTestColours && !o.bfc);
}
inline QzFaceDecision QzDecideFace(const QzRenderOptions& o, uint32_t lineBfc, const QzVector* pts,
                                   int32_t c, bool cull, bool invert) {
    const QzVector& p0 = pts[0];
    const bool cullHere = QzFaceCulledAway(o, lineBfc, cull);
    const bool inv = o.bfc && invert;
    const QzVector& q1 = inv ? pts[2] : pts[1];
    const QzVector& q2 = inv ? pts[1] : pts[2];
    const bool front = (q1.y - p0.y) * (q2.x - p0.x) > (q1.x - p0.x) * (q2.y - p0.y);
    bool counted = true;
    if (o.bfc && !cullHere) {
        if (o.bfcTestColours) c = 1;
    } else if (front) {
        if (o.bfcTestColours) c = 2;
    } else {
        if (cullHere && !o.bfcTestColours) return {false, false, c};
        if (o.bfcTestColours) {
            c = 4;
            counted = false;
        }
    }
    if (o.bfcTestColours && o.allTransparent) c += 32;
    return {true, counted, c};
}
