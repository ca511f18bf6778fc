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

void QzVecCopy(QzVector& d, const QzVector& a);
void QzVecSub(QzVector& d, const QzVector& a, const QzVector& b);
void QzVecMid(QzVector& d, const QzVector& a, const QzVector& b);
void QzVecAddScaled(QzVector& d, const QzVector& a, double s, const QzVector& b);
double QzVecDot(const QzVector& a, const QzVector& b);
void QzVecCross(QzVector& d, const QzVector& a, const QzVector& b);
double QzVecLength(const QzVector& a);
// Returns 1 and leaves d alone for a zero vector, else 0.
int QzVecNormalise(QzVector& d, const QzVector& a);

double QzMatDet3(const QzMatrix& m);
void QzMatMulVec4(float d[4], const QzMatrix& m, const float v[4]);
void QzMatTransformPoint(QzVector& d, const QzMatrix& m, const QzVector& p);
void QzMatProjectPoint(QzVector& d, const QzMatrix& m, const QzVector& p);
// r must not be a or b.
void QzMatMul(QzMatrix& r, const QzMatrix& a, const QzMatrix& b);
void QzMatIdentity(QzMatrix& m);

// Angles in degrees: (-sin b cos a, sin a, cos a cos b).
void QzDirectionFromAngles(double a, double b, QzVector& d);

void QzBoxExtend(const QzVector& p, QzBox& box);
// Minimum 1e16 and maximum -1e16 on every axis: the first extended point becomes both bounds.
void QzBoxReset(QzBox& box);
// Corner i of a box: bit 0 selects the maximum x, bit 1 the maximum y, bit 2 the
// maximum z.
inline QzVector QzBoxCorner(const QzBox& box, int i) {
    return {(i & 1) ? box.max.x : box.min.x, (i & 2) ? box.max.y : box.min.y,
            (i & 4) ? box.max.z : box.min.z};
}
