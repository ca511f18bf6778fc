// A whole drawing: its order of work and messages, centring and zoom, the drag
// previews, model box and axes, statistics and their status text, random colours,
// vertex-list limits, and drawings zoomed far beyond the image.
#include <gtest/gtest.h>

#include "drawpass.h"
#include "loader.h"
#include "measurements.h"
#include "render_fixture.h"
#include "vertexlists.h"
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
    }
    // Loads under the view's palette, whose scheme the drawing uses.
    int LoadText(const std::string& content, const std::string& name = "model.ldr") {
        return RenderTest::LoadText(content, name, state.palette);
    }
    void Allocate(int width, int height) {
        ASSERT_EQ(init_zimage(image, width, height), 0);
        state.renderer->SetImage(image);
    }
    void Draw(int width = 64, int height = 64) {
        Allocate(width, height);
        Redraw(true);
    }
    // A drawing; its measurements replace those of the one before when it drew.
    void Redraw(bool full) {
        if (std::optional<QzDrawStatistics> drawn = RedrawModel(state, model, full))
            statistics = *drawn;
    }
    const QzZImage& View() const { return state.renderer->image; }
    int Count(int type) const { return statistics.typeCount[type]; }

    QzRenderState state{&sink};
    QzDrawStatistics statistics;
};

TEST_F(PassTest, WithoutAModelTheImageIsClearedAndNothingElseHappens) {
    Allocate(16, 8);
    EXPECT_FALSE(RedrawModel(state, model, true).has_value());
    EXPECT_TRUE(boxes.box.calls.empty());
    EXPECT_TRUE(sink.rects.empty());
    EXPECT_EQ(CountChanged(View()), 0);
    EXPECT_EQ(View().clearedRect.x1, 15);
}

TEST_F(PassTest, WithoutAnImageBothClearingAndDrawingSayBufferNull) {
    ASSERT_EQ(LoadText("2 4 0 0 0 10 10 10\n"), 1);
    EXPECT_FALSE(RedrawModel(state, model, false).has_value());
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
    Redraw(false);
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
    model = QzModel();
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
    LineRecorder recorder(&sink, &state.options, &state.palette);
    recorder.SetImage(image);
    state.renderer = &recorder;
    DrawAxes(state, &model.Main(), state.ScreenMatrix(model, 64, 64));
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
    EXPECT_EQ(statistics.transformText, "M:2 V:3");
    state.options.studsLast = false;
    Redraw(false);
    EXPECT_EQ(statistics.transformText, "M:1 V:3");
}

TEST_F(PassTest, TimingWalkLeavesTheCountersAsTheDrawingLeftThem) {
    Write("ldraw/parts/cube.dat", kCube);
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "cube.dat") + "2 4 0 0 0 5 5 5\n"), 1);
    Draw();
    const QzDrawStatistics plain = statistics;
    state.timeCalculations = true;
    Redraw(false);
    for (int t = 1; t <= 5; ++t) EXPECT_EQ(Count(t), plain.typeCount[t]) << t;
    EXPECT_EQ(statistics.transformText, plain.transformText);
    EXPECT_GE(statistics.calcTimeMs, 0);
}

TEST(StatusText, FormatsCountsSecondsCalculationAndTransforms) {
    QzDrawStatistics s;
    s.typeCount[2] = 1;
    s.typeCount[3] = 2;
    s.typeCount[4] = 3;
    s.typeCount[5] = 4;
    s.drawTimeMs = 1234;
    s.calcTimeMs = 5;
    s.transformText = "M:6 V:7";
    EXPECT_EQ(QzDrawStatusText(s), "2:1 3:2 4:3 5:4 1.234 seconds (5) M:6 V:7");
    s.drawTimeMs = 7;
    s.calcTimeMs = 0;
    EXPECT_EQ(QzDrawStatusText(s), "2:1 3:2 4:3 5:4 0.007 seconds (0) M:6 V:7");
}

TEST_F(PassTest, RandomColoursGoToTheMainModelsLinesAndColourWholeParts) {
    Write("ldraw/parts/tri.dat", "3 16 -20 -20 0 -20 20 0 20 -20 0\n");
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "tri.dat") + "2 4 0 0 0 5 5 5\n"), 1);
    state.options.randomColours = true;
    QzAssignRandomColours(model);
    for (QzLine* line = model.Main().lines; line; line = line->next) {
        if (line->type == 0) continue;
        EXPECT_GE(line->randomColour, 0);
        EXPECT_LE(line->randomColour, 16);
    }
    EXPECT_EQ(model.parts[1].lines->randomColour, 0);
    // The part takes its reference's random colour.
    model.Main().lines->randomColour = 2;
    Draw();
    EXPECT_EQ(PixelAt(View(), 17, 27), PaletteRgb(2));
    state.options.randomColours = false;
    Redraw(false);
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
    BuildVertexLists(model);
    ASSERT_EQ(boxes.box.calls.size(), 2u);
    EXPECT_EQ(boxes.box.calls[0].text, "big.dat: Max vertices 80000\n");
    EXPECT_EQ(boxes.box.calls[0].kind, plat::MessageKind::Exclamation);
    EXPECT_EQ(model.parts[1].vertices, nullptr);
    EXPECT_EQ(model.parts[2].vertexCount, 3);
    // Drawing in list mode takes the line path for the part without a list.
    state.options.vertexLists = true;
    Draw();
    EXPECT_GT(Count(3), 0);
}

// The counts of a drawing, without its timings.
std::string Counts(const QzDrawStatistics& s) {
    std::string text;
    for (int t = 1; t <= 5; ++t) text += std::to_string(s.typeCount[t]) + " ";
    return text + std::to_string(s.matrixMulCount) + " " + std::to_string(s.transformCount) + " " +
           s.transformText;
}

// Two models read from different files, each drawn by a view of its own: drawing one
// changes neither the picture nor the measurements of the other.
TEST_F(PassTest, TwoModelsInTwoViewsDrawIndependently) {
    Write("ldraw/parts/cube.dat", kCube);
    const std::string firstPath = Write("first.ldr", Ref("4", "0 0 0", kIdentity, "cube.dat"));
    const std::string secondPath = Write(
        "second.ldr", Ref("1", "-15 0 0", kIdentity, "cube.dat") +
                          Ref("2", "15 0 0", kIdentity, "cube.dat") + "2 0 -30 -20 0 30 -20 0\n");
    QzModel first, second;
    ASSERT_EQ(QzReadModel(first, firstPath, settings, palette), 1);
    ASSERT_EQ(QzReadModel(second, secondPath, settings, palette), 1);
    QzViewCore one, two, alone;
    for (QzViewCore* view : {&one, &two, &alone}) {
        ASSERT_TRUE(view->Resize(96, 64));
        view->State().SetStandardView(1);
    }
    one.Draw(first);
    two.Draw(second);
    const std::vector<uint8_t> onePixels = one.RgbPixels(), twoPixels = two.RgbPixels();
    const QzDrawStatistics oneStats = one.Statistics(), twoStats = two.Statistics();
    ASSERT_NE(onePixels, twoPixels);
    EXPECT_EQ(oneStats.typeCount[4], 6);
    EXPECT_EQ(twoStats.typeCount[4], 12);
    EXPECT_EQ(twoStats.typeCount[2], 1);

    // The first view drawn again at another zoom: the second keeps its picture and
    // every measurement.
    one.State().zoom = 200;
    one.Draw(first);
    EXPECT_NE(one.RgbPixels(), onePixels);
    EXPECT_EQ(two.RgbPixels(), twoPixels);
    EXPECT_EQ(Counts(two.Statistics()), Counts(twoStats));
    EXPECT_EQ(two.Statistics().drawTimeMs, twoStats.drawTimeMs);
    EXPECT_EQ(two.Statistics().calcTimeMs, twoStats.calcTimeMs);
    // Either drawn again as before gives what it gave before.
    two.Draw(second);
    EXPECT_EQ(two.RgbPixels(), twoPixels);
    EXPECT_EQ(Counts(two.Statistics()), Counts(twoStats));
    one.State().zoom = 100;
    one.Draw(first);
    EXPECT_EQ(one.RgbPixels(), onePixels);
    EXPECT_EQ(Counts(one.Statistics()), Counts(oneStats));
    // The second picture is the one a view of that model alone draws.
    alone.Draw(second);
    EXPECT_EQ(alone.RgbPixels(), twoPixels);
    EXPECT_EQ(Counts(alone.Statistics()), Counts(twoStats));
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
    Redraw(false);
    EXPECT_GT(CountDrawn(View()), 0);
}

}  // namespace
}  // namespace render_test

namespace render_test {
namespace {

// ---- Real models ----

class RealModels : public ::testing::Test {
  protected:
    testing_support::ScopedMessageBox boxes;
    QzPalette palette;
    QzLoadSettings settings;
};

TEST_F(RealModels, VertexListsDrawTheSamePixelsAsTheLineWalk) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    settings.ldrawDir = ldraw.string();
    QzModel model;
    ASSERT_EQ(QzReadModel(model, (ldraw / "models" / "car.ldr").string(), settings, palette), 1);
    QzViewCore view;
    ASSERT_TRUE(view.Resize(320, 240));
    view.State().SetStandardView(1);
    view.State().zoom = view.FitZoom(model);
    // The list path neither culls nor draws edges: compare without culling.
    view.State().options.bfc = false;
    BuildVertexLists(model);
    view.Draw(model);
    const std::vector<uint8_t> lines = view.RgbPixels();
    view.State().options.vertexLists = true;
    view.Draw(model);
    EXPECT_EQ(view.RgbPixels(), lines);
}

TEST_F(RealModels, EveryModelDrawsInViewsZeroAndOne) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    settings.ldrawDir = ldraw.string();
    for (const auto& entry : std::filesystem::directory_iterator(ldraw / "models")) {
        QzModel model;
        ASSERT_EQ(QzReadModel(model, entry.path().string(), settings, palette), 1) << entry.path();
        for (int v : {0, 1}) {
            QzViewCore view;
            ASSERT_TRUE(view.Resize(256, 192));
            view.State().SetStandardView(v);
            view.State().zoom = view.FitZoom(model);
            view.Draw(model);
            const QzZImage& img = view.Image();
            // Fitted: drawn, and inside the image with room to spare at the bottom.
            EXPECT_GT(view.Statistics().typeCount[4], 0) << entry.path();
            EXPECT_FALSE(QzRectIsEmpty(img.drawnRect)) << entry.path();
            EXPECT_LT(img.drawnRect.y1, 191) << entry.path();
            EXPECT_GT(CountChanged(img), 256 * 192 / 50) << entry.path();
        }
    }
}

}  // namespace
}  // namespace render_test
