// The model walk of the type-3 renderer and its image bookkeeping.
#include "renderer.h"

#include <algorithm>
#include <cstring>

#include "diagnostics.h"
#include "messagebox.h"

const int32_t QzEdgeColours[16] = {8, 9, 10, 11, 12, 13, 0, 8, 0, 1, 2, 3, 4, 5, 8, 8};

QzRenderer::QzRenderer(QzDisplaySink* sinkIn, const QzRenderOptions* optionsIn,
                       const QzPalette* paletteIn)
    : sink(sinkIn), options(optionsIn), palette(paletteIn) {
    const uint8_t background[3] = {119, 215, 242};
    SetBackgroundColours(background, background);
}

void QzRenderer::SetBackgroundColours(const uint8_t first[3], const uint8_t second[3]) {
    // The rows alternate the two colours in a checkerboard: row 0 starts with the
    // first, row 1 with the second.
    for (int row = 0; row < 2; ++row) {
        for (int px = 0; px < 4; ++px) {
            const uint8_t* c = ((px + row) % 2 == 0) ? first : second;
            background_[row][px * 3 + 0] = c[2];
            background_[row][px * 3 + 1] = c[1];
            background_[row][px * 3 + 2] = c[0];
        }
    }
}

int32_t QzEdgeColour(const QzPalette& palette, int32_t inherited, bool black24) {
    if (black24) return 0;
    if (const QzLDConfigColour* defined = QzSchemeColour(palette, inherited)) return defined->edge;
    if (inherited < 0 || inherited > 15) return 0;
    return QzEdgeColours[inherited];
}

int32_t QzRenderer::LineColour(const QzLine& line, int32_t inherited, bool top,
                               bool boxPreview) const {
    const QzRenderOptions& o = *options;
    int32_t c;
    if (top && o.randomColours && !boxPreview) {
        c = line.randomColour;
    } else {
        c = line.colour;
        if (c == 16) {
            c = inherited;
        } else if (c == 24) {
            c = QzEdgeColour(*palette, inherited, o.colour24Black && !boxPreview);
        }
    }
    if (o.allTransparent) c = QzAllTransparentColour(*palette, c);
    return c;
}

void QzRenderer::DrawPolygon(int count, const QzLine& line, const QzVector* pts, int32_t c,
                             bool cull, bool invert) {
    const QzRenderOptions& o = *options;
    const bool show = count == 3 ? o.showType3 : o.showType4;
    const bool edges = count == 3 ? o.edgesType3 : o.edgesType4;
    const QzVector& p0 = pts[0];
    const QzVector& p1 = pts[1];
    const QzVector& p2 = pts[2];
    const QzFaceDecision face = QzDecideFace(o, line.bfc, pts, c, cull, invert);
    if (!face.drawn) return;
    c = face.colour;
    if (face.counted) ++statistics.typeCount[count];
    if (show) {
        if (count == 3)
            DrawTriangle(p0, p1, p2, c);
        else
            DrawQuad(p0, p1, p2, pts[3], c);
    }
    if (edges) {
        const int32_t ec = QzEdgeColours[c & 15];
        for (int i = 0; i < count; ++i) DrawLine(pts[i], pts[(i + 1) % count], ec);
    }
}

bool QzRenderer::VertexList::Covers(const QzLine& line, int n) const {
    if (!points) return false;
    for (int i = 0; i < n; ++i)
        if (line.vertexIndex[i] < 0 || line.vertexIndex[i] >= count) return false;
    return true;
}

QzRenderer::VertexList QzRenderer::TransformVertices(const QzPart& part, const QzMatrix& matrix) {
    if (!options->vertexLists || !part.vertices || part.vertexCount <= 0) return {};
    if (static_cast<int>(vertexScratch_.size()) <= walkDepth_)
        vertexScratch_.resize(walkDepth_ + 1);
    std::vector<QzVector>& scratch = vertexScratch_[walkDepth_];
    if (scratch.size() < static_cast<size_t>(part.vertexCount)) scratch.resize(part.vertexCount);
    for (int32_t i = 0; i < part.vertexCount; ++i) Transform(scratch[i], matrix, part.vertices[i]);
    return {scratch.data(), part.vertexCount};
}

// Inlined into the walk: a call per line costs the full redraw of a large model several
// percent (render benchmark).
[[gnu::always_inline]] inline void QzRenderer::DrawGeometry(const QzLine& line, int32_t colour,
                                                            bool top, const QzMatrix& matrix,
                                                            const VertexList& verts, bool cull,
                                                            bool invert) {
    const QzRenderOptions& o = *options;
    const int32_t* ix = line.vertexIndex;
    QzVector pts[4];
    switch (line.type) {
        case 2: {
            if (!o.showType2) return;
            const int32_t c = LineColour(line, colour, top, false);
            ++statistics.typeCount[2];
            if (verts.Covers(line, 2)) {
                DrawLine(verts.points[ix[0]], verts.points[ix[1]], c);
            } else {
                Transform(pts[0], matrix, line.p[0]);
                Transform(pts[1], matrix, line.p[1]);
                DrawLine(pts[0], pts[1], c);
            }
            return;
        }
        case 3:
        case 4: {
            const int n = line.type;
            if (n == 3 ? !(o.showType3 || o.edgesType3) : !(o.showType4 || o.edgesType4)) return;
            const int32_t c = LineColour(line, colour, top, false);
            if (verts.Covers(line, n)) {
                // The vertex-list path neither culls nor draws edges nor counts.
                const QzVector* v = verts.points;
                if (n == 3)
                    DrawTriangle(v[ix[0]], v[ix[1]], v[ix[2]], c);
                else
                    DrawQuad(v[ix[0]], v[ix[1]], v[ix[2]], v[ix[3]], c);
                return;
            }
            for (int i = 0; i < n; ++i) Transform(pts[i], matrix, line.p[i]);
            DrawPolygon(n, line, pts, c, cull, invert);
            return;
        }
        default: {  // 5
            if (!o.showType5) return;
            const int32_t c = LineColour(line, colour, top, false);
            ++statistics.typeCount[5];
            if (verts.Covers(line, 4)) {
                const QzVector* v = verts.points;
                DrawOptionalLine(v[ix[0]], v[ix[1]], v[ix[2]], v[ix[3]], c, o.showAllType5);
            } else {
                for (int i = 0; i < 4; ++i) Transform(pts[i], matrix, line.p[i]);
                DrawOptionalLine(pts[0], pts[1], pts[2], pts[3], c, o.showAllType5);
            }
            return;
        }
    }
}

void QzRenderer::DrawPart(bool top, const QzPart* part, int32_t colour, const QzMatrix& matrix,
                          bool cull, bool invert) {
    if (top) {
        QzDebugLog("DrawPart %dx%d zbuffer=%x\n", image.width, image.height,
                   static_cast<unsigned>(reinterpret_cast<uintptr_t>(image.depth)));
        inStudPass = false;
        trianglesTried = trianglesDrawn = linesTried = linesDrawn = 0;
        walkDepth_ = 0;
    }
    if (!part) return;
    const QzRenderOptions& o = *options;
    const bool refreshEach = top && o.refreshEachPart && !(part->flags & PF_PARTS_DIR);
    // Vertex-list mode: every distinct vertex transformed once into this depth's
    // scratch array. Parts without a list take the per-line path.
    const VertexList verts = TransformVertices(*part, matrix);

    ++walkDepth_;
    // A building step leaves out the main model's lines after its last one.
    const QzLine* const stop = top ? lastTopLine : nullptr;
    for (const QzLine* line = part->lines; line; line = line == stop ? nullptr : line->next) {
        // Lines are separate heap records: fetch the next one while this one draws.
        if (line->next) __builtin_prefetch(line->next);
        if (line->type == 1) {
            DrawReference(*part, *line, colour, matrix, top, refreshEach, cull, invert);
        } else if (line->type >= 2 && line->type <= 5) {
            DrawGeometry(*line, colour, top, matrix, verts, cull, invert);
        }
    }
    --walkDepth_;

    if (top) {
        if (o.studsLast) {
            inStudPass = true;
            DrawStuds(true, part, colour, matrix, cull, invert);
        }
        Flush();
    }
}

void QzRenderer::DrawReference(const QzPart& part, const QzLine& line, int32_t colour,
                               const QzMatrix& matrix, bool top, bool refreshEach, bool cull,
                               bool invert) {
    const QzRenderOptions& o = *options;
    const QzPart* sub = line.part;
    if (!sub) return;
    if ((sub->flags & PF_STUD) && ((o.studsLast && !inStudPass) || o.lineAsStud)) return;
    const int32_t c = LineColour(line, colour, top, false);
    ++statistics.typeCount[1];
    QzMatrix m;
    Multiply(m, matrix, line.p);
    if (QzShrinksForSeams(o, part, *sub)) {
        const QzMatrix shrink = QzSeamShrink(*sub, o.seamWidth);
        QzMatrix shrunk;
        Multiply(shrunk, m, shrink);
        m = shrunk;
    }
    if (refreshEach) {
        savedLinesDrawn = linesDrawn;
        savedTrianglesDrawn = trianglesDrawn;
    }
    DrawPart(false, sub, c, m, cull && (line.bfc & LF_CULL),
             invert != ((line.bfc & LF_INVERT) != 0));
    if (refreshEach && (o.flushAfterEveryPart || linesDrawn != savedLinesDrawn ||
                        trianglesDrawn != savedTrianglesDrawn))
        Flush();
}

void QzRenderer::DrawStuds(bool top, const QzPart* part, int32_t colour, const QzMatrix& matrix,
                           bool cull, bool invert) {
    const QzRenderOptions& o = *options;
    const QzLine* const stop = top ? lastTopLine : nullptr;
    for (const QzLine* line = part->lines; line; line = line == stop ? nullptr : line->next) {
        if (line->next) __builtin_prefetch(line->next);
        if (line->type != 1 || !line->part) continue;
        const QzPart* sub = line->part;
        if ((sub->flags & PF_STUD) && o.lineAsStud) continue;
        const int32_t c = LineColour(*line, colour, top, false);
        QzMatrix m;
        Multiply(m, matrix, line->p);
        const bool subCull = cull && (line->bfc & LF_CULL);
        const bool subInvert = invert != ((line->bfc & LF_INVERT) != 0);
        if (sub->flags & PF_STUD) {
            if (!IsStudHidden(sub, m)) DrawPart(false, sub, c, m, subCull, subInvert);
        } else if (QzShrinksForSeams(o, *part, *sub)) {
            // The studs of a shrunk part shrink with it, as the main walk drew the part.
            QzMatrix shrunk;
            Multiply(shrunk, m, QzSeamShrink(*sub, o.seamWidth));
            DrawStuds(false, sub, c, shrunk, subCull, subInvert);
        } else {
            DrawStuds(false, sub, c, m, subCull, subInvert);
        }
    }
}

void QzStudScreenBox(const QzPart& stud, const QzMatrix& m, QzVector& lo, QzVector& hi) {
    for (int i = 0; i < 8; ++i) {
        QzVector s;
        QzTransform(s, m, QzBoxCorner(stud.box, i));
        if (i == 0) {
            lo = hi = s;
        } else {
            lo.x = std::min(lo.x, s.x);
            lo.y = std::min(lo.y, s.y);
            lo.z = std::min(lo.z, s.z);
            hi.x = std::max(hi.x, s.x);
            hi.y = std::max(hi.y, s.y);
        }
    }
}

bool QzRenderer::IsStudHidden(const QzPart* sub, const QzMatrix& m) {
    if (sub->flags & PF_EMPTY) return true;
    QzVector lo{}, hi{};
    QzStudScreenBox(*sub, m, lo, hi);
    statistics.transformCount += 8;
    return IsBoxHidden(lo, hi);
}

void QzRenderer::SetImage(const QzZImage& img) {
    image = img;
    AttachRaster();
}

void QzRenderer::ClearImage(bool full) {
    QzZImage& img = image;
    if (!img.depth) {
        plat::ShowMessage("buffer NULL", plat::MessageKind::Exclamation);
        return;
    }
    QzPixelRect r = full ? QzPixelRect{0, img.width - 1, 0, img.height - 1} : img.drawnRect;
    if (QzRectIsEmpty(r)) return;
    r.x0 = std::max(r.x0, 0);
    r.y0 = std::max(r.y0, 0);
    r.x1 = std::min(r.x1, img.width - 1);
    r.y1 = std::min(r.y1, img.height - 1);
    if (r.x0 <= r.x1 && r.y0 <= r.y1) {
        const int32_t w = img.width;
        // Whole groups of 4 pixels, each written as one 12-byte pattern row.
        const int32_t g0 = r.x0 & ~3;
        const int32_t g1 = r.x1 | 3;
        const bool sameRows = std::memcmp(background_[0], background_[1], 4) == 0;
        for (int32_t y = r.y0; y <= r.y1; ++y) {
            float* d = img.depth + static_cast<size_t>(y) * w;
            std::fill(d + r.x0, d + r.x1 + 1, QZ_FAR_DEPTH);
            const uint8_t* pat = background_[(sameRows || (y % 2 == 0)) ? 0 : 1];
            uint8_t* p = img.pixels + (static_cast<size_t>(y) * w + g0) * 3;
            for (int32_t x = g0; x <= g1; x += 4, p += 12) std::memcpy(p, pat, 12);
        }
    }
    img.clearedRect = r;
    img.dirtyRect = QzEmptyRect(img.width, img.height);
    img.drawnRect = QzEmptyRect(img.width, img.height);
}

void QzRenderer::Flush() {
    QzZImage& img = image;
    const bool cleared = !QzRectIsEmpty(img.clearedRect);
    const bool dirty = !QzRectIsEmpty(img.dirtyRect);
    QzPixelRect r{};
    if (cleared && dirty) {
        r = img.clearedRect;
        QzRectGrow(r, img.dirtyRect);  // the cleared area itself when it holds the other
    } else if (cleared) {
        r = img.clearedRect;
    } else if (dirty) {
        r = img.dirtyRect;
    }
    if ((cleared || dirty) && sink) sink->Paint(img, r);
    img.clearedRect = QzEmptyRect(img.width, img.height);
    img.dirtyRect = QzEmptyRect(img.width, img.height);
}

QzMatrix QzSeamShrink(const QzPart& sub, float width) {
    QzMatrix s{};
    const float mins[3] = {sub.box.min.x, sub.box.min.y, sub.box.min.z};
    const float maxs[3] = {sub.box.max.x, sub.box.max.y, sub.box.max.z};
    for (int k = 0; k < 3; ++k) {
        const double e = static_cast<double>(maxs[k]) - mins[k];
        const double mid = (static_cast<double>(mins[k]) + maxs[k]) / 2.0;
        if (e == 0.0) {
            s.m[k][k] = 1.0f;
            s.m[k][3] = 0.0f;
        } else {
            const double r = width / e;
            s.m[k][k] = static_cast<float>(1.0 - r);
            s.m[k][3] = mid == 0.0 ? 0.0f : static_cast<float>(r * mid);
        }
    }
    s.m[3][3] = 1.0f;
    return s;
}

int32_t QzAllTransparentColour(const QzPalette& palette, int32_t c) {
    if (const QzLDConfigColour* defined = QzSchemeColour(palette, c)) {
        const uint32_t v = defined->rgb;
        if (defined->alpha == 255)
            c = static_cast<int32_t>(0x3000000 | (v & 0xFF) << 16 | (v & 0xFF00) |
                                     (v >> 16 & 0xFF));
    } else if (c >= 0 && c <= 31) {
        c += 32;
    } else if (c >= 0x2000000 && c <= 0x2FFFFFF) {
        c += 0x1000000;
    }
    return c;
}
