#include "hqrender.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>
#include <unordered_set>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "colours.h"
#include "rasteriser.h"
#include "render_math.h"
#include "renderer.h"
#include "viewtransform.h"
#include "walk.h"

namespace {

constexpr int S = QzHqRenderer::kSamples;
// Segments at most this many samples long are drawn without first testing whether
// they are hidden.
constexpr float kShortSegment = 4.0f;

// A colour of channels 0 to 255 (rounded to the nearest, held within that range; what is
// not a number is 0) as 0xRRGGBB.
inline uint32_t Pack(float r, float g, float b) {
#if defined(__SSE2__)
    // All three at once: v + 0.5 held within 0 to 255 and truncated is the same number
    // as the channel rounded (v + 0.5 truncated where it lies within the range).
    __m128 v = _mm_add_ps(_mm_set_ps(0.0f, r, g, b), _mm_set1_ps(0.5f));
    v = _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(255.0f));
    const __m128i words = _mm_packs_epi32(_mm_cvttps_epi32(v), _mm_setzero_si128());
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
#else
    auto c = [](float v) {
        return v > 0.0f ? v < 255.0f ? static_cast<uint32_t>(v + 0.5f) : 255u : 0u;
    };
    return c(r) << 16 | c(g) << 8 | c(b);
#endif
}

// A coordinate as an int within lo..hi (NaN: lo).
inline int Clamped(float v, int lo, int hi) {
    if (!(v > static_cast<float>(lo))) return lo;
    if (v >= static_cast<float>(hi)) return hi;
    return static_cast<int>(v);
}

// Clamped(std::floor(v), lo, hi) and Clamped(std::ceil(v), lo, hi), the same ints without
// a call into the maths library (no rounding instruction on the baseline processor): a
// fill asks for them on every row.
inline int FloorIn(float v, int lo, int hi) {
    if (!(v >= static_cast<float>(lo + 1))) return lo;
    if (v >= static_cast<float>(hi)) return hi;
    const int i = static_cast<int>(v);
    return static_cast<float>(i) > v ? i - 1 : i;
}
inline int CeilIn(float v, int lo, int hi) {
    if (!(v > static_cast<float>(lo))) return lo;
    if (v > static_cast<float>(hi - 1)) return hi;
    const int i = static_cast<int>(v);
    return static_cast<float>(i) < v ? i + 1 : i;
}

// A float's unit of rounding, 2^-24 (rounded up).
constexpr float kRounding = 6.0e-8f;

inline bool TopLeft(float dx, float dy) { return dy < 0.0f || (dy == 0.0f && dx > 0.0f); }

// The samples of one row of a triangle inside all three of its edges. Edge i's function at
// column x of the row is r[i] + e[i] * (x - x0), and a sample is inside where it is
// positive, or zero on a top or left edge.
class RowEdges {
  public:
    RowEdges(const float e[3], const bool tie[3], int x0) : x0_(x0) {
        for (int i = 0; i < 3; ++i) {
#if defined(__SSE2__)
            e_[i] = _mm_set1_ps(e[i]);
            tie_[i] = _mm_castsi128_ps(_mm_set1_epi32(tie[i] ? -1 : 0));
#else
            e_[i] = e[i];
            tie_[i] = tie[i];
#endif
        }
    }
    // The edge functions at column x0 of the row.
    void Row(float r0, float r1, float r2) {
        const float r[3] = {r0, r1, r2};
        for (int i = 0; i < 3; ++i) {
#if defined(__SSE2__)
            r_[i] = _mm_set1_ps(r[i]);
#else
            r_[i] = r[i];
#endif
        }
    }
    // The first and last columns from xs to xe inside; false when there is none. Each
    // edge function only grows or only shrinks along the row, so the columns inside
    // make one run: the test of each sample between them passes, and a fill that tests
    // each sample only turns there (a turn the processor cannot foresee costs more than
    // the sample).
    bool Run(int xs, int xe, int& first, int& last) const {
#if defined(__SSE2__)
        for (int x = xs; x <= xe; x += 4) {
            const int m = Inside4(x) & Lanes(x, xs, xe);
            if (!m) continue;
            first = x + __builtin_ctz(static_cast<unsigned>(m));
            if (x + 3 >= xe) {
                last = x + 31 - __builtin_clz(static_cast<unsigned>(m));
                return true;
            }
            for (int y = xe - 3;; y -= 4)
                if (const int n = Inside4(y) & Lanes(y, first, xe)) {
                    last = y + 31 - __builtin_clz(static_cast<unsigned>(n));
                    return true;
                }
        }
        return false;
#else
        first = xs;
        while (first <= xe && !Inside(first)) ++first;
        if (first > xe) return false;
        last = xe;
        while (!Inside(last)) --last;
        return true;
#endif
    }

  private:
#if defined(__SSE2__)
    // Bit k set where column x + k is inside, k 0 to 3.
    int Inside4(int x) const {
        const __m128 f =
            _mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(x - x0_), _mm_set_epi32(3, 2, 1, 0)));
        const __m128 zero = _mm_setzero_ps();
        __m128 in = _mm_castsi128_ps(_mm_set1_epi32(-1));
        for (int i = 0; i < 3; ++i) {
            const __m128 w = _mm_add_ps(r_[i], _mm_mul_ps(e_[i], f));
            in = _mm_and_ps(
                in, _mm_or_ps(_mm_cmpgt_ps(w, zero), _mm_and_ps(_mm_cmpeq_ps(w, zero), tie_[i])));
        }
        return _mm_movemask_ps(in);
    }
    // Bits of the columns x to x + 3 from lo to hi.
    static int Lanes(int x, int lo, int hi) {
        const int below = lo > x ? lo - x : 0;
        const int above = hi - x < 3 ? hi - x + 1 : 4;
        return ((1 << above) - 1) & ~((1 << below) - 1);
    }
    // Each edge's value at the row's first column and its step, broadcast to four
    // columns, and all bits set for a top or left edge.
    __m128 r_[3], e_[3], tie_[3];
#else
    bool Inside(int x) const {
        const float f = static_cast<float>(x - x0_);
        for (int i = 0; i < 3; ++i) {
            const float w = r_[i] + e_[i] * f;
            if (!(w > 0 || (w == 0 && tie_[i]))) return false;
        }
        return true;
    }
    float r_[3] = {}, e_[3];
    bool tie_[3];
#endif
    int x0_;
};

}  // namespace

// ---- How a face's samples are coloured ----

namespace {

// A face of one colour: shaded, with a white highlight.
struct PlainPaint {
    static constexpr bool kAt = false;
    float cr, cg, cb;
    uint32_t Glossy(float s, float g) const {
        const float white = 255.0f * g;
        return Pack(cr * s + white, cg * s + white, cb * s + white);
    }
    uint32_t Matte(float s) const { return Pack(cr * s, cg * s, cb * s); }
};

// A face of one colour whose highlight takes a colour of its own (metals).
struct TintPaint {
    static constexpr bool kAt = false;
    float cr, cg, cb;
    float hr, hg, hb;  // the highlight at full strength
    uint32_t Glossy(float s, float g) const {
        return Pack(cr * s + hr * g, cg * s + hg * g, cb * s + hb * g);
    }
    uint32_t Matte(float s) const { return Pack(cr * s, cg * s, cb * s); }
};

// Samples an image bilinearly at (u, v) (0 to 1 across it), its colours multiplied by its
// alpha: red, green, blue 0..255 and alpha 0..1.
inline void Bilinear(const QzImage::Level& level, float u, float v, float out[4]) {
    const float x = u * static_cast<float>(level.width) - 0.5f;
    const float y = v * static_cast<float>(level.height) - 0.5f;
    const float fx = std::floor(x), fy = std::floor(y);
    const float tx = x - fx, ty = y - fy;
    const int x0 = std::clamp(static_cast<int>(fx), 0, level.width - 1);
    const int y0 = std::clamp(static_cast<int>(fy), 0, level.height - 1);
    const int x1 = std::min(x0 + 1, level.width - 1), y1 = std::min(y0 + 1, level.height - 1);
    const int xa = fx < 0 ? 0 : x0, xb = fx < 0 ? 0 : x1;
    const int ya = fy < 0 ? 0 : y0, yb = fy < 0 ? 0 : y1;
    const uint8_t* p = level.rgba.data();
    const size_t w = static_cast<size_t>(level.width);
    const uint8_t* p00 = p + (ya * w + xa) * 4;
    const uint8_t* p10 = p + (ya * w + xb) * 4;
    const uint8_t* p01 = p + (yb * w + xa) * 4;
    const uint8_t* p11 = p + (yb * w + xb) * 4;
    for (int c = 0; c < 4; ++c) {
        const float top = p00[c] + (p10[c] - static_cast<float>(p00[c])) * tx;
        const float bottom = p01[c] + (p11[c] - static_cast<float>(p01[c])) * tx;
        out[c] = top + (bottom - top) * ty;
    }
    out[3] *= 1.0f / 255.0f;
}

// A face with a texture: the image where it lies on the face, over the face's colour
// where the image is transparent, the face's colour outside it.
struct TexturePaint {
    static constexpr bool kAt = true;
    float cr, cg, cb;
    const QzImage::Level* level;
    // PLANAR: image coordinates of the corners, laid straight across the face. Curved
    // mappings: the corners in the coordinates of the mapping, each sample projected.
    const QzTexmap* curved;
    float u[3], v[3];
    double q[3][3];
    uint32_t At(float l0, float l1, float l2, float s, float g) const {
        float tu, tv;
        if (curved) {
            double point[3], du = -1, dv = -1;
            for (int i = 0; i < 3; ++i) point[i] = l0 * q[0][i] + l1 * q[1][i] + l2 * q[2][i];
            QzTexmapProject(*curved, point, du, dv);
            tu = static_cast<float>(du);
            tv = static_cast<float>(dv);
        } else {
            tu = l0 * u[0] + l1 * u[1] + l2 * u[2];
            tv = l0 * v[0] + l1 * v[1] + l2 * v[2];
        }
        float r = cr, gr = cg, b = cb;
        if (tu >= 0.0f && tu <= 1.0f && tv >= 0.0f && tv <= 1.0f) {
            float t[4];
            Bilinear(*level, tu, tv, t);
            const float keep = 1.0f - t[3];
            r = r * keep + t[0];
            gr = gr * keep + t[1];
            b = b * keep + t[2];
        }
        const float white = 255.0f * g;
        return Pack(r * s + white, gr * s + white, b * s + white);
    }
};

// Whether a point of a part (its own coordinates) lies in a grain of a material: grains
// are balls on a grid of cells of the largest size, each cell holding one or none by a
// hash of the cell, so that they stay where they are on the part in every drawing.
inline bool InGrain(const float p[3], float cell, float density, float minSize, float maxSize) {
    int32_t c[3];
    for (int i = 0; i < 3; ++i) c[i] = static_cast<int32_t>(std::floor(p[i] / cell));
    uint64_t h = static_cast<uint64_t>(static_cast<uint32_t>(c[0])) * 0x9E3779B97F4A7C15ull ^
                 static_cast<uint64_t>(static_cast<uint32_t>(c[1])) * 0xC2B2AE3D27D4EB4Full ^
                 static_cast<uint64_t>(static_cast<uint32_t>(c[2])) * 0x165667B19E3779F9ull;
    auto next = [&h] {
        h ^= h >> 31;
        h *= 0xBF58476D1CE4E5B9ull;
        h ^= h >> 29;
        return static_cast<float>(h >> 40) * (1.0f / 16777216.0f);
    };
    if (next() >= density) return false;
    const float radius = 0.5f * (minSize + (maxSize - minSize) * next());
    float d2 = 0;
    for (int i = 0; i < 3; ++i) {
        const float centre =
            (static_cast<float>(c[i]) + 0.5f) * cell + (next() - 0.5f) * (cell - 2.0f * radius);
        d2 += (p[i] - centre) * (p[i] - centre);
    }
    return d2 < radius * radius;
}

// A face of a colour with grains: the grains' colour where a grain lies, at the points
// of the part the sample shows.
struct GrainPaint {
    static constexpr bool kAt = true;
    TintPaint base, grain;
    float p[3][3];  // the corners in the part's coordinates
    float cell, density, minSize, maxSize;
    uint32_t At(float l0, float l1, float l2, float s, float g) const {
        float point[3];
        for (int i = 0; i < 3; ++i) point[i] = l0 * p[0][i] + l1 * p[1][i] + l2 * p[2][i];
        const TintPaint& paint = InGrain(point, cell, density, minSize, maxSize) ? grain : base;
        return g > 0.0f ? paint.Glossy(s, g) : paint.Matte(s);
    }
};

}  // namespace

// ---- Colours ----

int32_t QzHqRenderer::Number(const QzMeshColour& colour, int32_t instanceColour) const {
    const QzRenderOptions& o = *job_->options;
    const QzPalette& palette = *job_->palette;
    int32_t c = colour.number == QZ_COLOUR_CURRENT ? instanceColour : colour.number;
    if (colour.edge) c = QzEdgeColour(palette, c, o.colour24Black);
    // The colour of the instance came through the walk's own rule already.
    if (o.allTransparent && colour.number != QZ_COLOUR_CURRENT)
        c = QzAllTransparentColour(palette, c);
    return c;
}

QzHqRenderer::Rgba QzHqRenderer::Resolve(int32_t number) const {
    // Both entries of the pattern, never averaged by the option: blending takes their
    // mean instead of a checkerboard.
    QzRenderOptions options = *job_->options;
    options.dither256 = true;
    const QzPixelPattern p = ResolveColour(number, options, *job_->palette);
    const bool a = p.a[3] != 0, b = p.b[3] != 0;
    if (a && b)
        return {(p.a[0] + p.b[0]) / 2.0f, (p.a[1] + p.b[1]) / 2.0f, (p.a[2] + p.b[2]) / 2.0f, 1.0f};
    if (!a && !b) return {0, 0, 0, 0};
    const uint8_t* e = a ? p.a : p.b;
    float alpha = 0.5f;
    if (const QzLDConfigColour* defined = QzSchemeColour(*job_->palette, number))
        if (defined->alpha < 255) alpha = defined->alpha / 255.0f;
    return {static_cast<float>(e[0]), static_cast<float>(e[1]), static_cast<float>(e[2]), alpha};
}

// ---- The walk ----

// Finds what to draw through the one walk: every part of the library placed, as an
// instance of its mesh (its studs apart, for the stud pass, when studs go last), and
// the own lines of every model file, as an instance of their mesh.
class QzHqRenderer::Finder {
  public:
    // The placement in samples, the file placed, and the texture mapping it passes on to
    // faces without one of their own (partmesh.h).
    struct Frame {
        QzMatrix m;
        const QzPart* part;
        QzInheritedTexmap texmap;
    };
    Finder(QzHqRenderer& r, QzMeshKeys& keys) : r_(r), keys_(keys) {}

    Frame Place(const Frame& parent, const QzPlaced& child) {
        ++r_.statistics_->typeCount[1];
        ++r_.statistics_->matrixMulCount;
        Frame f;
        QzMultiply(f.m, parent.m, child.line->p);
        if (child.shrink) {
            QzMatrix shrunk;
            QzMultiply(shrunk, f.m, QzSeamShrink(*child.part, r_.job_->options->seamWidth));
            f.m = shrunk;
        }
        f.part = child.part;
        f.texmap = parent.texmap.Child(*parent.part, child);
        return f;
    }
    bool Enter(const QzPlaced& placed, const Frame& frame, const QzDrawItem*, const QzDrawItem*) {
        const QzPart& part = *placed.part;
        const QzMatrix& m = frame.m;
        const uint32_t inherited = Inherited(frame);
        if (part.flags & (PF_PARTS_DIR | PF_PRIM_DIR)) {
            Part(placed, m, inherited);
            return false;
        }
        // A model file: its own faces and lines, then each reference in turn. A building
        // step short of the whole model takes the top file's lines up to its end, in a
        // mesh of this drawing's own.
        const QzLine* stop = placed.top ? r_.job_->stop : nullptr;
        const QzLine* fade = placed.top ? r_.job_->fadeThrough : nullptr;
        if (fade) {
            // The lines of earlier steps in a mesh of their own, drawn lighter.
            r_.fadedMesh_ = QzBuildPartMesh(part, false, fade);
            if (!r_.fadedMesh_.groups.empty())
                r_.Add({&r_.fadedMesh_, m, placed.colour, placed.cull, placed.invert, false,
                        Pass::All, inherited, true});
        }
        if (stop || fade) r_.stepMesh_ = QzBuildPartMesh(part, false, stop, fade);
        const QzPartMesh& own = stop || fade ? r_.stepMesh_ : QzPartMeshOf(part, false, keys_);
        for (int t = 2; t <= 5; ++t) r_.statistics_->typeCount[t] += own.typeCount[t];
        if (!own.groups.empty())
            r_.Add({&own, m, placed.colour, placed.cull, placed.invert, false, Pass::All, inherited,
                    placed.faded});
        return true;
    }
    void Run(const QzPlaced&, const Frame&, const QzDrawItem*, const QzDrawItem*) {}
    void Leave(const QzPlaced&, const Frame&) {}
    void Passed(const QzPlaced&) {}
    // A part too large for a mesh stops the drawing.
    bool Full() const { return tooLarge; }

    bool tooLarge = false;

  private:
    // The renderer's entry for the mapping a frame passes on (0: none, or no image).
    uint32_t Inherited(const Frame& frame) {
        if (!frame.texmap.map || !frame.texmap.map->image) return 0;
        r_.inherited_.push_back(frame.texmap.Texture());
        return static_cast<uint32_t>(r_.inherited_.size());
    }

    void Part(const QzPlaced& placed, const QzMatrix& m, uint32_t inherited) {
        const QzPartMesh& mesh = QzPartMeshOf(*placed.part, true, keys_);
        if (!mesh.complete) {
            tooLarge = true;
            return;
        }
        const bool stud = (placed.part->flags & PF_STUD) != 0;
        Instance instance{&mesh, m,         placed.colour, placed.cull, placed.invert,
                          stud,  Pass::All, inherited,     placed.faded};
        QzDrawStatistics& counts = *r_.statistics_;
        for (int t = 1; t <= 5; ++t) counts.typeCount[t] += mesh.typeCount[t];
        counts.matrixMulCount += mesh.references;
        if (!r_.job_->options->studsLast) {
            r_.Add(instance);
        } else if (stud) {
            instance.pass = Pass::Studs;
            r_.studs_.push_back(instance);
        } else {
            instance.pass = Pass::Body;
            r_.Add(instance);
            for (const QzMeshGroup& g : mesh.groups)
                if (g.stud) {
                    instance.pass = Pass::Studs;
                    r_.studs_.push_back(instance);
                    break;
                }
        }
    }

    QzHqRenderer& r_;
    QzMeshKeys& keys_;
};

namespace {

// The library parts a walk places whose meshes are not kept yet, each once.
class MeshFinder {
  public:
    using Frame = int;
    explicit MeshFinder(QzMeshKeys& keys) : keys_(keys) {}
    Frame Place(const Frame&, const QzPlaced&) { return 0; }
    bool Enter(const QzPlaced& placed, const Frame&, const QzDrawItem*, const QzDrawItem*) {
        const QzPart& part = *placed.part;
        if (!seen_.insert(&part).second) return false;
        if (!(part.flags & (PF_PARTS_DIR | PF_PRIM_DIR))) return true;
        if (!QzKeptPartMesh(part, true, keys_)) missing.push_back(&part);
        return false;
    }
    void Run(const QzPlaced&, const Frame&, const QzDrawItem*, const QzDrawItem*) {}
    void Leave(const QzPlaced&, const Frame&) {}
    void Passed(const QzPlaced&) {}
    bool Full() const { return false; }

    std::vector<const QzPart*> missing;

  private:
    QzMeshKeys& keys_;
    std::unordered_set<const QzPart*> seen_;
};

// Makes the meshes of the library parts the walk under these rules will ask for and
// that are not kept yet, on `threads` threads, and keeps them with the parts: the first
// drawing after a load spends much of its time on them. A mesh that cannot be made here
// (no memory) is left to the walk.
void MakeMeshes(const QzWalkRules& rules, const QzDrawJob& job, QzMeshKeys& keys, int threads) {
    MeshFinder finder(keys);
    QzWalk(rules, *job.top, job.stop, job.colour, job.options->bfc, 0, finder);
    const std::vector<const QzPart*>& parts = finder.missing;
    threads = std::min(threads, static_cast<int>(parts.size()));
    if (threads < 2) return;
    std::vector<std::unique_ptr<QzPartMesh>> made(parts.size());
    // The largest first, so that the threads finish together rather than one alone on a
    // large part taken last.
    std::vector<std::pair<int64_t, size_t>> order(parts.size());
    for (size_t i = 0; i < parts.size(); ++i) order[i] = {-QzDrawWork(*parts[i]), i};
    std::sort(order.begin(), order.end());
    std::atomic<size_t> next{0};
    // A part too large for a mesh stops the drawing: the parts not begun yet are left
    // alone then (as they are when memory runs out), so that no more than one such
    // mesh per thread is ever held.
    std::atomic<bool> stop{false};
    auto work = [&] {
        for (size_t k; !stop.load(std::memory_order_relaxed) &&
                       (k = next.fetch_add(1, std::memory_order_relaxed)) < parts.size();) {
            const size_t i = order[k].second;
            try {
                made[i] = std::make_unique<QzPartMesh>(QzBuildPartMesh(*parts[i], true));
                if (!made[i]->complete) stop = true;
            } catch (const std::bad_alloc&) {
                made[i].reset();
                stop = true;
            }
        }
    };
    std::vector<std::thread> workers;
    try {
        for (int t = 1; t < threads; ++t) workers.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer threads than asked for: this one and those that started do it all.
    }
    work();
    for (std::thread& worker : workers) worker.join();
    for (size_t i = 0; i < parts.size(); ++i)
        if (made[i]) QzKeepPartMesh(*parts[i], true, keys, std::move(made[i]));
}

}  // namespace

void QzHqRenderer::Add(const Instance& instance) {
    instances_.push_back(instance);
    // Every point of the mesh is transformed once per instance (and band it reaches).
    statistics_->transformCount += static_cast<int64_t>(instance.mesh->positions.size());
}

// ---- A band of sample rows ----

class QzHqRenderer::Band {
  public:
    Band(QzHqRenderer& renderer, int top, int bottom)
        : r_(renderer),
          look(renderer.look),
          options_(*renderer.job_->options),
          width_(renderer.width_),
          height_(renderer.height_),
          colour_(renderer.colour_),
          depth_(renderer.depth_),
          top_(top),
          bottom_(bottom) {}

    // Draws everything the walk found into the band's rows and filters them down into
    // the image's pixel rows they make up.
    void Run(QzZImage& image);
    // The pixels written, in the image.
    QzPixelRect Written() const { return written_; }

  private:
    using Rgba = QzHqRenderer::Rgba;
    using Instance = QzHqRenderer::Instance;
    using Pass = QzHqRenderer::Pass;
    struct Glass {
        float x[3], y[3], z[3], shade[3], gloss[3];
        Rgba colour;
        float depth;  // for sorting: the farthest corner's
        // Glass with grains: its material (an index in glassMaterials_, -1 for none) and
        // its corners in the part's coordinates.
        int32_t material;
        float part[3][3];
    };

    void DrawInstance(const Instance& instance, Pass pass);
    void DrawGroup(const Instance& instance, const QzMeshGroup& group);
    // Transformed position and lit normal of a mesh's vertex, made on first use.
    const QzVector& Position(uint32_t v);
    float Light(uint32_t n);
    // The plain look's shade and highlight at a normal (faces of the plain finish),
    // made on first use.
    void Plain(uint32_t n, float& shade, float& gloss);
    bool BoxHidden(const QzBox& box, const QzMatrix& m);
    // The boxes of the blocks of a group's elements begin to end (in one of the mesh's
    // lists) worth testing: null when nothing is left out as hidden, or the group lies
    // within one block (its own box was found not hidden).
    const std::vector<QzBox>* Blocks(const std::vector<QzBox>& blocks, uint32_t begin,
                                     uint32_t end) const;
    // The first of the elements from i to end that is not in a block whose box is
    // hidden: all of those may be passed over.
    uint32_t PassHidden(const std::vector<QzBox>* blocks, uint32_t i, uint32_t begin, uint32_t end,
                        const QzMatrix& m);
    // Whether a face with these corners (`area` twice its signed area on the screen)
    // would write no sample: none it covers, or every depth there nearer than any the
    // fill can make of it. Likewise for a line segment pulled forward by `pull`.
    bool FaceHidden(const QzVector& a, const QzVector& b, const QzVector& c, float area);
    bool SegmentHidden(const QzVector& a, const QzVector& b, float pull);
    // Whether every sample of the band within `margin` of the screen box x0 to x1, y0 to
    // y1 is nearer than `near` (true when there is none).
    bool BoxBehind(float x0, float x1, float y0, float y1, int margin, float near);
    // Whether every depth of samples c0 to c1 of rows r0 to r1 (within the band) is
    // nearer than `near`.
    bool Behind(int c0, int c1, int r0, int r1, float near) {
        return tiles_.Behind(depth_, c0, c1, r0, r1, near, true);
    }
    // Fills a triangle's samples nearer than what they show, each coloured by the paint
    // (PlainPaint, TintPaint, TexturePaint, GrainPaint) with the shade and highlight
    // interpolated from the corners.
    template <class Paint>
    void Fill(const QzVector& a, const QzVector& b, const QzVector& c, const float shade[3],
              const float gloss[3], const Paint& paint);
    // A face of a finish other than the plain one, or with a texture.
    void DrawSpecial(const Instance& instance, uint32_t t, const QzVector& p0, const QzVector& p1,
                     const QzVector& p2, const Rgba& colour, const Material& material,
                     const QzMeshTexture* texture);
    void BlendTriangle(const Glass& glass);
    // The samples whose centres a triangle with these corners may cover, in the band's
    // rows: columns x0 to x1, rows y0 to y1; false when there are none.
    bool SampleRange(float ax, float ay, float bx, float by, float cx, float cy, int& x0, int& x1,
                     int& y0, int& y1) const;
    void DrawSegment(const QzVector& a, const QzVector& b, float pull, uint32_t rgb);
    void Filter(QzZImage& image);
    Rgba Resolve(int32_t number) const { return r_.Resolve(number); }
    int32_t Number(const QzMeshColour& colour, int32_t instanceColour) const {
        return r_.Number(colour, instanceColour);
    }
    // A colour of the instance being drawn as it shows: lighter on an earlier step.
    int32_t Shown(int32_t number) const {
        return instance_->faded ? QzFadedColour(*r_.job_->palette, number) : number;
    }
    void Wrote(int x0, int x1, int y0, int y1) {
        drawn_[0] = std::min(drawn_[0], x0);
        drawn_[1] = std::max(drawn_[1], x1);
        drawn_[2] = std::min(drawn_[2], y0);
        drawn_[3] = std::max(drawn_[3], y1);
    }

    QzHqRenderer& r_;
    const QzHqLook& look;
    const QzRenderOptions& options_;
    const int width_, height_;
    uint32_t* const colour_;
    float* const depth_;
    // The band's first and last sample rows.
    const int top_, bottom_;
    std::vector<Glass> glass_;
    std::vector<Material> glassMaterials_;
    // x0, x1, y0, y1 of the samples written.
    int32_t drawn_[4] = {width_, -1, height_, -1};
    // The farthest depth of each tile of the band's samples.
    QzDepthTiles tiles_;
    QzPixelRect written_{};

    // Scratch of the instance being drawn.
    const Instance* instance_ = nullptr;
    double normalMatrix_[3][3];
    std::vector<QzVector> positions_;
    std::vector<uint32_t> positionStamp_;
    std::vector<float> light_;
    std::vector<float> highlight_;  // n . eye
    // Towards the light and the eye from the instance's middle, and their dot product.
    double towardsLight_[3] = {0, 0, -1}, towardsEye_[3] = {0, 0, -1};
    float lightDotEye_ = 1;
    std::vector<uint32_t> lightStamp_;
    std::vector<float> plainShade_, plainGloss_;
    std::vector<uint32_t> plainStamp_;
    uint32_t stamp_ = 0;
    // Colours of the instance: its own and a few others.
    int32_t cachedNumber_[8];
    Rgba cachedColour_[8];
    Material cachedMaterial_[8];
    int cached_ = 0;
    float lineWeight_ = 1;
    Rgba instanceColour_{};
    Material instanceMaterial_{};
    // Samples per unit of the instance's part (its largest axis), for the size of grains
    // and of texels.
    float unit_ = 1;
    // The normals' upward part on the screen, for mirrors.
    std::vector<float> up_;
};

const QzVector& QzHqRenderer::Band::Position(uint32_t v) {
    if (positionStamp_[v] != stamp_) {
        positionStamp_[v] = stamp_;
        QzTransform(positions_[v], instance_->matrix, instance_->mesh->positions[v]);
    }
    return positions_[v];
}

float QzHqRenderer::Band::Light(uint32_t n) {
    if (lightStamp_[n] != stamp_) {
        lightStamp_[n] = stamp_;
        const QzVector& v = instance_->mesh->normals[n];
        const double t[3] = {
            normalMatrix_[0][0] * v.x + normalMatrix_[0][1] * v.y + normalMatrix_[0][2] * v.z,
            normalMatrix_[1][0] * v.x + normalMatrix_[1][1] * v.y + normalMatrix_[1][2] * v.z,
            normalMatrix_[2][0] * v.x + normalMatrix_[2][1] * v.y + normalMatrix_[2][2] * v.z};
        const double len = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        if (len > 0) {
            const double* l = towardsLight_;
            const double* e = towardsEye_;
            light_[n] = static_cast<float>((t[0] * l[0] + t[1] * l[1] + t[2] * l[2]) / len);
            highlight_[n] = static_cast<float>((t[0] * e[0] + t[1] * e[1] + t[2] * e[2]) / len);
            up_[n] = static_cast<float>(-t[1] / len);
        } else {
            light_[n] = highlight_[n] = up_[n] = 0.0f;
        }
    }
    return light_[n];
}

void QzHqRenderer::Band::Plain(uint32_t n, float& shade, float& gloss) {
    if (plainStamp_[n] != stamp_) {
        plainStamp_[n] = stamp_;
        const float d = Light(n);
        plainShade_[n] = std::min(1.0f, look.ambient + look.diffuse * std::fabs(d));
        // The light reflected by the face, against the eye:
        // r . eye = 2 (n . light)(n . eye) - light . eye.
        const float re = std::fabs(2.0f * d * highlight_[n] - lightDotEye_);
        plainGloss_[n] =
            re > r_.glossFloor_ ? look.gloss * std::min(1.0f, std::pow(re, look.shininess)) : 0.0f;
    }
    shade = plainShade_[n];
    gloss = plainGloss_[n];
}

void QzHqRenderer::Band::DrawInstance(const Instance& instance, Pass pass) {
    const QzPartMesh& mesh = *instance.mesh;
    instance_ = &instance;
    if (++stamp_ == 0) {
        std::fill(positionStamp_.begin(), positionStamp_.end(), 0u);
        std::fill(lightStamp_.begin(), lightStamp_.end(), 0u);
        std::fill(plainStamp_.begin(), plainStamp_.end(), 0u);
        stamp_ = 1;
    }
    if (positions_.size() < mesh.positions.size()) {
        positions_.resize(mesh.positions.size());
        positionStamp_.resize(mesh.positions.size(), 0u);
    }
    if (light_.size() < mesh.normals.size()) {
        light_.resize(mesh.normals.size());
        highlight_.resize(mesh.normals.size());
        up_.resize(mesh.normals.size());
        lightStamp_.resize(mesh.normals.size(), 0u);
        plainShade_.resize(mesh.normals.size());
        plainGloss_.resize(mesh.normals.size());
        plainStamp_.resize(mesh.normals.size(), 0u);
    }
    // Normals turn with the cofactors of the matrix (its inverse transposed, up to a
    // scale), depth scaled like x and y so that the light keeps its angle.
    const QzMatrix& m = instance.matrix;
    double a[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) a[i][j] = m.m[i][j] * (i == 2 ? static_cast<double>(S) : 1.0);
    // Which way a normal points does not matter: both sides of a face are lit alike.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            normalMatrix_[i][j] = a[i1][j1] * a[i2][j2] - a[i1][j2] * a[i2][j1];
        }
    // The instance's colour, and how strong its lines are for its size on the screen.
    cached_ = 0;
    instanceColour_ = Resolve(Shown(instance.colour));
    instanceMaterial_ = r_.MaterialOf(Shown(instance.colour));
    // The rows of x and y are the scale times two orthonormal rows.
    double squares = 0;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j) squares += static_cast<double>(m.m[i][j]) * m.m[i][j];
    unit_ = std::isfinite(squares) ? static_cast<float>(std::sqrt(squares / 2)) : 1.0f;
    lineWeight_ = 1.0f;
    if (!mesh.groups.empty()) {
        QzBox box;
        QzBoxReset(box);
        for (const QzMeshGroup& g : mesh.groups) {
            QzBoxExtend(g.box.min, box);
            QzBoxExtend(g.box.max, box);
        }
        float x0 = 1e30f, x1 = -1e30f, y0 = 1e30f, y1 = -1e30f;
        for (int i = 0; i < 8; ++i) {
            QzVector p;
            QzTransform(p, m, QzBoxCorner(box, i));
            x0 = std::min(x0, p.x);
            x1 = std::max(x1, p.x);
            y0 = std::min(y0, p.y);
            y1 = std::max(y1, p.y);
        }
        // Off the picture altogether: nothing to draw. (Run passes over what misses the
        // band's rows.)
        if (x1 < 0 || y1 < 0 || x0 >= width_ || y0 >= height_) return;
        const float pixels = std::hypot(x1 - x0, y1 - y0) / S;
        lineWeight_ = std::clamp(pixels / look.fullLinePixels, look.minimumLineWeight, 1.0f);
        // The light and the eye as seen from the middle of the instance: one direction
        // each for all its faces, so that each flat face is one shade.
        QzVector mid, c;
        QzVecMid(mid, box.min, box.max);
        QzTransform(c, m, mid);
        const double centre[3] = {c.x, c.y, static_cast<double>(c.z) * S};
        auto aim = [&](double* d, const float* point) {
            double v[3], length = 0;
            for (int i = 0; i < 3; ++i) {
                v[i] = point[i] - centre[i];
                length += v[i] * v[i];
            }
            length = std::sqrt(length);
            if (!(length > 0) || !std::isfinite(length)) {
                v[0] = v[1] = 0;
                v[2] = -1;
                length = 1;
            }
            for (int i = 0; i < 3; ++i) d[i] = v[i] / length;
        };
        aim(towardsLight_, r_.lightPoint_);
        aim(towardsEye_, r_.eyePoint_);
        lightDotEye_ = static_cast<float>(towardsLight_[0] * towardsEye_[0] +
                                          towardsLight_[1] * towardsEye_[1] +
                                          towardsLight_[2] * towardsEye_[2]);
    }
    for (const QzMeshGroup& group : mesh.groups) {
        const bool stud = group.stud || instance.stud;
        if (stud && options_.lineAsStud) continue;
        if (pass == Pass::Body && stud) continue;
        if (pass == Pass::Studs && !stud) continue;
        // Whatever lies wholly behind what is drawn already would write no sample.
        if (options_.skipHidden && BoxHidden(group.box, m)) continue;
        DrawGroup(instance, group);
    }
}

bool QzHqRenderer::Band::BoxHidden(const QzBox& box, const QzMatrix& m) {
    double middle[3], reach[3];
    QzScreenReach(box, m, middle, reach);
    const float x0 = static_cast<float>(middle[0] - reach[0]);
    const float x1 = static_cast<float>(middle[0] + reach[0]);
    const float y0 = static_cast<float>(middle[1] - reach[1]);
    const float y1 = static_cast<float>(middle[1] + reach[1]);
    const float z0 = static_cast<float>(middle[2] - reach[2]);
    // Every sample what the box holds could write: its rectangle and a sample around it
    // (lines), no nearer than its nearest corner less the pull of lines. Where every
    // depth of the band is nearer still, drawing it would change nothing: the test of
    // the band's own rows decides as well as a test of the whole picture would.
    return BoxBehind(x0, x1, y0, y1, 1, z0 - 0.5f - std::fabs(z0) * 1.0e-5f);
}

const std::vector<QzBox>* QzHqRenderer::Band::Blocks(const std::vector<QzBox>& blocks,
                                                     uint32_t begin, uint32_t end) const {
    constexpr uint32_t k = QzPartMesh::kBlock;
    if (!options_.skipHidden || begin >= end || begin / k == (end - 1) / k ||
        blocks.size() <= (end - 1) / k)
        return nullptr;
    return &blocks;
}

uint32_t QzHqRenderer::Band::PassHidden(const std::vector<QzBox>* blocks, uint32_t i,
                                        uint32_t begin, uint32_t end, const QzMatrix& m) {
    constexpr uint32_t k = QzPartMesh::kBlock;
    if (!blocks) return i;
    while (i < end && (i == begin || i % k == 0) && BoxHidden((*blocks)[i / k], m))
        i = std::min(end, (i / k + 1) * k);
    return i;
}

bool QzHqRenderer::Band::BoxBehind(float x0, float x1, float y0, float y1, int margin, float near) {
    const float m = static_cast<float>(margin);
    if (!(x1 >= -m && y1 >= -m && x0 < width_ + m && y0 < height_ + m)) return true;
    // (A corner far off the picture, when zoomed in close, is held within it.)
    const int c0 = std::max(0, FloorIn(x0, -margin, width_) - margin);
    const int c1 = FloorIn(x1, -1 - margin, width_ - 1 - margin) + margin;
    const int r0 = std::max(top_, FloorIn(y0, top_ - margin, height_ + margin) - margin);
    const int r1 = FloorIn(y1, top_ - 1 - margin, bottom_ - margin) + margin;
    if (c0 > c1 || r0 > r1) return true;
    return Behind(c0, c1, r0, r1, near);
}

bool QzHqRenderer::Band::FaceHidden(const QzVector& a, const QzVector& b, const QzVector& c,
                                    float area) {
    int x0, x1, y0, y1;
    if (!SampleRange(a.x, a.y, b.x, b.y, c.x, c.y, x0, x1, y0, y1)) return true;
    // No depth the fill makes of the face is nearer than its nearest corner by more than
    // its rounding: the fill works the depth out from the corners' edge functions at the
    // first sample of each row (within the face's box, which the sizes here bound), then
    // steps it along the row, and adds a non-negative offset. The slack below bounds
    // those errors (with a wide margin) by the unit of rounding times the largest depth,
    // the box's size and how thin the face is (size squared over area).
    const float extent = std::max(std::max({a.x, b.x, c.x}) - std::min({a.x, b.x, c.x}),
                                  std::max({a.y, b.y, c.y}) - std::min({a.y, b.y, c.y})) +
                         1.0f;
    const float largest =
        std::max({std::fabs(a.z), std::fabs(b.z), std::fabs(c.z)}) + r_.offsetLimit_;
    const float thin = extent * extent / std::fabs(area);
    const float slack =
        kRounding * largest *
        (8.0f + 200.0f * thin + 50.0f * thin * thin + 8.0f * extent * (1.0f + thin));
    const float near = std::min({a.z, b.z, c.z}) - slack;
    return Behind(x0, x1, y0, y1, near);
}

bool QzHqRenderer::Band::SegmentHidden(const QzVector& a, const QzVector& b, float pull) {
    const float lox = std::min(a.x, b.x), hix = std::max(a.x, b.x);
    const float loy = std::min(a.y, b.y), hiy = std::max(a.y, b.y);
    // Each depth is a.z + t (b.z - a.z) - pull with t from 0 to 1 but for the rounding of
    // t, which grows with the coordinates over the length along the major axis.
    const float span = std::max(hix - lox, hiy - loy);
    const float reach = std::max({std::fabs(a.x), std::fabs(b.x), std::fabs(a.y), std::fabs(b.y)});
    const float slack = 16.0f * kRounding * (std::fabs(a.z) + std::fabs(b.z) + std::fabs(pull)) *
                        (1.0f + (2.0f * reach + 2.0f) / span);
    // The samples it can write: a sample around its box, two on the minor axis.
    return BoxBehind(lox, hix, loy, hiy, 2, std::min(a.z, b.z) - pull - slack);
}

void QzHqRenderer::Band::DrawGroup(const Instance& instance, const QzMeshGroup& group) {
    const QzPartMesh& mesh = *instance.mesh;
    const QzRenderOptions& o = options_;
    auto slotOf = [&](const QzMeshColour& c) -> int {
        if (c.number == QZ_COLOUR_CURRENT && !c.edge) return -1;
        const int32_t n = Shown(Number(c, instance.colour));
        for (int i = 0; i < cached_; ++i)
            if (cachedNumber_[i] == n) return i;
        const int slot = cached_ < 8 ? cached_++ : 7;
        cachedNumber_[slot] = n;
        cachedColour_[slot] = Resolve(n);
        cachedMaterial_[slot] = r_.MaterialOf(n);
        return slot;
    };
    auto colourOf = [&](const QzMeshColour& c) -> const Rgba& {
        const int slot = slotOf(c);
        return slot < 0 ? instanceColour_ : cachedColour_[slot];
    };
    // The texture a face shows: its own, else the one its instance takes from the file
    // that placed it; null for none (or no image).
    auto textureOf = [&](uint32_t t) -> const QzMeshTexture* {
        const QzMeshTexture* texture =
            mesh.triangles[t].texture ? &mesh.textures[mesh.triangles[t].texture - 1u]
            : instance.inherited      ? &r_.inherited_[instance.inherited - 1u]
                                      : nullptr;
        return texture && texture->map.image ? texture : nullptr;
    };
    const bool cullAll = o.bfc && instance.cull;
    const float ambient = o.shading ? look.ambient : 1.0f;
    const QzMatrix& m = instance.matrix;
    const uint32_t tb = group.triangleBegin, te = group.triangleEnd;
    const std::vector<QzBox>* triangleBlocks = Blocks(mesh.triangleBlocks, tb, te);
    for (uint32_t t = PassHidden(triangleBlocks, tb, tb, te, m); t < te;
         t = PassHidden(triangleBlocks, t + 1, tb, te, m)) {
        const QzMeshTriangle& tri = mesh.triangles[t];
        const bool quad = (tri.flags & QZ_MESH_FROM_QUAD) != 0;
        const bool show = quad ? o.showType4 : o.showType3;
        const bool edges = quad ? o.edgesType4 : o.edgesType3;
        if (!show && !edges) continue;
        const QzVector& p0 = Position(tri.v[0]);
        const QzVector& p1 = Position(tri.v[1]);
        const QzVector& p2 = Position(tri.v[2]);
        const float cross = (p1.x - p0.x) * (p2.y - p0.y) - (p1.y - p0.y) * (p2.x - p0.x);
        // The normal drawing's facing rule: counter-clockwise on the screen (y down)
        // is the front, after the inversions of the references.
        const bool front = instance.invert ? cross > 0 : cross < 0;
        const int slot = slotOf(tri.colour);
        const Rgba& colour = slot < 0 ? instanceColour_ : cachedColour_[slot];
        const Material& material = slot < 0 ? instanceMaterial_ : cachedMaterial_[slot];
        // Glass shows its far side through its near side: only opaque faces are culled.
        if (cullAll && (tri.flags & QZ_MESH_CULL) && !front && colour.a >= 1.0f) continue;
        const QzMeshTexture* texture =
            (tri.texture || instance.inherited) && show && colour.a >= 1.0f ? textureOf(t)
                                                                            : nullptr;
        // A face all of whose samples show something nearer already is not drawn (nor
        // lit): it would write nothing.
        const bool face =
            show && colour.a > 0 && !(options_.skipHidden && FaceHidden(p0, p1, p2, cross));
        if (face && (texture || !material.plain)) {
            DrawSpecial(instance, t, p0, p1, p2, colour, material, texture);
        } else if (face) {
            // One light direction for all of an instance's faces: a flat face is one
            // shade, and normals shared across smooth edges shade curved surfaces
            // smoothly. Both sides of a face are lit alike.
            float shade[3], gloss[3] = {0, 0, 0};
            for (int i = 0; i < 3; ++i) {
                if (o.shading)
                    Plain(tri.n[i], shade[i], gloss[i]);
                else
                    shade[i] = ambient;
            }
            if (colour.a >= 1.0f) {
                Fill(p0, p1, p2, shade, gloss, PlainPaint{colour.r, colour.g, colour.b});
            } else {
                Glass g;
                const QzVector* p[3] = {&p0, &p1, &p2};
                for (int i = 0; i < 3; ++i) {
                    g.x[i] = p[i]->x;
                    g.y[i] = p[i]->y;
                    g.z[i] = p[i]->z;
                    g.shade[i] = shade[i];
                    g.gloss[i] = gloss[i];
                }
                g.colour = colour;
                g.depth = std::max({p0.z, p1.z, p2.z});
                g.material = -1;
                glass_.push_back(g);
            }
        }
        if (edges) {
            const int32_t n = Number(tri.colour, instance.colour);
            const Rgba e = Resolve(Shown(QzEdgeColours[n & 15]));
            const uint32_t rgb = Pack(e.r, e.g, e.b);
            const QzVector* p[3] = {&p0, &p1, &p2};
            const uint8_t bits[3] = {QZ_MESH_EDGE_01, QZ_MESH_EDGE_12, QZ_MESH_EDGE_20};
            for (int i = 0; i < 3; ++i)
                if (tri.flags & bits[i]) DrawSegment(*p[i], *p[(i + 1) % 3], 0.4f, rgb);
        }
    }
    // Lines in their colour, mixed towards the part's on small parts.
    auto lineColour = [&](const QzMeshColour& c) {
        const Rgba& e = colourOf(c);
        const float w = lineWeight_;
        const Rgba& f = instanceColour_;
        const float k = 0.85f * (1.0f - w);
        return Pack(e.r * w + f.r * k, e.g * w + f.g * k, e.b * w + f.b * k);
    };
    if (o.showType2) {
        const uint32_t lb = group.lineBegin, le = group.lineEnd;
        const std::vector<QzBox>* blocks = Blocks(mesh.lineBlocks, lb, le);
        for (uint32_t l = PassHidden(blocks, lb, lb, le, m); l < le;
             l = PassHidden(blocks, l + 1, lb, le, m)) {
            const QzMeshLine& line = mesh.lines[l];
            DrawSegment(Position(line.v[0]), Position(line.v[1]), 0.4f, lineColour(line.colour));
        }
    }
    if (o.showType5) {
        const uint32_t ob = group.optionalBegin, oe = group.optionalEnd;
        const std::vector<QzBox>* blocks = Blocks(mesh.optionalBlocks, ob, oe);
        for (uint32_t l = PassHidden(blocks, ob, ob, oe, m); l < oe;
             l = PassHidden(blocks, l + 1, ob, oe, m)) {
            const QzMeshOptionalLine& line = mesh.optionalLines[l];
            const QzVector& a = Position(line.v[0]);
            const QzVector& b = Position(line.v[1]);
            if (!o.showAllType5 &&
                QzOptionalLineHidden(a, b, Position(line.c[0]), Position(line.c[1])))
                continue;
            DrawSegment(a, b, 0.0f, lineColour(line.colour));
        }
    }
}

// ---- Finishes and textures ----

QzHqRenderer::Material QzHqRenderer::MaterialOf(int32_t number) const {
    Material m{look.ambient,
               look.diffuse,
               look.gloss,
               look.shininess,
               glossFloor_,
               0,
               0,
               QzGrains::None,
               {},
               0,
               0,
               0,
               true};
    const QzLDConfigColour* c = QzSchemeColour(*job_->palette, number);
    if (!c) return m;
    struct Finish {
        uint32_t bit;
        float ambient, diffuse, gloss, shininess, tint, mirror;
    };
    // Chrome: a mirror, dark and bright by what it reflects, with sharp highlights in its
    // own hue; metal and matte metallic less sharp; pearl a soft broad sheen; rubber no
    // highlight at all.
    static constexpr Finish kFinishes[] = {
        {QZ_FINISH_CHROME, 0.40f, 0.45f, 0.90f, 40.0f, 0.6f, 0.35f},
        {QZ_FINISH_METAL, 0.45f, 0.60f, 0.60f, 16.0f, 0.7f, 0.25f},
        {QZ_FINISH_MATTE_METALLIC, 0.55f, 0.55f, 0.30f, 5.0f, 0.7f, 0.10f},
        {QZ_FINISH_PEARLESCENT, 0.60f, 0.60f, 0.35f, 3.0f, 0.3f, 0.0f},
        {QZ_FINISH_RUBBER, 0.62f, 0.55f, 0.0f, 1.0f, 0.0f, 0.0f},
    };
    for (const Finish& f : kFinishes) {
        if (!(c->finish & f.bit)) continue;
        m.plain = false;
        m.ambient = f.ambient;
        m.diffuse = f.diffuse;
        m.gloss = f.gloss;
        m.shininess = f.shininess;
        m.tint = f.tint;
        m.mirror = f.mirror;
        m.glossFloor =
            m.gloss > 0 ? static_cast<float>(std::pow(0.25 / (255.0 * m.gloss), 1.0 / m.shininess))
                        : 2.0f;
        break;
    }
    if (c->grains != QzGrains::None && c->grainFraction > 0 && c->grainMaxSize > 0) {
        m.plain = false;
        m.grains = c->grains;
        const uint32_t v = c->grainRgb;
        m.grain = {static_cast<float>(v & 0xFF), static_cast<float>(v >> 8 & 0xFF),
                   static_cast<float>(v >> 16 & 0xFF), 1.0f};
        m.fraction = c->grainFraction;
        m.minSize = c->grainMinSize;
        m.maxSize = c->grainMaxSize;
    }
    return m;
}

namespace {

// A colour with the highlight of a finish: white, or towards the colour's own hue.
TintPaint Tinted(float r, float g, float b, float tint) {
    auto high = [tint](float c) {
        return 255.0f * (1.0f - tint) + std::min(255.0f, c * 1.4f) * tint;
    };
    return {r, g, b, high(r), high(g), high(b)};
}

// The share of grain cells that hold a grain, for grains covering `fraction` of a
// surface cut through them: a ball of radius r in a cell of side `cell` covers
// 4/3 pi r^3 / cell^3 of a plane on average.
float GrainDensity(float fraction, float minSize, float maxSize) {
    const float r = (minSize + maxSize) / 4.0f / maxSize;
    const float cover = 4.18879f * r * r * r;
    return cover > 0 ? std::min(1.0f, fraction / cover) : 0.0f;
}

}  // namespace

void QzHqRenderer::Band::DrawSpecial(const Instance& instance, uint32_t t, const QzVector& p0,
                                     const QzVector& p1, const QzVector& p2, const Rgba& colour,
                                     const Material& finish, const QzMeshTexture* texture) {
    const QzPartMesh& mesh = *instance.mesh;
    const QzMeshTriangle& tri = mesh.triangles[t];
    const QzRenderOptions& o = options_;
    // A texture is a print on the face: it takes the plain light.
    const Material& m = texture ? r_.MaterialOf(QZ_COLOUR_CURRENT) : finish;
    const float ambient = o.shading ? m.ambient : 1.0f;
    const float diffuse = o.shading ? m.diffuse : 0.0f;
    float shade[3], gloss[3] = {0, 0, 0};
    const float eyeUp = static_cast<float>(-towardsEye_[1]);
    for (int i = 0; i < 3; ++i) {
        if (!o.shading) {
            shade[i] = ambient;
            continue;
        }
        const uint32_t n = tri.n[i];
        const float d = Light(n);
        shade[i] = std::min(1.0f, ambient + diffuse * std::fabs(d));
        if (m.mirror > 0) {
            // Bright where the face reflects what is above, dark where what is below:
            // the upward part of the eye's ray reflected by the face.
            const float reflectedUp = 2.0f * highlight_[n] * up_[n] - eyeUp;
            shade[i] = std::clamp(shade[i] + m.mirror * reflectedUp, 0.25f, 1.35f);
        }
        const float re = std::fabs(2.0f * d * highlight_[n] - lightDotEye_);
        if (m.gloss > 0 && re > m.glossFloor)
            gloss[i] = m.gloss * std::min(1.0f, std::pow(re, m.shininess));
    }
    const QzVector* p[3] = {&p0, &p1, &p2};
    // Grains smaller than a sample show as their mean colour.
    const bool grains = m.grains != QzGrains::None && m.maxSize * unit_ >= 1.5f;
    Rgba base = colour;
    if (m.grains != QzGrains::None && !grains) {
        const float f = m.fraction;
        base = {colour.r * (1 - f) + m.grain.r * f, colour.g * (1 - f) + m.grain.g * f,
                colour.b * (1 - f) + m.grain.b * f, colour.a};
    }
    if (colour.a < 1.0f) {
        Glass g;
        for (int i = 0; i < 3; ++i) {
            g.x[i] = p[i]->x;
            g.y[i] = p[i]->y;
            g.z[i] = p[i]->z;
            g.shade[i] = shade[i];
            g.gloss[i] = gloss[i];
            const QzVector& q = mesh.positions[tri.v[i]];
            g.part[i][0] = q.x;
            g.part[i][1] = q.y;
            g.part[i][2] = q.z;
        }
        g.colour = base;
        g.depth = std::max({p0.z, p1.z, p2.z});
        g.material = -1;
        if (grains) {
            glassMaterials_.push_back(m);
            g.material = static_cast<int32_t>(glassMaterials_.size() - 1);
        }
        glass_.push_back(g);
        return;
    }
    if (texture) {
        const QzImage& image = *texture->map.image;
        TexturePaint paint{colour.r, colour.g, colour.b, &image.levels[0], nullptr, {}, {}, {}};
        double u[3], v[3];
        bool defined = true;
        for (int i = 0; i < 3; ++i) {
            const QzVector& q = mesh.positions[tri.v[i]];
            const double point[3] = {q.x, q.y, q.z};
            for (int k = 0; k < 3; ++k)
                paint.q[i][k] = texture->toMap[k][0] * point[0] + texture->toMap[k][1] * point[1] +
                                texture->toMap[k][2] * point[2] + texture->toMap[k][3];
            defined = QzTexmapProject(texture->map, paint.q[i], u[i], v[i]) && defined;
        }
        if (texture->map.method != QzTexmapMethod::Planar) {
            paint.curved = &texture->map;
            // The corners on one side of the seam, for the size of the image on the face.
            const double period = QzTexmapPeriod(texture->map);
            const double top = std::max({u[0], u[1], u[2]});
            for (double& x : u)
                if (period > 0 && top - x > period / 2) x += period;
        }
        for (int i = 0; i < 3; ++i) {
            paint.u[i] = static_cast<float>(u[i]);
            paint.v[i] = static_cast<float>(v[i]);
        }
        // The halved copy whose texels come closest to the samples: the image's area on
        // the face against the face's area in samples.
        if (defined) {
            const double w = image.Width(), h = image.Height();
            const double texels =
                std::fabs((u[1] - u[0]) * (v[2] - v[0]) - (u[2] - u[0]) * (v[1] - v[0])) * w * h;
            const double samples =
                std::fabs((p1.x - p0.x) * (p2.y - p0.y) - (p2.x - p0.x) * (p1.y - p0.y));
            if (samples > 0 && texels > samples) {
                const int level = static_cast<int>(std::floor(0.5 * std::log2(texels / samples)));
                paint.level = &image.levels[static_cast<size_t>(
                    std::clamp(level, 0, static_cast<int>(image.levels.size()) - 1))];
            }
        }
        Fill(p0, p1, p2, shade, gloss, paint);
        return;
    }
    const TintPaint tinted = Tinted(base.r, base.g, base.b, m.tint);
    if (grains) {
        GrainPaint paint{tinted,    Tinted(m.grain.r, m.grain.g, m.grain.b, m.tint), {},
                         m.maxSize, GrainDensity(m.fraction, m.minSize, m.maxSize),  m.minSize,
                         m.maxSize};
        for (int i = 0; i < 3; ++i) {
            const QzVector& q = mesh.positions[tri.v[i]];
            paint.p[i][0] = q.x;
            paint.p[i][1] = q.y;
            paint.p[i][2] = q.z;
        }
        Fill(p0, p1, p2, shade, gloss, paint);
        return;
    }
    Fill(p0, p1, p2, shade, gloss, tinted);
}

// ---- Samples ----

template <class Paint>
void QzHqRenderer::Band::Fill(const QzVector& a, const QzVector& b0, const QzVector& c0,
                              const float shade[3], const float gloss[3], const Paint& paint) {
    const QzVector* b = &b0;
    const QzVector* c = &c0;
    bool swapped = false;
    const float ia = shade[0];
    float ib = shade[1], ic = shade[2];
    const float ga = gloss[0];
    float gb = gloss[1], gc = gloss[2];
    float area = (b->x - a.x) * (c->y - a.y) - (b->y - a.y) * (c->x - a.x);
    if (!(area != 0.0f) || !std::isfinite(area)) return;
    if (area < 0) {
        std::swap(b, c);
        std::swap(ib, ic);
        std::swap(gb, gc);
        area = -area;
        swapped = true;
    }
    int x0, x1, y0, y1;
    if (!SampleRange(a.x, a.y, b->x, b->y, c->x, c->y, x0, x1, y0, y1)) return;
    // Edge functions, positive inside: e0 of b-c, e1 of c-a, e2 of a-b.
    const float e0dx = -(c->y - b->y), e0dy = c->x - b->x;
    const float e1dx = -(a.y - c->y), e1dy = a.x - c->x;
    const float e2dx = -(b->y - a.y), e2dy = b->x - a.x;
    const bool t0 = TopLeft(c->x - b->x, c->y - b->y);
    const bool t1 = TopLeft(a.x - c->x, a.y - c->y);
    const bool t2 = TopLeft(b->x - a.x, b->y - a.y);
    const float px = x0 + 0.5f;
    // Depth and shade as planes over the samples.
    const float inv = 1.0f / area;
    const float dzdx = (e0dx * a.z + e1dx * b->z + e2dx * c->z) * inv;
    const float dzdy = (e0dy * a.z + e1dy * b->z + e2dy * c->z) * inv;  // for the offset
    const float dsdx = (e0dx * ia + e1dx * ib + e2dx * ic) * inv;
    const bool glossy = ga > 0 || gb > 0 || gc > 0;
    const float dgdx = (e0dx * ga + e1dx * gb + e2dx * gc) * inv;
    // Pushed back by the depth it gains over a sample, as the normal drawing pushes
    // faces back behind the lines on them.
    const float offset = std::min(std::max(std::fabs(dzdx), std::fabs(dzdy)), r_.offsetLimit_);
    bool wrote = false;
    int wx0 = x1, wx1 = x0;
    const float e[3] = {e0dx, e1dx, e2dx};
    const bool tie[3] = {t0, t1, t2};
    RowEdges row(e, tie, x0);
    for (int y = y0; y <= y1; ++y) {
        // Each row from the corners (not stepped from the row above): a band starting
        // at any row gets the same values.
        const float py = y + 0.5f;
        float w0 = (c->x - b->x) * (py - b->y) - (c->y - b->y) * (px - b->x);
        float w1 = (a.x - c->x) * (py - c->y) - (a.y - c->y) * (px - c->x);
        float w2 = (b->x - a.x) * (py - a.y) - (b->y - a.y) * (px - a.x);
        // The columns each edge lets in, a column wider than exact: the row's run below
        // decides (and its depths start from the first of these columns).
        int xs = x0, xe = x1;
        bool empty = false;
        auto limit = [&](float w, float dx) {
            if (dx > 0)
                xs = std::max(xs, x0 + FloorIn(-w / dx, -1, x1 - x0 + 1) - 1);
            else if (dx < 0)
                xe = std::min(xe, x0 + CeilIn(w / -dx, -1, x1 - x0 + 1) + 1);
            else if (w < 0)
                empty = true;
        };
        if (x1 - x0 > 6) {  // narrower ones are tested pixel by pixel
            limit(w0, e0dx);
            limit(w1, e1dx);
            limit(w2, e2dx);
            if (empty || xs > xe) continue;
        }
        const float r0 = w0, r1 = w1, r2 = w2;
        row.Row(r0, r1, r2);
        int first, last;
        if (!row.Run(xs, xe, first, last)) continue;
        // Every value from the row's first column: the same whatever the span.
        const float k = static_cast<float>(xs - x0);
        float z = (r0 * a.z + r1 * b->z + r2 * c->z) * inv + offset + dzdx * k;
        float s = (r0 * ia + r1 * ib + r2 * ic) * inv + dsdx * k;
        float g = (r0 * ga + r1 * gb + r2 * gc) * inv + dgdx * k;
        for (int x = xs; x < first; ++x) {
            z += dzdx;
            s += dsdx;
            g += dgdx;
        }
        float* d = depth_ + static_cast<size_t>(y) * width_;
        uint32_t* col = colour_ + static_cast<size_t>(y) * width_;
        uint8_t* written = tiles_.Marks(y);
        // Every sample from first to last is inside the face.
        for (int x = first; x <= last; ++x, z += dzdx, s += dsdx, g += dgdx) {
            if (z <= d[x]) {
                d[x] = z;
                written[x >> QzDepthTiles::kShift] = 1;
                if constexpr (Paint::kAt) {
                    // The weights of the corners a, b0, c0 at the sample.
                    const float f = static_cast<float>(x - x0);
                    w0 = r0 + e0dx * f;
                    w1 = r1 + e1dx * f;
                    w2 = r2 + e2dx * f;
                    const float l1 = (swapped ? w2 : w1) * inv, l2 = (swapped ? w1 : w2) * inv;
                    col[x] = paint.At(w0 * inv, l1, l2, s, glossy ? g : 0.0f);
                } else if (glossy) {
                    col[x] = paint.Glossy(s, g);
                } else {
                    col[x] = paint.Matte(s);
                }
                wrote = true;
                wx0 = std::min(wx0, x);
                wx1 = std::max(wx1, x);
            }
        }
    }
    if (wrote) Wrote(wx0, wx1, y0, y1);
}

bool QzHqRenderer::Band::SampleRange(float ax, float ay, float bx, float by, float cx, float cy,
                                     int& x0, int& x1, int& y0, int& y1) const {
    const float minX = std::min({ax, bx, cx}), maxX = std::max({ax, bx, cx});
    const float minY = std::min({ay, by, cy}), maxY = std::max({ay, by, cy});
    if (!(maxX >= 0.5f && maxY >= 0.5f && minX < width_ + 0.5f && minY < height_ + 0.5f))
        return false;
    x0 = CeilIn(minX - 0.5f, 0, width_);
    x1 = FloorIn(maxX - 0.5f, -1, width_ - 1);
    y0 = CeilIn(minY - 0.5f, top_, bottom_ + 1);
    y1 = FloorIn(maxY - 0.5f, top_ - 1, bottom_);
    return x0 <= x1 && y0 <= y1;
}

void QzHqRenderer::Band::BlendTriangle(const Glass& g) {
    int ia = 0, ib = 1, ic = 2;
    float area = (g.x[1] - g.x[0]) * (g.y[2] - g.y[0]) - (g.y[1] - g.y[0]) * (g.x[2] - g.x[0]);
    if (!(area != 0.0f) || !std::isfinite(area)) return;
    if (area < 0) {
        std::swap(ib, ic);
        area = -area;
    }
    const float ax = g.x[ia], ay = g.y[ia], bx = g.x[ib], by = g.y[ib], cx = g.x[ic], cy = g.y[ic];
    int x0, x1, y0, y1;
    if (!SampleRange(ax, ay, bx, by, cx, cy, x0, x1, y0, y1)) return;
    const bool t0 = TopLeft(cx - bx, cy - by), t1 = TopLeft(ax - cx, ay - cy),
               t2 = TopLeft(bx - ax, by - ay);
    const float inv = 1.0f / area;
    const float alpha = g.colour.a, keep = 1.0f - alpha;
    const Material* grains =
        g.material >= 0 ? &glassMaterials_[static_cast<size_t>(g.material)] : nullptr;
    const float density =
        grains ? GrainDensity(grains->fraction, grains->minSize, grains->maxSize) : 0.0f;
    bool wrote = false;
    for (int y = y0; y <= y1; ++y) {
        const float py = y + 0.5f;
        float* d = depth_ + static_cast<size_t>(y) * width_;
        uint32_t* col = colour_ + static_cast<size_t>(y) * width_;
        for (int x = x0; x <= x1; ++x) {
            const float px = x + 0.5f;
            const float w0 = (cx - bx) * (py - by) - (cy - by) * (px - bx);
            const float w1 = (ax - cx) * (py - cy) - (ay - cy) * (px - cx);
            const float w2 = (bx - ax) * (py - ay) - (by - ay) * (px - ax);
            if (!((w0 > 0 || (w0 == 0 && t0)) && (w1 > 0 || (w1 == 0 && t1)) &&
                  (w2 > 0 || (w2 == 0 && t2))))
                continue;
            const float z = (w0 * g.z[ia] + w1 * g.z[ib] + w2 * g.z[ic]) * inv;
            if (!(z < d[x])) continue;
            const float s = (w0 * g.shade[ia] + w1 * g.shade[ib] + w2 * g.shade[ic]) * inv;
            const float white =
                255.0f * (w0 * g.gloss[ia] + w1 * g.gloss[ib] + w2 * g.gloss[ic]) * inv;
            const uint32_t old = col[x];
            if (grains) {
                // Grains in the glass: nearly opaque flakes of their colour.
                float point[3];
                for (int k = 0; k < 3; ++k)
                    point[k] = (w0 * g.part[ia][k] + w1 * g.part[ib][k] + w2 * g.part[ic][k]) * inv;
                if (InGrain(point, grains->maxSize, density, grains->minSize, grains->maxSize)) {
                    constexpr float a = 0.85f, k = 1.0f - a;
                    col[x] = Pack(
                        (grains->grain.r * s + white) * a +
                            static_cast<float>(old >> 16 & 0xFF) * k,
                        (grains->grain.g * s + white) * a + static_cast<float>(old >> 8 & 0xFF) * k,
                        (grains->grain.b * s + white) * a + static_cast<float>(old & 0xFF) * k);
                    wrote = true;
                    continue;
                }
            }
            col[x] =
                Pack((g.colour.r * s + white) * alpha + static_cast<float>(old >> 16 & 0xFF) * keep,
                     (g.colour.g * s + white) * alpha + static_cast<float>(old >> 8 & 0xFF) * keep,
                     (g.colour.b * s + white) * alpha + static_cast<float>(old & 0xFF) * keep);
            wrote = true;
        }
    }
    if (wrote) Wrote(x0, x1, y0, y1);
}

void QzHqRenderer::Band::DrawSegment(const QzVector& a, const QzVector& b, float pull,
                                     uint32_t rgb) {
    if (look.lineSamples == 0) return;
    const float dx = b.x - a.x, dy = b.y - a.y;
    if (!std::isfinite(dx) || !std::isfinite(dy)) return;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    // A short segment is drawn sooner than its box is tested: only longer ones are left
    // out when hidden (the test of each sample decides the same either way).
    if (options_.skipHidden && std::max(std::fabs(dx), std::fabs(dy)) > kShortSegment &&
        SegmentHidden(a, b, pull))
        return;
    // Along the major axis, one sample per step at the sample centres the segment
    // spans; the minor coordinate and the depth at each.
    const float s0 = xMajor ? a.x : a.y, s1 = xMajor ? b.x : b.y;
    const float lo = std::min(s0, s1), hi = std::max(s0, s1);
    // The band's rows: along the major axis when it runs down, else of the minor one.
    const int majorFirst = xMajor ? 0 : top_, majorLast = xMajor ? width_ - 1 : bottom_;
    const int minorFirst = xMajor ? top_ : 0, minorLast = xMajor ? bottom_ : width_ - 1;
    const int k0 = CeilIn(lo - 0.5f, majorFirst, majorLast + 1);
    const int k1 = FloorIn(hi - 0.5f, majorFirst - 1, majorLast);
    const float span = s1 - s0;
    if (span == 0.0f) return;
    const float m0 = xMajor ? a.y : a.x, m1 = xMajor ? b.y : b.x;
    for (int k = k0; k <= k1; ++k) {
        const float t = (k + 0.5f - s0) / span;
        const float minor = m0 + t * (m1 - m0);
        const float z = a.z + t * (b.z - a.z) - pull;
        // floor(minor) within minorFirst - 1 to minorLast + 1.
        if (!(minor >= static_cast<float>(minorFirst - 1) &&
              minor < static_cast<float>(minorLast + 2)))
            continue;
        const int floor = FloorIn(minor, minorFirst - 1, minorLast + 1);
        const float below = static_cast<float>(floor);
        int rows[2] = {floor, minorFirst - 1};
        if (look.lineSamples > 1) {
            const float frac = minor - below;
            rows[1] = frac < 0.5f ? rows[0] - 1 : rows[0] + 1;
        }
        for (int r : rows) {
            if (r < minorFirst || r > minorLast) continue;
            const size_t i =
                xMajor ? static_cast<size_t>(r) * width_ + k : static_cast<size_t>(k) * width_ + r;
            if (!(z <= depth_[i])) continue;
            depth_[i] = z;
            const int x = xMajor ? k : r, y = xMajor ? r : k;
            tiles_.Touch(y, x, x);
            colour_[i] = rgb;
            Wrote(x, x, y, y);
        }
    }
}

// ---- The drawing ----

void QzHqRenderer::Band::Run(QzZImage& image) {
    // Every sample starts as the pixel it lies in (the cleared background).
    for (int y = top_; y <= bottom_; ++y) {
        const uint8_t* src = image.pixels + static_cast<size_t>(y / S) * image.width * 3;
        uint32_t* dst = colour_ + static_cast<size_t>(y) * width_;
        for (int x = 0; x < width_; x += S) {
            const uint8_t* p = src + (x / S) * 3;
            const uint32_t rgb =
                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
            std::fill_n(dst + x, S, rgb);
        }
        std::fill_n(depth_ + static_cast<size_t>(y) * width_, width_, QZ_FAR_DEPTH);
    }
    tiles_.Reset(width_, top_, bottom_, true);
    // Instances whose boxes lie wholly outside the band's rows (lines reach a sample
    // beyond their points) are passed over at once.
    auto outside = [&](const Instance& instance) {
        return instance.bottom + 2.0f < static_cast<float>(top_) ||
               instance.top - 2.0f > static_cast<float>(bottom_ + 1);
    };
    for (const Instance& instance : r_.instances_)
        if (!outside(instance)) DrawInstance(instance, instance.pass);
    // Studs last, each only when something of its box could still show.
    for (const Instance& instance : r_.studs_)
        if (!outside(instance)) DrawInstance(instance, Pass::Studs);
    // Glass over everything opaque, the farthest first, so that layers add up.
    std::stable_sort(glass_.begin(), glass_.end(),
                     [](const Glass& a, const Glass& b) { return a.depth > b.depth; });
    for (const Glass& g : glass_) BlendTriangle(g);
    Filter(image);
}

void QzHqRenderer::Band::Filter(QzZImage& image) {
    written_ = QzEmptyRect(image.width, image.height);
    if (drawn_[1] < drawn_[0]) return;
    const int px0 = drawn_[0] / S, px1 = drawn_[1] / S;
    const int py0 = drawn_[2] / S, py1 = drawn_[3] / S;
    for (int y = py0; y <= py1; ++y) {
        for (int x = px0; x <= px1; ++x) {
            uint32_t r = 0, g = 0, b = 0;
            float z = QZ_FAR_DEPTH;
            for (int j = 0; j < S; ++j) {
                const size_t row = static_cast<size_t>(y * S + j) * width_ + x * S;
                for (int i = 0; i < S; ++i) {
                    const uint32_t c = colour_[row + i];
                    r += c >> 16 & 0xFF;
                    g += c >> 8 & 0xFF;
                    b += c & 0xFF;
                    z = std::min(z, depth_[row + i]);
                }
            }
            constexpr uint32_t n = S * S;
            uint8_t* p = image.pixels + (static_cast<size_t>(y) * image.width + x) * 3;
            p[0] = static_cast<uint8_t>((b + n / 2) / n);
            p[1] = static_cast<uint8_t>((g + n / 2) / n);
            p[2] = static_cast<uint8_t>((r + n / 2) / n);
            image.depth[static_cast<size_t>(y) * image.width + x] = z;
        }
    }
    written_ = QzPixelRect{px0, px1, py0, py1};
}

void QzHqRenderer::AimLight(const double lo[3], const double hi[3], double scale, double aspect) {
    // Straight from the front, at a great distance, when nothing is drawn.
    lightPoint_[0] = eyePoint_[0] = static_cast<float>(width_) / 2;
    lightPoint_[1] = eyePoint_[1] = static_cast<float>(height_) / 2;
    lightPoint_[2] = eyePoint_[2] = -1.0e20f;
    const double tangent = std::tan(look.fieldOfView * (3.14159265358979323846 / 360.0));
    const double unit = scale * S;  // samples per model unit
    if (!(lo[0] <= hi[0]) || !(lo[1] <= hi[1]) || !(lo[2] <= hi[2]) || !(tangent > 0) ||
        !(unit > 0) || !std::isfinite(hi[0] - lo[0] + hi[1] - lo[1] + hi[2] - lo[2] + unit))
        return;
    // The eye looks at the middle of it all from where a camera with the field of view
    // would just take it in; the light stands beside the eye.
    const double eye =
        std::max((hi[1] - lo[1]) / 2, (hi[0] - lo[0]) / 2 / std::max(aspect, 1e-6)) / tangent;
    const double centre[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    eyePoint_[0] = static_cast<float>(centre[0]);
    eyePoint_[1] = static_cast<float>(centre[1]);
    eyePoint_[2] = static_cast<float>(centre[2] - eye);
    // Right of and above the eye: +x and -y on the screen.
    lightPoint_[0] = static_cast<float>(centre[0] + look.lightRight * unit);
    lightPoint_[1] = static_cast<float>(centre[1] - look.lightUp * unit);
    lightPoint_[2] = eyePoint_[2];
}

bool QzHqRenderer::Prepare(const QzZImage& image, const QzMatrix& screen) {
    if (image.width > std::numeric_limits<int>::max() / S ||
        image.height > std::numeric_limits<int>::max() / S)
        return false;
    width_ = image.width * S;
    height_ = image.height * S;
    // Colours and depths in one block, from large pages where the system has them: the
    // first drawing writes every sample at once.
    const size_t count = static_cast<size_t>(width_) * static_cast<size_t>(height_);
    constexpr size_t kBytes = sizeof(uint32_t) + sizeof(float);
    if (count > std::numeric_limits<size_t>::max() / kBytes || !samples_.Resize(count * kBytes))
        return false;
    colour_ = reinterpret_cast<uint32_t*>(samples_.data());
    depth_ = reinterpret_cast<float*>(samples_.data() + count * sizeof(uint32_t));
    const double unit = std::sqrt(static_cast<double>(screen.m[2][0]) * screen.m[2][0] +
                                  static_cast<double>(screen.m[2][1]) * screen.m[2][1] +
                                  static_cast<double>(screen.m[2][2]) * screen.m[2][2]);
    offsetLimit_ = std::isfinite(unit) ? static_cast<float>(QZ_FACE_OFFSET_UNITS * unit) : 1.0e30f;
    glossFloor_ =
        look.gloss > 0 && look.shininess > 0
            ? static_cast<float>(std::pow(0.25 / (255.0 * look.gloss), 1.0 / look.shininess))
            : 2.0f;
    return true;
}

namespace {

// Where the boxes of an instance's groups land: the nearest depth of their corners, the
// box of every corner in samples with depth scaled like x and y, and the rows of samples
// they cover. Each corner is placed as QzTransform places it: the products of the
// matrix with each end of the box on each axis are made once and summed in the same
// order for every corner, so every coordinate has the same bits.
struct Landing {
    float nearest = 1e30f;
    float top = 1e30f, bottom = -1e30f;
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};

    void Add(const QzBox& box, const QzMatrix& m, int samples) {
        const double ends[3][2] = {
            {box.min.x, box.max.x}, {box.min.y, box.max.y}, {box.min.z, box.max.z}};
        // Rounding never turns a larger sum into a smaller one: the least (greatest)
        // coordinate of the corners is that of the corner taking the lesser (greater)
        // product on each axis, the same number as the least of all eight. Where it is
        // zero (of either sign) or not finite, all eight are placed, as the sign of a
        // zero and what is not a number depend on which corner comes first.
        float least[3], most[3];
        bool found = true;
        for (int r = 0; r < 3 && found; ++r) {
            double low[3], high[3];
            for (int a = 0; a < 3; ++a) {
                const double p0 = m.m[r][a] * ends[a][0], p1 = m.m[r][a] * ends[a][1];
                low[a] = std::min(p0, p1);
                high[a] = std::max(p0, p1);
            }
            const double shift = m.m[r][3];
            least[r] = static_cast<float>(low[0] + low[1] + low[2] + shift);
            most[r] = static_cast<float>(high[0] + high[1] + high[2] + shift);
            found = std::isfinite(least[r]) && std::isfinite(most[r]) && least[r] != 0.0f &&
                    most[r] != 0.0f;
        }
        if (!found) {
            // The first least (greatest) of the eight in corner order, as taking each
            // corner in turn would keep it; what is not a number is passed over.
            for (int r = 0; r < 3; ++r) {
                double product[3][2];
                for (int a = 0; a < 3; ++a)
                    for (int e = 0; e < 2; ++e) product[a][e] = m.m[r][a] * ends[a][e];
                const double shift = m.m[r][3];
                least[r] = std::numeric_limits<float>::infinity();
                most[r] = -std::numeric_limits<float>::infinity();
                for (int c = 0; c < 8; ++c) {
                    const auto at =
                        static_cast<float>(product[0][c & 1] + product[1][(c >> 1) & 1] +
                                           product[2][(c >> 2) & 1] + shift);
                    least[r] = std::min(least[r], at);
                    most[r] = std::max(most[r], at);
                }
            }
        }
        nearest = std::min(nearest, least[2]);
        top = std::min(top, least[1]);
        bottom = std::max(bottom, most[1]);
        for (int i = 0; i < 3; ++i) {
            const double scale = i == 2 ? samples : 1;
            lo[i] = std::min(lo[i], static_cast<double>(least[i]) * scale);
            hi[i] = std::max(hi[i], static_cast<double>(most[i]) * scale);
        }
    }
    void Join(const Landing& other) {
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], other.lo[i]);
            hi[i] = std::max(hi[i], other.hi[i]);
        }
    }
};

}  // namespace

void QzHqRenderer::SortAndAim(const QzMatrix& screen, const QzZImage& image, int threads) {
    // The box of everything drawn, in samples with depth scaled like x and y, for the
    // light; the nearest depth of each instance, and the rows each covers.
    const size_t count = instances_.size() + studs_.size();
    std::vector<std::pair<float, size_t>> order(instances_.size());
    auto land = [&](size_t from, size_t to, Landing& all) {
        for (size_t k = from; k < to; ++k) {
            const bool stud = k >= instances_.size();
            Instance& instance = stud ? studs_[k - instances_.size()] : instances_[k];
            Landing one;
            for (const QzMeshGroup& g : instance.mesh->groups) one.Add(g.box, instance.matrix, S);
            all.Join(one);
            instance.top = one.top;
            instance.bottom = one.bottom;
            if (!stud) order[k] = {std::isnan(one.nearest) ? 1e30f : one.nearest, k};
        }
    };
    // Parts of the list on threads of their own, the first on this one.
    threads = std::clamp(threads, 1, static_cast<int>(std::min<size_t>(count / 4096 + 1, 64)));
    std::vector<Landing> landings(static_cast<size_t>(threads));
    auto share = [&](int t) {
        return count * static_cast<size_t>(t) / static_cast<size_t>(threads);
    };
    std::vector<std::thread> workers;
    int started = 1;
    try {
        for (; started < threads; ++started)
            workers.emplace_back(land, share(started), share(started + 1),
                                 std::ref(landings[static_cast<size_t>(started)]));
    } catch (const std::system_error&) {
        // Fewer threads than asked for: this one does the rest.
    }
    land(0, share(1), landings[0]);
    for (int t = started; t < threads; ++t)
        land(share(t), share(t + 1), landings[static_cast<size_t>(t)]);
    for (std::thread& worker : workers) worker.join();
    for (size_t t = 1; t < landings.size(); ++t) landings[0].Join(landings[t]);
    // Nearest first, so that more of what lies behind is found hidden and skipped. Only
    // which of two faces at the same depth shows depends on the order.
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Instance> sorted;
    sorted.reserve(instances_.size());
    for (const auto& entry : order) sorted.push_back(instances_[entry.second]);
    instances_.swap(sorted);
    AimLight(landings[0].lo, landings[0].hi,
             std::sqrt(static_cast<double>(screen.m[0][0]) * screen.m[0][0] +
                       static_cast<double>(screen.m[0][1]) * screen.m[0][1] +
                       static_cast<double>(screen.m[0][2]) * screen.m[0][2]),
             static_cast<double>(image.width) / std::max(1, image.height));
}

void QzHqRenderer::DrawBands(QzZImage& image, int threads) {
    // Bands of whole pixel rows with about the same work each: every instance's faces
    // and lines spread evenly over the rows its boxes cover.
    threads = std::clamp(threads, 1, std::max(1, image.height / 16));
    std::vector<double> change(static_cast<size_t>(image.height) + 1, 0.0);
    for (const std::vector<Instance>* list : {&instances_, &studs_})
        for (const Instance& instance : *list) {
            const int y0 = Clamped(instance.top / S, 0, image.height - 1);
            const int y1 = std::max(y0, Clamped(instance.bottom / S, 0, image.height - 1));
            const double work = 1.0 + static_cast<double>(instance.mesh->triangles.size()) +
                                static_cast<double>(instance.mesh->lines.size());
            change[static_cast<size_t>(y0)] += work / (y1 - y0 + 1);
            change[static_cast<size_t>(y1) + 1] -= work / (y1 - y0 + 1);
        }
    std::vector<double> work(static_cast<size_t>(image.height));
    double running = 0;
    for (size_t y = 0; y < work.size(); ++y) work[y] = running += change[y];
    std::vector<int32_t> rows = QzSplitRows(work, threads);
    rows.push_back(image.height);
    std::vector<std::unique_ptr<Band>> bands;
    for (int b = 0; b < threads; ++b) {
        const int y0 = std::min(rows[static_cast<size_t>(b)], image.height);
        const int y1 = std::min(rows[static_cast<size_t>(b + 1)], image.height);
        if (y0 < y1) bands.push_back(std::make_unique<Band>(*this, y0 * S, y1 * S - 1));
    }
    std::vector<std::thread> workers;
    for (size_t b = 1; b < bands.size(); ++b)
        workers.emplace_back([&image, band = bands[b].get()] { band->Run(image); });
    bands[0]->Run(image);
    for (std::thread& worker : workers) worker.join();
    for (const auto& band : bands) {
        const QzPixelRect rect = band->Written();
        if (rect.x1 < rect.x0) continue;
        QzRectGrow(image.dirtyRect, rect);
        QzRectGrow(image.drawnRect, rect);
    }
}

QzDrawOutcome QzHqRenderer::Draw(const QzDrawJob& job, QzZImage& image,
                                 QzDrawStatistics& statistics) {
    job_ = &job;
    statistics_ = &statistics;
    if (!image.pixels || !image.depth || !job.top) return QzDrawOutcome::Drawn;
    if (!QzPrepareDrawData(job.top)) return QzDrawOutcome::NoMemory;
    if (!Prepare(image, job.screen)) return QzDrawOutcome::NoMemory;
    // Model to samples: x and y scaled, depth as in the normal drawing.
    QzMatrix m = job.screen;
    for (int j = 0; j < 4; ++j) {
        m.m[0][j] *= S;
        m.m[1][j] *= S;
    }
    instances_.clear();
    studs_.clear();
    inherited_.clear();
    QzMeshKeys keys;
    Finder finder(*this, keys);
    QzWalkRules rules = QzDrawingRules(*job.options, *job.palette);
    rules.studs = QzStudRule::Walk;
    // Every instance is kept until the picture is drawn: fewer placements than the
    // normal drawing walks.
    rules.maxPlacements = std::min(job.maxPlacements, QZ_MAX_HQ_PLACEMENTS);
    rules.fadeThrough = job.fadeThrough;
    // The files as a reader with textures reads them.
    rules.textures = true;
    MakeMeshes(rules, job, keys, job.threads);
    Finder::Frame top{m, job.top, {}};
    const bool complete =
        QzWalk(rules, *job.top, job.stop, job.colour, job.options->bfc, top, finder);
    if (!complete) {
        instances_.clear();
        studs_.clear();
        return QzDrawOutcome::TooManyPlacements;
    }
    SortAndAim(job.screen, image, job.threads);
    DrawBands(image, job.threads);
    return QzDrawOutcome::Drawn;
}

QzDrawOutcome QzDrawHighQuality(QzRenderState& state, const QzDrawJob& job) {
    if (!state.hqRenderer) state.hqRenderer = std::make_shared<QzHqRenderer>();
    QzRenderer& r = *state.renderer;
    const QzDrawOutcome outcome = state.hqRenderer->Draw(job, r.image, r.statistics);
    r.Flush();
    return outcome;
}
