// Pixels of lines, optional lines, triangles and quadrilaterals; colour patterns,
// shading, transparency, the occlusion test, and geometry far outside the image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "rasteriser.h"
#include "render_fixture.h"

namespace render_test {
namespace {

using Pixels = std::set<std::pair<int, int>>;

Pixels DrawnPixels(const QzZImage& img) {
    Pixels out;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (Drawn(img, x, y)) out.insert({x, y});
    return out;
}

bool Empty(const QzPixelRect& r) { return r.x0 > r.x1; }

// ---- Colour patterns ----

struct DirectCase {
    int32_t colour;
    bool dither256;
    std::array<int, 4> a;
    std::array<int, 4> b;
};

class DirectColour : public ::testing::TestWithParam<DirectCase> {};

TEST_P(DirectColour, ResolvesToItsTwoEntries) {
    const DirectCase& c = GetParam();
    QzRenderOptions o;
    o.dither256 = c.dither256;
    const QzPalette palette;
    const QzPixelPattern p = ResolveColour(c.colour, o, palette);
    EXPECT_EQ((std::array<int, 4>{p.a[0], p.a[1], p.a[2], p.a[3]}), c.a);
    EXPECT_EQ((std::array<int, 4>{p.b[0], p.b[1], p.b[2], p.b[3]}), c.b);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DirectColour,
    ::testing::Values(DirectCase{0x2FF8001, true, {255, 128, 1, 255}, {255, 128, 1, 255}},
                      DirectCase{0x3FF8001, true, {255, 128, 1, 255}, {255, 128, 1, 0}},
                      // Two 12-bit colours: low is red 8-11, green 4-7, blue 0-3.
                      DirectCase{0x4FFF000, true, {0, 0, 0, 255}, {255, 255, 255, 255}},
                      DirectCase{0x4FFF000, false, {127, 127, 127, 255}, {127, 127, 127, 255}},
                      DirectCase{0x4123456, false, {42, 59, 76, 255}, {42, 59, 76, 255}},
                      DirectCase{0x5123456, true, {68, 85, 102, 0}, {17, 34, 51, 255}},
                      DirectCase{0x5123456, false, {68, 85, 102, 0}, {17, 34, 51, 255}},
                      DirectCase{0x6123456, true, {68, 85, 102, 255}, {17, 34, 51, 0}},
                      DirectCase{0x7000000, true, {0, 0, 0, 0}, {0, 0, 0, 0}},
                      // Everything else is grey.
                      DirectCase{64, true, {127, 127, 127, 255}, {127, 127, 127, 255}},
                      DirectCase{255, true, {127, 127, 127, 255}, {127, 127, 127, 255}},
                      DirectCase{512, true, {127, 127, 127, 255}, {127, 127, 127, 255}},
                      DirectCase{0x1FFFFFF, true, {127, 127, 127, 255}, {127, 127, 127, 255}},
                      DirectCase{0x8000000, true, {127, 127, 127, 255}, {127, 127, 127, 255}},
                      DirectCase{-1, true, {127, 127, 127, 255}, {127, 127, 127, 255}}));

TEST(PaletteColour, SolidTransparentAndTwoColourNumbers) {
    const QzPalette palette;
    QzRenderOptions o;
    auto entry = [](const uint8_t e[4]) { return Rgb{e[0], e[1], e[2]}; };

    QzPixelPattern p = ResolveColour(4, o, palette);
    EXPECT_EQ(entry(p.a), PaletteRgb(4));
    EXPECT_EQ(entry(p.b), PaletteRgb(4));
    EXPECT_EQ(p.b[3], 255);

    p = ResolveColour(36, o, palette);
    EXPECT_EQ(entry(p.a), PaletteRgb(4));
    EXPECT_EQ(p.a[3], 255);
    EXPECT_EQ(entry(p.b), (Rgb{127, 127, 127}));
    EXPECT_EQ(p.b[3], 0);

    // 300: low colour 300 mod 16 = 12, high colour (300 / 16) mod 16 = 2.
    p = ResolveColour(300, o, palette);
    EXPECT_EQ(entry(p.a), PaletteRgb(12));
    EXPECT_EQ(entry(p.b), PaletteRgb(2));
    o.dither256 = false;
    p = ResolveColour(300, o, palette);
    const Rgb lo = PaletteRgb(12), hi = PaletteRgb(2);
    const Rgb avg{(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    EXPECT_EQ(entry(p.a), avg);
    EXPECT_EQ(entry(p.b), avg);
}

// ---- Shading ----

struct ShadeCase {
    QzVector p0, p1, p2;
    int expected;  // a channel of 200 after shading
};

class Shading : public ::testing::TestWithParam<ShadeCase> {};

TEST_P(Shading, ScalesByTheLightOnTheFace) {
    const ShadeCase& c = GetParam();
    QzPixelPattern p{{200, 200, 200, 255}, {200, 100, 0, 0}};
    ShadeColours(c.p0, c.p1, c.p2, p);
    EXPECT_EQ(p.a[0], c.expected);
    EXPECT_EQ(p.a[3], 255);
    EXPECT_EQ(p.b[3], 0);  // alpha untouched
}

INSTANTIATE_TEST_SUITE_P(Faces, Shading,
                         ::testing::Values(
                             // Facing the viewer: |n.L| = 0.57735, intensity 0.8943.
                             ShadeCase{{0, 0, 5}, {10, 0, 5}, {0, 10, 5}, 178},
                             // The same face wound the other way shades alike.
                             ShadeCase{{0, 0, 5}, {0, 10, 5}, {10, 0, 5}, 178},
                             // Normal along (1, 1, 1): full light, but 0.57735026 falls just short
                             // of the unit length and the product truncates.
                             ShadeCase{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 199},
                             // Normal across the light: 75%.
                             ShadeCase{{0, 0, 0}, {0, 0, 10}, {10, 10, 0}, 150},
                             // A degenerate face has no normal and gets the 75% floor.
                             ShadeCase{{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, 150},
                             // Corners near the float limit, whose differences overflow a
                             // float, shade as the same face at an ordinary size.
                             ShadeCase{{-3e38f, -3e38f, 5}, {3e38f, -3e38f, 5}, {0, 3e38f, 5}, 178},
                             ShadeCase{{3e38f, 0, 0}, {0, 3e38f, 0}, {0, 0, 3e38f}, 199},
                             // Corners that are not numbers at all: no normal either.
                             ShadeCase{{NAN, 0, 0}, {0, 1, 0}, {0, 0, 1}, 150},
                             ShadeCase{{INFINITY, 0, 0}, {0, 1, 0}, {0, 0, 1}, 150}));

// ---- Lines ----

class RasterTest : public RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        options.shading = false;
        MakeImage(64, 48);
    }
};

TEST_F(RasterTest, LineWithinOnePixelWritesExactlyOnePixel) {
    renderer.DrawLine({5.2f, 5.7f, 0}, {5.4f, 5.9f, 0}, 4);
    EXPECT_EQ(DrawnPixels(Img()), (Pixels{{5, 5}}));
    EXPECT_EQ(PixelAt(Img(), 5, 5), PaletteRgb(4));
    EXPECT_FLOAT_EQ(DepthAt(Img(), 5, 5), -0.4f);
    EXPECT_EQ(renderer.linesTried, 1u);
    EXPECT_EQ(renderer.linesDrawn, 1u);
    EXPECT_EQ(Img().drawnRect.x0, 5);
    EXPECT_EQ(Img().drawnRect.y1, 5);
}

TEST_F(RasterTest, XMajorLineStepsOneColumnAtATime) {
    renderer.DrawLine({10.5f, 2.5f, 0}, {2.5f, 6.5f, 0}, 1);
    // From the end with the smaller x; y grows by 4/8 per column.
    EXPECT_EQ(DrawnPixels(Img()),
              (Pixels{{2, 6}, {3, 6}, {4, 5}, {5, 5}, {6, 4}, {7, 4}, {8, 3}, {9, 3}, {10, 2}}));
}

TEST_F(RasterTest, LinesUseTheCheckerboardAndSkipTransparentEntries) {
    renderer.DrawLine({0, 3.5f, 0}, {9.5f, 3.5f, 0}, 0x4FFF000);
    for (int x = 0; x <= 9; ++x)
        EXPECT_EQ(PixelAt(Img(), x, 3), ((x + 3) % 2 ? Rgb{0, 0, 0} : Rgb{255, 255, 255})) << x;
    renderer.DrawLine({0, 5.5f, 0}, {9.5f, 5.5f, 0}, 36);
    for (int x = 0; x <= 9; ++x) EXPECT_EQ(Drawn(Img(), x, 5), (x + 5) % 2 == 1) << x;
}

TEST_F(RasterTest, LineOverAFaceShowsThroughTheOffsetButAnOptionalLineDoesNot) {
    // A face at depth 10 and two lines a little behind it, at 10.2.
    renderer.DrawTriangle({0, 0, 10}, {60, 0, 10}, {0, 40, 10}, 1);
    renderer.DrawLine({2, 5.5f, 10.2f}, {20, 5.5f, 10.2f}, 4);
    renderer.DrawOptionalLine({2, 8.5f, 10.2f}, {20, 8.5f, 10.2f}, {0, 0, 0}, {0, 0, 0}, 4, false);
    EXPECT_EQ(PixelAt(Img(), 10, 5), PaletteRgb(4));
    EXPECT_FLOAT_EQ(DepthAt(Img(), 10, 5), 9.8f);
    EXPECT_EQ(PixelAt(Img(), 10, 8), PaletteRgb(1));
    EXPECT_EQ(renderer.linesDrawn, 1u);
}

struct OptionalCase {
    QzVector c0, c1;
    bool drawAll;
    bool drawn;
};

class OptionalLine : public RasterTest, public ::testing::WithParamInterface<OptionalCase> {};

TEST_P(OptionalLine, ControlPointsOnOppositeSidesHideIt) {
    const OptionalCase& c = GetParam();
    renderer.DrawOptionalLine({5, 10, 0}, {30, 10, 0}, c.c0, c.c1, 2, c.drawAll);
    EXPECT_EQ(CountDrawn(Img()) > 0, c.drawn);
}

INSTANTIATE_TEST_SUITE_P(Sides, OptionalLine,
                         ::testing::Values(OptionalCase{{10, 5, 0}, {20, 15, 0}, false, false},
                                           OptionalCase{{10, 5, 0}, {20, 15, 0}, true, true},
                                           OptionalCase{{10, 5, 0}, {20, 6, 0}, false, true},
                                           OptionalCase{{10, 15, 0}, {20, 12, 0}, false, true},
                                           // A control point on the line never hides it.
                                           OptionalCase{{10, 10, 0}, {20, 15, 0}, false, true}));

// ---- Triangles ----

TEST_F(RasterTest, TriangleFillsRowsBetweenItsTruncatedEdges) {
    renderer.DrawTriangle({0.5f, 0.5f, 0}, {4.5f, 0.2f, 0}, {0.7f, 4.9f, 0}, 2);
    Pixels expected;
    // The upper edge lies in row 0; the lower point ends the fill with an empty row.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x <= 4 - y; ++x) expected.insert({x, y});
    EXPECT_EQ(DrawnPixels(Img()), expected);
    EXPECT_EQ(Img().drawnRect.x0, 0);
    EXPECT_EQ(Img().drawnRect.x1, 4);
    EXPECT_EQ(Img().drawnRect.y1, 3);
}

TEST_F(RasterTest, TriangleInOneColumnWritesNothing) {
    renderer.DrawTriangle({3.1f, 0, 0}, {3.5f, 5, 0}, {3.9f, 9, 0}, 2);
    EXPECT_EQ(CountDrawn(Img()), 0);
    EXPECT_EQ(renderer.trianglesTried, 1u);
    EXPECT_EQ(renderer.trianglesDrawn, 0u);
}

class OffImage : public RasterTest, public ::testing::WithParamInterface<QzVector> {};

TEST_P(OffImage, TriangleOutsideTheImageChangesNothing) {
    const QzVector d = GetParam();
    renderer.DrawTriangle({d.x, d.y, 0}, {d.x + 20, d.y, 0}, {d.x, d.y + 20, 0}, 2);
    EXPECT_EQ(CountDrawn(Img()), 0);
    EXPECT_TRUE(Empty(Img().dirtyRect));
    EXPECT_TRUE(Empty(Img().drawnRect));
    EXPECT_EQ(renderer.trianglesTried, 1u);
}

INSTANTIATE_TEST_SUITE_P(Sides, OffImage,
                         ::testing::Values(QzVector{10, -30, 0}, QzVector{10, 50, 0},
                                           QzVector{-30, 10, 0}, QzVector{70, 10, 0}));

TEST_F(RasterTest, TriangleCrossingTheLeftEdgeHasItsPlaneDepthAtColumnZero) {
    // Depth z = x + 10 over the whole face, taken at pixel centres and pushed back by
    // one pixel's worth of its slope.
    renderer.DrawTriangle({-10, 0, 0}, {10, 0, 20}, {-10, 20, 0}, 3);
    for (int y = 0; y < 10; ++y) EXPECT_NEAR(DepthAt(Img(), 0, y), 11.5f, 1e-4) << y;
    EXPECT_NEAR(DepthAt(Img(), 5, 2), 16.5f, 1e-4);
    EXPECT_EQ(Img().drawnRect.x0, 0);
}

TEST_F(RasterTest, NearerPixelsWinAndEqualDepthRedraws) {
    renderer.DrawTriangle({0, 0, 5}, {30, 0, 5}, {0, 30, 5}, 1);
    renderer.DrawTriangle({0, 0, 7}, {30, 0, 7}, {0, 30, 7}, 2);
    EXPECT_EQ(PixelAt(Img(), 3, 3), PaletteRgb(1));
    EXPECT_EQ(renderer.trianglesDrawn, 1u);
    renderer.DrawTriangle({0, 0, 5}, {30, 0, 5}, {0, 30, 5}, 4);
    EXPECT_EQ(PixelAt(Img(), 3, 3), PaletteRgb(4));
}

TEST_F(RasterTest, DitheredTransparencyWritesOddPixelsOnly) {
    renderer.DrawQuad({0, 0, 5}, {40, 0, 5}, {40, 40, 5}, {0, 40, 5}, 1);
    renderer.DrawQuad({0, 0, 0}, {40, 0, 0}, {40, 40, 0}, {0, 40, 0}, 36);
    for (int y = 2; y < 6; ++y) {
        for (int x = 2; x < 6; ++x) {
            const bool odd = (x + y) % 2 == 1;
            EXPECT_EQ(PixelAt(Img(), x, y), odd ? PaletteRgb(4) : PaletteRgb(1));
            EXPECT_FLOAT_EQ(DepthAt(Img(), x, y), odd ? 0.0f : 5.0f);
        }
    }
}

TEST_F(RasterTest, BlendedTransparencyMixesAQuarterAndKeepsTheDepth) {
    options.ditherTransparency = false;
    renderer.DrawQuad({0, 0, 5}, {40, 0, 5}, {40, 40, 5}, {0, 40, 5}, 1);
    renderer.DrawQuad({0, 0, 0}, {40, 0, 0}, {40, 40, 0}, {0, 40, 0}, 36);
    const Rgb under = PaletteRgb(1), over = PaletteRgb(4);
    const Rgb mixed{(3 * under[0] + over[0]) / 4, (3 * under[1] + over[1]) / 4,
                    (3 * under[2] + over[2]) / 4};
    // One pixel in each half of the quad (the shared diagonal is mixed twice).
    EXPECT_EQ(PixelAt(Img(), 10, 3), mixed);
    EXPECT_EQ(PixelAt(Img(), 3, 10), mixed);
    EXPECT_FLOAT_EQ(DepthAt(Img(), 10, 3), 5.0f);
    // Drawn later but behind the transparent face, a face still shows.
    renderer.DrawQuad({0, 0, 2}, {40, 0, 2}, {40, 40, 2}, {0, 40, 2}, 2);
    EXPECT_EQ(PixelAt(Img(), 10, 3), PaletteRgb(2));
}

TEST_F(RasterTest, InvisibleDirectColourWritesNothingWhenDithered) {
    renderer.DrawQuad({0, 0, 0}, {40, 0, 0}, {40, 40, 0}, {0, 40, 0}, 0x7000000);
    EXPECT_EQ(CountDrawn(Img()), 0);
    EXPECT_EQ(renderer.trianglesDrawn, 0u);
}

TEST_F(RasterTest, TwoColourNumberInFacesShowsItsFirstColourWhenBlending) {
    options.ditherTransparency = false;
    renderer.DrawQuad({0, 0, 0}, {40, 0, 0}, {40, 40, 0}, {0, 40, 0}, 0x4FFF000);
    EXPECT_EQ(PixelAt(Img(), 3, 3), (Rgb{0, 0, 0}));
    EXPECT_EQ(PixelAt(Img(), 4, 3), (Rgb{0, 0, 0}));
}

TEST_F(RasterTest, UnknownColoursDrawGrey) {
    renderer.DrawTriangle({0, 0, 0}, {20, 0, 0}, {0, 20, 0}, 64);
    renderer.DrawTriangle({30, 0, 0}, {50, 0, 0}, {30, 20, 0}, 0x8000000);
    EXPECT_EQ(PixelAt(Img(), 2, 2), (Rgb{127, 127, 127}));
    EXPECT_EQ(PixelAt(Img(), 32, 2), (Rgb{127, 127, 127}));
}

struct QuadCase {
    const char* name;
    QzVector p[4];
    unsigned triangles;
};

class QuadSplit : public RasterTest, public ::testing::WithParamInterface<QuadCase> {};

TEST_P(QuadSplit, FillsTwoTrianglesOrThreeWhenACornerIsReflexOrCrossed) {
    const QuadCase& c = GetParam();
    renderer.DrawQuad(c.p[0], c.p[1], c.p[2], c.p[3], 2);
    EXPECT_EQ(renderer.trianglesTried, c.triangles);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, QuadSplit,
    ::testing::Values(QuadCase{"convex", {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}}, 2},
                      QuadCase{"bowtie", {{0, 0, 0}, {10, 10, 0}, {10, 0, 0}, {0, 10, 0}}, 3},
                      QuadCase{"reflex", {{0, 0, 0}, {5, 3, 0}, {10, 0, 0}, {5, 10, 0}}, 3},
                      QuadCase{"vertical", {{5, 0, 0}, {10, 5, 0}, {5, 10, 0}, {0, 5, 0}}, 3}),
    [](const auto& info) { return info.param.name; });

TEST_F(RasterTest, QuadWithAReflexCornerCoversItsWholeOutline) {
    // A dart pointing down with the reflex corner at (20, 12): the third triangle
    // covers the part of the outline below the corner.
    renderer.DrawQuad({0, 0, 0}, {20, 12, 0}, {40, 0, 0}, {20, 40, 0}, 2);
    for (auto [x, y] : {std::pair{20, 30}, std::pair{20, 14}, std::pair{12, 10}, std::pair{28, 10}})
        EXPECT_TRUE(Drawn(Img(), x, y)) << x << "," << y;
    EXPECT_FALSE(Drawn(Img(), 5, 20));
    EXPECT_FALSE(Drawn(Img(), 35, 20));
}

TEST_F(RenderTest, ImageTallerThan1200RowsFillsToTheBottom) {
    MakeImage(8, 1300);
    renderer.DrawQuad({0, 0, 0}, {8, 0, 0}, {8, 1300, 0}, {0, 1300, 0}, 1);
    for (int y : {0, 1199, 1200, 1250, 1299}) EXPECT_TRUE(Drawn(Img(), 2, y)) << y;
    EXPECT_EQ(Img().drawnRect.y1, 1299);
}

// ---- Occlusion test ----

// The depth tiles' answer whether a rectangle of depths is all nearer than a depth,
// against every depth tested one by one: rows whose width is not a whole number of
// tiles (or less than one), tiles known, unknown and written since they were known.
TEST(DepthTiles, BehindAgreesWithEveryDepthTestedAlone) {
    std::mt19937 random(7);
    const float depths[] = {0.5f, 1.0f, 2.0f, 3.0f, QZ_FAR_DEPTH};
    const float nearests[] = {0.75f, 1.5f, 2.5f, 1.0e30f};
    for (int32_t width : {3, 8, 13, 64, 101}) {
        const int32_t rows = 48, y0 = 3, y1 = 40;
        std::vector<float> depth(static_cast<size_t>(width * rows));
        QzDepthTiles tiles;
        tiles.Reset(width, y0, y1);
        auto pick = [&](int32_t lo, int32_t hi) {
            return std::uniform_int_distribution<int32_t>(lo, hi)(random);
        };
        for (int round = 0; round < 40; ++round) {
            // Mostly near depths, so that many rectangles are wholly nearer.
            if (round == 0) {
                for (float& d : depth) d = depths[pick(0, 9) < 8 ? 0 : pick(0, 4)];
            } else {
                const int32_t x = pick(0, width - 1), y = pick(y0, y1);
                depth[static_cast<size_t>(y * width + x)] = depths[pick(0, 4)];
                tiles.Touch(y, x, x);
            }
            for (int test = 0; test < 50; ++test) {
                int32_t xa = pick(0, width - 1), xb = pick(0, width - 1);
                int32_t ya = pick(y0, y1), yb = pick(y0, y1);
                if (xa > xb) std::swap(xa, xb);
                if (ya > yb) std::swap(ya, yb);
                if (test % 2) yb = std::min(ya + 2, yb);  // small ones, as faces are
                const float nearest = nearests[pick(0, 3)];
                bool all = true;
                for (int32_t y = ya; y <= yb; ++y)
                    for (int32_t x = xa; x <= xb; ++x)
                        all = all && depth[static_cast<size_t>(y * width + x)] < nearest;
                EXPECT_EQ(tiles.Behind(depth.data(), xa, xb, ya, yb, nearest, true), all)
                    << "width " << width << ", columns " << xa << "-" << xb << ", rows " << ya
                    << "-" << yb << ", nearest " << nearest;
                // From the tiles alone: never hidden where a depth is not nearer.
                if (!all) {
                    EXPECT_FALSE(tiles.Behind(depth.data(), xa, xb, ya, yb, nearest, false));
                }
            }
        }
    }
}

TEST_F(RasterTest, BoxIsHiddenOnlyBehindNearerPixelsOrOffTheImage) {
    renderer.DrawQuad({0, 0, 5}, {20, 0, 5}, {20, 20, 5}, {0, 20, 5}, 1);
    EXPECT_TRUE(renderer.IsBoxHidden({2, 2, 6}, {8, 8, 0}));
    EXPECT_FALSE(renderer.IsBoxHidden({2, 2, 5}, {8, 8, 0}));      // equal depth would pass
    EXPECT_FALSE(renderer.IsBoxHidden({15, 15, 6}, {25, 25, 0}));  // partly over background
    EXPECT_TRUE(renderer.IsBoxHidden({-20, 2, 0}, {-5, 8, 0}));
    EXPECT_TRUE(renderer.IsBoxHidden({2, 50, 0}, {8, 60, 0}));
    EXPECT_FALSE(renderer.IsBoxHidden({-20, -20, 0}, {100, 100, 0}));  // clamped to the image
}

// Small faces are first looked at whole against the depths of their box: wherever one
// of their pixels would pass the depth test, however its depth was pushed, clamped or
// rounded, the face must still be filled. Each pixel a random small triangle or
// quadrilateral (convex, reflex or crossed, some nearly edge-on) writes into a cleared
// image is given back its own depth with everything around it nearer: the face must
// write that pixel again, and only it, and count the triangles it tried as before.
class SmallFace : public ::testing::TestWithParam<int> {};

TEST_P(SmallFace, WritesAPixelThatOnlyJustPassesBehindEverythingElse) {
    const int corners = GetParam();
    constexpr int kSize = 32;
    QzZImage image{};
    ASSERT_EQ(init_zimage(image, kSize, kSize), 0);
    QzRenderOptions options;
    options.shading = false;
    const QzPalette palette;
    QzPrimitiveWriter writer(options, palette);
    QzPixelRect dirty = QzEmptyRect(kSize, kSize), drawn = dirty;
    writer.Attach(image, 0, kSize - 1, &dirty, &drawn);
    std::mt19937 random(static_cast<unsigned>(7 + corners));
    std::uniform_real_distribution<float> place(2.0f, 20.0f), extent(-11.0f, 11.0f);
    std::uniform_real_distribution<float> base(-2.0e4f, 2.0e4f), rise(-60.0f, 60.0f);
    // Offsets of a wide range of zooms: none, the push back alone, slack beyond it.
    const QzFaceOffset offsets[] = {{0.0f, 0.0f}, {1.5f, 0.125f}, {0.2f, 3.0f}};
    const QzPixelPattern pattern{{10, 20, 30, 255}, {10, 20, 30, 255}};
    auto clear = [&](float depth) {
        std::fill(image.depth, image.depth + kSize * kSize, depth);
        std::fill(image.pixels, image.pixels + kSize * kSize * 3, uint8_t{0});
    };
    int pixels = 0;
    for (int n = 0; n < 600; ++n) {
        QzVector c[4];
        const float x = place(random), y = place(random), z = base(random);
        for (QzVector& p : c) p = {x + extent(random), y + extent(random), z + rise(random)};
        // Every fourth nearly edge-on: the third corner almost on the line of the first two.
        if (n % 4 == 3) {
            c[2].x = c[0].x + (c[1].x - c[0].x) * 0.5f + 1.0e-3f;
            c[2].y = c[0].y + (c[1].y - c[0].y) * 0.5f;
        }
        const QzVector* const p[4] = {&c[0], &c[1], &c[2], &c[3]};
        writer.SetFaceOffsetLimit(offsets[n % 3]);
        clear(QZ_FAR_DEPTH);
        const uint32_t tried = writer.Face(corners, p, pattern, QzFill::Solid).tried;
        const std::vector<float> alone(image.depth, image.depth + kSize * kSize);
        for (int i = 0; i < kSize * kSize; ++i) {
            if (alone[static_cast<size_t>(i)] == QZ_FAR_DEPTH) continue;
            ++pixels;
            clear(-std::numeric_limits<float>::max());
            image.depth[i] = alone[static_cast<size_t>(i)];
            const QzPrimitiveWriter::Result again = writer.Face(corners, p, pattern, QzFill::Solid);
            ASSERT_GE(again.wrote, 1u)
                << "face " << n << " pixel " << i % kSize << "," << i / kSize;
            EXPECT_EQ(again.tried, tried);
            EXPECT_EQ(image.pixels[i * 3], 30) << "face " << n;
            EXPECT_EQ(std::count(image.pixels, image.pixels + kSize * kSize * 3, uint8_t{30}), 1);
        }
        // Behind everything, it writes nothing and still counts what it tried.
        clear(-std::numeric_limits<float>::max());
        const QzPrimitiveWriter::Result hidden = writer.Face(corners, p, pattern, QzFill::Solid);
        EXPECT_EQ(hidden.wrote, 0u);
        EXPECT_EQ(hidden.tried, tried);
    }
    EXPECT_GT(pixels, 10000);
    free_zimage(image);
}

INSTANTIATE_TEST_SUITE_P(TrianglesAndQuadrilaterals, SmallFace, ::testing::Values(3, 4));

// ---- Geometry far outside the image ----

// The column walk of an x-major line over every column, as if no column were skipped.
Pixels ReferenceXMajor(const QzZImage& img, QzVector s, QzVector e) {
    Pixels out;
    const int xs = static_cast<int>(s.x), xe = static_cast<int>(e.x);
    const float n = static_cast<float>(std::abs(static_cast<int>(e.x - s.x)));
    const float step = (e.y - s.y) / n;
    for (long k = 0; k <= xe - xs; ++k) {
        const int x = xs + static_cast<int>(k);
        const int y = static_cast<int>(s.y + step * static_cast<float>(k));
        if (x >= 0 && x < img.width && y >= 0 && y < img.height) out.insert({x, y});
    }
    return out;
}

TEST_F(RasterTest, FarLineDrawsTheSamePixelsAsAWalkOverEveryColumn) {
    const QzVector s{-250000.5f, -3000.25f, 0}, e{300.5f, 40.75f, 0};
    renderer.DrawLine(s, e, 4);
    const Pixels drawn = DrawnPixels(Img());
    EXPECT_FALSE(drawn.empty());
    EXPECT_EQ(drawn, ReferenceXMajor(Img(), s, e));
}

TEST_F(RasterTest, LineLongerThanABillionPixelsKeepsItsSlope) {
    // 1.2e9 columns for 11 rows: at the image the line is at y 5.5, so row 5.
    renderer.DrawLine({-6e8f, 0, 0}, {6e8f, 11, 0}, 4);
    Pixels row;
    for (int x = 0; x < Img().width; ++x) row.insert({x, 5});
    EXPECT_EQ(DrawnPixels(Img()), row);
    // The same with the roles of x and y exchanged: column 5.
    renderer.ClearImage(true);
    renderer.DrawLine({0, -6e8f, 0}, {11, 6e8f, 0}, 4);
    Pixels column;
    for (int y = 0; y < Img().height; ++y) column.insert({5, y});
    EXPECT_EQ(DrawnPixels(Img()), column);
}

TEST_F(RasterTest, HugeAndInvalidCoordinatesAreClampedNotConverted) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    renderer.DrawLine({-1e30f, 10.5f, 0}, {1e30f, 10.5f, 0}, 4);
    renderer.DrawLine({nan, 0, 0}, {5, 5, 0}, 4);
    renderer.DrawTriangle({-1e20f, -1e20f, 0}, {inf, 1e20f, 0}, {3, 2e20f, 0}, 2);
    renderer.DrawTriangle({nan, 0, 0}, {10, nan, 0}, {3, 3, 0}, 2);
    EXPECT_FALSE(renderer.IsBoxHidden({-inf, -inf, -inf}, {inf, inf, 0}));
    // A triangle far larger than the image covers all of it.
    renderer.ClearImage(true);
    renderer.DrawTriangle({-1e6f, -1e6f, 1}, {1e6f, -1e6f, 1}, {0, 1e6f, 1}, 2);
    EXPECT_EQ(CountDrawn(Img()), Img().width * Img().height);
}

}  // namespace
}  // namespace render_test
