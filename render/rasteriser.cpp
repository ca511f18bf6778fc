// The rasteriser: lines, optional lines, triangles and quadrilaterals into the image
// with a per-pixel depth test, plus the occlusion test of the stud pass. Every loop is
// limited to the image: geometry far outside it (high zoom, far-off parts) costs no
// more than geometry at its edge, and no float beyond the int range is converted.
#include "rasteriser.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "colours.h"
#include "options.h"

namespace {

constexpr uint8_t kGrey = 127;

// Truncation toward zero with the result kept well inside the int range; NaN lands
// far off the image.
inline int32_t TruncClamp(float v) {
    constexpr float kLimit = 1.0e9f;
    if (!(v > -kLimit)) return -1000000000;
    if (v > kLimit) return 1000000000;
    return static_cast<int32_t>(v);
}

// Truncation toward zero for the line walk, whose end points and their differences
// must stay consistent however far off the image they lie: a range wide enough that
// no coordinate of an image-sized line is clipped, and differences of two results
// still fit 64 bits. NaN lands far off the image.
inline int64_t TruncWide(float v) {
    constexpr float kLimit = 1.0e18f;
    if (!(v > -kLimit)) return -1000000000000000000LL;
    if (v > kLimit) return 1000000000000000000LL;
    return static_cast<int64_t>(v);
}

inline void SetEntry(uint8_t e[4], uint32_t rgb, uint8_t alpha) {
    e[0] = static_cast<uint8_t>(rgb & 0xFF);
    e[1] = static_cast<uint8_t>((rgb >> 8) & 0xFF);
    e[2] = static_cast<uint8_t>((rgb >> 16) & 0xFF);
    e[3] = alpha;
}

inline void SetEntryRgb(uint8_t e[4], int r, int g, int b, uint8_t alpha) {
    e[0] = static_cast<uint8_t>(r);
    e[1] = static_cast<uint8_t>(g);
    e[2] = static_cast<uint8_t>(b);
    e[3] = alpha;
}

inline void Grey(QzPixelPattern& p) {
    SetEntryRgb(p.a, kGrey, kGrey, kGrey, 255);
    SetEntryRgb(p.b, kGrey, kGrey, kGrey, 255);
}

inline void CopyEntry(uint8_t d[4], const uint8_t s[4]) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    d[3] = s[3];
}

// Writes pixel (x, y) of a line with the entry of its parity.
inline bool PlotLinePixel(uint8_t* pixels, float* depth, int32_t width, QzPixelRect& dirty,
                          int32_t x, int32_t y, float z, const uint8_t a[4], const uint8_t b[4]) {
    const uint8_t* e = ((x + y) & 1) ? a : b;
    if (e[3] == 0) return false;
    const size_t i = static_cast<size_t>(y) * width + x;
    float& d = depth[i];
    if (!(z <= d)) return false;
    d = z;
    uint8_t* p = pixels + i * 3;
    p[0] = e[2];
    p[1] = e[1];
    p[2] = e[0];
    if (x < dirty.x0) dirty.x0 = x;
    if (x > dirty.x1) dirty.x1 = x;
    if (y < dirty.y0) dirty.y0 = y;
    if (y > dirty.y1) dirty.y1 = y;
    return true;
}

// The steps k = 0..n of a walk whose minor coordinate is start + k * step and must
// truncate into [first, limit): a range a little wider than exact, so the per-pixel
// test stays the only judge.
inline void MinorRange(float start, float step, int32_t first, int32_t limit, int64_t n,
                       int64_t& k0, int64_t& k1) {
    k0 = 0;
    k1 = n;
    if (step == 0.0f) {
        if (!(start > static_cast<float>(first) - 1.0f && start < static_cast<float>(limit)))
            k1 = -1;
        return;
    }
    const double lo = (static_cast<double>(first) - 1.0 - start) / step;
    const double hi = (static_cast<double>(limit) - start) / step;
    double a = std::min(lo, hi) - 2.0;
    double b = std::max(lo, hi) + 2.0;
    if (a > static_cast<double>(k0)) k0 = a > 4e18 ? INT64_MAX / 2 : static_cast<int64_t>(a);
    if (b < static_cast<double>(k1)) k1 = b < -4e18 ? -1 : static_cast<int64_t>(b);
}

// Depth of a line at a pixel: the depth of the line's point nearest to the pixel's
// centre, where the faces take theirs; the walk's own running depth belongs to a point
// that may lie more than a pixel further along the line. The walk's first and last
// pixels, whose centres may lie beyond the line's ends, take the depth of the end
// point they hold.
class LineDepth {
  public:
    LineDepth(const QzVector& p0, const QzVector& p1)
        : x0_(p0.x - 0.5f), y0_(p0.y - 0.5f), z0_(p0.z), dz_(p1.z - p0.z) {
        const float ux = p1.x - p0.x, uy = p1.y - p0.y;
        const float length2 = ux * ux + uy * uy;
        const float inverse = length2 > 0.0f && length2 < 1.0e30f ? 1.0f / length2 : 0.0f;
        tx_ = ux * inverse;
        ty_ = uy * inverse;
    }
    float At(int32_t x, int32_t y) const {
        const float t = (static_cast<float>(x) - x0_) * tx_ + (static_cast<float>(y) - y0_) * ty_;
        return z0_ + t * dz_;
    }

  private:
    float x0_, y0_, z0_, dz_;
    float tx_ = 0.0f, ty_ = 0.0f;
};

// Depth of a face at the centre of each pixel it covers, from the plane through its
// three corners. Two parallel faces thus differ at every pixel by exactly the distance
// between them, however their truncated edges fall, and a face a fraction of a unit
// in front of another stays in front.
//
// The face is also pushed back by the depth it gains over one pixel, at most the given
// limit: a line lying on the face takes its depth at the pixel centre's nearest point
// of the line, at most about a pixel away, so it stays in front of the face, as a
// polygon offset keeps lines on filled faces. Which pixels a face covers does not
// change.
//
// The truncated edges cover pixels whose centres lie up to about a pixel and a half
// off the face, where the plane runs on beyond the corners' depths. A small face seen
// at a steep angle would come forward there by several times its offset, in front of
// the face that hides it: its depth is kept no nearer than its nearest corner pushed
// back, less nearSlack (a quarter unit's depth, so that a face that much in front of
// a parallel one keeps its corner pixels).
//
// A face thinner than a pixel across its depth gradient (seen nearly or exactly
// edge-on) has no useful plane: its corners are almost in line on the screen, and the
// plane through them tilts wildly with their rounding. It takes its depth along the
// two edges that bound each row instead, between its corners' depths, pushed back as
// far as the plane's slope says (the limit for a face exactly edge-on).
class DepthPlane {
  public:
    DepthPlane() = default;
    DepthPlane(const QzVector& p0, const QzVector& p1, const QzVector& p2, float offsetLimit,
               float nearSlack)
        : x0_(p0.x - 0.5f), y0_(p0.y - 0.5f), z0_(p0.z) {
        const float ux = p1.x - p0.x, uy = p1.y - p0.y, uz = p1.z - p0.z;
        const float vx = p2.x - p0.x, vy = p2.y - p0.y, vz = p2.z - p0.z;
        const float nz = ux * vy - uy * vx;
        const float lo = std::min(std::min(p0.z, p1.z), p2.z);
        const float hi = std::max(std::max(p0.z, p1.z), p2.z);
        if (nz != 0.0f) {
            const float inverse = -1.0f / nz;
            dzdx_ = (uy * vz - uz * vy) * inverse;
            dzdy_ = (uz * vx - ux * vz) * inverse;
        }
        const float slope = std::max(std::fabs(dzdx_), std::fabs(dzdy_));
        if (nz != 0.0f && slope <= hi - lo) {
            offset_ = std::min(slope, offsetLimit);
            nearest_ = lo + offset_ - nearSlack;
        } else if (hi > lo) {
            // Seen (nearly) edge-on: a line on it may lie a pixel away, where the face
            // gains more than its whole depth range.
            edges_ = true;
            offset_ = std::isfinite(slope) ? std::min(slope, offsetLimit) : offsetLimit;
        } else {
            // All corners at one depth, in line on the screen.
            dzdx_ = dzdy_ = 0.0f;
        }
    }

    // Depth at the first column of a span of row y and its step per column. The
    // filler's edges at this row lie at columns x1 (the top-middle or middle-bottom
    // edge, as middleRow says) and x2 (the top-bottom edge), whose corners are t, m, b
    // from the top.
    void Span(int32_t y, int32_t c0, int32_t c1, int32_t middleRow, int32_t x1, int32_t x2,
              const QzVector& t, const QzVector& m, const QzVector& b, float& z, float& dz) const {
        if (!edges_) {
            const float row = z0_ + dzdy_ * (static_cast<float>(y) - y0_);
            z = row + dzdx_ * (static_cast<float>(c0) - x0_) + offset_;
            dz = dzdx_;
            return;
        }
        const float centre = static_cast<float>(y) + 0.5f;
        const float z1 = y < middleRow ? EdgeDepth(t, m, centre) : EdgeDepth(m, b, centre);
        const float z2 = EdgeDepth(t, b, centre);
        const float step = (z2 - z1) / static_cast<float>(x2 - x1);
        const float zl = z1 + step * static_cast<float>(c0 - x1);
        const float zr = z1 + step * static_cast<float>(c1 - x1);
        dz = c1 > c0 ? (zr - zl) / static_cast<float>(c1 - c0) : 0.0f;
        z = zl + offset_;
    }
    // The nearest depth a pixel of the face may take.
    float Nearest() const { return nearest_; }

  private:
    // Depth of the edge a-b (a above b) at screen row y, kept between its ends.
    static float EdgeDepth(const QzVector& a, const QzVector& b, float y) {
        if (!(b.y > a.y)) return std::min(a.z, b.z);
        const float f = std::min(std::max((y - a.y) / (b.y - a.y), 0.0f), 1.0f);
        return a.z + f * (b.z - a.z);
    }

    // A corner, moved so that pixel coordinates minus it reach the pixel's centre.
    float x0_ = 0.0f, y0_ = 0.0f, z0_ = 0.0f;
    float dzdx_ = 0.0f, dzdy_ = 0.0f;
    float offset_ = 0.0f;
    bool edges_ = false;
    float nearest_ = -std::numeric_limits<float>::infinity();
};

}  // namespace

QzPixelPattern ResolveColour(int32_t colour, const QzRenderOptions& options,
                             const QzPalette& palette) {
    QzPixelPattern p{};
    const uint32_t u = static_cast<uint32_t>(colour);
    const uint32_t top = u >> 24;
    if (const QzLDConfigColour* defined = QzSchemeColour(palette, colour)) {
        // Below full alpha it is transparent under the same dither and blend rules as
        // 32 to 63.
        SetEntry(p.a, defined->rgb, 255);
        CopyEntry(p.b, p.a);
        if (defined->alpha < 255) p.b[3] = 0;
    } else if (colour >= 0 && colour <= 31) {
        SetEntry(p.a, palette.rgb[colour], 255);
        CopyEntry(p.b, p.a);
    } else if (colour >= 32 && colour <= 63) {
        SetEntry(p.a, palette.rgb[colour - 32], 255);
        SetEntryRgb(p.b, kGrey, kGrey, kGrey, 0);
    } else if (colour >= 256 && colour <= 511) {
        const uint32_t lo = palette.rgb[colour % 16];
        const uint32_t hi = palette.rgb[(colour / 16) % 16];
        if (options.dither256) {
            SetEntry(p.a, lo, 255);
            SetEntry(p.b, hi, 255);
        } else {
            SetEntryRgb(p.a, ((lo & 0xFF) + (hi & 0xFF)) / 2,
                        (((lo >> 8) & 0xFF) + ((hi >> 8) & 0xFF)) / 2,
                        (((lo >> 16) & 0xFF) + ((hi >> 16) & 0xFF)) / 2, 255);
            CopyEntry(p.b, p.a);
        }
    } else if (top == 2 || top == 3) {
        SetEntryRgb(p.a, (u >> 16) & 0xFF, (u >> 8) & 0xFF, u & 0xFF, 255);
        CopyEntry(p.b, p.a);
        if (top == 3) p.b[3] = 0;
    } else if (top >= 4 && top <= 7) {
        // Low 12-bit colour: red bits 8-11, green 4-7, blue 0-3; high: 20-23, 16-19, 12-15.
        const int lr = (u >> 8) & 0xF, lg = (u >> 4) & 0xF, lb = u & 0xF;
        const int hr = (u >> 20) & 0xF, hg = (u >> 16) & 0xF, hb = (u >> 12) & 0xF;
        if (top == 4 && !options.dither256) {
            SetEntryRgb(p.a, (lr + hr) * 17 / 2, (lg + hg) * 17 / 2, (lb + hb) * 17 / 2, 255);
            CopyEntry(p.b, p.a);
        } else {
            SetEntryRgb(p.a, lr * 17, lg * 17, lb * 17, (u & 0x1000000) ? 0 : 255);
            SetEntryRgb(p.b, hr * 17, hg * 17, hb * 17, (u & 0x2000000) ? 0 : 255);
        }
    } else {
        Grey(p);
    }
    return p;
}

void ShadeColours(const QzVector& p0, const QzVector& p1, const QzVector& p2,
                  QzPixelPattern& pattern) {
    QzVector u{p0.x - p2.x, p0.y - p2.y, p0.z - p2.z};
    QzVector v{p1.x - p2.x, p1.y - p2.y, p1.z - p2.z};
    double nx = static_cast<double>(u.y) * v.z - static_cast<double>(u.z) * v.y;
    double ny = static_cast<double>(u.z) * v.x - static_cast<double>(u.x) * v.z;
    double nz = static_cast<double>(u.x) * v.y - static_cast<double>(u.y) * v.x;
    double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!std::isfinite(len)) {
        // Corners so far apart (near the float limit) that their differences overflow
        // a float: the same normal from differences taken in double. Corners that are
        // not finite have none, and shade as a face without area.
        const double ux = double(p0.x) - p2.x, uy = double(p0.y) - p2.y, uz = double(p0.z) - p2.z;
        const double vx = double(p1.x) - p2.x, vy = double(p1.y) - p2.y, vz = double(p1.z) - p2.z;
        nx = uy * vz - uz * vy;
        ny = uz * vx - ux * vz;
        nz = ux * vy - uy * vx;
        len = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (!std::isfinite(len)) len = 0.0;
    }
    float fx = 0, fy = 0, fz = 0;
    if (len != 0.0) {
        const double inv = 1.0 / len;
        fx = static_cast<float>(nx * inv);
        fy = static_cast<float>(ny * inv);
        fz = static_cast<float>(nz * inv);
    }
    const double l = 0.57735026;
    const double i = std::fabs(fx * l + fy * l + fz * l) * 0.25 + 0.75;
    for (int k = 0; k < 3; ++k) {
        pattern.a[k] = static_cast<uint8_t>(pattern.a[k] * i);
        pattern.b[k] = static_cast<uint8_t>(pattern.b[k] * i);
    }
}

bool QzOptionalLineHidden(const QzVector& p0, const QzVector& p1, const QzVector& c0,
                          const QzVector& c1) {
    const float dx = p0.y - p1.y;
    const float dy = p1.x - p0.x;
    const float s0 = (c0.x - p0.x) * dx + (c0.y - p0.y) * dy;
    const float s1 = (c1.x - p0.x) * dx + (c1.y - p0.y) * dy;
    return (s0 < 0 && s1 > 0) || (s1 < 0 && s0 > 0);
}

QzFill QzFillOf(const QzPixelPattern& pattern, bool ditherTransparency) {
    const uint8_t* a = pattern.a;
    const uint8_t* b = pattern.b;
    if (!ditherTransparency) return b[3] == 0 ? QzFill::Blend : QzFill::Solid;
    // Nothing of this colour is ever drawn.
    if (a[3] == 0 && b[3] == 0) return QzFill::None;
    if (a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == 255 && b[3] == 255)
        return QzFill::Solid;
    return QzFill::Checker;
}

void QzDepthTiles::Reset(int32_t width, int32_t y0, int32_t y1, bool cleared) {
    width_ = width;
    y0_ = y0;
    y1_ = y1;
    columns_ = Columns(width);
    far_.assign(columns_ * Rows(y0, y1), QZ_FAR_DEPTH);
    // Unless cleared, nothing is known of them yet: each is worked out when first asked.
    dirty_.assign(far_.size(), cleared ? 0 : 1);
}

bool QzDepthTiles::Nearer(const float* depth, int32_t x0, int32_t x1, int32_t y0, int32_t y1,
                          float nearest) const {
#if defined(__SSE2__)
    static_assert(kTile == 8);
    // A row of the tile eight depths at a time, those outside the columns masked off:
    // the same answer without a turn at each depth that the processor cannot foresee.
    const int32_t left = x0 & ~(kTile - 1);
    if (left + kTile <= width_) {
        const int columns = ((2 << (x1 - left)) - 1) & ~((1 << (x0 - left)) - 1);
        const __m128 n = _mm_set1_ps(nearest);
        for (int32_t y = y0; y <= y1; ++y) {
            const float* d = depth + static_cast<size_t>(y) * width_ + left;
            // Not nearer (or not a number): !(d < nearest).
            const int farther = _mm_movemask_ps(_mm_cmpnlt_ps(_mm_loadu_ps(d), n)) |
                                _mm_movemask_ps(_mm_cmpnlt_ps(_mm_loadu_ps(d + 4), n)) << 4;
            if (farther & columns) return false;
        }
        return true;
    }
#endif
    for (int32_t y = y0; y <= y1; ++y) {
        const float* d = depth + static_cast<size_t>(y) * width_;
        for (int32_t x = x0; x <= x1; ++x)
            if (!(d[x] < nearest)) return false;
    }
    return true;
}

float QzDepthTiles::Measure(const float* depth, size_t t, int32_t top, int32_t left) {
    const int32_t bottom = std::min(top + kTile - 1, y1_);
    const int32_t right = std::min(left + kTile - 1, width_ - 1);
    float far = -QZ_FAR_DEPTH;
#if defined(__SSE2__)
    // A whole tile's rows four depths at a time. No depth is NaN (a depth is written
    // only where it passed a comparison), so the order of taking the largest does not
    // change it.
    static_assert(kTile == 8);
    if (right - left + 1 == kTile) {
        __m128 a = _mm_set1_ps(far), b = a;
        for (int32_t y = top; y <= bottom; ++y) {
            const float* d = depth + static_cast<size_t>(y) * width_ + left;
            a = _mm_max_ps(a, _mm_loadu_ps(d));
            b = _mm_max_ps(b, _mm_loadu_ps(d + 4));
        }
        a = _mm_max_ps(a, b);
        a = _mm_max_ps(a, _mm_shuffle_ps(a, a, _MM_SHUFFLE(1, 0, 3, 2)));
        a = _mm_max_ps(a, _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 0, 1)));
        far = _mm_cvtss_f32(a);
    } else
#endif
        for (int32_t y = top; y <= bottom; ++y) {
            const float* d = depth + static_cast<size_t>(y) * width_;
            for (int32_t x = left; x <= right; ++x) far = std::max(far, d[x]);
        }
    far_[t] = far;
    dirty_[t] = 0;
    return far;
}

void QzRasterBand::KeepTiles() { tiles_.Reset(width_, y0_, y1_); }

std::vector<float> QzRasterBand::TileFars() const {
    const size_t columns = QzDepthTiles::Columns(width_);
    std::vector<float> fars(columns * QzDepthTiles::Rows(y0_, y1_), -QZ_FAR_DEPTH);
    if (!depth_) return fars;
    for (int32_t y = y0_; y <= y1_; ++y) {
        float* row = fars.data() + static_cast<size_t>((y - y0_) >> QzDepthTiles::kShift) * columns;
        const float* d = depth_ + static_cast<size_t>(y) * width_;
        for (int32_t x = 0; x < width_; ++x)
            row[x >> QzDepthTiles::kShift] = std::max(row[x >> QzDepthTiles::kShift], d[x]);
    }
    return fars;
}

bool QzRasterBand::DepthCleared() const {
    if (!depth_) return false;
    for (int32_t y = y0_; y <= y1_; ++y) {
        const float* d = depth_ + static_cast<size_t>(y) * width_;
        for (int32_t x = 0; x < width_; ++x)
            if (d[x] != QZ_FAR_DEPTH) return false;
    }
    return true;
}

void QzRasterBand::Keep(Patch& patch, int64_t x0, int64_t x1, int64_t y0, int64_t y1) const {
    patch.depth.clear();
    patch.pixels.clear();
    if (!depth_ || !pixels_ || !ClampRegion(x0, x1, y0, y1)) {
        patch.x0 = patch.y0 = 0;
        patch.x1 = patch.y1 = -1;
        return;
    }
    patch.x0 = static_cast<int32_t>(x0);
    patch.x1 = static_cast<int32_t>(x1);
    patch.y0 = static_cast<int32_t>(y0);
    patch.y1 = static_cast<int32_t>(y1);
    const size_t columns = static_cast<size_t>(x1 - x0 + 1);
    for (int64_t y = y0; y <= y1; ++y) {
        const size_t at = static_cast<size_t>(y) * width_ + static_cast<size_t>(x0);
        patch.depth.insert(patch.depth.end(), depth_ + at, depth_ + at + columns);
        patch.pixels.insert(patch.pixels.end(), pixels_ + at * 3, pixels_ + (at + columns) * 3);
    }
}

void QzRasterBand::PutBack(const Patch& patch) {
    if (patch.x0 > patch.x1 || patch.y0 > patch.y1) return;
    const size_t columns = static_cast<size_t>(patch.x1 - patch.x0 + 1);
    for (int32_t y = patch.y0; y <= patch.y1; ++y) {
        const size_t row = static_cast<size_t>(y - patch.y0) * columns;
        const size_t at = static_cast<size_t>(y) * width_ + static_cast<size_t>(patch.x0);
        std::copy_n(patch.depth.data() + row, columns, depth_ + at);
        std::copy_n(patch.pixels.data() + row * 3, columns * 3, pixels_ + at * 3);
        // The depths are what they were: the tiles are worked out again when asked.
        TouchTiles(y, patch.x0, patch.x1);
    }
}

bool QzRasterBand::ClampRegion(int64_t& x0, int64_t& x1, int64_t& y0, int64_t& y1) const {
    x0 = std::max<int64_t>(x0, 0);
    x1 = std::min<int64_t>(x1, width_ - 1);
    y0 = std::max<int64_t>(y0, y0_);
    y1 = std::min<int64_t>(y1, y1_);
    return x0 <= x1 && y0 <= y1;
}

bool QzRasterBand::RegionHiddenBy(const std::vector<float>& tileFars, int64_t x0, int64_t x1,
                                  int64_t y0, int64_t y1, float nearest) const {
    const size_t columns = QzDepthTiles::Columns(width_);
    if (tileFars.empty()) return false;
    if (!ClampRegion(x0, x1, y0, y1)) return true;
    for (int64_t ty = (y0 - y0_) >> QzDepthTiles::kShift;
         ty <= ((y1 - y0_) >> QzDepthTiles::kShift); ++ty) {
        const float* row = tileFars.data() + static_cast<size_t>(ty) * columns;
        for (int64_t tx = x0 >> QzDepthTiles::kShift; tx <= (x1 >> QzDepthTiles::kShift); ++tx)
            if (!(row[tx] < nearest)) return false;
    }
    return true;
}

bool QzRasterBand::RegionHidden(int64_t x0, int64_t x1, int64_t y0, int64_t y1, float nearest) {
    if (tiles_.Empty() || !depth_) return false;
    if (!ClampRegion(x0, x1, y0, y1)) return true;
    return tiles_.Behind(depth_, static_cast<int32_t>(x0), static_cast<int32_t>(x1),
                         static_cast<int32_t>(y0), static_cast<int32_t>(y1), nearest, false);
}

void QzRasterBand::Attach(const QzZImage& image, int32_t y0, int32_t y1, QzPixelRect* dirty,
                          QzPixelRect* drawn) {
    pixels_ = image.pixels;
    depth_ = image.depth;
    width_ = image.width;
    height_ = image.height;
    y0_ = std::max(y0, 0);
    y1_ = std::min(y1, image.height - 1);
    dirty_ = dirty;
    drawn_ = drawn;
}

bool QzRasterBand::LineSpan(const QzVector& p0, const QzVector& p1, const uint8_t a[4],
                            const uint8_t b[4]) {
    if (!depth_ || !pixels_ || y0_ > y1_) return false;
    const int32_t w = width_;
    const int32_t top = y0_;
    const int32_t bottom = y1_;
    const int64_t dx = TruncWide(p1.x - p0.x);
    const int64_t dy = TruncWide(p1.y - p0.y);
    QzPixelRect& dirty = *dirty_;
    bool wrote = false;
    if (std::abs(dx) > std::abs(dy)) {
        // x-major: one pixel per column from the end with the smaller truncated x.
        const int64_t tx0 = TruncWide(p0.x);
        const int64_t tx1 = TruncWide(p1.x);
        const QzVector& s = tx0 <= tx1 ? p0 : p1;
        const QzVector& e = tx0 <= tx1 ? p1 : p0;
        const int64_t xs = std::min(tx0, tx1);
        const int64_t xe = std::max(tx0, tx1);
        const float n = static_cast<float>(std::abs(dx));
        const float sy = (e.y - s.y) / n;
        int64_t k0 = std::max<int64_t>(0, -xs);
        int64_t k1 = std::min<int64_t>(xe - xs, static_cast<int64_t>(w) - 1 - xs);
        if (!(s.y >= static_cast<float>(top) && s.y < static_cast<float>(bottom + 1) &&
              e.y >= static_cast<float>(top) && e.y < static_cast<float>(bottom + 1))) {
            int64_t r0, r1;
            MinorRange(s.y, sy, top, bottom + 1, xe - xs, r0, r1);
            k0 = std::max(k0, r0);
            k1 = std::min(k1, r1);
        }
        if (k0 > k1) return false;
        const LineDepth depth(p0, p1);
        for (int64_t k = k0; k <= k1; ++k) {
            const int32_t x = static_cast<int32_t>(xs + k);
            const float fy = s.y + sy * static_cast<float>(k);
            const int32_t y = TruncClamp(fy);
            if (x < 0 || x >= w || y < top || y > bottom) continue;
            const float z = k == 0 ? s.z : k == xe - xs ? e.z : depth.At(x, y);
            if (PlotLinePixel(pixels_, depth_, w, dirty, x, y, z, a, b)) {
                wrote = true;
                TouchTiles(y, x, x);
            }
        }
    } else {
        // y-major (a single point too): one pixel per row.
        const int64_t ty0 = TruncWide(p0.y);
        const int64_t ty1 = TruncWide(p1.y);
        const QzVector& s = ty0 <= ty1 ? p0 : p1;
        const QzVector& e = ty0 <= ty1 ? p1 : p0;
        const int64_t ys = std::min(ty0, ty1);
        const int64_t ye = std::max(ty0, ty1);
        int64_t k0 = std::max<int64_t>(0, static_cast<int64_t>(top) - ys);
        int64_t k1 = std::min<int64_t>(ye - ys, static_cast<int64_t>(bottom) - ys);
        if (k0 > k1) return false;
        float sx = 0;
        if (dy != 0) sx = (e.x - s.x) / static_cast<float>(std::abs(dy));
        if (!(s.x >= 0 && s.x < w && e.x >= 0 && e.x < w)) {
            int64_t r0, r1;
            MinorRange(s.x, sx, 0, w, ye - ys, r0, r1);
            k0 = std::max(k0, r0);
            k1 = std::min(k1, r1);
        }
        if (k0 > k1) return false;
        const LineDepth depth(p0, p1);
        for (int64_t k = k0; k <= k1; ++k) {
            const int32_t y = static_cast<int32_t>(ys + k);
            const int32_t x = TruncClamp(s.x + sx * static_cast<float>(k));
            if (x < 0 || x >= w || y < top || y > bottom) continue;
            const float z = k == 0 ? s.z : k == ye - ys ? e.z : depth.At(x, y);
            if (PlotLinePixel(pixels_, depth_, w, dirty, x, y, z, a, b)) {
                wrote = true;
                TouchTiles(y, x, x);
            }
        }
    }
    if (wrote) QzRectGrow(*drawn_, dirty);
    return wrote;
}

QzFaceOffset QzFaceOffsetLimit(const QzMatrix& screen) {
    // Depth per LDraw unit: the length of the matrix's depth row.
    const double x = screen.m[2][0], y = screen.m[2][1], z = screen.m[2][2];
    const double unit = std::sqrt(x * x + y * y + z * z);
    const double limit = QZ_FACE_OFFSET_UNITS * unit;
    const double slack = QZ_NEAR_SLACK_UNITS * unit;
    QzFaceOffset offset;
    offset.limit = std::isfinite(limit) ? static_cast<float>(limit) : 1.0e30f;
    offset.nearSlack = std::isfinite(slack) ? static_cast<float>(slack) : 1.0e30f;
    return offset;
}

template <QzFill kind>
void QzRasterBand::WriteSpan(int32_t y, int32_t c0, int32_t c1, float z, float dz, float nearest,
                             QzFace& face, int32_t& first, int32_t& last) {
    const uint8_t* a = face.pattern.a;
    const uint8_t* b = face.pattern.b;
    const size_t base = static_cast<size_t>(y) * width_;
    float* d = depth_ + base + c0;
    uint8_t* p = pixels_ + (base + c0) * 3;
    // The entry a pixel takes (odd x + y takes a) and whether it is written.
    auto entry = [&](int32_t c) { return kind == QzFill::Checker && !((c + y) & 1) ? b : a; };
    // The face's depth at the pixel: the plane's, but never nearer than allowed.
    auto depth = [&]() { return std::max(z, nearest); };
    auto passes = [&](int32_t c) {
        return depth() <= *d && (kind != QzFill::Checker || entry(c)[3] != 0);
    };
    int32_t c = c0;
    if constexpr (kind == QzFill::Depth) {
        for (; c <= c1; ++c, ++d, z += dz)
            if (depth() <= *d) *d = depth();
        return;
    }
    if (face.shadePending) {
        // Shading waits for the first pixel written: hidden and empty triangles never
        // pay for it. It scales both entries alike, so the kind of fill stays.
        while (c <= c1 && !passes(c)) ++c, ++d, p += 3, z += dz;
        if (c > c1) return;
        ShadeColours(*face.shadePoints[0], *face.shadePoints[1], *face.shadePoints[2],
                     face.pattern);
        face.shadePending = false;
    }
    // Pixel stores may alias the pattern: keep the solid colour in locals.
    const uint8_t sr = a[0], sg = a[1], sb = a[2];
    for (; c <= c1; ++c, ++d, p += 3, z += dz) {
        if (!passes(c)) continue;
        if constexpr (kind == QzFill::Blend) {
            // A quarter of the colour over what is there; the depth stays.
            p[0] = static_cast<uint8_t>((3 * p[0] + sb) / 4);
            p[1] = static_cast<uint8_t>((3 * p[1] + sg) / 4);
            p[2] = static_cast<uint8_t>((3 * p[2] + sr) / 4);
        } else if constexpr (kind == QzFill::Checker) {
            const uint8_t* e = entry(c);
            *d = depth();
            p[0] = e[2];
            p[1] = e[1];
            p[2] = e[0];
        } else {
            *d = depth();
            p[0] = sb;
            p[1] = sg;
            p[2] = sr;
        }
        if (first < 0) first = c;
        last = c;
    }
}

namespace {

// x0 + k * (x1 - x0) / rows truncated toward zero, as integer division gives it. The
// quotient is taken in double where that is exact: with the numerator below 2^53 and
// fewer than 2^23 rows, no integer lies within the double's rounding of a quotient
// that falls short of it. Far-off corners take the integer division.
inline int32_t EdgeX(int32_t x0, int32_t x1, int32_t rows, int64_t k) {
    if (rows == 0) return x0;
    const int64_t num = static_cast<int64_t>(x0) * rows + k * (static_cast<int64_t>(x1) - x0);
    constexpr int64_t kExact = int64_t{1} << 52;
    if (rows < (1 << 23) && num < kExact && num > -kExact)
        return static_cast<int32_t>(static_cast<double>(num) / static_cast<double>(rows));
    return static_cast<int32_t>(num / rows);
}

// A depth no pixel of a face with corners p (three or four, filled as triangles of
// them) spanning `columns` columns is nearer than, whatever the filling's rounding,
// under the face offsets; minus infinity where none is known.
inline float NearestFaceDepth(int count, const QzVector* const p[], int32_t columns,
                              const QzFaceOffset& offset) {
    float lo = p[0]->z, hi = p[0]->z;
    bool finite = std::isfinite(p[0]->z);
    for (int k = 1; k < count; ++k) {
        lo = std::min(lo, p[k]->z);
        hi = std::max(hi, p[k]->z);
        finite = finite && std::isfinite(p[k]->z);
    }
    if (!finite) return -std::numeric_limits<float>::infinity();
    const float reach = std::max(std::fabs(lo), std::fabs(hi));
    // A face's depth is never nearer than its nearest corner less the slack beyond its
    // corners, except seen edge-on, where it follows its edges and steps along a row:
    // nearer than its corners by rounding alone, a few units in the last place of the
    // largest depth it takes (corners and push back) per column.
    const float rounding = (static_cast<float>(columns) + 8.0f) * (reach + offset.limit) * 4.8e-7f;
    return lo - offset.nearSlack - rounding;
}

}  // namespace

bool QzRasterBand::NearerEverywhere(int32_t x0, int32_t x1, int32_t y0, int32_t y1,
                                    float nearest) const {
    for (int32_t y = y0; y <= y1; ++y) {
        const float* d = depth_ + static_cast<size_t>(y) * width_;
        for (int32_t x = x0; x <= x1; ++x)
            if (d[x] >= nearest) return false;
    }
    return true;
}

bool QzRasterBand::SmallFaceHidden(int count, const QzVector* const p[]) const {
    if (!depth_) return false;
    float lx = p[0]->x, hx = p[0]->x, ly = p[0]->y, hy = p[0]->y;
    for (int k = 1; k < count; ++k) {
        lx = std::min(lx, p[k]->x);
        hx = std::max(hx, p[k]->x);
        ly = std::min(ly, p[k]->y);
        hy = std::max(hy, p[k]->y);
    }
    // The rows and columns of the truncated corners, where its triangles' edges run.
    if (!(hx - lx <= kProbeSide && hy - ly <= kProbeSide)) return false;
    const int32_t c0 = std::max(TruncClamp(lx), 0), c1 = std::min(TruncClamp(hx), width_ - 1);
    const int32_t r0 = std::max(TruncClamp(ly), y0_), r1 = std::min(TruncClamp(hy), y1_);
    if (c0 > c1 || r0 > r1) return false;
    return NearerEverywhere(c0, c1, r0, r1, NearestFaceDepth(count, p, c1 - c0 + 1, faceOffset_));
}

bool QzRasterBand::FillTriangle(const QzVector& p0, const QzVector& p1, const QzVector& p2,
                                QzFace& face) {
    if (!depth_ || !pixels_ || face.fill == QzFill::None) return false;
    const int32_t w = width_;

    // Sort by y; equal y keeps the earlier point first.
    const QzVector* t = &p0;
    const QzVector* m = &p1;
    const QzVector* bt = &p2;
    if (m->y < t->y) std::swap(t, m);
    if (bt->y < m->y) {
        std::swap(m, bt);
        if (m->y < t->y) std::swap(t, m);
    }
    const int32_t yt = TruncClamp(t->y), ym = TruncClamp(m->y), yb = TruncClamp(bt->y);
    if (yb < y0_ || yt > y1_) return false;
    const int32_t xt = TruncClamp(t->x), xm = TruncClamp(m->x), xb = TruncClamp(bt->x);
    if (std::max({xt, xm, xb}) < 0 || std::min({xt, xm, xb}) >= w) return false;
    // All three corners in one column: every row's edges meet, nothing is filled.
    if (xt == xm && xm == xb) return false;

    // Made with the first span: many small triangles have none.
    DepthPlane plane;
    bool planeMade = false;

    bool wrote = false;
    QzPixelRect& r = *dirty_;
    const int32_t y0 = std::max(yt, y0_);
    const int32_t y1 = std::min(yb, y1_);
    for (int32_t y = y0; y <= y1; ++y) {
        // Rows above the middle point run from the top-middle edge, the others from the
        // middle-bottom edge; both end at the top-bottom edge.
        const int64_t kt = static_cast<int64_t>(y) - yt;
        const int32_t x1e = y < ym ? EdgeX(xt, xm, ym - yt, kt)
                                   : EdgeX(xm, xb, yb - ym, static_cast<int64_t>(y) - ym);
        const int32_t x2e = EdgeX(xt, xb, yb - yt, kt);
        if (x1e == x2e) continue;
        const int32_t xl = std::min(x1e, x2e);
        const int32_t xr = std::max(x1e, x2e);
        if (xr < 0 || xl >= w) continue;
        const int32_t c0 = std::max(xl, 0);
        const int32_t c1 = std::min(xr, w - 1);
        if (!planeMade) {
            plane = DepthPlane(p0, p1, p2, faceOffset_.limit, faceOffset_.nearSlack);
            planeMade = true;
        }
        float z, dz;
        plane.Span(y, c0, c1, ym, x1e, x2e, *t, *m, *bt, z, dz);
        const float nearest = plane.Nearest();
        int32_t first = -1, last = -1;
        switch (face.fill) {
            case QzFill::Solid:
                WriteSpan<QzFill::Solid>(y, c0, c1, z, dz, nearest, face, first, last);
                break;
            case QzFill::Blend:
                WriteSpan<QzFill::Blend>(y, c0, c1, z, dz, nearest, face, first, last);
                break;
            case QzFill::Checker:
                WriteSpan<QzFill::Checker>(y, c0, c1, z, dz, nearest, face, first, last);
                break;
            case QzFill::Depth:
                WriteSpan<QzFill::Depth>(y, c0, c1, z, dz, nearest, face, first, last);
                break;
            case QzFill::None:
                break;
        }
        if (first >= 0) {
            wrote = true;
            TouchTiles(y, first, last);
            if (first < r.x0) r.x0 = first;
            if (last > r.x1) r.x1 = last;
            if (y < r.y0) r.y0 = y;
            if (y > r.y1) r.y1 = y;
        }
    }
    if (wrote) QzRectGrow(*drawn_, r);
    return wrote;
}

bool QzRasterBand::BoxHidden(const QzVector& nearCorner, const QzVector& farCorner, int32_t rowLo,
                             int32_t rowHi) const {
    if (!depth_) return true;
    int32_t x0 = TruncClamp(nearCorner.x), x1 = TruncClamp(farCorner.x);
    int32_t y0 = TruncClamp(nearCorner.y), y1 = TruncClamp(farCorner.y);
    if (x1 < 0 || x0 >= width_ || y1 < 0 || y0 >= height_) return true;
    x0 = std::max(x0, 0);
    y0 = std::max({y0, 0, rowLo});
    x1 = std::min(x1, width_ - 1);
    y1 = std::min({y1, height_ - 1, rowHi});
    return NearerEverywhere(x0, x1, y0, y1, nearCorner.z);
}

QzPrimitiveWriter::QzPrimitiveWriter(const QzRenderOptions& options, const QzPalette& palette)
    : options_(options), palette_(palette), direct_(kDirect), known_(kDirect, 0) {}

const QzPrimitiveWriter::Colour& QzPrimitiveWriter::Resolve(int32_t c) {
    if (c >= 0 && c < kDirect) {
        Colour& slot = direct_[static_cast<size_t>(c)];
        slot.pattern = ResolveColour(c, options_, palette_);
        slot.fill = QzFillOf(slot.pattern, options_.ditherTransparency);
        known_[static_cast<size_t>(c)] = 1;
        return slot;
    }
    auto found = others_.find(c);
    if (found != others_.end()) return found->second;
    Colour colour{ResolveColour(c, options_, palette_), QzFill::None};
    colour.fill = QzFillOf(colour.pattern, options_.ditherTransparency);
    return others_.emplace(c, colour).first->second;
}

QzPrimitiveWriter::Result QzPrimitiveWriter::Line(const QzVector& p0, const QzVector& p1,
                                                  const QzPixelPattern& pattern) {
    const QzVector q0{p0.x, p0.y, p0.z - QZ_LINE_PULL};
    const QzVector q1{p1.x, p1.y, p1.z - QZ_LINE_PULL};
    return {1, band_.LineSpan(q0, q1, pattern.a, pattern.b) ? 1u : 0u};
}

QzPrimitiveWriter::Result QzPrimitiveWriter::OptionalLine(const QzVector& p0, const QzVector& p1,
                                                          const QzPixelPattern& pattern) {
    return {1, band_.LineSpan(p0, p1, pattern.a, pattern.b) ? 1u : 0u};
}
