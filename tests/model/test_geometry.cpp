#include <gtest/gtest.h>

#include "geometry.h"

namespace {

QzMatrix Rows(std::initializer_list<float> values) {
    QzMatrix m{};
    int i = 0;
    for (float v : values) {
        m.m[i / 4][i % 4] = v;
        ++i;
    }
    return m;
}

void ExpectMatrixEq(const QzMatrix& a, const QzMatrix& b) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(a.m[i][j], b.m[i][j]) << i << "," << j;
}

TEST(Geometry, Det3IgnoresTranslationAndSeesMirror) {
    EXPECT_EQ(QzMatDet3(Rows({1, 0, 0, 17, 0, 1, 0, -3, 0, 0, 1, 250, 0, 0, 0, 1})), 1.0);
    EXPECT_EQ(QzMatDet3(Rows({1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1})), -1.0);
    // A rotation about y with a scale of 2 on x: determinant 2.
    EXPECT_DOUBLE_EQ(QzMatDet3(Rows({0, 0, 2, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1})), 2.0);
    // Non-symmetric entries catch a transposed cofactor.
    EXPECT_DOUBLE_EQ(QzMatDet3(Rows({2, 3, 1, 0, 4, 1, 5, 0, 6, 2, 7, 0, 0, 0, 0, 1})), 2.0);
}

TEST(Geometry, NormaliseZeroLeavesDestination) {
    QzVector d{7, 8, 9};
    EXPECT_EQ(QzVecNormalise(d, QzVector{0, 0, 0}), 1);
    EXPECT_EQ(d.x, 7);
    EXPECT_EQ(d.y, 8);
    EXPECT_EQ(d.z, 9);
    EXPECT_EQ(QzVecNormalise(d, QzVector{3, 0, 4}), 0);
    EXPECT_FLOAT_EQ(d.x, 0.6f);
    EXPECT_EQ(d.y, 0.0f);
    EXPECT_FLOAT_EQ(d.z, 0.8f);
}

TEST(Geometry, MatMulIdentity) {
    QzMatrix id;
    QzMatIdentity(id);
    const QzMatrix a = Rows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 0, 0, 1});
    QzMatrix r;
    QzMatMul(r, id, a);
    ExpectMatrixEq(r, a);
    QzMatMul(r, a, id);
    ExpectMatrixEq(r, a);
}

TEST(Geometry, MatMulComposesTransforms) {
    // Translate after rotating: R * p must equal A * (B * p).
    const QzMatrix a = Rows({1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, 30, 0, 0, 0, 1});
    const QzMatrix b = Rows({0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1});
    QzMatrix r;
    QzMatMul(r, a, b);
    const QzVector p{1, 2, 3};
    QzVector viaR, viaB, viaAB;
    QzMatTransformPoint(viaR, r, p);
    QzMatTransformPoint(viaB, b, p);
    QzMatTransformPoint(viaAB, a, viaB);
    EXPECT_EQ(viaR.x, viaAB.x);
    EXPECT_EQ(viaR.y, viaAB.y);
    EXPECT_EQ(viaR.z, viaAB.z);
    EXPECT_EQ(viaR.x, 13);
    EXPECT_EQ(viaR.y, 22);
    EXPECT_EQ(viaR.z, 29);
}

TEST(Geometry, ComputesInDoubleBeforeStoringFloat) {
    // 1e8 + 1 - 1e8 is 0 when summed in float, 1 in double.
    const QzVector a{1e8f, 1, -1e8f};
    const QzVector ones{1, 1, 1};
    EXPECT_EQ(QzVecDot(a, ones), 1.0);
    const QzMatrix m = Rows({1e8f, 1, -1e8f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
    const QzMatrix column = Rows({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1});
    QzMatrix r;
    QzMatMul(r, m, column);
    EXPECT_EQ(r.m[0][0], 1.0f);
    QzVector t;
    QzMatTransformPoint(t, m, ones);
    EXPECT_EQ(t.x, 1.0f);
}

TEST(Geometry, TransformPointMayWriteItsSource) {
    const QzMatrix m = Rows({0, -1, 0, 5, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    QzVector p{1, 2, 3};
    QzMatTransformPoint(p, m, p);
    EXPECT_EQ(p.x, 3);
    EXPECT_EQ(p.y, 1);
    EXPECT_EQ(p.z, 3);
}

TEST(Geometry, ProjectDividesByW) {
    const QzMatrix m = Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 1, 2});
    QzVector d;
    QzMatProjectPoint(d, m, QzVector{4, 8, 2});
    EXPECT_EQ(d.x, 1);
    EXPECT_EQ(d.y, 2);
    EXPECT_EQ(d.z, 0.5f);
}

TEST(Geometry, MulVec4UsesAllFourRows) {
    const QzMatrix m = Rows({1, 2, 3, 4, 0, 1, 0, 0, 0, 0, 1, 0, 1, 1, 1, 1});
    const float v[4] = {1, 1, 1, 1};
    float d[4];
    QzMatMulVec4(d, m, v);
    EXPECT_EQ(d[0], 10);
    EXPECT_EQ(d[1], 1);
    EXPECT_EQ(d[2], 1);
    EXPECT_EQ(d[3], 4);
}

TEST(Geometry, VectorOperations) {
    QzVector d;
    QzVecCross(d, QzVector{1, 0, 0}, QzVector{0, 1, 0});
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.z, 1);
    QzVecSub(d, QzVector{5, 5, 5}, QzVector{1, 2, 3});
    EXPECT_EQ(d.x, 4);
    EXPECT_EQ(d.z, 2);
    QzVecMid(d, QzVector{0, 2, 4}, QzVector{2, 4, 8});
    EXPECT_EQ(d.x, 1);
    EXPECT_EQ(d.y, 3);
    EXPECT_EQ(d.z, 6);
    QzVecAddScaled(d, QzVector{1, 1, 1}, -0.5, QzVector{2, 4, 6});
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, -1);
    EXPECT_EQ(d.z, -2);
    EXPECT_EQ(QzVecLength(QzVector{2, 3, 6}), 7.0);
}

TEST(Geometry, DirectionFromAngles) {
    QzVector d;
    QzDirectionFromAngles(0, 0, d);
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.z, 1);
    QzDirectionFromAngles(90, 0, d);
    EXPECT_NEAR(d.x, 0, 1e-7);
    EXPECT_FLOAT_EQ(d.y, 1);
    EXPECT_NEAR(d.z, 0, 1e-7);
    QzDirectionFromAngles(0, 90, d);
    EXPECT_FLOAT_EQ(d.x, -1);
    EXPECT_NEAR(d.z, 0, 1e-7);
}

TEST(Geometry, ResetBoxTakesFirstPointAsBothBounds) {
    QzBox box;
    QzBoxReset(box);
    EXPECT_EQ(box.min.x, 1e16f);
    EXPECT_EQ(box.max.z, -1e16f);
    QzBoxExtend(QzVector{3, -4, 5}, box);
    EXPECT_EQ(box.min.x, 3);
    EXPECT_EQ(box.max.x, 3);
    EXPECT_EQ(box.min.y, -4);
    EXPECT_EQ(box.max.y, -4);
    QzBoxExtend(QzVector{-1, 10, 5}, box);
    EXPECT_EQ(box.min.x, -1);
    EXPECT_EQ(box.max.x, 3);
    EXPECT_EQ(box.min.y, -4);
    EXPECT_EQ(box.max.y, 10);
    EXPECT_EQ(box.min.z, 5);
    EXPECT_EQ(box.max.z, 5);
}

}  // namespace
