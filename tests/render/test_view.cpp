// The view state (standard views, typed matrices, drag rotation, model-to-screen
// matrix, renderer choice) and the off-screen image (allocation, clearing, flushing).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "render_fixture.h"
#include "viewcore.h"
#include "viewtransform.h"

namespace render_test {
namespace {

using Values = std::array<float, 16>;

Values Rows(std::initializer_list<float> nine) {
    Values v{};
    auto it = nine.begin();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) v[i * 4 + j] = *it++;
    v[15] = 1;
    return v;
}

void ExpectNear(const Values& got, const Values& want, float tolerance = 1e-6f) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], tolerance) << "entry " << i;
}

class ViewState : public ::testing::Test {
  protected:
    QzNullSink sink;
    QzRenderState state{&sink};
    testing_support::ScopedMessageBox boxes;
};

TEST_F(ViewState, StartsInViewZeroWithTheStartValues) {
    ExpectNear(state.GetViewMatrix(), Rows({1, 0, 1, .5f, 1, -.5f, -1, 0, 1}));
    EXPECT_TRUE(state.skewView);
    EXPECT_EQ(state.zoom, 100);
    EXPECT_EQ(state.rendererType, 3);
    ASSERT_NE(state.renderer, nullptr);
    EXPECT_FALSE(state.dragging);
    const QzRenderOptions& o = state.options;
    EXPECT_TRUE(o.showType2 && o.showType3 && o.showType4 && o.showType5);
    EXPECT_TRUE(o.shading && o.bfc && o.studsLast && o.ditherTransparency && o.dither256);
    EXPECT_FALSE(o.showAllType5 || o.colour24Black || o.seams || o.refreshEachPart ||
                 o.lineAsStud || o.edgesType3 || o.edgesType4 || o.vertexLists || o.randomColours ||
                 o.allTransparent || o.flushAfterEveryPart || o.bfcTestColours);
    EXPECT_FLOAT_EQ(o.seamWidth, 1.0f);
}

TEST_F(ViewState, MatrixWithCommasEqualsMatrixWithBlanks) {
    ASSERT_TRUE(state.SetViewMatrix("1,0,0, 0,1,0, 0,0,1", false));
    const Values commas = state.GetViewMatrix();
    state.SetStandardView(0);
    ASSERT_TRUE(state.SetViewMatrix("1 0 0 0 1 0 0 0 1", true));
    EXPECT_EQ(state.GetViewMatrix(), commas);
    EXPECT_TRUE(state.skewView);
    ExpectNear(commas, Rows({1, 0, 0, 0, 1, 0, 0, 0, 1}));
}

TEST_F(ViewState, EightNumbersLeaveTheViewUnchanged) {
    const Values before = state.GetViewMatrix();
    EXPECT_FALSE(state.SetViewMatrix("1 0 0 0 1 0 0 0", false));
    EXPECT_FALSE(state.SetViewMatrix("1,0,0,0,1,0,0,0", false));
    EXPECT_FALSE(state.SetViewMatrix("", false));
    EXPECT_EQ(state.GetViewMatrix(), before);
    EXPECT_TRUE(state.skewView);
}

struct StandardCase {
    int view;
    Values matrix;
    bool skew;
};

class StandardViews : public ViewState, public ::testing::WithParamInterface<StandardCase> {};

TEST_P(StandardViews, SetTheirOrientation) {
    const StandardCase& c = GetParam();
    state.SetStandardView(c.view);
    ExpectNear(state.GetViewMatrix(), c.matrix, 1e-6f);
    EXPECT_EQ(state.skewView, c.skew);
}

const float kS = 0.70710678f;  // sin 45
const float kH = 0.5f;         // sin 30
const float kC = 0.8660254f;   // cos 30

INSTANTIATE_TEST_SUITE_P(
    Table, StandardViews,
    ::testing::Values(
        StandardCase{0, Rows({1, 0, 1, .5f, 1, -.5f, -1, 0, 1}), true},
        // Rx(30) x Ry(45).
        StandardCase{1, Rows({kS, 0, kS, kH* kS, kC, -kH* kS, -kC* kS, kH, kC* kS}), false},
        StandardCase{5, Rows({kS, 0, kS, -kH* kS, kC, kH* kS, -kC* kS, -kH, kC* kS}), false},
        StandardCase{9, Rows({1, 0, 0, 0, 1, 0, 0, 0, 1}), false},
        StandardCase{10, Rows({0, 0, -1, 0, 1, 0, 1, 0, 0}), false},
        StandardCase{13, Rows({0, 0, 1, 1, 0, 0, 0, 1, 0}), false},
        StandardCase{14, Rows({0, 0, 1, -1, 0, 0, 0, -1, 0}), false}));

TEST_F(ViewState, NumbersOutsideTheTableChangeNothing) {
    state.SetStandardView(10);
    const Values before = state.GetViewMatrix();
    state.SetStandardView(15);
    state.SetStandardView(-1);
    EXPECT_EQ(state.GetViewMatrix(), before);
}

TEST_F(ViewState, DragOfNinetyPixelsTurnsBy89Point95Degrees) {
    state.SetStandardView(9);
    state.RotateView(90, 0);
    const double a = 90 * 3.14 / 180;
    const Values v = state.GetViewMatrix();
    EXPECT_NEAR(v[0], std::cos(a), 1e-6);
    EXPECT_NEAR(v[2], -std::sin(a), 1e-6);
    EXPECT_NEAR(v[8], std::sin(a), 1e-6);
    EXPECT_GT(v[0], 0.0f);  // not quite a right angle
    EXPECT_FALSE(state.skewView);
}

TEST_F(ViewState, DragDownTurnsAboutTheHorizontalAxisAndNoMoveChangesNothing) {
    state.SetStandardView(9);
    state.RotateView(0, 0);
    ExpectNear(state.GetViewMatrix(), Rows({1, 0, 0, 0, 1, 0, 0, 0, 1}));
    state.RotateView(0, 30);
    const double a = 30 * 3.14 / 180;
    const Values v = state.GetViewMatrix();
    EXPECT_NEAR(v[5], std::cos(a), 1e-6);
    EXPECT_NEAR(v[6], -std::sin(a), 1e-6);
    EXPECT_NEAR(v[9], std::sin(a), 1e-6);
}

TEST_F(ViewState, ScreenMatrixPutsTheBoxCentreAtHalfWidthAndTwoThirdsHeight) {
    QzModel model;
    model.Main().box = {{90, 40, -6}, {110, 60, 2}};
    state.SetStandardView(9);
    struct Case {
        int zoom, width, height;
        QzVector point, screen;
    };
    for (const Case& c : {Case{100, 400, 300, {100, 50, -2}, {200, 200, 0}},
                          Case{100, 401, 301, {100, 50, -2}, {200, 200, 0}},
                          Case{250, 400, 300, {110, 40, 2}, {225, 175, 10}},
                          Case{50, 100, 7, {100, 50, -2}, {50, 4, 0}}}) {
        state.zoom = c.zoom;
        const QzMatrix p = state.ScreenMatrix(model, c.width, c.height);
        QzVector s;
        QzMatTransformPoint(s, p, c.point);
        EXPECT_FLOAT_EQ(s.x, c.screen.x) << c.zoom << " " << c.width;
        EXPECT_FLOAT_EQ(s.y, c.screen.y) << c.zoom << " " << c.width;
        EXPECT_FLOAT_EQ(s.z, c.screen.z) << c.zoom << " " << c.width;
        EXPECT_EQ(p.m[3][0], 0.0f);
        EXPECT_EQ(p.m[3][3], 1.0f);
    }
}

TEST_F(ViewState, OnlyRendererThreeExists) {
    QzRenderer* current = state.renderer;
    state.SelectRenderer(1);
    state.SelectRenderer(2);
    ASSERT_EQ(boxes.box.calls.size(), 2u);
    EXPECT_EQ(boxes.box.calls[0].text, "Renderer type 1 needs to be implemented...");
    EXPECT_EQ(boxes.box.calls[1].text, "Renderer type 2 needs to be implemented...");
    EXPECT_EQ(boxes.box.calls[0].kind, plat::MessageKind::Stop);
    EXPECT_EQ(state.rendererType, 3);
    EXPECT_EQ(state.renderer, current);
    state.SelectRenderer(3);
    EXPECT_EQ(state.renderer, current);  // kept for reuse
}

// ---- The image ----

// Every byte of both buffers can be written: three per pixel, one float per pixel.
void FillBuffers(QzZImage& img) {
    const size_t count = static_cast<size_t>(img.width) * img.height;
    std::fill(img.pixels, img.pixels + count * 3, uint8_t{9});
    std::fill(img.depth, img.depth + count, 1.0f);
}

TEST(ZImage, HoldsThreeBytesAndADepthPerPixel) {
    QzZImage img{};
    ASSERT_EQ(init_zimage(img, 104, 50), 0);
    EXPECT_EQ(img.width, 104);
    EXPECT_EQ(img.height, 50);
    ASSERT_NE(img.pixels, nullptr);
    ASSERT_NE(img.depth, nullptr);
    FillBuffers(img);
    // Reallocation replaces both buffers.
    ASSERT_EQ(init_zimage(img, 8, 2), 0);
    EXPECT_EQ(img.width, 8);
    EXPECT_EQ(img.height, 2);
    FillBuffers(img);
    free_zimage(img);
    EXPECT_EQ(img.depth, nullptr);
    EXPECT_EQ(img.pixels, nullptr);
}

TEST(ZImage, SizesBeyondMemoryFailWithoutADepthBuffer) {
    QzZImage img{};
    EXPECT_EQ(init_zimage(img, 400000, 400000), -1);
    EXPECT_EQ(img.depth, nullptr);
    EXPECT_EQ(init_zimage(img, 0, 10), -1);
    free_zimage(img);
}

TEST(ZImage, ImageSizeOfAVeryWideRowIsExact) {
    // 89478488 x 24 bits no longer fits 32 bits; the buffers are never touched, so
    // the allocation costs no memory.
    QzZImage img{};
    ASSERT_EQ(init_zimage(img, 89478488, 1), 0);
    // The last pixel's bytes lie inside the buffer: 268435464 bytes in all.
    img.pixels[268435463] = 7;
    img.depth[89478487] = 2.0f;
    EXPECT_EQ(img.pixels[268435463], 7);
    free_zimage(img);
}

TEST(ZImage, HeadlessViewWidensTheClientAreaToAMultipleOfFour) {
    QzViewCore view;
    ASSERT_TRUE(view.Resize(101, 50));
    EXPECT_EQ(view.Image().width, 104);
    EXPECT_EQ(view.Image().height, 50);
    EXPECT_EQ(view.Width(), 101);
    EXPECT_EQ(view.RgbPixels().size(), 101u * 50u * 3u);
    EXPECT_FALSE(view.Resize(0, 50));
}

TEST(ViewCore, SchemesOutsideTheRangeChangeNothing) {
    QzViewCore view;
    view.SetColourScheme(2);
    for (int scheme : {4, -1, 1000}) view.SetColourScheme(scheme);
    EXPECT_EQ(view.State().palette.scheme, 2);
    // The view's palette still holds the colours of scheme 2.
    QzPalette two;
    QzSelectColourScheme(two, 2);
    EXPECT_TRUE(
        std::equal(std::begin(two.rgb), std::end(two.rgb), std::begin(view.State().palette.rgb)));
}

class ImageTest : public RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        options.shading = false;
        MakeImage(16, 8);
    }
    void Scribble(int x, int y) {
        uint8_t* p = renderer.image.pixels + (y * renderer.image.width + x) * 3;
        p[0] = p[1] = p[2] = 1;
        renderer.image.depth[y * renderer.image.width + x] = 7.0f;
    }
};

bool SameRect(const QzPixelRect& a, const QzPixelRect& b) {
    return a.x0 == b.x0 && a.x1 == b.x1 && a.y0 == b.y0 && a.y1 == b.y1;
}

TEST_F(ImageTest, FullClearFillsBackgroundAndFarDepth) {
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(PixelAt(Img(), x, y), kBackground);
            EXPECT_EQ(DepthAt(Img(), x, y), QZ_FAR_DEPTH);
        }
    EXPECT_TRUE(SameRect(Img().clearedRect, {0, 15, 0, 7}));
    EXPECT_TRUE(SameRect(Img().dirtyRect, QzEmptyRect(16, 8)));
    EXPECT_TRUE(SameRect(Img().drawnRect, QzEmptyRect(16, 8)));
}

TEST_F(ImageTest, PartialClearErasesWhatWasDrawnInWholeGroupsOfFour) {
    renderer.Flush();
    renderer.DrawLine({5, 5, 0}, {6.5f, 5, 0}, 4);
    EXPECT_TRUE(SameRect(Img().drawnRect, {5, 6, 5, 5}));
    Scribble(4, 5);
    Scribble(8, 5);
    Scribble(5, 4);
    renderer.ClearImage(false);
    EXPECT_EQ(PixelAt(Img(), 5, 5), kBackground);
    EXPECT_EQ(DepthAt(Img(), 5, 5), QZ_FAR_DEPTH);
    // Column 4 shares the group of 4 to 7: its colour is rewritten, its depth is not.
    EXPECT_EQ(PixelAt(Img(), 4, 5), kBackground);
    EXPECT_EQ(DepthAt(Img(), 4, 5), 7.0f);
    EXPECT_EQ(PixelAt(Img(), 8, 5), (Rgb{1, 1, 1}));
    EXPECT_EQ(PixelAt(Img(), 5, 4), (Rgb{1, 1, 1}));
    EXPECT_TRUE(SameRect(Img().clearedRect, {5, 6, 5, 5}));
}

TEST_F(ImageTest, ClearAfterADrawingOfNothingClearsAndShowsNothing) {
    renderer.Flush();
    sink.rects.clear();
    Scribble(3, 3);
    renderer.ClearImage(false);
    EXPECT_EQ(PixelAt(Img(), 3, 3), (Rgb{1, 1, 1}));
    renderer.Flush();
    EXPECT_TRUE(sink.rects.empty());
}

TEST_F(ImageTest, FlushShowsTheClearedAndDrawnAreasOnce) {
    // Cleared area holding the drawn one: the cleared area.
    renderer.DrawLine({2, 2, 0}, {4, 2, 0}, 4);
    renderer.Flush();
    ASSERT_EQ(sink.rects.size(), 1u);
    EXPECT_TRUE(SameRect(sink.rects[0], {0, 15, 0, 7}));
    // Only drawn: that area.
    renderer.DrawLine({2, 6, 0}, {9, 6, 0}, 4);
    renderer.Flush();
    ASSERT_EQ(sink.rects.size(), 2u);
    EXPECT_TRUE(SameRect(sink.rects[1], {2, 9, 6, 6}));
    // Nothing new: nothing shown; the drawn area since the clear is kept.
    renderer.Flush();
    EXPECT_EQ(sink.rects.size(), 2u);
    EXPECT_TRUE(SameRect(Img().drawnRect, {2, 9, 2, 6}));
    // Partial clear, then drawing elsewhere: the rectangle holding both.
    renderer.ClearImage(false);
    renderer.DrawLine({12, 1, 0}, {13, 1, 0}, 4);
    renderer.Flush();
    ASSERT_EQ(sink.rects.size(), 3u);
    EXPECT_TRUE(SameRect(sink.rects[2], {2, 13, 1, 6}));
}

TEST_F(ImageTest, BackgroundOfTwoColoursAlternatesByRow) {
    const uint8_t first[3] = {10, 20, 30}, second[3] = {40, 50, 60};
    renderer.SetBackgroundColours(first, second);
    renderer.ClearImage(true);
    EXPECT_EQ(PixelAt(Img(), 0, 0), (Rgb{10, 20, 30}));
    EXPECT_EQ(PixelAt(Img(), 1, 0), (Rgb{40, 50, 60}));
    EXPECT_EQ(PixelAt(Img(), 0, 1), (Rgb{40, 50, 60}));
    EXPECT_EQ(PixelAt(Img(), 5, 3), (Rgb{10, 20, 30}));
}

TEST(ZImageNoBuffer, ClearingWithoutADepthBufferReportsIt) {
    testing_support::ScopedMessageBox boxes;
    QzRenderOptions options;
    QzPalette palette;
    QzNullSink sink;
    QzRenderer renderer(&sink, &options, &palette);
    renderer.ClearImage(true);
    ASSERT_EQ(boxes.box.calls.size(), 1u);
    EXPECT_EQ(boxes.box.calls[0].text, "buffer NULL");
    EXPECT_EQ(boxes.box.calls[0].kind, plat::MessageKind::Exclamation);
}

}  // namespace
}  // namespace render_test
