// Vectors, matrices and boxes shared by the reader, the renderer and the exporters.
// Matrices are row-major with the translation in the fourth column and apply to
// column vectors, as LDraw type-1 lines write them. Everything computes in double
// and stores float.
#pragma once

#include <cstdint>

struct QzVector {
    float x, y, z;
};

struct QzVector4 {
    float x, y, z, w;
};

struct QzMatrix {
    float m[4][4];
};

struct QzBox {
    QzVector min;
    QzVector max;
};

// The small functions that the reader and the walks call for every vertex are defined
// here, so that they are inlined.
void QzVecCopy(QzVector& d, const QzVector& a);
inline void QzVecSub(QzVector& d, const QzVector& a, const QzVector& b) {
    d.x = static_cast<float>(double(a.x) - double(b.x));
    d.y = static_cast<float>(double(a.y) - double(b.y));
    d.z = static_cast<float>(double(a.z) - double(b.z));
}

void QzVecMid(QzVector& d, const QzVector& a, const QzVector& b);
void QzVecAddScaled(QzVector& d, const QzVector& a, double s, const QzVector& b);

inline double QzVecDot(const QzVector& a, const QzVector& b) {
    return double(a.x) * double(b.x) + double(a.y) * double(b.y) + double(a.z) * double(b.z);
}

inline void QzVecCross(QzVector& d, const QzVector& a, const QzVector& b) {
    // Computed into locals first so that d may be a or b.
    const double x = double(a.y) * double(b.z) - double(a.z) * double(b.y);
    const double y = double(a.z) * double(b.x) - double(a.x) * double(b.z);
    const double z = double(a.x) * double(b.y) - double(a.y) * double(b.x);
    d.x = static_cast<float>(x);
    d.y = static_cast<float>(y);
    d.z = static_cast<float>(z);
}

double QzVecLength(const QzVector& a);
// Returns 1 and leaves d alone for a zero vector, else 0.
int QzVecNormalise(QzVector& d, const QzVector& a);

double QzMatDet3(const QzMatrix& m);
void QzMatMulVec4(float d[4], const QzMatrix& m, const float v[4]);

inline void QzMatTransformPoint(QzVector& d, const QzMatrix& mat, const QzVector& p) {
    const auto& m = mat.m;
    const double x =
        double(m[0][0]) * p.x + double(m[0][1]) * p.y + double(m[0][2]) * p.z + m[0][3];
    const double y =
        double(m[1][0]) * p.x + double(m[1][1]) * p.y + double(m[1][2]) * p.z + m[1][3];
    const double z =
        double(m[2][0]) * p.x + double(m[2][1]) * p.y + double(m[2][2]) * p.z + m[2][3];
    d.x = static_cast<float>(x);
    d.y = static_cast<float>(y);
    d.z = static_cast<float>(z);
}

void QzMatProjectPoint(QzVector& d, const QzMatrix& m, const QzVector& p);
// r must not be a or b.
void QzMatMul(QzMatrix& r, const QzMatrix& a, const QzMatrix& b);
void QzMatIdentity(QzMatrix& m);

// Angles in degrees: (-sin b cos a, sin a, cos a cos b).
void QzDirectionFromAngles(double a, double b, QzVector& d);

inline void QzBoxExtend(const QzVector& p, QzBox& box) {
    // Written as "unless p >= minimum" so that a reset box (1e16, -1e16) takes the
    // first point as both bounds.
    if (!(p.x >= box.min.x)) box.min.x = p.x;
    if (!(p.y >= box.min.y)) box.min.y = p.y;
    if (!(p.z >= box.min.z)) box.min.z = p.z;
    if (p.x > box.max.x) box.max.x = p.x;
    if (p.y > box.max.y) box.max.y = p.y;
    if (p.z > box.max.z) box.max.z = p.z;
}

// Minimum 1e16 and maximum -1e16 on every axis: the first extended point becomes both bounds.
void QzBoxReset(QzBox& box);
// Corner i of a box: bit 0 selects the maximum x, bit 1 the maximum y, bit 2 the
// maximum z.
inline QzVector QzBoxCorner(const QzBox& box, int i) {
    return {(i & 1) ? box.max.x : box.min.x, (i & 2) ? box.max.y : box.min.y,
            (i & 4) ? box.max.z : box.min.z};
}
