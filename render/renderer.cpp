#include "renderer.h"

#include <algorithm>
#include <cstring>

#include "diagnostics.h"
#include "messagebox.h"
#include "render_math.h"

QzRenderer::QzRenderer(QzDisplaySink* sinkIn, const QzRenderOptions* optionsIn,
                       const QzPalette* paletteIn)
    : sink(sinkIn), options(optionsIn), palette(paletteIn), writer_(*optionsIn, *paletteIn) {
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

void QzRenderer::SetImage(const QzZImage& img) {
    image = img;
    AttachWriter();
}

void QzRenderer::SetFaceOffsetLimit(const QzMatrix& screen) {
    faceOffset_ = QzFaceOffsetLimit(screen);
    AttachWriter();
}

void QzRenderer::AttachWriter() {
    writer_.Attach(image, 0, image.height - 1, &image.dirtyRect, &image.drawnRect);
    writer_.SetFaceOffsetLimit(faceOffset_);
}

void QzRenderer::Count(const QzPrimitiveWriter::Result& r, bool line) {
    (line ? linesTried : trianglesTried) += r.tried;
    (line ? linesDrawn : trianglesDrawn) += r.wrote;
}

void QzRenderer::DrawLine(const QzVector& p0, const QzVector& p1, int32_t colour) {
    Count(writer_.Line(p0, p1, ResolveColour(colour, *options, *palette)), true);
}

void QzRenderer::DrawTriangle(const QzVector& p0, const QzVector& p1, const QzVector& p2,
                              int32_t colour) {
    const QzPixelPattern pattern = ResolveColour(colour, *options, *palette);
    const QzVector* const p[4] = {&p0, &p1, &p2, &p2};
    Count(writer_.Face(3, p, pattern, QzFillOf(pattern, options->ditherTransparency)), false);
}

void QzRenderer::DrawQuad(const QzVector& p0, const QzVector& p1, const QzVector& p2,
                          const QzVector& p3, int32_t colour) {
    const QzPixelPattern pattern = ResolveColour(colour, *options, *palette);
    const QzVector* const p[4] = {&p0, &p1, &p2, &p3};
    Count(writer_.Face(4, p, pattern, QzFillOf(pattern, options->ditherTransparency)), false);
}

void QzRenderer::DrawOptionalLine(const QzVector& p0, const QzVector& p1, const QzVector& c0,
                                  const QzVector& c1, int32_t colour, bool drawAll) {
    if (!drawAll && QzOptionalLineHidden(p0, p1, c0, c1)) return;
    Count(writer_.OptionalLine(p0, p1, ResolveColour(colour, *options, *palette)), true);
}

bool QzRenderer::IsBoxHidden(const QzVector& nearCorner, const QzVector& farCorner) {
    return writer_.BoxHidden(nearCorner, farCorner);
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
