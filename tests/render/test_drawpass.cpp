// A whole drawing: its order of work and messages, centring and zoom, the drag
// previews, model box and axes, statistics and their status text, random colours,
// vertex-list limits, and drawings zoomed far beyond the image.
#include <gtest/gtest.h>

#include "drawpass.h"
#include "loader.h"
#include "measurements.h"
#include "render_fixture.h"
#include "viewcore.h"
#include "viewtransform.h"

namespace render_test {
namespace {

using testing_support::kCube;
using testing_support::kIdentity;
using testing_support::Ref;

class PassTest : public RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        state.options.shading = false;
        state.SetStandardView(9);
        QzDrawStats = QzDrawStatistics{};
    }
    void Allocate(int width, int height) {
        ASSERT_EQ(init_zimage(image, width, height), 0);
        state.renderer->SetImage(image);
    }
    void Draw(int width = 64, int height = 64) {
        Allocate(width, height);
        RedrawModel(state, true);
    }
    const QzZImage& View() const { return state.renderer->image; }
    int Count(int type) const { return QzDrawStats.typeCount[type]; }

    QzRenderState state{&sink};
};

TEST_F(PassTest, WithoutAModelTheImageIsClearedAndNothingElseHappens) {
    Allocate(16, 8);
    RedrawModel(state, true);
    EXPECT_TRUE(boxes.box.calls.empty());
    EXPECT_TRUE(sink.rects.empty());
    EXPECT_EQ(CountChanged(View()), 0);
    EXPECT_EQ(View().clearedRect.x1, 15);
}

TEST_F(PassTest, WithoutAnImageBothClearingAndDrawingSayBufferNull) {
    ASSERT_EQ(LoadText("2 4 0 0 0 10 10 10\n"), 1);
    RedrawModel(state, false);
    ASSERT_EQ(boxes.box.calls.size(), 2u);
    EXPECT_EQ(boxes.box.calls[0].text, "buffer NULL");
    EXPECT_EQ(boxes.box.calls[0].kind, plat::MessageKind::Exclamation);
    EXPECT_EQ(boxes.box.calls[1].text, "buffer NULL");
    EXPECT_EQ(boxes.box.calls[1].kind, plat::MessageKind::Stop);
}

struct ZoomCase {
    int zoom;
    QzPixelRect rect;
};

class Centring : public PassTest, public ::testing::WithParamInterface<ZoomCase> {};

TEST_P(Centring, BoxCentreAtHalfWidthAndTwoThirdsHeight) {
    // A square of 20 units whose centre is far from the origin.
    ASSERT_EQ(LoadText("4 4 90 40 0 110 40 0 110 60 0 90 60 0\n"), 1);
    state.zoom = GetParam().zoom;
    Draw(400, 300);
    const QzPixelRect& want = GetParam().rect;
    EXPECT_EQ(View().drawnRect.x0, want.x0);
    EXPECT_EQ(View().drawnRect.x1, want.x1);
    EXPECT_EQ(View().drawnRect.y0, want.y0);
    EXPECT_EQ(View().drawnRect.y1, want.y1);
}

INSTANTIATE_TEST_SUITE_P(Zooms, Centring,
                         ::testing::Values(ZoomCase{100, {190, 210, 190, 210}},
                                           ZoomCase{200, {180, 220, 180, 220}},
                                           ZoomCase{50, {195, 205, 195, 205}}));

TEST_F(PassTest, ADragFromASkewedViewStartsFromAnglesThirtyAndFortyFive) {
    ASSERT_EQ(LoadText("2 4 0 0 0 10 10 10\n"), 1);
    state.SetStandardView(0);
    state.dragging = true;
    Draw();
    EXPECT_FALSE(state.skewView);
    QzRenderState reference(&sink);
    reference.SetViewAngles(30, 45);
    EXPECT_EQ(state.GetViewMatrix(), reference.GetViewMatrix());

    state.SetStandardView(10);
    const auto before = state.GetViewMatrix();
    RedrawModel(state, false);
    EXPECT_EQ(state.GetViewMatrix(), before);
}

Rgb Pal4() { return PaletteRgb(4); }

class PreviewTest : public PassTest {
  protected:
    void SetUp() override {
        PassTest::SetUp();
        Write("ldraw/parts/cube.dat", kCube);
    }
};

TEST_F(PreviewTest, WireBoxesOutlineEachPartAndCountNothing) {
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "cube.dat")), 1);
    state.dragging = true;
    state.dragMode = 3;
    Draw();
    // The cube's outline: columns 22 to 42, rows 32 to 52.
    EXPECT_EQ(PixelAt(View(), 22, 40), Pal4());
    EXPECT_EQ(PixelAt(View(), 30, 32), Pal4());
    EXPECT_EQ(PixelAt(View(), 42, 45), Pal4());
    EXPECT_EQ(PixelAt(View(), 32, 42), kBackground);
    for (int t = 1; t <= 5; ++t) EXPECT_EQ(Count(t), 0);
    EXPECT_EQ(sink.rects.size(), 1u);
}

TEST_F(PreviewTest, SolidBoxesFillTheFacesTurnedTowardsTheViewer) {
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "cube.dat")), 1);
    state.SetStandardView(1);
    state.dragging = true;
    state.dragMode = 2;
    Draw();
    EXPECT_EQ(PixelAt(View(), 32, 42), Pal4());
    EXPECT_EQ(Count(4), 0);
}

TEST_F(PreviewTest, CtrlDragDrawsTheFullModel) {
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "cube.dat")), 1);
    state.dragging = true;
    state.dragMode = 1;
    Draw();
    EXPECT_EQ(Count(4), 6);
    EXPECT_EQ(PixelAt(View(), 32, 42), Pal4());
}

TEST_F(PreviewTest, MirroredPartsShowTheSameWireBoxFaces) {
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "cube.dat")), 1);
    state.SetStandardView(1);
    state.dragging = true;
    state.dragMode = 3;
    Draw();
    const std::vector<uint8_t> plain(View().pixels, View().pixels + 64 * 64 * 3);
    free_zimage(image);
    testing_support::ResetModelInput();
    QzSelectColourScheme(0);
    QzLDrawDir = library;
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", "-1 0 0 0 1 0 0 0 1", "cube.dat"), "mirror.ldr"), 1);
    Draw();
    EXPECT_EQ(std::vector<uint8_t>(View().pixels, View().pixels + 64 * 64 * 3), plain);
}

TEST_F(PassTest, ModelBoxIsDrawnInBlack) {
    ASSERT_EQ(LoadText("2 4 -20 -20 0 20 20 0\n"), 1);
    state.showModelBox = true;
    Draw();
    EXPECT_EQ(PixelAt(View(), 12, 30), PaletteRgb(0));
    EXPECT_EQ(PixelAt(View(), 30, 22), PaletteRgb(0));
}

// Records the lines handed to the rasteriser instead of drawing them.
class LineRecorder : public QzRenderer {
  public:
    using QzRenderer::QzRenderer;
    struct Line {
        QzVector a, b;
        int32_t colour;
    };
    void DrawLine(const QzVector& a, const QzVector& b, int32_t colour) override {
        lines.push_back({a, b, colour});
    }
    std::vector<Line> lines;
};

TEST_F(PassTest, AxesRunFromALittleBeforeTheBoxToAFifthBeyondIt) {
    ASSERT_EQ(LoadText("2 4 -20 -20 -20 20 20 20\n"), 1);
    Allocate(64, 64);
    LineRecorder recorder(&sink, &state.options);
    recorder.SetImage(image);
    state.renderer = &recorder;
    DrawAxes(state, &QzParts[0], state.ScreenMatrix(64, 64));
    ASSERT_EQ(recorder.lines.size(), 15u);
    // x axis: -24 to 28 (the screen adds 32), arrow from 24 at +-2 to the tip.
    const auto& x = recorder.lines;
    EXPECT_FLOAT_EQ(x[0].a.x, 8);
    EXPECT_FLOAT_EQ(x[0].b.x, 60);
    EXPECT_FLOAT_EQ(x[0].a.y, 42);
    EXPECT_EQ(x[0].colour, 1);
    for (int k = 1; k <= 4; ++k) {
        EXPECT_FLOAT_EQ(x[k].a.x, 56);
        EXPECT_FLOAT_EQ(std::abs(x[k].a.y - 42), 2);
        EXPECT_FLOAT_EQ(std::abs(x[k].a.z), 2);
        EXPECT_FLOAT_EQ(x[k].b.x, 60);
    }
    // y axis in green, z axis in red.
    EXPECT_FLOAT_EQ(x[5].a.y, 18);
    EXPECT_FLOAT_EQ(x[5].b.y, 70);
    EXPECT_EQ(x[5].colour, 2);
    EXPECT_FLOAT_EQ(x[10].a.z, -24);
    EXPECT_FLOAT_EQ(x[10].b.z, 28);
    EXPECT_EQ(x[10].colour, 4);
    state.renderer = state.floatRenderer.get();
}

TEST_F(PassTest, TransformTextCountsProductsAndPointsOfTheFullDrawing) {
    Write("ldraw/parts/tri.dat", "3 16 -20 -20 0 -20 20 0 20 -20 0\n");
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "tri.dat")), 1);
    Draw();
    // The stud walk composes the reference's matrix once more.
    EXPECT_EQ(QzDrawStats.transformText, "M:2 V:3");
    state.options.studsLast = false;
    RedrawModel(state, false);
    EXPECT_EQ(QzDrawStats.transformText, "M:1 V:3");
}

TEST_F(PassTest, TimingWalkLeavesTheCountersAsTheDrawingLeftThem) {
    Write("ldraw/parts/cube.dat", kCube);
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "cube.dat") + "2 4 0 0 0 5 5 5\n"), 1);
    Draw();
    const QzDrawStatistics plain = QzDrawStats;
    state.timeCalculations = true;
    RedrawModel(state, false);
    for (int t = 1; t <= 5; ++t) EXPECT_EQ(Count(t), plain.typeCount[t]) << t;
    EXPECT_EQ(QzDrawStats.transformText, plain.transformText);
    EXPECT_GE(QzDrawStats.calcTimeMs, 0);
}

TEST(StatusText, FormatsCountsSecondsCalculationAndTransforms) {
    QzDrawStats = QzDrawStatistics{};
    QzDrawStats.typeCount[2] = 1;
    QzDrawStats.typeCount[3] = 2;
    QzDrawStats.typeCount[4] = 3;
    QzDrawStats.typeCount[5] = 4;
    QzDrawStats.drawTimeMs = 1234;
    QzDrawStats.calcTimeMs = 5;
    QzDrawStats.transformText = "M:6 V:7";
    EXPECT_EQ(QzDrawStatusText(), "2:1 3:2 4:3 5:4 1.234 seconds (5) M:6 V:7");
    QzDrawStats.drawTimeMs = 7;
    QzDrawStats.calcTimeMs = 0;
    EXPECT_EQ(QzDrawStatusText(), "2:1 3:2 4:3 5:4 0.007 seconds (0) M:6 V:7");
    QzDrawStats = QzDrawStatistics{};
}

TEST_F(PassTest, RandomColoursGoToTheMainModelsLinesAndColourWholeParts) {
    Write("ldraw/parts/tri.dat", "3 16 -20 -20 0 -20 20 0 20 -20 0\n");
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "tri.dat") + "2 4 0 0 0 5 5 5\n"), 1);
    SetRandomColours(state, true);
    EXPECT_TRUE(state.options.randomColours);
    for (QzLine* line = QzParts[0].lines; line; line = line->next) {
        if (line->type == 0) continue;
        EXPECT_GE(line->randomColour, 0);
        EXPECT_LE(line->randomColour, 16);
    }
    EXPECT_EQ(QzParts[1].lines->randomColour, 0);
    // The part takes its reference's random colour.
    QzParts[0].lines->randomColour = 2;
    Draw();
    EXPECT_EQ(PixelAt(View(), 17, 27), PaletteRgb(2));
    SetRandomColours(state, false);
    EXPECT_FALSE(state.options.randomColours);
    RedrawModel(state, false);
    EXPECT_EQ(PixelAt(View(), 17, 27), PaletteRgb(4));
}

TEST_F(PassTest, APartWithTooManyVerticesGetsNoListAndOthersStillDo) {
    std::string big;
    for (int i = 0; i < 26667; ++i) {
        const std::string x = std::to_string(i);
        big += "3 16 " + x + " 0 0 " + x + " 1 0 " + x + " 0 1\n";
    }
    Write("ldraw/parts/big.dat", big);
    Write("ldraw/parts/tri.dat", "3 16 -20 -20 0 -20 20 0 20 -20 0\n");
    ASSERT_EQ(
        LoadText(Ref("4", "0 0 0", kIdentity, "big.dat") + Ref("4", "0 0 0", kIdentity, "tri.dat")),
        1);
    boxes.box.calls.clear();
    BuildVertexLists();
    ASSERT_EQ(boxes.box.calls.size(), 2u);
    EXPECT_EQ(boxes.box.calls[0].text, "big.dat: Max vertices 80000\n");
    EXPECT_EQ(boxes.box.calls[0].kind, plat::MessageKind::Exclamation);
    EXPECT_EQ(QzParts[1].vertices, nullptr);
    EXPECT_EQ(QzParts[2].vertexCount, 3);
    // Drawing in list mode takes the line path for the part without a list.
    state.options.vertexLists = true;
    Draw();
    EXPECT_GT(Count(3), 0);
}

TEST_F(PassTest, ExtremeZoomRedrawsAtOnce) {
    // Zoomed in 1000 times, the faces of the cube and its edges reach far beyond the
    // image: the walks only visit what lies on it.
    Write("ldraw/parts/cube.dat", std::string(kCube) +
                                      "2 24 -10 -10 -10 10 10 10\n"
                                      "5 24 -10 10 -10 10 -10 10 0 0 0 1 1 1\n");
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "cube.dat") +
                       Ref("1", "300 0 0", kIdentity, "cube.dat") +
                       Ref("2", "-300 0 0", kIdentity, "cube.dat")),
              1);
    state.zoom = 100000;
    state.SetStandardView(1);
    Draw(640, 480);
    EXPECT_EQ(CountDrawn(View()), 640 * 480);
    state.options.showAllType5 = true;
    state.zoom = 2000000000;
    RedrawModel(state, false);
    EXPECT_GT(CountDrawn(View()), 0);
}

}  // namespace
}  // namespace render_test

namespace render_test {
namespace {

// ---- Real models ----

class RealModels : public ::testing::Test {
  protected:
    void SetUp() override { testing_support::ResetModelInput(); }
    void TearDown() override { testing_support::ResetModelInput(); }
    testing_support::ScopedMessageBox boxes;
};

TEST_F(RealModels, VertexListsDrawTheSamePixelsAsTheLineWalk) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    QzLDrawDir = ldraw.string();
    ASSERT_EQ(QzReadModel((ldraw / "models" / "car.ldr").string()), 1);
    QzViewCore view;
    ASSERT_TRUE(view.Resize(320, 240));
    view.State().SetStandardView(1);
    view.State().zoom = view.FitZoom();
    // The list path neither culls nor draws edges: compare without culling.
    view.State().options.bfc = false;
    BuildVertexLists();
    view.Draw();
    const std::vector<uint8_t> lines = view.RgbPixels();
    view.State().options.vertexLists = true;
    view.Draw();
    EXPECT_EQ(view.RgbPixels(), lines);
}

TEST_F(RealModels, EveryModelDrawsInViewsZeroAndOne) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    QzLDrawDir = ldraw.string();
    for (const auto& entry : std::filesystem::directory_iterator(ldraw / "models")) {
        testing_support::ResetModelInput();
        QzLDrawDir = ldraw.string();
        ASSERT_EQ(QzReadModel(entry.path().string()), 1) << entry.path();
        for (int v : {0, 1}) {
            QzViewCore view;
            ASSERT_TRUE(view.Resize(256, 192));
            view.State().SetStandardView(v);
            view.State().zoom = view.FitZoom();
            view.Draw();
            const QzZImage& img = view.Image();
            // Fitted: drawn, and inside the image with room to spare at the bottom.
            EXPECT_GT(QzDrawStats.typeCount[4], 0) << entry.path();
            EXPECT_FALSE(QzRectIsEmpty(img.drawnRect)) << entry.path();
            EXPECT_LT(img.drawnRect.y1, 191) << entry.path();
            EXPECT_GT(CountChanged(img), 256 * 192 / 50) << entry.path();
        }
    }
}

}  // namespace
}  // namespace render_test
