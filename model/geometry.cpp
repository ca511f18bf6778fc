#include "geometry.h"

#include <cmath>

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;

inline float F(double v) { return static_cast<float>(v); }

}  // namespace

void QzVecCopy(QzVector& d, const QzVector& a) { d = a; }

void QzVecMid(QzVector& d, const QzVector& a, const QzVector& b) {
    d.x = F((double(a.x) + double(b.x)) * 0.5);
    d.y = F((double(a.y) + double(b.y)) * 0.5);
    d.z = F((double(a.z) + double(b.z)) * 0.5);
}

void QzVecAddScaled(QzVector& d, const QzVector& a, double s, const QzVector& b) {
    d.x = F(double(a.x) + s * double(b.x));
    d.y = F(double(a.y) + s * double(b.y));
    d.z = F(double(a.z) + s * double(b.z));
}

double QzVecLength(const QzVector& a) { return std::sqrt(QzVecDot(a, a)); }

int QzVecNormalise(QzVector& d, const QzVector& a) {
    const double length = QzVecLength(a);
    if (length == 0.0) return 1;
    const double inverse = 1.0 / length;
    d.x = F(double(a.x) * inverse);
    d.y = F(double(a.y) * inverse);
    d.z = F(double(a.z) * inverse);
    return 0;
}

double QzMatDet3(const QzMatrix& mat) {
    const auto& m = mat.m;
    return double(m[0][0]) * (double(m[1][1]) * m[2][2] - double(m[1][2]) * m[2][1]) +
           double(m[1][0]) * (double(m[2][1]) * m[0][2] - double(m[2][2]) * m[0][1]) +
           double(m[2][0]) * (double(m[1][2]) * m[0][1] - double(m[1][1]) * m[0][2]);
}

void QzMatMulVec4(float d[4], const QzMatrix& mat, const float v[4]) {
    double r[4];
    for (int i = 0; i < 4; ++i) {
        r[i] = double(mat.m[i][0]) * v[0] + double(mat.m[i][1]) * v[1] +
               double(mat.m[i][2]) * v[2] + double(mat.m[i][3]) * v[3];
    }
    for (int i = 0; i < 4; ++i) d[i] = F(r[i]);
}

void QzMatProjectPoint(QzVector& d, const QzMatrix& mat, const QzVector& p) {
    const auto& m = mat.m;
    const double w =
        double(m[3][0]) * p.x + double(m[3][1]) * p.y + double(m[3][2]) * p.z + m[3][3];
    const double inverse = 1.0 / w;
    const double x =
        double(m[0][0]) * p.x + double(m[0][1]) * p.y + double(m[0][2]) * p.z + m[0][3];
    const double y =
        double(m[1][0]) * p.x + double(m[1][1]) * p.y + double(m[1][2]) * p.z + m[1][3];
    const double z =
        double(m[2][0]) * p.x + double(m[2][1]) * p.y + double(m[2][2]) * p.z + m[2][3];
    d.x = F(x * inverse);
    d.y = F(y * inverse);
    d.z = F(z * inverse);
}

void QzMatMul(QzMatrix& r, const QzMatrix& a, const QzMatrix& b) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += double(a.m[i][k]) * double(b.m[k][j]);
            r.m[i][j] = F(sum);
        }
    }
}

void QzMatIdentity(QzMatrix& m) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m.m[i][j] = (i == j) ? 1.0f : 0.0f;
}

void QzDirectionFromAngles(double a, double b, QzVector& d) {
    a *= kDegreesToRadians;
    b *= kDegreesToRadians;
    d.x = F(-std::sin(b) * std::cos(a));
    d.y = F(std::sin(a));
    d.z = F(std::cos(a) * std::cos(b));
}

void QzBoxReset(QzBox& box) {
    box.min = {1e16f, 1e16f, 1e16f};
    box.max = {-1e16f, -1e16f, -1e16f};
}
