// The renderer: walks the part tree, composes the transform of every reference,
// resolves inherited colours, culls back faces and hands screen-space primitives to
// its rasteriser, which writes the off-screen image. Also the record of drawing
// switches the view's commands toggle.
#pragma once

#include <cstdint>
#include <vector>

#include "colours.h"
#include "geometry.h"
#include "measurements.h"
#include "model.h"
#include "rasteriser.h"
#include "render_math.h"
#include "zimage.h"

struct QzRenderOptions {
    bool showType2 = true;
    bool showType3 = true;
    bool showType4 = true;
    bool showType5 = true;
    bool showAllType5 = false;
    bool colour24Black = false;
    bool seams = false;
    float seamWidth = 1.0f;  // LDraw units a part shrinks by along each axis
    bool shading = true;
    bool refreshEachPart = false;
    bool lineAsStud = false;
    bool studsLast = true;  // starts as the inverse of refreshEachPart
    bool edgesType3 = false;
    bool edgesType4 = false;
    bool vertexLists = false;
    bool randomColours = false;
    bool allTransparent = false;
    bool ditherTransparency = true;
    bool dither256 = true;
    bool bfc = true;
    // With refreshEachPart: the display is updated after every part, also one that drew
    // nothing.
    bool flushAfterEveryPart = false;
    // Faces are drawn in the colour of their culling (front 2, back 4, not certified 1)
    // instead of being culled.
    bool bfcTestColours = false;
    // "High &Quality": full drawings are made by the high-quality drawing (hqrender.h).
    bool highQuality = false;
};

// Edge colours of colours 0 to 15.
extern const int32_t QzEdgeColours[16];

// How far a face's depth may move under the model-to-screen matrix (see
// QzRenderer::SetFaceOffsetLimit).
QzFaceOffset QzFaceOffsetLimit(const QzMatrix& screen);

// The type-3 renderer: single-precision screen coordinates and a float depth buffer.
// It draws with the options and the palette it is given (both must outlive it) and
// counts its work into `statistics`, which a drawing resets.
class QzRenderer {
  public:
    QzRenderer(QzDisplaySink* sink, const QzRenderOptions* options, const QzPalette* palette);
    virtual ~QzRenderer() = default;
    QzRenderer(const QzRenderer&) = delete;
    QzRenderer& operator=(const QzRenderer&) = delete;

    // The rasteriser's five operations. Points are in screen space: x right, y down
    // in pixels, z depth growing away from the viewer.
    virtual void DrawLine(const QzVector& p0, const QzVector& p1, int32_t colour);
    virtual void DrawTriangle(const QzVector& p0, const QzVector& p1, const QzVector& p2,
                              int32_t colour);
    virtual void DrawQuad(const QzVector& p0, const QzVector& p1, const QzVector& p2,
                          const QzVector& p3, int32_t colour);
    virtual void DrawOptionalLine(const QzVector& p0, const QzVector& p1, const QzVector& c0,
                                  const QzVector& c1, int32_t colour, bool drawAll);
    virtual bool IsBoxHidden(const QzVector& nearCorner, const QzVector& farCorner);

    // Draws a part with the model-to-screen matrix in the inherited colour. The top call
    // draws the whole model and runs the stud pass afterwards.
    void DrawPart(bool top, const QzPart* part, int32_t colour, const QzMatrix& matrix, bool cull,
                  bool invert);
    // The second walk of studsLast: draws only the studs that can still change a pixel.
    void DrawStuds(bool top, const QzPart* part, int32_t colour, const QzMatrix& matrix, bool cull,
                   bool invert);
    bool IsStudHidden(const QzPart* sub, const QzMatrix& m);

    // Takes a copy of the view's image descriptor, rectangles included.
    void SetImage(const QzZImage& image);
    void ClearImage(bool full);
    void Flush();
    // The background the image is cleared to: a checkerboard of the two colours (red,
    // green, blue each); both are red 119, green 215, blue 242 at first.
    void SetBackgroundColours(const uint8_t first[3], const uint8_t second[3]);

    // A point transform and a matrix product of the walk, counted.
    template <typename P>
    void Transform(QzVector& d, const QzMatrix& m, const P& p) {
        QzTransform(d, m, p);
        ++statistics.transformCount;
    }
    template <typename B>
    void Multiply(QzMatrix& r, const QzMatrix& a, const B& b) {
        QzMultiply(r, a, b);
        ++statistics.matrixMulCount;
    }

    // A face is pushed back behind the lines lying on it by the depth it gains over a
    // pixel, but by no more than the depth of kFaceOffsetUnits LDraw units under the
    // model-to-screen matrix: at low zoom a pixel spans several units, and detail that
    // lies a few units under a face (the studs under a tile) must stay hidden.
    static constexpr float kFaceOffsetUnits = 3.0f;
    // Beyond its corners a face's plane may come nearer than its nearest corner (pushed
    // back) by no more than the depth of this many LDraw units: a face that much in
    // front of a parallel face keeps its corner pixels, a small face behind another
    // stays behind it.
    static constexpr float kNearSlackUnits = 0.25f;
    void SetFaceOffsetLimit(const QzMatrix& screen);
    const QzFaceOffset& FaceOffsetLimit() const { return faceOffset_; }

    // Colour of a stored line under the inherited colour (16, 24, random colours at
    // the top level, all-transparent). boxPreview is for the box previews, which
    // resolve 24 by the inherited colour alone and never use random colours.
    int32_t LineColour(const QzLine& line, int32_t inherited, bool top, bool boxPreview) const;

    QzDisplaySink* sink;
    const QzRenderOptions* options;
    const QzPalette* palette;
    int32_t type = 3;
    QzZImage image{};
    // What the current drawing counted (line types and the work of the walk).
    QzDrawStatistics statistics;
    uint32_t trianglesTried = 0;
    uint32_t trianglesDrawn = 0;
    uint32_t linesTried = 0;
    uint32_t linesDrawn = 0;
    uint32_t savedLinesDrawn = 0;
    uint32_t savedTrianglesDrawn = 0;
    bool inStudPass = false;
    // A building step: the top-level walk stops after this line of the main model
    // (null: every line). Set by the drawing pass for the duration of one drawing.
    const QzLine* lastTopLine = nullptr;

  private:
    // Fills one triangle of the current face.
    void FillTriangle(const QzVector& p0, const QzVector& p1, const QzVector& p2);
    // Starts a face of the colour, shaded (when shading is on) by the three points.
    void BeginFace(int32_t colour, const QzVector& p0, const QzVector& p1, const QzVector& p2);
    void DrawLineSpan(const QzVector& p0, const QzVector& p1, const uint8_t a[4],
                      const uint8_t b[4]);
    // Points the band of every row at the current image and face offset.
    void AttachRaster();
    void ResolvePattern(int32_t colour, uint8_t a[4], uint8_t b[4]) const;
    void DrawPolygon(int count, const QzLine& line, const QzVector* pts, int32_t c, bool cull,
                     bool invert);

    // Blue, green, red of each pixel of a 4 x 2 block of the background.
    uint8_t background_[2][12];

    // How far a face's depth may move, in depth units; unlimited until a drawing sets it.
    QzFaceOffset faceOffset_{};

    // Every row of the image, and the face being filled.
    QzRasterBand raster_;
    QzFace face_{};

    // A part's vertices transformed for the walk (vertex-list mode), or none.
    struct VertexList {
        const QzVector* points = nullptr;
        int32_t count = 0;
        // Whether the line's first n vertex indices all lie in the list.
        bool Covers(const QzLine& line, int n) const;
    };
    // Every distinct vertex of the part transformed once into this depth's scratch
    // array; none when vertex lists are off or the part has no list.
    VertexList TransformVertices(const QzPart& part, const QzMatrix& matrix);
    // A type-1 line: the referenced part drawn with the combined matrix (shrunk for
    // seams), flushed afterwards in refresh-each-part mode.
    void DrawReference(const QzPart& part, const QzLine& line, int32_t colour,
                       const QzMatrix& matrix, bool top, bool refreshEach, bool cull, bool invert);
    // A line of type 2 to 5, from the vertex list when it covers the line.
    void DrawGeometry(const QzLine& line, int32_t colour, bool top, const QzMatrix& matrix,
                      const VertexList& verts, bool cull, bool invert);

    // Scratch arrays of transformed vertices for vertex-list mode, one per depth of
    // the walk, reused from drawing to drawing.
    std::vector<std::vector<QzVector>> vertexScratch_;
    int walkDepth_ = 0;
};

// Scale about the centre of the part's box so that it becomes `width` smaller along
// every axis that has an extent: the seams between parts, as every walk shrinks them.
QzMatrix QzSeamShrink(const QzPart& sub, float width);
// Whether the seams shrink a part sub placed in parent: a part of the parts folder placed
// in a model, with "Seams" on.
inline bool QzShrinksForSeams(const QzRenderOptions& o, const QzPart& parent, const QzPart& sub) {
    return o.seams && (sub.flags & PF_PARTS_DIR) && !(parent.flags & PF_PARTS_DIR);
}

// The screen rectangle of a stud's box placed by m, for the stud pass's occlusion test:
// lo holds the least x and y and the nearest depth, hi the greatest x and y.
void QzStudScreenBox(const QzPart& stud, const QzMatrix& m, QzVector& lo, QzVector& hi);

// The colour that colour 24 (the edge colour) stands for under colour `inherited`: black
// when black24 ("Color 24 as black"), else the edge colour LDConfig.ldr gives it, else
// the classic edge colour of colours 0 to 15, else black.
int32_t QzEdgeColour(const QzPalette& palette, int32_t inherited, bool black24);

// The colour a line of colour c takes under "Show all colors as transparent": an opaque
// colour of LDConfig.ldr turns into the direct transparent colour of its value
// (0x3RRGGBB), a classic colour into its transparent one, a direct opaque colour into
// its direct transparent one.
int32_t QzAllTransparentColour(const QzPalette& palette, int32_t c);

// How a walk treats a triangle or quadrilateral with screen points pts (type-3 or
// type-4 line of BFC bits lineBfc, in colour c): whether it is drawn at all (false: culled
// as certified and facing away), the colour it is drawn in (the BFC test colours
// replace c), and whether it counts as a line of its type.
struct QzFaceDecision {
    bool drawn;
    bool counted;
    int32_t colour;
};
inline QzFaceDecision QzDecideFace(const QzRenderOptions& o, uint32_t lineBfc, const QzVector* pts,
                                   int32_t c, bool cull, bool invert) {
    const QzVector& p0 = pts[0];
    const bool cullHere = o.bfc && cull && (lineBfc & LF_CULL);
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
