// The rasteriser: colour patterns and shading, and lines and triangles written into a
// band of rows of the image with a per-pixel depth test. QzPrimitiveWriter is the one
// writer of faces and lines in colour numbers: the drawing's bands write through one
// each, the renderer's own operations (previews and decorations) through one that
// holds every row.
#pragma once

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "geometry.h"
#include "options.h"
#include "zimage.h"

// Lines lie this much nearer than the faces they are drawn on (in depth units).
inline constexpr float QZ_LINE_PULL = 0.4f;
// A face is pushed back behind the lines lying on it by the depth it gains over a
// pixel, but by no more than the depth of this many LDraw units under the
// model-to-screen matrix: at low zoom a pixel spans several units, and detail that lies
// a few units under a face (the studs under a tile) must stay hidden.
inline constexpr float QZ_FACE_OFFSET_UNITS = 3.0f;
// Beyond its corners a face's plane may come nearer than its nearest corner (pushed
// back) by no more than the depth of this many LDraw units: a face that much in front
// of a parallel face keeps its corner pixels, a small face behind another stays behind
// it.
inline constexpr float QZ_NEAR_SLACK_UNITS = 0.25f;

// The farthest depth of each tile of kTile x kTile depths of a band of rows (rows y0 to
// y1 of a buffer `width` wide), worked out again where something was written since:
// what tells at once that a region lies behind what is drawn. Tiles start at the band's
// first row.
class QzDepthTiles {
  public:
    static constexpr int32_t kShift = 3;
    static constexpr int32_t kTile = 1 << kShift;
    // Columns of tiles of a buffer `width` wide, and rows of tiles of rows y0 to y1.
    static size_t Columns(int32_t width) {
        return static_cast<size_t>((width + kTile - 1) >> kShift);
    }
    static size_t Rows(int32_t y0, int32_t y1) {
        return y1 >= y0 ? static_cast<size_t>((y1 - y0) >> kShift) + 1 : 0;
    }

    // Tiles of rows y0 to y1 of a buffer `width` wide: every depth QZ_FAR_DEPTH when
    // `cleared`, else nothing known of them yet.
    void Reset(int32_t width, int32_t y0, int32_t y1, bool cleared = false);
    bool Empty() const { return far_.empty(); }
    // The written marks of the tiles row y lies in, by column of tiles.
    uint8_t* Marks(int32_t y) {
        return dirty_.data() + static_cast<size_t>((y - y0_) >> kShift) * columns_;
    }
    // Marks the tiles of columns c0 to c1 of row y as written.
    void Touch(int32_t y, int32_t c0, int32_t c1) {
        uint8_t* row = Marks(y);
        for (int32_t t = c0 >> kShift; t <= (c1 >> kShift); ++t) row[t] = 1;
    }
    // Whether every depth of `depth` in columns x0 to x1 and rows y0 to y1 (within the
    // buffer's columns and the band's rows) is nearer than `nearest`. From the tiles
    // alone it may answer false where a test of each depth would not; with `exact`, the
    // depths of a tile that is not wholly nearer decide instead.
    bool Behind(const float* depth, int32_t x0, int32_t x1, int32_t y0, int32_t y1, float nearest,
                bool exact) {
        for (int32_t ty = (y0 - y0_) >> kShift; ty <= ((y1 - y0_) >> kShift); ++ty) {
            const int32_t top = y0_ + (ty << kShift);
            const size_t row = static_cast<size_t>(ty) * columns_;
            for (int32_t tx = x0 >> kShift; tx <= (x1 >> kShift); ++tx) {
                const size_t t = row + static_cast<size_t>(tx);
                // A depth as near as `nearest` passes where the depth there is not nearer
                // still. A tile's farthest depth only comes nearer as it is written: one
                // worked out before may be too far, never too near.
                if (far_[t] < nearest) continue;
                const int32_t left = tx << kShift;
                if (dirty_[t] && Measure(depth, t, top, left) < nearest) continue;
                if (!exact ||
                    !Nearer(depth, std::max(x0, left), std::min(x1, left + kTile - 1),
                            std::max(y0, top), std::min({y1, top + kTile - 1, y1_}), nearest))
                    return false;
            }
        }
        return true;
    }

  private:
    // Works out the farthest depth of tile t, whose first row and column are given.
    float Measure(const float* depth, size_t t, int32_t top, int32_t left);
    // Whether every depth in columns x0 to x1 and rows y0 to y1, all within one tile, is
    // nearer than `nearest`.
    bool Nearer(const float* depth, int32_t x0, int32_t x1, int32_t y0, int32_t y1,
                float nearest) const;

    int32_t width_ = 0;
    int32_t y0_ = 0;
    int32_t y1_ = -1;
    size_t columns_ = 0;
    std::vector<float> far_;
    // Written since its farthest depth was worked out (or never worked out).
    std::vector<uint8_t> dirty_;
};

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
inline bool QzIsBelowDiagonal(const QzVector& a, const QzVector& b, const QzVector& c) {
    if (a.x == b.x) return true;
    return c.y > a.y + (b.y - a.y) / (b.x - a.x) * (c.x - a.x);
}
// True when the control points lie strictly on opposite sides of the line p0-p1.
bool QzOptionalLineHidden(const QzVector& p0, const QzVector& p1, const QzVector& c0,
                          const QzVector& c1);

// How a face's pixels are written: not at all, one colour with its depth, a quarter
// of the colour blended over the pixel without depth, or the checkerboard of the two
// pattern entries with depth; or only the depth, as Solid writes it (finding what
// hides what before a drawing).
enum class QzFill : uint8_t { None, Solid, Blend, Checker, Depth };
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
// `nearSlack`. Unlimited until a drawing sets it.
struct QzFaceOffset {
    float limit = 1.0e30f;
    float nearSlack = 1.0e30f;
};
// The face offsets of a drawing under its model-to-screen matrix.
QzFaceOffset QzFaceOffsetLimit(const QzMatrix& screen);

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
    // How far a face's depth may move from its plane.
    void SetFaceOffsetLimit(const QzFaceOffset& offset) { faceOffset_ = offset; }

    // Fills a triangle of the face; true when it wrote a pixel.
    bool FillTriangle(const QzVector& p0, const QzVector& p1, const QzVector& p2, QzFace& face);
    // Whether a small triangle or quadrilateral (corners p, at most kProbeSide pixels
    // each way) lies wholly behind what is drawn: none of the triangles it is filled with
    // can write a pixel. False where that is not known.
    bool SmallFaceHidden(int count, const QzVector* const p[]) const;
    static constexpr float kProbeSide = 24.0f;
    // Walks a line with the two pattern entries; true when it wrote a pixel.
    bool LineSpan(const QzVector& p0, const QzVector& p1, const uint8_t a[4], const uint8_t b[4]);
    // Whether every depth in the box's screen rectangle is nearer than its near
    // corner (the stud pass's occlusion test); true off the image. Only rows rowLo to
    // rowHi are read.
    bool BoxHidden(const QzVector& nearCorner, const QzVector& farCorner, int32_t rowLo = 0,
                   int32_t rowHi = INT32_MAX) const;

    int32_t Top() const { return y0_; }
    int32_t Bottom() const { return y1_; }

    // The depths and pixels of a rectangle of the band, kept to be put back.
    struct Patch {
        int32_t x0 = 0, x1 = -1, y0 = 0, y1 = -1;
        std::vector<float> depth;
        std::vector<uint8_t> pixels;
    };
    // Keeps columns x0 to x1 and rows y0 to y1, cut to the image's columns and the band's
    // rows.
    void Keep(Patch& patch, int64_t x0, int64_t x1, int64_t y0, int64_t y1) const;
    // Puts what was kept back as it was.
    void PutBack(const Patch& patch);

    // Keeps the farthest depth of each tile of kTile x kTile pixels of the band's rows,
    // worked out again where something was written since, for RegionHidden.
    void KeepTiles();
    // The farthest depth of each tile of the band's rows now, row of tiles by row.
    std::vector<float> TileFars() const;
    // Whether every depth of the band's rows is QZ_FAR_DEPTH.
    bool DepthCleared() const;
    // Whether nothing nearer than `nearest` can pass the depth test anywhere in columns
    // x0 to x1 and rows y0 to y1 of the band: every depth there is nearer already (true
    // when the region misses the band). Needs KeepTiles; tells from the tiles, so it may
    // answer false where a pixel by pixel test would not.
    bool RegionHidden(int64_t x0, int64_t x1, int64_t y0, int64_t y1, float nearest);
    // The same test on the farthest depths of tiles kept aside (TileFars).
    bool RegionHiddenBy(const std::vector<float>& tileFars, int64_t x0, int64_t x1, int64_t y0,
                        int64_t y1, float nearest) const;

  private:
    // Columns x0 to x1 and rows y0 to y1 cut to the image's columns and the band's rows;
    // false when nothing is left.
    bool ClampRegion(int64_t& x0, int64_t& x1, int64_t& y0, int64_t& y1) const;
    // Marks the tiles of columns c0 to c1 of row y as written.
    void TouchTiles(int32_t y, int32_t c0, int32_t c1) {
        if (!tiles_.Empty()) tiles_.Touch(y, c0, c1);
    }
    // Whether every depth in columns x0 to x1 and rows y0 to y1 is nearer than nearest
    // (a depth that is not a number lets nothing pass either).
    bool NearerEverywhere(int32_t x0, int32_t x1, int32_t y0, int32_t y1, float nearest) const;
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
    // The farthest depth of each tile (KeepTiles); empty when the band keeps none.
    QzDepthTiles tiles_;
};

// Faces and lines in colour numbers into a band of rows: each colour resolved once,
// edge lines pulled QZ_LINE_PULL in front of the faces they lie on, quadrilaterals split
// in two triangles (three with a reflex corner).
class QzPrimitiveWriter {
  public:
    QzPrimitiveWriter(const QzRenderOptions& options, const QzPalette& palette);

    void Attach(const QzZImage& image, int32_t y0, int32_t y1, QzPixelRect* dirty,
                QzPixelRect* drawn) {
        band_.Attach(image, y0, y1, dirty, drawn);
    }
    void SetFaceOffsetLimit(const QzFaceOffset& offset) { band_.SetFaceOffsetLimit(offset); }

    // What a primitive did: triangles filled (a quadrilateral fills two or three) and
    // how many of them wrote a pixel; for lines, 1 and whether it wrote one.
    struct Result {
        uint32_t tried = 0;
        uint32_t wrote = 0;
    };
    // An edge line, pulled in front.
    Result Line(const QzVector& p0, const QzVector& p1, int32_t colour) {
        return Line(p0, p1, ColourOf(colour).pattern);
    }
    Result Line(const QzVector& p0, const QzVector& p1, const QzPixelPattern& pattern);
    // The line of an optional line, as it is (whether it shows is the caller's test).
    Result OptionalLine(const QzVector& p0, const QzVector& p1, int32_t colour) {
        return OptionalLine(p0, p1, ColourOf(colour).pattern);
    }
    Result OptionalLine(const QzVector& p0, const QzVector& p1, const QzPixelPattern& pattern);
    // A triangle (count 3) or quadrilateral (4) with corners p.
    Result Face(int count, const QzVector* const p[4], int32_t colour) {
        const Colour& c = ColourOf(colour);
        return Face(count, p, c.pattern, c.fill);
    }
    Result Face(int count, const QzVector* const p[4], const QzPixelPattern& pattern, QzFill fill) {
        QzFace face{pattern, fill, options_.shading, {p[0], p[1], p[2]}};
        Result result;
        auto fill3 = [&](const QzVector& a, const QzVector& b, const QzVector& c) {
            ++result.tried;
            if (band_.FillTriangle(a, b, c, face)) ++result.wrote;
        };
        // A reflex corner at p1 or p3 leaves part of a quadrilateral's outline uncovered
        // by its two halves; a third triangle covers it.
        const bool third = count == 4 && QzIsBelowDiagonal(*p[0], *p[2], *p[1]) ==
                                             QzIsBelowDiagonal(*p[0], *p[2], *p[3]);
        if (band_.SmallFaceHidden(count, p)) {
            // Wholly behind what is drawn: tried all the same, as the filling would have.
            result.tried = count == 3 ? 1 : third ? 3 : 2;
            return result;
        }
        fill3(*p[0], *p[1], *p[2]);
        if (count == 4) {
            fill3(*p[0], *p[2], *p[3]);
            if (third) fill3(*p[1], *p[2], *p[3]);
        }
        return result;
    }
    bool BoxHidden(const QzVector& nearCorner, const QzVector& farCorner, int32_t rowLo = 0,
                   int32_t rowHi = INT32_MAX) const {
        return band_.BoxHidden(nearCorner, farCorner, rowLo, rowHi);
    }
    // Whether a face in the colour writes every pixel it covers, with its depth.
    bool Opaque(int32_t colour) {
        const Colour& c = ColourOf(colour);
        return c.fill == QzFill::Solid ||
               (c.fill == QzFill::Checker && c.pattern.a[3] == 255 && c.pattern.b[3] == 255);
    }
    // Only the depths of a face as Face writes them.
    Result DepthOfFace(int count, const QzVector* const p[4]) {
        return Face(count, p, QzPixelPattern{}, QzFill::Depth);
    }
    QzRasterBand& Band() { return band_; }
    // Whether a primitive whose rows run from ya to yb may touch the band (a row of
    // slack each way for the line walk's own rounding).
    bool MayTouch(float ya, float yb) const {
        const int64_t lo = Row(std::min(ya, yb)) - 1;
        const int64_t hi = Row(std::max(ya, yb)) + 1;
        return hi >= band_.Top() && lo <= band_.Bottom();
    }
    int32_t Top() const { return band_.Top(); }
    int32_t Bottom() const { return band_.Bottom(); }

  private:
    struct Colour {
        QzPixelPattern pattern;
        QzFill fill;
    };
    const Colour& ColourOf(int32_t colour) {
        if (colour >= 0 && colour < kDirect && known_[static_cast<size_t>(colour)])
            return direct_[static_cast<size_t>(colour)];
        return Resolve(colour);
    }
    const Colour& Resolve(int32_t colour);
    // A screen row as the rasteriser truncates it, kept well inside the int range; NaN
    // lands far off.
    static int64_t Row(float v) {
        if (!(v > -1.0e9f)) return -1000000000;
        if (v > 1.0e9f) return 1000000000;
        return static_cast<int64_t>(v);
    }

    static constexpr int kDirect = 512;
    const QzRenderOptions& options_;
    const QzPalette& palette_;
    QzRasterBand band_;
    // Colours 0 to 511 by number, the others by a map.
    std::vector<Colour> direct_;
    std::vector<uint8_t> known_;
    std::unordered_map<int32_t, Colour> others_;
};
