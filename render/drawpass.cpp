#include "drawpass.h"

#include <cstdint>
#include <new>
#include <unordered_set>

#include "clock.h"
#include "diagnostics.h"
#include "drawdata.h"
#include "drawlist.h"
#include "format.h"
#include "hqrender.h"
#include "messagebox.h"
#include "render_math.h"
#include "steps.h"
#include "walk.h"

namespace {

// Box corners: bit 0 selects maximum x, bit 1 maximum y, bit 2 maximum z.
constexpr int kBoxEdges[12][2] = {{0, 1}, {1, 5}, {4, 5}, {0, 4}, {2, 3}, {3, 7},
                                  {6, 7}, {2, 6}, {0, 2}, {1, 3}, {5, 7}, {4, 6}};
constexpr int kBoxFaces[6][4] = {{0, 1, 3, 2}, {1, 5, 7, 3}, {5, 4, 6, 7},
                                 {4, 0, 2, 6}, {0, 4, 5, 1}, {3, 7, 6, 2}};
// Screen coordinates of a corner as whole pixels, kept inside the int range.
float WholePixel(float v) {
    if (!(v > -1.0e9f)) return -1.0e9f;
    if (v > 1.0e9f) return 1.0e9f;
    return static_cast<float>(static_cast<int32_t>(v));
}

// Index of an edge in the edge table.
int EdgeIndex(int a, int b) {
    for (int e = 0; e < 12; ++e)
        if ((kBoxEdges[e][0] == a && kBoxEdges[e][1] == b) ||
            (kBoxEdges[e][0] == b && kBoxEdges[e][1] == a))
            return e;
    return -1;
}

struct FaceChoice {
    int minEdges[4][2];
    int maxEdges[4][2];
};
// Pairs of opposite faces: z, x, y.
constexpr FaceChoice kFacePairs[3] = {
    {{{0, 1}, {2, 3}, {0, 2}, {1, 3}}, {{4, 5}, {6, 7}, {5, 7}, {4, 6}}},
    {{{0, 4}, {2, 6}, {0, 2}, {4, 6}}, {{1, 5}, {3, 7}, {1, 3}, {5, 7}}},
    {{{0, 1}, {1, 5}, {4, 5}, {0, 4}}, {{2, 3}, {3, 7}, {6, 7}, {2, 6}}},
};

void DrawWireBox(QzRenderer& r, const QzBox& box, const QzMatrix& m, int32_t colour, bool invert) {
    QzVector c[8];
    int64_t ix[8], iy[8];
    for (int i = 0; i < 8; ++i) {
        QzVector s;
        QzTransform(s, m, QzBoxCorner(box, i));
        c[i] = {WholePixel(s.x), WholePixel(s.y), 0.0f};
        ix[i] = static_cast<int64_t>(c[i].x);
        iy[i] = static_cast<int64_t>(c[i].y);
    }
    auto cross = [&](int u, int v) {
        const int64_t ux = ix[u] - ix[0], uy = iy[u] - iy[0];
        const int64_t vx = ix[v] - ix[0], vy = iy[v] - iy[0];
        return ux * vy - uy * vx;
    };
    // X, Y, Z lead from corner 0 to corners 1, 2, 4.
    const bool minVisible[3] = {(cross(1, 2) >= 0) != invert, (cross(2, 4) >= 0) != invert,
                                (cross(4, 1) >= 0) != invert};
    bool draw[12] = {};
    for (int p = 0; p < 3; ++p) {
        const int(*edges)[2] = minVisible[p] ? kFacePairs[p].minEdges : kFacePairs[p].maxEdges;
        for (int e = 0; e < 4; ++e) draw[EdgeIndex(edges[e][0], edges[e][1])] = true;
    }
    for (int e = 0; e < 12; ++e)
        if (draw[e]) r.DrawLine(c[kBoxEdges[e][0]], c[kBoxEdges[e][1]], colour);
}

void DrawSolidBox(QzRenderer& r, const QzBox& box, const QzMatrix& m, int32_t colour, bool invert) {
    QzVector c[8];
    for (int i = 0; i < 8; ++i) QzTransform(c[i], m, QzBoxCorner(box, i));
    for (const auto& f : kBoxFaces) {
        const QzVector& a = c[f[0]];
        const QzVector& b = c[f[1]];
        const QzVector& d = c[f[2]];
        const float ux = a.x - b.x, uy = a.y - b.y;
        const float vx = d.x - b.x, vy = d.y - b.y;
        if ((ux * vy - uy * vx > 0) == invert) r.DrawQuad(a, b, d, c[f[3]], colour);
    }
}

// The box previews: each part of the library as its box, the faces of model files as
// they are (solid) or as outlines (wire).
class BoxPreview {
  public:
    using Frame = QzMatrix;
    BoxPreview(QzRenderer& r, bool solid, const QzWalkRules& rules)
        : r_(r), solid_(solid), rules_(rules) {}

    Frame Place(const Frame& parent, const QzPlaced& child) {
        QzMatrix m;
        QzMultiply(m, parent, child.line->p);
        return m;
    }
    bool Enter(const QzPlaced& placed, const Frame& m, const QzDrawItem*, const QzDrawItem*) {
        if (!placed.line || !(placed.part->flags & (PF_PARTS_DIR | PF_PRIM_DIR))) return true;
        if (solid_)
            DrawSolidBox(r_, placed.part->boxNoStuds, m, placed.colour, placed.invert);
        else
            DrawWireBox(r_, placed.part->box, m, placed.colour, placed.invert);
        return false;
    }
    void Run(const QzPlaced& placed, const Frame& m, const QzDrawItem* begin,
             const QzDrawItem* end) {
        QzVector pts[4];
        for (const QzDrawItem* item = begin; item != end; ++item) {
            const int type = item->type;
            if (type != 3 && type != 4) continue;
            const QzLine& line = *item->line;
            const int32_t c = QzLineColour(rules_, line, placed.colour, placed.top);
            for (int i = 0; i < type; ++i) QzTransform(pts[i], m, line.p[i]);
            if (!solid_) {
                for (int i = 0; i < type; ++i) r_.DrawLine(pts[i], pts[(i + 1) % type], c);
            } else if (type == 3) {
                r_.DrawTriangle(pts[0], pts[1], pts[2], c);
            } else {
                r_.DrawQuad(pts[0], pts[1], pts[2], pts[3], c);
            }
        }
    }
    void Leave(const QzPlaced&, const Frame&) {}
    void Passed(const QzPlaced&) {}
    bool Full() const { return false; }

  private:
    QzRenderer& r_;
    const bool solid_;
    const QzWalkRules& rules_;
};

// Walks the model as a drawing does, transforming every point of every line shown,
// without drawing.
class Traversal {
  public:
    using Frame = QzMatrix;
    explicit Traversal(const QzRenderOptions& o) : o_(o) {}
    Frame Place(const Frame& parent, const QzPlaced& child) {
        ++typeCount[1];
        QzMatrix m;
        QzMultiply(m, parent, child.line->p);
        return m;
    }
    bool Enter(const QzPlaced&, const Frame&, const QzDrawItem*, const QzDrawItem*) { return true; }
    void Run(const QzPlaced&, const Frame& m, const QzDrawItem* begin, const QzDrawItem* end) {
        for (const QzDrawItem* item = begin; item != end; ++item) {
            const int type = item->type;
            const bool shown = type == 2   ? o_.showType2
                               : type == 3 ? o_.showType3
                               : type == 4 ? o_.showType4
                                           : o_.showType5;
            if (!shown) continue;
            ++typeCount[type];
            const int n = type == 5 ? 4 : type;
            for (int i = 0; i < n; ++i) {
                QzVector p;
                QzTransform(p, m, item->line->p[i]);
                sink += p.z;
            }
        }
    }
    void Leave(const QzPlaced&, const Frame&) {}
    void Passed(const QzPlaced&) {}
    bool Full() const { return false; }

    float sink = 0;
    int32_t typeCount[6] = {};

  private:
    const QzRenderOptions& o_;
};

// Makes the meshes of every file below a file once: each library part (or primitive)
// placed, whole, and the own lines of every other file, as the high-quality drawing
// draws them.
class MeshMaker {
  public:
    using Frame = int;
    Frame Place(const Frame&, const QzPlaced&) { return 0; }
    bool Enter(const QzPlaced& placed, const Frame&, const QzDrawItem*, const QzDrawItem*) {
        const QzPart& part = *placed.part;
        if (!seen_.insert(&part).second) return false;
        const bool library = (part.flags & (PF_PARTS_DIR | PF_PRIM_DIR)) != 0;
        QzPartMeshOf(part, library, keys_);
        return !library;
    }
    void Run(const QzPlaced&, const Frame&, const QzDrawItem*, const QzDrawItem*) {}
    void Leave(const QzPlaced&, const Frame&) {}
    void Passed(const QzPlaced&) {}
    bool Full() const { return false; }

  private:
    QzMeshKeys keys_;
    std::unordered_set<const QzPart*> seen_;
};

// The rules of the box previews: colours without random colours or black edges, boxes
// turned by the mirror bit, empty parts left out, no seams.
QzWalkRules PreviewRules(const QzRenderState& state) {
    QzWalkRules rules = QzDrawingRules(state.options, state.palette);
    rules.colours = QzColourRule::Preview;
    rules.studs = QzStudRule::Walk;
    rules.skipStuds = false;
    rules.seams = false;
    rules.invertByMirror = true;
    rules.skipEmpty = true;
    return rules;
}

void DrawBoxes(QzRenderState& state, bool solid, const QzPart* part, const QzLine* stop,
               const QzMatrix& matrix) {
    if (!part || !QzPrepareDrawData(part)) return;
    const QzWalkRules rules = PreviewRules(state);
    BoxPreview preview(*state.renderer, solid, rules);
    QzWalk(rules, *part, stop, 7, false, matrix, preview);
    state.renderer->Flush();
}

}  // namespace

std::optional<QzDrawStatistics> RedrawModel(QzRenderState& state, const QzModel& model, bool full) {
    QzDebugLog("RedrawModel()\n");
    state.renderer->ClearImage(full);
    return DrawModel(state, model);
}

std::optional<QzDrawStatistics> DrawModel(QzRenderState& state, const QzModel& loaded) {
    QzRenderer& r = *state.renderer;
    const unsigned depthAddress =
        r.image.depth ? static_cast<unsigned>(reinterpret_cast<uintptr_t>(r.image.depth))
                      : static_cast<unsigned>(-1);
    QzDebugLog("DrawModel()  nParts=%d  zbuffer=%x\n", loaded.partCount, depthAddress);
    if (!r.image.depth) {
        plat::ShowMessage("buffer NULL", plat::MessageKind::Stop);
        return std::nullopt;
    }
    if (!loaded.Loaded()) return std::nullopt;
    if (state.dragging && state.skewView) state.SetViewAngles(30, 45);
    const QzPart* model = &state.ShownPart(loaded);
    const QzMatrix p = state.ScreenMatrix(*model, r.image.width, r.image.height);
    r.SetFaceOffsetLimit(p);
    QzDrawJob job;
    job.top = model;
    // A building step: the walks stop after the step's last line of the file shown.
    job.stop = QzStepLastLine(*model, state.step);
    if (state.options.fadeEarlierSteps) {
        const int count = QzStepCount(*model);
        const int step = state.step <= 0 || state.step > count ? count : state.step;
        if (step > 1) job.fadeThrough = QzStepLastLine(*model, step - 1);
    }
    job.screen = p;
    job.options = &state.options;
    job.palette = &state.palette;
    job.threads = state.threads > 0 ? state.threads : QzDefaultDrawThreads();
    r.statistics = QzDrawStatistics{};
    const uint32_t start = plat::TickCount();
    QzDrawOutcome outcome = QzDrawOutcome::Drawn;
    if (state.dragging) {
        if (state.dragMode == 1)
            outcome = QzDrawNormal(r, job);
        else
            DrawBoxes(state, state.dragMode == 2, model, job.stop, p);
        if (state.showModelBox) DrawModelBox(state, model, p);
        if (state.showAxes) DrawAxes(state, model, p);
    } else {
        if (state.sink) state.sink->SetWaitCursor(true);
        if (state.options.highQuality)
            outcome = QzDrawHighQuality(state, job);
        else
            outcome = QzDrawNormal(r, job);
        r.statistics.transformText =
            plat::Format("M:%d V:%d", static_cast<int>(r.statistics.matrixMulCount),
                         static_cast<int>(r.statistics.transformCount));
        if (state.showModelBox) DrawModelBox(state, model, p);
        if (state.showAxes) DrawAxes(state, model, p);
        if (state.sink) state.sink->SetWaitCursor(false);
    }
    QzDrawStatistics statistics = r.statistics;
    statistics.incomplete = outcome != QzDrawOutcome::Drawn;
    statistics.drawTimeMs = static_cast<int32_t>(plat::TickCount() - start);
    statistics.calcTimeMs = 0;
    if (state.timeCalculations && !state.dragging) {
        const uint32_t t0 = plat::TickCount();
        TraverseTree(state.options, model, p);
        statistics.calcTimeMs = static_cast<int32_t>(plat::TickCount() - t0);
    }
    QzDebugLog("DrawModel()  time: %d  calc: %d\n", statistics.drawTimeMs, statistics.calcTimeMs);
    return statistics;
}

void DrawWireBoxes(QzRenderState& state, const QzPart* part, const QzLine* stop,
                   const QzMatrix& matrix) {
    DrawBoxes(state, false, part, stop, matrix);
}

void DrawSolidBoxes(QzRenderState& state, const QzPart* part, const QzLine* stop,
                    const QzMatrix& matrix) {
    DrawBoxes(state, true, part, stop, matrix);
}

void DrawModelBox(QzRenderState& state, const QzPart* part, const QzMatrix& matrix) {
    if (!part || (part->flags & PF_EMPTY)) return;
    QzRenderer& r = *state.renderer;
    QzVector c[8];
    for (int i = 0; i < 8; ++i) QzTransform(c[i], matrix, QzBoxCorner(part->box, i));
    for (const auto& e : kBoxEdges) r.DrawLine(c[e[0]], c[e[1]], 0);
    r.Flush();
}

void DrawAxes(QzRenderState& state, const QzPart* part, const QzMatrix& matrix) {
    if (!part || (part->flags & PF_EMPTY)) return;
    QzRenderer& r = *state.renderer;
    const float mins[3] = {part->box.min.x, part->box.min.y, part->box.min.z};
    const float maxs[3] = {part->box.max.x, part->box.max.y, part->box.max.z};
    const int32_t colours[3] = {1, 2, 4};
    const int others[3][2] = {{1, 2}, {0, 2}, {0, 1}};
    auto point = [](int axis, double along, int o1, double v1, int o2, double v2) {
        float v[3] = {0, 0, 0};
        v[axis] = static_cast<float>(along);
        v[o1] = static_cast<float>(v1);
        v[o2] = static_cast<float>(v2);
        return QzVector{v[0], v[1], v[2]};
    };
    for (int a = 0; a < 3; ++a) {
        const double e = static_cast<double>(maxs[a]) - mins[a];
        const int o1 = others[a][0], o2 = others[a][1];
        QzVector s0, s1;
        QzTransform(s0, matrix, point(a, mins[a] - 0.1 * e, o1, 0, o2, 0));
        QzTransform(s1, matrix, point(a, maxs[a] + 0.2 * e, o1, 0, o2, 0));
        r.DrawLine(s0, s1, colours[a]);
        const double base = maxs[a] + 0.1 * e;
        const double w = 0.05 * e;
        for (int k = 0; k < 4; ++k) {
            const double v1 = (k & 1) ? -w : w;
            const double v2 = (k & 2) ? -w : w;
            QzVector from;
            QzTransform(from, matrix, point(a, base, o1, v1, o2, v2));
            r.DrawLine(from, s1, colours[a]);
        }
    }
    r.Flush();
}

void TraverseTree(const QzRenderOptions& options, const QzPart* part, const QzMatrix& matrix) {
    if (!part || !QzPrepareDrawData(part)) return;
    // The sum keeps the transforms from being optimised away, the counts the work of
    // a drawing's counting; neither is kept.
    Traversal traversal(options);
    QzWalkRules rules;
    rules.maxPlacements = QZ_MAX_PLACEMENTS;
    QzWalk(rules, *part, nullptr, 7, false, QzMatrix(matrix), traversal);
    __asm__ volatile("" : : "g"(traversal.sink) : "memory");
}

bool QzPrepareDrawings(const QzPart& top, bool highQuality) {
    if (!QzPrepareDrawData(&top)) return false;
    try {
        QzDrawWork(top);
        QzStudReferences(top);
        for (const bool skipStuds : {false, true})
            for (const bool seams : {false, true}) QzStudPassProducts(top, skipStuds, seams);
        if (highQuality) {
            MeshMaker maker;
            QzWalkRules rules;
            rules.colours = QzColourRule::Symbolic;
            QzWalk(rules, top, nullptr, QZ_COLOUR_CURRENT, false, 0, maker);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::string QzDrawStatusText(const QzDrawStatistics& s) {
    return plat::Format("2:%d 3:%d 4:%d 5:%d %d.%03d seconds (%d) %s", s.typeCount[2],
                        s.typeCount[3], s.typeCount[4], s.typeCount[5], s.drawTimeMs / 1000,
                        s.drawTimeMs % 1000, s.calcTimeMs, s.transformText.c_str());
}
