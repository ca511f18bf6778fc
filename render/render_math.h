// Inline forms of the point transform and the matrix product for the drawing walks:
// the same arithmetic as QzMatTransformPoint and QzMatMul (double, stored as float),
// without a call per point.
#pragma once

#include <cmath>

#include "geometry.h"

template <typename P>
inline void QzTransform(QzVector& d, const QzMatrix& m, const P& p) {
    const double x = p.x, y = p.y, z = p.z;
    d.x = static_cast<float>(m.m[0][0] * x + m.m[0][1] * y + m.m[0][2] * z + m.m[0][3]);
    d.y = static_cast<float>(m.m[1][0] * x + m.m[1][1] * y + m.m[1][2] * z + m.m[1][3]);
    d.z = static_cast<float>(m.m[2][0] * x + m.m[2][1] * y + m.m[2][2] * z + m.m[2][3]);
}

// r = a x b; r must not be a or b.
inline void QzMultiply(QzMatrix& r, const QzMatrix& a, const QzMatrix& b) {
    for (int i = 0; i < 4; ++i) {
        const double a0 = a.m[i][0], a1 = a.m[i][1], a2 = a.m[i][2], a3 = a.m[i][3];
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = static_cast<float>(a0 * b.m[0][j] + a1 * b.m[1][j] + a2 * b.m[2][j] +
                                           a3 * b.m[3][j]);
    }
}

// r = a x the matrix of a type-1 line, whose four rows are stored as its points.
inline void QzMultiply(QzMatrix& r, const QzMatrix& a, const QzVector4 (&rows)[4]) {
    for (int i = 0; i < 4; ++i) {
        const double a0 = a.m[i][0], a1 = a.m[i][1], a2 = a.m[i][2], a3 = a.m[i][3];
        r.m[i][0] =
            static_cast<float>(a0 * rows[0].x + a1 * rows[1].x + a2 * rows[2].x + a3 * rows[3].x);
        r.m[i][1] =
            static_cast<float>(a0 * rows[0].y + a1 * rows[1].y + a2 * rows[2].y + a3 * rows[3].y);
        r.m[i][2] =
            static_cast<float>(a0 * rows[0].z + a1 * rows[1].z + a2 * rows[2].z + a3 * rows[3].z);
        r.m[i][3] =
            static_cast<float>(a0 * rows[0].w + a1 * rows[1].w + a2 * rows[2].w + a3 * rows[3].w);
    }
}

// Where a box lands under a matrix: the middle of its eight corners on each axis
// (x, y, depth) and how far they reach either side of it, from the box's middle and
// half sizes (the same as the corners' own, but for rounding).
inline void QzScreenReach(const QzBox& box, const QzMatrix& m, double middle[3], double reach[3]) {
    const double cx = (static_cast<double>(box.min.x) + box.max.x) / 2;
    const double cy = (static_cast<double>(box.min.y) + box.max.y) / 2;
    const double cz = (static_cast<double>(box.min.z) + box.max.z) / 2;
    const double hx = (static_cast<double>(box.max.x) - box.min.x) / 2;
    const double hy = (static_cast<double>(box.max.y) - box.min.y) / 2;
    const double hz = (static_cast<double>(box.max.z) - box.min.z) / 2;
    for (int r = 0; r < 3; ++r) {
        const float* row = m.m[r];
        middle[r] = row[0] * cx + row[1] * cy + row[2] * cz + row[3];
        reach[r] = std::fabs(row[0]) * hx + std::fabs(row[1]) * hy + std::fabs(row[2]) * hz;
    }
}
