#include "viewtransform.h"

#include <cmath>
#include <cstdio>

#include "cnumbers.h"
#include "format.h"
#include "messagebox.h"
#include "model.h"
#include "sections.h"

const QzStandardView QzStandardViews[QZ_STANDARD_VIEWS] = {
    {"View from Front-Upper-Right (LDraw 3D)", "1 0 1  .5 1 -.5  -1 0 1", 0, 0, true},
    {"View from Front-Upper-Right", nullptr, 30, 45, false},
    {"View from Back-Upper-Right", nullptr, 30, 135, false},
    {"View from Back-Upper-Left", nullptr, 30, 225, false},
    {"View from Front-Upper-Left", nullptr, 30, 315, false},
    {"View from Front-Lower-Right", nullptr, -30, 45, false},
    {"View from Back-Lower-Right", nullptr, -30, 135, false},
    {nullptr, nullptr, -30, 225, false},
    {"View from Front-Lower-Left", nullptr, -30, 315, false},
    {"View from Front", "1 0 0  0 1 0  0 0 1", 0, 0, false},
    {"View from Right", "0 0 -1  0 1 0  1 0 0", 0, 0, false},
    {"View from Back", "-1 0 0  0 1 0  0 0 -1", 0, 0, false},
    {"View from Left", "0 0 1  0 1 0  -1 0 0", 0, 0, false},
    {"View from Over", "0 0 1  1 0 0  0 1 0", 0, 0, false},
    {"View from Under", "0 0 1  -1 0 0  0 -1 0", 0, 0, false},
};

namespace {

constexpr double kDegrees = 0.017453292519943295;
// One degree per pixel of drag, with pi taken as 3.14.
constexpr double kDragRadiansPerPixel = 0.017444444444444446;

using M3 = double[3][3];

void RotX(M3 r, double a) {
    const double c = std::cos(a), s = std::sin(a);
    const double v[3][3] = {{1, 0, 0}, {0, c, -s}, {0, s, c}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = v[i][j];
}

void RotY(M3 r, double b) {
    const double c = std::cos(b), s = std::sin(b);
    const double v[3][3] = {{c, 0, s}, {0, 1, 0}, {-s, 0, c}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = v[i][j];
}

void Mul3(M3 r, const M3 a, const M3 b) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
}

QzMatrix FromM3(const M3 v) {
    QzMatrix m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m.m[i][j] = static_cast<float>(v[i][j]);
    m.m[3][3] = 1.0f;
    return m;
}

}  // namespace

QzMatrix QzRotationXY(double a, double b) {
    double rx[3][3], ry[3][3], r[3][3];
    RotX(rx, a);
    RotY(ry, b);
    Mul3(r, rx, ry);
    return FromM3(r);
}

QzRenderState::QzRenderState(QzDisplaySink* sinkIn) : sink(sinkIn) {
    SetStandardView(0);
    zoom = 100;
    SelectRenderer(3);
}

bool QzRenderState::SetViewMatrix(const char* text, bool skew) {
    if (!text) return false;
    const plat::ScopedCNumbers numbers;
    float v[9];
    int n = std::sscanf(text, "%g %g %g %g %g %g %g %g %g", &v[0], &v[1], &v[2], &v[3], &v[4],
                        &v[5], &v[6], &v[7], &v[8]);
    if (n != 9)
        n = std::sscanf(text, "%g,%g,%g,%g,%g,%g,%g,%g,%g", &v[0], &v[1], &v[2], &v[3], &v[4],
                        &v[5], &v[6], &v[7], &v[8]);
    if (n != 9) return false;
    // The C library reads "nan" and "inf", and numbers beyond the float range as
    // infinite; none of them makes a view.
    for (float value : v)
        if (!std::isfinite(value)) return false;
    QzMatrix m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m.m[i][j] = v[i * 3 + j];
    m.m[3][3] = 1.0f;
    view = m;
    skewView = skew;
    return true;
}

void QzRenderState::SetViewAngles(double latitude, double longitude) {
    view = QzRotationXY(latitude * kDegrees, longitude * kDegrees);
    skewView = false;
}

void QzRenderState::SetStandardView(int number) {
    if (number < 0 || number >= QZ_STANDARD_VIEWS) return;
    const QzStandardView& sv = QzStandardViews[number];
    if (sv.matrix)
        SetViewMatrix(sv.matrix, sv.skew);
    else
        SetViewAngles(sv.latitude, sv.longitude);
}

void QzRenderState::RotateView(int dx, int dy) {
    if (dx == 0 && dy == 0) return;
    double ry[3][3], rx[3][3], turn[3][3], cur[3][3], r[3][3];
    RotY(ry, -dx * kDragRadiansPerPixel);
    RotX(rx, dy * kDragRadiansPerPixel);
    Mul3(turn, ry, rx);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) cur[i][j] = view.m[i][j];
    Mul3(r, turn, cur);
    view = FromM3(r);
}

std::array<float, 16> QzRenderState::GetViewMatrix() const {
    std::array<float, 16> out{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out[i * 4 + j] = view.m[i][j];
    return out;
}

void QzRenderState::SelectRenderer(int type) {
    if (type != 3) {
        plat::ShowMessage(plat::Format("Renderer type %d needs to be implemented...", type),
                          plat::MessageKind::Stop);
        return;
    }
    if (!floatRenderer) floatRenderer = std::make_unique<QzRenderer>(sink, &options, &palette);
    renderer = floatRenderer.get();
    rendererType = 3;
}

const QzPart& QzRenderState::ShownPart(const QzModel& model) const {
    if (!submodel.empty()) {
        const QzPart* found = QzFindSubmodel(model, submodel);
        if (found && (found->flags & PF_RESOLVED)) return *found;
    }
    return model.Main();
}

QzMatrix QzRenderState::ScreenMatrix(const QzModel& model, int width, int height) const {
    return ScreenMatrix(ShownPart(model), width, height);
}

QzMatrix QzRenderState::ScreenMatrix(const QzPart& shown, int width, int height) const {
    const QzBox& box = shown.box;
    const double c[3] = {(static_cast<double>(box.min.x) + box.max.x) / 2.0,
                         (static_cast<double>(box.min.y) + box.max.y) / 2.0,
                         (static_cast<double>(box.min.z) + box.max.z) / 2.0};
    const double s = zoom * 0.01;
    const double t[3] = {static_cast<double>(width / 2) + shiftX,
                         static_cast<double>((2 * height) / 3) + shiftY, 0.0};
    QzMatrix p{};
    for (int i = 0; i < 3; ++i) {
        double shift = 0;
        for (int j = 0; j < 3; ++j) {
            const double v = view.m[i][j];
            p.m[i][j] = static_cast<float>(s * v);
            shift -= v * c[j];
        }
        p.m[i][3] = static_cast<float>(s * shift + t[i]);
    }
    p.m[3][3] = 1.0f;
    return p;
}
