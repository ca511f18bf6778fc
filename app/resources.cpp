#include "resources.h"

#include <QBitmap>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

#include "commandids.h"
#include "viewtransform.h"

namespace app {

namespace {

// Sizes every toolbar image is drawn at: 16 and 24 pixels, and twice those for screens
// of high density.
constexpr int kIconSizes[] = {16, 24, 32, 48};

QIcon IconFrom(const std::function<void(QPainter&, int)>& draw) {
    QIcon icon;
    for (int size : kIconSizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, size);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// ---- A brick seen from a view ----

struct Vec3 {
    double x, y, z;
};

// A 2 x 1 brick in LDraw units (y grows downwards): 40 wide, 24 high, 20 deep. Each face
// has its own colour, so that every view shows a different combination: the top is red
// with two studs, the bottom grey with a tube, front yellow, back green, the side at
// the smallest x blue and the one at the largest x white.
constexpr Vec3 kMin{-20, -24, -10};
constexpr Vec3 kMax{20, 0, 10};

struct Face {
    int corners[4];  // bit 0: max x, bit 1: max y, bit 2: max z
    QColor colour;
};

Vec3 Corner(int i) {
    return {(i & 1) ? kMax.x : kMin.x, (i & 2) ? kMax.y : kMin.y, (i & 4) ? kMax.z : kMin.z};
}

const std::array<Face, 6>& Faces() {
    static const std::array<Face, 6> faces = {{
        {{0, 1, 5, 4}, QColor(214, 40, 40)},    // top (smallest y)
        {{2, 3, 7, 6}, QColor(110, 110, 110)},  // bottom
        {{0, 1, 3, 2}, QColor(245, 205, 40)},   // front (smallest z)
        {{4, 5, 7, 6}, QColor(40, 150, 60)},    // back
        {{0, 2, 6, 4}, QColor(40, 90, 200)},    // side at the smallest x
        {{1, 3, 7, 5}, QColor(235, 235, 235)},  // side at the largest x
    }};
    return faces;
}

QzMatrix ViewMatrix(int view) {
    QzNullSink sink;
    QzRenderState state(&sink);
    state.SetStandardView(view);
    return state.view;
}

Vec3 Turn(const QzMatrix& m, const Vec3& p) {
    return {m.m[0][0] * p.x + m.m[0][1] * p.y + m.m[0][2] * p.z,
            m.m[1][0] * p.x + m.m[1][1] * p.y + m.m[1][2] * p.z,
            m.m[2][0] * p.x + m.m[2][1] * p.y + m.m[2][2] * p.z};
}

// A circle of radius r on the horizontal plane y around (x, z), turned and placed.
QPolygonF Circle(const QzMatrix& m, double x, double y, double z, double r,
                 const std::function<QPointF(const Vec3&)>& place) {
    QPolygonF polygon;
    for (int i = 0; i < 16; ++i) {
        const double a = i * M_PI / 8;
        polygon << place(Turn(m, {x + r * std::cos(a), y, z + r * std::sin(a)}));
    }
    return polygon;
}

void DrawBrick(QPainter& painter, int view, int size) {
    const QzMatrix m = ViewMatrix(view);
    Vec3 turned[8];
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    for (int i = 0; i < 8; ++i) {
        turned[i] = Turn(m, Corner(i));
        minX = std::min(minX, turned[i].x);
        maxX = std::max(maxX, turned[i].x);
        minY = std::min(minY, turned[i].y);
        maxY = std::max(maxY, turned[i].y);
    }
    // Fit the outline into the square with a pixel to spare on each side.
    const double scale = (size - 2.0) / std::max(maxX - minX, maxY - minY);
    const double cx = (minX + maxX) / 2, cy = (minY + maxY) / 2;
    auto place = [&](const Vec3& p) {
        return QPointF(size / 2.0 + (p.x - cx) * scale, size / 2.0 + (p.y - cy) * scale);
    };

    // Far faces first: the near ones of a box cover them wherever they overlap.
    double centreDepth = 0;
    for (const Vec3& t : turned) centreDepth += t.z / 8;
    std::vector<std::pair<double, int>> order;
    for (int f = 0; f < 6; ++f) {
        double depth = 0;
        for (int c : Faces()[f].corners) depth += turned[c].z;
        order.emplace_back(-depth, f);
    }
    std::sort(order.begin(), order.end());
    const QPen outline(QColor(30, 30, 30), std::max(1.0, size / 24.0));
    for (const auto& [negDepth, f] : order) {
        QPolygonF polygon;
        for (int c : Faces()[f].corners) polygon << place(turned[c]);
        painter.setPen(outline);
        painter.setBrush(Faces()[f].colour);
        painter.drawPolygon(polygon);
        // Studs on a top face that faces the viewer, a tube on a bottom face.
        const bool facing = -negDepth / 4 < centreDepth;
        if (f == 0 && facing) {
            painter.setBrush(Faces()[f].colour.lighter(130));
            for (double x : {-10.0, 10.0}) painter.drawPolygon(Circle(m, x, kMin.y, 0, 6, place));
        } else if (f == 1 && facing) {
            painter.setBrush(QColor(60, 60, 60));
            painter.drawPolygon(Circle(m, 0, kMax.y, 0, 6, place));
        }
    }
}

// ---- The other buttons ----

void DrawFolder(QPainter& p, int s) {
    const double u = s / 16.0;
    p.setPen(QPen(QColor(120, 90, 20), u));
    p.setBrush(QColor(240, 200, 80));
    QPainterPath path;
    path.moveTo(1 * u, 3 * u);
    path.lineTo(6 * u, 3 * u);
    path.lineTo(7.5 * u, 5 * u);
    path.lineTo(15 * u, 5 * u);
    path.lineTo(15 * u, 14 * u);
    path.lineTo(1 * u, 14 * u);
    path.closeSubpath();
    p.drawPath(path);
    p.setBrush(QColor(250, 225, 120));
    p.drawRect(QRectF(1 * u, 7 * u, 14 * u, 7 * u));
}

void DrawMagnifier(QPainter& p, int s) {
    const double u = s / 16.0;
    p.setPen(QPen(QColor(40, 40, 40), 1.5 * u));
    p.setBrush(QColor(200, 230, 255));
    p.drawEllipse(QRectF(2 * u, 2 * u, 8 * u, 8 * u));
    p.drawLine(QPointF(9 * u, 9 * u), QPointF(14 * u, 14 * u));
    p.drawLine(QPointF(4 * u, 6 * u), QPointF(8 * u, 6 * u));
    p.drawLine(QPointF(6 * u, 4 * u), QPointF(6 * u, 8 * u));
}

// A lit round stud over a smooth slope: the high-quality drawing.
void DrawSmoothEdge(QPainter& p, int s) {
    const double u = s / 16.0;
    QLinearGradient ground(0, 0, s, s);
    ground.setColorAt(0, QColor(250, 250, 250));
    ground.setColorAt(1, QColor(150, 160, 175));
    p.setPen(QPen(QColor(30, 30, 30), std::max(1.0, s / 24.0)));
    p.setBrush(ground);
    p.drawRect(QRectF(1, 1, s - 2.0, s - 2.0));
    QRadialGradient ball(QPointF(6 * u, 6 * u), 7 * u);
    ball.setColorAt(0, QColor(255, 140, 140));
    ball.setColorAt(1, QColor(150, 20, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(ball);
    p.drawEllipse(QRectF(3 * u, 3 * u, 10 * u, 10 * u));
}

// A grid of squares in the given colours, row by row.
void DrawSquares(QPainter& p, int s, int n, const std::vector<QColor>& colours) {
    const double cell = (s - 2.0) / n;
    p.setPen(Qt::NoPen);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            p.setBrush(colours[(y * n + x) % colours.size()]);
            p.drawRect(QRectF(1 + x * cell, 1 + y * cell, cell, cell));
        }
    p.setPen(QPen(QColor(30, 30, 30), std::max(1.0, s / 24.0)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, s - 2.0, s - 2.0));
}

void DrawTransparentBrick(QPainter& p, int s) {
    const double u = s / 16.0;
    p.setPen(QPen(QColor(40, 90, 200), u));
    p.setBrush(QColor(40, 90, 200, 70));
    p.drawRect(QRectF(2 * u, 6 * u, 12 * u, 8 * u));
    p.drawRect(QRectF(4 * u, 3 * u, 3 * u, 3 * u));
    p.drawRect(QRectF(9 * u, 3 * u, 3 * u, 3 * u));
}

void DrawShadedBall(QPainter& p, int s) {
    QRadialGradient gradient(QPointF(s * 0.35, s * 0.35), s * 0.6);
    gradient.setColorAt(0, QColor(255, 230, 230));
    gradient.setColorAt(1, QColor(140, 10, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(gradient);
    p.drawEllipse(QRectF(1, 1, s - 2.0, s - 2.0));
}

void DrawSeams(QPainter& p, int s) {
    const double u = s / 16.0;
    p.setPen(QPen(QColor(30, 30, 30), u));
    p.setBrush(QColor(214, 40, 40));
    p.drawRect(QRectF(1 * u, 5 * u, 6.5 * u, 7 * u));
    p.drawRect(QRectF(8.5 * u, 5 * u, 6.5 * u, 7 * u));
}

void DrawBlank(QPainter& p, int s) {
    p.setPen(QPen(QColor(150, 150, 150), std::max(1.0, s / 16.0), Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(2, 2, s - 4.0, s - 4.0));
}

// A step button: a triangle pointing left (direction -1) or right (1), with a bar at
// its tip for the first and last step.
void DrawStepArrow(QPainter& p, int s, int direction, bool bar) {
    const double m = s / 8.0;
    const double tip = direction < 0 ? 2 * m : s - 2 * m;
    const double base = direction < 0 ? s - 2.5 * m : 2.5 * m;
    QPolygonF triangle;
    triangle << QPointF(tip, s / 2.0) << QPointF(base, m * 1.5) << QPointF(base, s - m * 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 90, 200));
    p.drawPolygon(triangle);
    if (bar) {
        const double x = direction < 0 ? tip - m : tip;
        p.drawRect(QRectF(x, m * 1.5, m, s - 3 * m));
    }
}

}  // namespace

QIcon AppIcon() {
    static const QIcon icon = [] {
        QIcon result;
        for (int size : {16, 24, 32, 48, 64, 128}) result.addPixmap(StandardViewPixmap(1, size));
        return result;
    }();
    return icon;
}

bool IconPng(int position, int pixels, std::string& png) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !IconPixmap(position, pixels).save(&buffer, "PNG"))
        return false;
    png = bytes.toStdString();
    return true;
}

QPixmap IconPixmap(int position, int pixels) {
    if (position != 6 && position != 7) return StandardViewPixmap(1, pixels);
    // A page with a folded corner, a brick on it and the file type below.
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double u = pixels / 32.0;
    QPainterPath page;
    page.moveTo(5 * u, 1 * u);
    page.lineTo(21 * u, 1 * u);
    page.lineTo(27 * u, 7 * u);
    page.lineTo(27 * u, 31 * u);
    page.lineTo(5 * u, 31 * u);
    page.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), std::max(1.0, u)));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawLine(QPointF(21 * u, 1 * u), QPointF(21 * u, 7 * u));
    p.drawLine(QPointF(21 * u, 7 * u), QPointF(27 * u, 7 * u));
    const QPixmap brick = StandardViewPixmap(1, static_cast<int>(16 * u));
    p.drawPixmap(QPointF(8 * u, 5 * u), brick);
    if (pixels >= 24) {
        QFont font = p.font();
        font.setPixelSize(std::max(6, static_cast<int>(7 * u)));
        font.setBold(true);
        p.setFont(font);
        p.setPen(position == 6 ? QColor(40, 90, 200) : QColor(40, 150, 60));
        p.drawText(QRectF(5 * u, 22 * u, 22 * u, 9 * u), Qt::AlignCenter,
                   position == 6 ? QStringLiteral("DAT") : QStringLiteral("MPD"));
    }
    return pixmap;
}

QPixmap StandardViewPixmap(int view, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawBrick(painter, view, size);
    return pixmap;
}

QIcon ToolbarIcon(QzCmd command) {
    for (int v = 0; v < 15; ++v) {
        if (QzViewCommand(v) != command) continue;
        QIcon icon;
        for (int size : kIconSizes) icon.addPixmap(StandardViewPixmap(v, size));
        return icon;
    }
    const QColor red(214, 40, 40), grey(150, 150, 150), white(255, 255, 255);
    switch (command) {
        case QzCmd::FileOpen:
            return IconFrom(DrawFolder);
        case QzCmd::AutoZoom:
            return IconFrom(DrawMagnifier);
        case QzCmd::NormalColours:
            return IconFrom([&](QPainter& p, int s) { DrawSquares(p, s, 2, {red, grey}); });
        case QzCmd::RandomColours:
            return IconFrom([](QPainter& p, int s) {
                DrawSquares(p, s, 2,
                            {QColor(245, 205, 40), QColor(40, 90, 200), QColor(40, 150, 60),
                             QColor(214, 40, 40)});
            });
        case QzCmd::AllTransparent:
            return IconFrom(DrawTransparentBrick);
        case QzCmd::DitherTransparency:
            return IconFrom([&](QPainter& p, int s) {
                DrawSquares(p, s, 4, {QColor(40, 90, 200), white, white, QColor(40, 90, 200)});
            });
        case QzCmd::Dither256:
            return IconFrom([&](QPainter& p, int s) {
                DrawSquares(p, s, 4, {red, QColor(245, 205, 40), QColor(245, 205, 40), red});
            });
        case QzCmd::Shading:
            return IconFrom(DrawShadedBall);
        case QzCmd::HighQuality:
            return IconFrom(DrawSmoothEdge);
        case QzCmd::Seams:
            return IconFrom(DrawSeams);
        case QzCmd::FirstStep:
            return IconFrom([](QPainter& p, int s) { DrawStepArrow(p, s, -1, true); });
        case QzCmd::PreviousStep:
            return IconFrom([](QPainter& p, int s) { DrawStepArrow(p, s, -1, false); });
        case QzCmd::NextStep:
            return IconFrom([](QPainter& p, int s) { DrawStepArrow(p, s, 1, false); });
        case QzCmd::LastStep:
            return IconFrom([](QPainter& p, int s) { DrawStepArrow(p, s, 1, true); });
        case QzCmd::Toolbar32816:
        case QzCmd::Toolbar32852:
        case QzCmd::Toolbar32853:
            return IconFrom(DrawBlank);
        default:
            return {};
    }
}

QCursor HandCursor() {
    // An open hand: four fingers with gaps between them, the palm and the thumb.
    constexpr int n = 32;
    bool inside[n][n] = {};
    auto fill = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) inside[y][x] = true;
    };
    fill(8, 4, 11, 14);   // index finger
    fill(13, 2, 16, 14);  // middle finger
    fill(18, 3, 21, 14);  // ring finger
    fill(23, 6, 26, 15);  // little finger
    fill(8, 13, 26, 25);  // palm
    fill(10, 26, 24, 28);
    for (int i = 0; i < 9; ++i) fill(2 + i / 2, 10 + i, 6 + i / 2, 10 + i);  // thumb
    // Round the finger tips.
    for (int x : {8, 11, 13, 16, 18, 21, 23, 26}) {
        for (int y = 0; y < n; ++y) {
            if (inside[y][x]) {
                inside[y][x] = false;
                break;
            }
        }
    }

    QImage shape(n, n, QImage::Format_MonoLSB), mask(n, n, QImage::Format_MonoLSB);
    shape.fill(0);
    mask.fill(0);
    shape.setColor(0, qRgb(255, 255, 255));
    shape.setColor(1, qRgb(0, 0, 0));
    mask.setColor(0, qRgb(255, 255, 255));
    mask.setColor(1, qRgb(0, 0, 0));
    auto in = [&](int x, int y) { return x >= 0 && y >= 0 && x < n && y < n && inside[y][x]; };
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            if (!inside[y][x]) continue;
            mask.setPixel(x, y, 1);
            const bool edge = !in(x - 1, y) || !in(x + 1, y) || !in(x, y - 1) || !in(x, y + 1);
            if (edge) shape.setPixel(x, y, 1);
        }
    return QCursor(QBitmap::fromImage(shape), QBitmap::fromImage(mask), 15, 15);
}

}  // namespace app
