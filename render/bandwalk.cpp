#include "bandwalk.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>
#include <typeinfo>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "colours.h"
#include "drawdata.h"
#include "process.h"
#include "rasteriser.h"
#include "render_math.h"

namespace {

// ---------------------------------------------------------------------------------
// The walk form of a part.

uint64_t PointKey(const QzVector4& p) {
    uint32_t x, y, z;
    std::memcpy(&x, &p.x, 4);
    std::memcpy(&y, &p.y, 4);
    std::memcpy(&z, &p.z, 4);
    uint64_t h = x * 0x9E3779B97F4A7C15ULL;
    h ^= (h >> 29) + y * 0xBF58476D1CE4E5B9ULL;
    h ^= (h >> 31) + z * 0x94D049BB133111EBULL;
    return h ^ (h >> 32);
}

bool SamePoint(const QzVector& a, const QzVector4& b) {
    return std::memcmp(&a, &b, sizeof(QzVector)) == 0;
}

// Numbers every distinct point (bit for bit) of one part's lines.
class PointIndex {
  public:
    explicit PointIndex(std::vector<QzVector>& points) : points_(points) {}
    // The point's number; -1 when the part has more points than a number holds.
    int32_t Of(const QzVector4& p) {
        auto [first, last] = slots_.equal_range(PointKey(p));
        for (auto it = first; it != last; ++it)
            if (SamePoint(points_[static_cast<size_t>(it->second)], p)) return it->second;
        if (points_.size() >= QZ_MAX_DRAW_POINTS) return -1;
        const int32_t number = static_cast<int32_t>(points_.size());
        points_.push_back({p.x, p.y, p.z});
        slots_.emplace(PointKey(p), number);
        return number;
    }

  private:
    std::vector<QzVector>& points_;
    std::unordered_multimap<uint64_t, int32_t> slots_;
};

QzDrawData* BuildDrawData(const QzPart& part) {
    auto data = std::make_unique<QzDrawData>();
    PointIndex index(data->points);
    for (const QzLine* line = part.lines; line; line = line->next) {
        if (line->type < 1 || line->type > 5) continue;
        QzDrawItem item{line,
                        line->colour,
                        static_cast<uint8_t>(line->type),
                        static_cast<uint8_t>(line->bfc),
                        {0, 0, 0, 0}};
        const int n = line->type == 1 ? 0 : line->type == 5 ? 4 : line->type;
        for (int i = 0; i < n; ++i) {
            const int32_t number = index.Of(line->p[i]);
            if (number < 0) {
                data->perLine = true;
                break;
            }
            item.point[i] = static_cast<uint16_t>(number);
        }
        ++data->lines[line->type];
        if (line->type == 1 && line->part) {
            const QzPart* sub = line->part;
            if ((sub->flags & PF_STUD) || (sub->drawData && sub->drawData->studsBelow))
                data->studsBelow = true;
        }
        data->items.push_back(item);
    }
    if (data->perLine) std::vector<QzVector>().swap(data->points);
    return data.release();
}

bool Prepare(const QzPart* part, std::unordered_set<const QzPart*>& seen) {
    if (!part || !seen.insert(part).second) return true;
    for (const QzLine* line = part->lines; line; line = line->next)
        if (line->type == 1 && !Prepare(line->part, seen)) return false;
    if (part->drawData) return true;
    try {
        part->drawData = BuildDrawData(*part);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Stud references the stud pass meets below a part (studs not drawn as lines).
int64_t StudReferences(const QzPart& part) {
    QzDrawData& data = *part.drawData;
    if (data.studReferences >= 0) return data.studReferences;
    int64_t count = 0;
    if (data.studsBelow) {
        for (const QzDrawItem& item : data.items) {
            if (item.type != 1 || !item.line->part) continue;
            const QzPart* sub = item.line->part;
            count += (sub->flags & PF_STUD) ? 1 : StudReferences(*sub);
        }
    }
    data.studReferences = count;
    return count;
}

// The matrix products the stud pass makes below a part without studs.
int64_t StudPassProducts(const QzPart& part, const QzRenderOptions& o) {
    QzDrawData& data = *part.drawData;
    int64_t& memo = data.studPassProducts[o.lineAsStud ? 1 : 0][o.seams ? 1 : 0];
    if (memo >= 0) return memo;
    int64_t count = 0;
    for (const QzDrawItem& item : data.items) {
        if (item.type != 1 || !item.line->part) continue;
        const QzPart* sub = item.line->part;
        if ((sub->flags & PF_STUD) && o.lineAsStud) continue;
        count += 1;
        if (sub->flags & PF_STUD) continue;
        if (QzShrinksForSeams(o, part, *sub)) count += 1;
        count += StudPassProducts(*sub, o);
    }
    memo = count;
    return count;
}

// Works out the figures of the stud pass below every part reached, for these options,
// before the threads read them.
void PrepareFigures(const QzPart& model, const QzRenderOptions& o) {
    StudReferences(model);
    StudPassProducts(model, o);
}

// ---------------------------------------------------------------------------------
// What the threads of one drawing share: the rows of each band, and the meeting points
// of the studs that lie across bands.

struct Shared {
    explicit Shared(int bands)
        : arrived(static_cast<size_t>(bands)), inbox(static_cast<size_t>(bands)) {}
    // First row of each band; the last band runs to the end of the image.
    std::vector<int32_t> firstRow;
    // Per band: 1 + the number of the stud across bands its thread waits at.
    std::vector<std::atomic<uint64_t>> arrived;
    // Per band: the decision on that stud, (1 + number) * 2 + hidden, from the first band.
    std::vector<std::atomic<uint64_t>> inbox;
    int bands() const { return static_cast<int>(firstRow.size()); }
    int BandOfRow(int64_t row) const {
        int band = 0;
        while (band + 1 < bands() && row >= firstRow[static_cast<size_t>(band + 1)]) ++band;
        return band;
    }
};

// Waits until value >> shift is wanted: a spin of some tens of microseconds first (the
// other thread is usually that close: bands meet at every stud lying across them, and a
// sleep and wake-up there costs more than the stud), then asleep in the kernel until
// notified, so that a thread waiting on one that is not running gives up its processor
// instead of spinning through its time.
void WaitFor(const std::atomic<uint64_t>& value, uint64_t wanted, uint64_t shift) {
    for (int spins = 0; spins < 1024; ++spins) {
        if ((value.load(std::memory_order_acquire) >> shift) == wanted) return;
        __builtin_ia32_pause();
    }
    for (;;) {
        const uint64_t seen = value.load(std::memory_order_acquire);
        if ((seen >> shift) == wanted) return;
        value.wait(seen, std::memory_order_acquire);
    }
}

// Stores and wakes a thread waiting in WaitFor.
void Post(std::atomic<uint64_t>& value, uint64_t stored) {
    value.store(stored, std::memory_order_release);
    value.notify_all();
}

// The bands that walk a part: the first counts it.
struct Bands {
    int lo, hi;
};

// Truncation of a screen coordinate kept well inside the int range (as the rasteriser
// truncates); NaN lands far off.
int64_t Row(float v) {
    if (!(v > -1.0e9f)) return -1000000000;
    if (v > 1.0e9f) return 1000000000;
    return static_cast<int64_t>(v);
}

// ---------------------------------------------------------------------------------

class Walker {
  public:
    Walker(const QzRenderer& renderer, int band, Shared& shared, QzZImage image,
           const QzFaceOffset& faceOffset)
        : o_(*renderer.options), palette_(*renderer.palette), band_(band), shared_(shared) {
        dirty_ = QzEmptyRect(image.width, image.height);
        drawn_ = dirty_;
        const int32_t top = shared.firstRow[static_cast<size_t>(band)];
        const int32_t bottom = band + 1 < shared.bands()
                                   ? shared.firstRow[static_cast<size_t>(band + 1)] - 1
                                   : image.height - 1;
        raster_.Attach(image, top, bottom, &dirty_, &drawn_);
        raster_.SetFaceOffsetLimit(faceOffset);
        width_ = image.width;
        height_ = image.height;
    }

    void Run(const QzPart* model, const QzMatrix& screen, bool cull) {
        const Bands all{0, shared_.bands() - 1};
        inStudPass_ = false;
        Part(*model, 7, screen, cull, false, true, all, 0);
        if (o_.studsLast) {
            inStudPass_ = true;
            Studs(*model, 7, screen, cull, false, true, all);
        }
    }

    QzDrawStatistics counts;
    QzPixelRect dirty_{}, drawn_{};

  private:
    bool Counting(const Bands& b) const { return b.lo == band_; }

    // ---- Colours ----

    int32_t LineColour(const QzDrawItem& item, int32_t inherited, bool top) const {
        int32_t c;
        if (top && o_.randomColours) {
            c = item.line->randomColour;
        } else {
            c = item.colour;
            if (c == 16) {
                c = inherited;
            } else if (c == 24) {
                c = QzEdgeColour(palette_, inherited, o_.colour24Black);
            }
        }
        if (o_.allTransparent) c = QzAllTransparentColour(palette_, c);
        return c;
    }

    struct Colour {
        QzPixelPattern pattern;
        QzFill fill;
    };
    const Colour& ColourOf(int32_t c) {
        if (c >= 0 && c < kDirect) {
            Colour& slot = direct_[static_cast<size_t>(c)];
            if (!known_[static_cast<size_t>(c)]) {
                slot.pattern = ResolveColour(c, o_, palette_);
                slot.fill = QzFillOf(slot.pattern, o_.ditherTransparency);
                known_[static_cast<size_t>(c)] = true;
            }
            return slot;
        }
        auto found = others_.find(c);
        if (found != others_.end()) return found->second;
        Colour colour{ResolveColour(c, o_, palette_), QzFill::None};
        colour.fill = QzFillOf(colour.pattern, o_.ditherTransparency);
        return others_.emplace(c, colour).first->second;
    }

    // ---- Primitives, into this band ----

    void Line(const QzVector& p0, const QzVector& p1, int32_t colour) {
        const QzPixelPattern& p = ColourOf(colour).pattern;
        const QzVector q0{p0.x, p0.y, p0.z - 0.4f};
        const QzVector q1{p1.x, p1.y, p1.z - 0.4f};
        raster_.LineSpan(q0, q1, p.a, p.b);
    }

    // Whether a primitive with these rows may touch the band (a row of slack each way
    // for the line walk's own rounding).
    bool MayTouch(float ya, float yb) const {
        const int64_t lo = Row(std::min(ya, yb)) - 1;
        const int64_t hi = Row(std::max(ya, yb)) + 1;
        return hi >= raster_.Top() && lo <= raster_.Bottom();
    }

    void Face(int n, const QzVector* p, int32_t colour) {
        float lo = p[0].y, hi = p[0].y;
        for (int i = 1; i < n; ++i) {
            lo = std::min(lo, p[i].y);
            hi = std::max(hi, p[i].y);
        }
        if (!MayTouch(lo, hi)) return;
        const Colour& c = ColourOf(colour);
        if (c.fill == QzFill::None) return;
        QzFace face{c.pattern, c.fill, o_.shading, {&p[0], &p[1], &p[2]}};
        raster_.FillTriangle(p[0], p[1], p[2], face);
        if (n == 4) {
            raster_.FillTriangle(p[0], p[2], p[3], face);
            if (QzIsBelowDiagonal(p[0], p[2], p[1]) == QzIsBelowDiagonal(p[0], p[2], p[3]))
                raster_.FillTriangle(p[1], p[2], p[3], face);
        }
    }

    // A triangle or quadrilateral as the renderer's DrawPolygon handles it.
    void Polygon(int n, const QzDrawItem& item, const QzVector* pts, int32_t c, bool cull,
                 bool invert, bool counting) {
        const bool show = n == 3 ? o_.showType3 : o_.showType4;
        const bool edges = n == 3 ? o_.edgesType3 : o_.edgesType4;
        const QzFaceDecision face = QzDecideFace(o_, item.bfc, pts, c, cull, invert);
        if (!face.drawn) return;
        c = face.colour;
        if (face.counted && counting) ++counts.typeCount[n];
        if (show) Face(n, pts, c);
        if (edges) {
            const int32_t ec = QzEdgeColours[c & 15];
            for (int i = 0; i < n; ++i) {
                const QzVector& a = pts[i];
                const QzVector& b = pts[(i + 1) % n];
                if (MayTouch(a.y, b.y)) Line(a, b, ec);
            }
        }
    }

    // ---- The walk ----

    // The part's points under the matrix, transformed once for this placement.
    const QzVector* Points(const QzDrawData& data, const QzMatrix& m, int depth) {
        if (static_cast<size_t>(depth) >= scratch_.size()) scratch_.resize(depth + 1);
        std::vector<QzVector>& out = scratch_[static_cast<size_t>(depth)];
        if (out.size() < data.points.size()) out.resize(data.points.size());
        for (size_t i = 0; i < data.points.size(); ++i) QzTransform(out[i], m, data.points[i]);
        return out.data();
    }

    // The bands a part's box covers under the matrix, within the bands that walk its
    // parent; the parent's bands when the box says nothing reliable.
    Bands BandsOf(const QzPart& sub, const QzMatrix& m, const Bands& parent) const {
        if (parent.lo == parent.hi || (sub.flags & PF_EMPTY)) return parent;
        float lo = 0, hi = 0;
        for (int i = 0; i < 8; ++i) {
            QzVector s;
            QzTransform(s, m, QzBoxCorner(sub.box, i));
            if (!(std::fabs(s.x) < 1.0e6f && std::fabs(s.y) < 1.0e6f)) return parent;
            lo = i == 0 ? s.y : std::min(lo, s.y);
            hi = i == 0 ? s.y : std::max(hi, s.y);
        }
        // Rows of slack each way: the parts' points are placed through a chain of
        // rounded matrices, the box through another.
        constexpr int64_t kSlack = 2;
        const int first = shared_.BandOfRow(Row(lo) - kSlack);
        const int last = shared_.BandOfRow(Row(hi) + kSlack);
        Bands b{std::clamp(first, parent.lo, parent.hi), std::clamp(last, parent.lo, parent.hi)};
        return b;
    }

    // Only parts with a few lines are worth the box test.
    static bool WorthTesting(const QzPart& sub) {
        return sub.drawData && sub.drawData->items.size() >= 8;
    }

    void Part(const QzPart& part, int32_t colour, const QzMatrix& matrix, bool cull, bool invert,
              bool top, const Bands& bands, int depth) {
        const QzDrawData& data = *part.drawData;
        const bool counting = Counting(bands);
        if (counting) CountLines(data);
        const QzVector* pts = data.perLine ? nullptr : Points(data, matrix, depth);
        for (const QzDrawItem& item : data.items) {
            if (item.type == 1) {
                Reference(part, item, colour, matrix, cull, invert, top, bands, depth, counting);
            } else {
                Geometry(item, pts, matrix, colour, cull, invert, top, counting);
            }
        }
    }

    // The point transforms and line counts of the line-by-line walk.
    void CountLines(const QzDrawData& data) {
        int64_t transforms = 0;
        if (o_.showType2) {
            counts.typeCount[2] += data.lines[2];
            transforms += 2 * static_cast<int64_t>(data.lines[2]);
        }
        if (o_.showType3 || o_.edgesType3) transforms += 3 * static_cast<int64_t>(data.lines[3]);
        if (o_.showType4 || o_.edgesType4) transforms += 4 * static_cast<int64_t>(data.lines[4]);
        if (o_.showType5) {
            counts.typeCount[5] += data.lines[5];
            transforms += 4 * static_cast<int64_t>(data.lines[5]);
        }
        counts.transformCount += static_cast<uint32_t>(transforms);
    }

    void Geometry(const QzDrawItem& item, const QzVector* pts, const QzMatrix& matrix,
                  int32_t colour, bool cull, bool invert, bool top, bool counting) {
        const int n = item.type == 5 ? 4 : item.type;
        switch (item.type) {
            case 2:
                if (!o_.showType2) return;
                break;
            case 3:
                if (!(o_.showType3 || o_.edgesType3)) return;
                break;
            case 4:
                if (!(o_.showType4 || o_.edgesType4)) return;
                break;
            default:
                if (!o_.showType5) return;
                break;
        }
        QzVector own[4];
        const QzVector* p[4];
        if (pts) {
            for (int i = 0; i < n; ++i) p[i] = &pts[item.point[i]];
        } else {
            for (int i = 0; i < n; ++i) {
                QzTransform(own[i], matrix, item.line->p[i]);
                p[i] = &own[i];
            }
        }
        const int32_t c = LineColour(item, colour, top);
        switch (item.type) {
            case 2:
                if (MayTouch(p[0]->y, p[1]->y)) Line(*p[0], *p[1], c);
                return;
            case 3:
            case 4: {
                const QzVector corners[4] = {*p[0], *p[1], *p[2], n == 4 ? *p[3] : *p[0]};
                Polygon(n, item, corners, c, cull, invert, counting);
                return;
            }
            default:
                if (!o_.showAllType5 && QzOptionalLineHidden(*p[0], *p[1], *p[2], *p[3])) return;
                if (MayTouch(p[0]->y, p[1]->y)) {
                    const QzPixelPattern& pattern = ColourOf(c).pattern;
                    raster_.LineSpan(*p[0], *p[1], pattern.a, pattern.b);
                }
                return;
        }
    }

    void Reference(const QzPart& part, const QzDrawItem& item, int32_t colour,
                   const QzMatrix& matrix, bool cull, bool invert, bool top, const Bands& bands,
                   int depth, bool counting) {
        const QzLine& line = *item.line;
        const QzPart* sub = line.part;
        if (!sub) return;
        if ((sub->flags & PF_STUD) && ((o_.studsLast && !inStudPass_) || o_.lineAsStud)) return;
        const int32_t c = LineColour(item, colour, top);
        if (counting) {
            ++counts.typeCount[1];
            ++counts.matrixMulCount;
        }
        QzMatrix m;
        QzMultiply(m, matrix, line.p);
        ShrinkForSeams(part, *sub, m, counting);
        const Bands subBands = WorthTesting(*sub) ? BandsOf(*sub, m, bands) : bands;
        if (band_ < subBands.lo || band_ > subBands.hi) return;
        Part(*sub, c, m, cull && (line.bfc & LF_CULL), invert != ((line.bfc & LF_INVERT) != 0),
             false, subBands, depth + 1);
    }

    // A part of the parts folder placed in a model shrinks about its middle for seams,
    // as every walk shrinks it.
    void ShrinkForSeams(const QzPart& part, const QzPart& sub, QzMatrix& m, bool counting) {
        if (!QzShrinksForSeams(o_, part, sub)) return;
        if (counting) ++counts.matrixMulCount;
        QzMatrix shrunk;
        QzMultiply(shrunk, m, QzSeamShrink(sub, o_.seamWidth));
        m = shrunk;
    }

    // ---- The stud pass ----

    void Studs(const QzPart& part, int32_t colour, const QzMatrix& matrix, bool cull, bool invert,
               bool top, const Bands& bands) {
        const QzDrawData& data = *part.drawData;
        const bool counting = Counting(bands);
        for (const QzDrawItem& item : data.items) {
            if (item.type != 1) continue;
            const QzLine& line = *item.line;
            const QzPart* sub = line.part;
            if (!sub) continue;
            if ((sub->flags & PF_STUD) && o_.lineAsStud) continue;
            const int32_t c = LineColour(item, colour, top);
            const bool subCull = cull && (line.bfc & LF_CULL);
            const bool subInvert = invert != ((line.bfc & LF_INVERT) != 0);
            if (!(sub->flags & PF_STUD) && !sub->drawData->studsBelow) {
                // Nothing below can be a stud: only the products are counted.
                if (counting)
                    counts.matrixMulCount +=
                        static_cast<uint32_t>(1 + (QzShrinksForSeams(o_, part, *sub) ? 1 : 0) +
                                              StudPassProducts(*sub, o_));
                continue;
            }
            if (counting) ++counts.matrixMulCount;
            QzMatrix m;
            QzMultiply(m, matrix, line.p);
            if (sub->flags & PF_STUD) {
                Stud(*sub, c, m, subCull, subInvert, bands, counting);
                continue;
            }
            ShrinkForSeams(part, *sub, m, counting);
            const Bands subBands = WorthTesting(*sub) ? BandsOf(*sub, m, bands) : bands;
            if (band_ < subBands.lo || band_ > subBands.hi) {
                studIndex_ += static_cast<uint64_t>(StudReferences(*sub));
                continue;
            }
            Studs(*sub, c, m, subCull, subInvert, false, subBands);
        }
    }

    // One stud of the stud pass: drawn when it can still change a pixel.
    void Stud(const QzPart& stud, int32_t colour, const QzMatrix& m, bool cull, bool invert,
              const Bands& bands, bool counting) {
        const uint64_t number = studIndex_++;
        if (stud.flags & PF_EMPTY) return;
        if (counting) counts.transformCount += 8;
        QzVector lo{}, hi{};
        QzStudScreenBox(stud, m, lo, hi);
        // Off the image it is hidden for everyone. Else the bands its drawing may touch
        // (its rectangle with the rows of slack its lines' rounding may reach), within
        // those walking it, meet: the first decides on the depths of the rectangle.
        if (Row(hi.x) < 0 || Row(lo.x) >= width_ || Row(hi.y) < 0 || Row(lo.y) >= height_) return;
        constexpr int64_t kSlack = 2;
        const int first = std::clamp(shared_.BandOfRow(Row(lo.y) - kSlack), bands.lo, bands.hi);
        const int last = std::clamp(shared_.BandOfRow(Row(hi.y) + kSlack), bands.lo, bands.hi);
        if (band_ < first || band_ > last) return;
        bool hidden;
        if (first == last) {
            hidden = raster_.BoxHidden(lo, hi);
        } else if (band_ == first) {
            // Across bands: the first decides once the others have drawn all before it.
            for (int b = first + 1; b <= last; ++b)
                WaitFor(shared_.arrived[static_cast<size_t>(b)], number + 1, 0);
            hidden = raster_.BoxHidden(lo, hi);
            const uint64_t decision = ((number + 1) << 1) | (hidden ? 1 : 0);
            for (int b = first + 1; b <= last; ++b)
                Post(shared_.inbox[static_cast<size_t>(b)], decision);
        } else {
            Post(shared_.arrived[static_cast<size_t>(band_)], number + 1);
            WaitFor(shared_.inbox[static_cast<size_t>(band_)], number + 1, 1);
            hidden = (shared_.inbox[static_cast<size_t>(band_)].load(std::memory_order_acquire) &
                      1) != 0;
        }
        if (hidden) return;
        // The stud pass transforms no points of its own: the stud takes the first scratch.
        const Bands own{first, last};
        Part(stud, colour, m, cull, invert, false, own, 0);
    }

    static constexpr int kDirect = 512;

    const QzRenderOptions& o_;
    const QzPalette& palette_;
    const int band_;
    Shared& shared_;
    QzRasterBand raster_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool inStudPass_ = false;
    uint64_t studIndex_ = 0;
    std::vector<std::vector<QzVector>> scratch_;
    std::vector<Colour> direct_ = std::vector<Colour>(kDirect);
    std::vector<bool> known_ = std::vector<bool>(kDirect, false);
    std::unordered_map<int32_t, Colour> others_;
};

// Lines of types 2 to 5 below a part, its own included.
int64_t Work(const QzPart& part) {
    QzDrawData& data = *part.drawData;
    if (data.work >= 0) return data.work;
    int64_t work = 0;
    for (const QzDrawItem& item : data.items)
        work += item.type != 1 ? 1 : item.line->part ? Work(*item.line->part) : 0;
    data.work = work;
    return work;
}

// An estimate of the drawing's work per row of the image: each part's lines spread
// evenly over the rows its box covers on the screen. Parts that cover much of the
// picture are looked into, so that a model of a few large submodels spreads as its
// bricks lie.
class RowWork {
  public:
    explicit RowWork(int height) : height_(height), change_(static_cast<size_t>(height) + 1, 0.0) {}

    void Add(const QzPart& part, const QzMatrix& matrix, int depth) {
        const QzDrawData& data = *part.drawData;
        double own = 0;
        for (const QzDrawItem& item : data.items) {
            if (item.type != 1) {
                own += 1;
                continue;
            }
            const QzPart* sub = item.line->part;
            if (!sub || !sub->drawData) continue;
            QzMatrix m;
            QzMultiply(m, matrix, item.line->p);
            float lo = 0, hi = 0;
            if (!Rows(*sub, m, lo, hi)) {
                own += static_cast<double>(Work(*sub));
            } else if (depth < 8 && hi - lo > height_ / 16.0f && Work(*sub) > 64) {
                Add(*sub, m, depth + 1);
            } else {
                Spread(lo, hi, static_cast<double>(Work(*sub)));
            }
        }
        float lo = 0, hi = static_cast<float>(height_);
        if (own > 0 && !Rows(part, matrix, lo, hi)) lo = 0, hi = static_cast<float>(height_);
        if (own > 0) Spread(lo, hi, own);
    }

    // First rows of `bands` bands of about equal work, each at least a row high.
    std::vector<int32_t> Split(int bands) const {
        std::vector<int32_t> rows(static_cast<size_t>(bands), 0);
        double total = 0, running = 0;
        for (int y = 0; y < height_; ++y) total += (running += change_[static_cast<size_t>(y)]);
        double sum = 0;
        running = 0;
        int b = 1;
        for (int y = 0; y < height_ && b < bands; ++y) {
            sum += (running += change_[static_cast<size_t>(y)]);
            while (b < bands && sum >= total * b / bands) rows[static_cast<size_t>(b++)] = y + 1;
        }
        for (; b < bands; ++b) rows[static_cast<size_t>(b)] = height_;
        for (int k = 1; k < bands; ++k)
            rows[static_cast<size_t>(k)] =
                std::max(rows[static_cast<size_t>(k)], rows[static_cast<size_t>(k - 1)] + 1);
        return rows;
    }

  private:
    // The rows a part's box covers under the matrix; false when it says nothing useful.
    static bool Rows(const QzPart& part, const QzMatrix& m, float& lo, float& hi) {
        if (part.flags & PF_EMPTY) return false;
        for (int i = 0; i < 8; ++i) {
            QzVector s;
            QzTransform(s, m, QzBoxCorner(part.box, i));
            if (!(std::fabs(s.y) < 1.0e6f)) return false;
            lo = i == 0 ? s.y : std::min(lo, s.y);
            hi = i == 0 ? s.y : std::max(hi, s.y);
        }
        return true;
    }

    void Spread(float lo, float hi, double work) {
        const int a = static_cast<int>(std::clamp(lo, 0.0f, static_cast<float>(height_ - 1)));
        const int b = static_cast<int>(std::clamp(hi, 0.0f, static_cast<float>(height_ - 1)));
        const double perRow = work / (b - a + 1);
        change_[static_cast<size_t>(a)] += perRow;
        change_[static_cast<size_t>(b) + 1] -= perRow;
    }

    int height_;
    // Work per row as its change from the row before.
    std::vector<double> change_;
};

// First rows of the bands: rows of about equal work.
std::vector<int32_t> SplitRows(const QzPart& model, const QzMatrix& screen, int height, int bands) {
    if (bands == 1) return {0};
    RowWork work(height);
    work.Add(model, screen, 0);
    return work.Split(bands);
}

}  // namespace

bool QzPrepareDrawData(const QzPart* part) {
    std::unordered_set<const QzPart*> seen;
    return Prepare(part, seen);
}

bool QzBandWalkApplies(const QzRenderer& renderer) {
    const QzRenderOptions& o = *renderer.options;
    return typeid(renderer) == typeid(QzRenderer) && !o.vertexLists && !o.refreshEachPart &&
           !renderer.lastTopLine;
}

int QzDefaultDrawThreads() { return plat::DrawThreads(); }

void QzDrawInBands(QzRenderer& renderer, const QzPart* model, const QzMatrix& screen, bool cull,
                   int threads) {
    QzZImage& image = renderer.image;
    renderer.inStudPass = false;
    renderer.trianglesTried = renderer.trianglesDrawn = renderer.linesTried = renderer.linesDrawn =
        0;
    if (!model || !image.depth) return;
    threads = std::clamp(threads, 1, std::max(1, image.height));
    PrepareFigures(*model, *renderer.options);
    Shared shared(threads);
    shared.firstRow = SplitRows(*model, screen, image.height, threads);
    std::vector<std::unique_ptr<Walker>> walkers;
    for (int b = 0; b < threads; ++b)
        walkers.push_back(
            std::make_unique<Walker>(renderer, b, shared, image, renderer.FaceOffsetLimit()));
    std::vector<std::thread> others;
    for (int b = 1; b < threads; ++b)
        others.emplace_back([&, b] { walkers[static_cast<size_t>(b)]->Run(model, screen, cull); });
    walkers[0]->Run(model, screen, cull);
    for (std::thread& t : others) t.join();

    QzDrawStatistics& s = renderer.statistics;
    for (const auto& w : walkers) {
        for (int t = 1; t <= 5; ++t) s.typeCount[t] += w->counts.typeCount[t];
        s.matrixMulCount += w->counts.matrixMulCount;
        s.transformCount += w->counts.transformCount;
        if (!QzRectIsEmpty(w->dirty_)) QzRectGrow(image.dirtyRect, w->dirty_);
        if (!QzRectIsEmpty(w->drawn_)) QzRectGrow(image.drawnRect, w->drawn_);
    }
    renderer.inStudPass = renderer.options->studsLast;
    renderer.Flush();
}
