// The model walk on small models read from files: colour inheritance, edge colours,
// culling by winding with inversion and mirroring, the recolouring test mode, seams,
// studs drawn last behind an occlusion test, refreshing per part, vertex lists.
#include <gtest/gtest.h>

#include "drawpass.h"
#include "measurements.h"
#include "render_fixture.h"
#include "vertexlists.h"
#include "viewtransform.h"

namespace render_test {
namespace {

using testing_support::kCube;
using testing_support::kIdentity;
using testing_support::Ref;

// Draws models in the front view (view 9, no rotation) with shading off, so pixel
// colours are palette colours and screen x, y are model x, y moved to the centre.
class ModelTest : public RenderTest {
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
    void Draw(int width = 64, int height = 64) {
        ASSERT_EQ(init_zimage(image, width, height), 0);
        state.renderer->SetImage(image);
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

// ---- Colours ----

struct ColourCase {
    const char* name;
    const char* refColour;
    bool black24;
    int face;  // palette entry, or -1 for pure red
    int edge;
};

Rgb Pal(int n) { return n < 0 ? Rgb{255, 0, 0} : PaletteRgb(n); }

class InheritedColour : public ModelTest, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(InheritedColour, ResolvesSixteenAndTwentyFour) {
    const ColourCase& c = GetParam();
    Write("ldraw/parts/tl.dat",
          "3 16 -20 -20 0 -20 20 0 20 -20 0\n"
          "2 24 -20 10 -1 20 10 -1\n");
    ASSERT_EQ(LoadText(Ref(c.refColour, "0 0 0", kIdentity, "tl.dat")), 1);
    state.options.colour24Black = c.black24;
    Draw();
    // Box centre (0, 0, -0.5) lands on (32, 42).
    EXPECT_EQ(PixelAt(View(), 17, 27), Pal(c.face));
    EXPECT_EQ(PixelAt(View(), 47, 52), Pal(c.edge));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InheritedColour,
    ::testing::Values(ColourCase{"main16", "16", false, 7, 8}, ColourCase{"red", "4", false, 4, 12},
                      ColourCase{"redBlack24", "4", true, 4, 0},
                      ColourCase{"direct", "0x2FF0000", false, -1, 0},
                      // Even x + y shows the high colour (300 / 16) mod 16 = 2.
                      ColourCase{"dither", "300", false, 2, 0}),
    [](const auto& info) { return info.param.name; });

TEST_F(ModelTest, AllTransparentDrawsSolidColoursDithered) {
    Write("ldraw/parts/tl.dat", "3 16 -20 -20 0 -20 20 0 20 -20 0\n");
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "tl.dat")), 1);
    state.options.allTransparent = true;
    Draw();
    EXPECT_EQ(PixelAt(View(), 17, 27), kBackground);  // even x + y: the transparent entry
    EXPECT_EQ(PixelAt(View(), 18, 27), Pal(4));
}

TEST_F(ModelTest, ShadingDimsAFaceTurnedAwayFromTheLight) {
    // Facing the viewer, the light along (1, 1, 1) falls at |n.L| = 0.57735.
    ASSERT_EQ(LoadText("4 4 -20 -20 0 20 -20 0 20 20 0 -20 20 0\n"), 1);
    state.options.shading = true;
    Draw();
    const Rgb plain = Pal(4);
    const double i = 0.57735026 * 0.25 + 0.75;
    EXPECT_EQ(PixelAt(View(), 32, 42),
              (Rgb{static_cast<int>(plain[0] * i), static_cast<int>(plain[1] * i),
                   static_cast<int>(plain[2] * i)}));
}

// ---- The colours of LDConfig.ldr ----

struct SchemeCase {
    const char* name;
    const char* refColour;
    bool allTransparent;
    Rgb face;  // at odd x + y
    bool dithered;
    Rgb edge;
};

class LDConfigColours : public ModelTest, public ::testing::WithParamInterface<SchemeCase> {};

TEST_P(LDConfigColours, DrawTheFilesValuesAndEdges) {
    const SchemeCase& c = GetParam();
    Write("ldraw/LDConfig.ldr", testing_support::kTestLDConfig);
    Write("ldraw/parts/tl.dat",
          "3 16 -20 -20 0 -20 20 0 20 -20 0\n"
          "2 24 -20 10 -1 20 10 -1\n");
    QzSelectColourScheme(state.palette, QZ_SCHEME_LDCONFIG);
    ASSERT_EQ(LoadText(Ref(c.refColour, "0 0 0", kIdentity, "tl.dat")), 1);
    state.options.allTransparent = c.allTransparent;
    Draw();
    EXPECT_EQ(PixelAt(View(), 18, 27), c.face);
    EXPECT_EQ(PixelAt(View(), 17, 27), c.dithered ? kBackground : c.face);
    EXPECT_EQ(PixelAt(View(), 47, 52), c.edge);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LDConfigColours,
    ::testing::Values(
        // Edges written #RRGGBB and as a colour number; a colour the file does not define
        // keeps the table's value and edge; one it defines anew takes its value.
        SchemeCase{"solid", "71", false, {0x88, 0x99, 0xAA}, false, {0x22, 0x33, 0x44}},
        SchemeCase{"transparent", "43", false, {0x55, 0xCC, 0xEE}, true, {21, 96, 249}},
        SchemeCase{"tableColour", "5", false, {160, 80, 127}, false, {255, 167, 207}},
        SchemeCase{"redefined", "4", false, {0xB0, 0x10, 0x08}, false, {0x40, 0x20, 0x20}},
        // All transparent: the value as a direct transparent colour, whose edges are
        // black as those of the table's transparent colours are.
        SchemeCase{"allTransparent", "71", true, {0x88, 0x99, 0xAA}, true, {77, 77, 77}}),
    [](const auto& info) { return info.param.name; });

// ---- Culling ----

const char* const kFront = "3 16 -20 -20 0 -20 20 0 20 -20 0\n";
const char* const kBack = "3 16 -20 -20 0 20 -20 0 -20 20 0\n";

struct CullCase {
    const char* name;
    bool certified;
    const char* triangle;
    const char* prefix;  // before the reference
    const char* matrix;
    bool bfc;
    bool drawn;
};

class Culling : public ModelTest, public ::testing::WithParamInterface<CullCase> {};

TEST_P(Culling, DrawsFacesTurnedTowardsTheViewer) {
    const CullCase& c = GetParam();
    Write("ldraw/parts/t.dat", std::string(c.certified ? "0 BFC CERTIFY CCW\n" : "") + c.triangle);
    ASSERT_EQ(LoadText(std::string(c.prefix) + Ref("4", "0 0 0", c.matrix, "t.dat")), 1);
    state.options.bfc = c.bfc;
    state.options.edgesType3 = true;
    Draw();
    EXPECT_EQ(Count(3), c.drawn ? 1 : 0);
    EXPECT_EQ(CountDrawn(View()) > 0, c.drawn);
}

const char* const kMirror = "-1 0 0 0 1 0 0 0 1";

INSTANTIATE_TEST_SUITE_P(
    Windings, Culling,
    ::testing::Values(
        CullCase{"front", true, kFront, "", kIdentity, true, true},
        CullCase{"back", true, kBack, "", kIdentity, true, false},
        CullCase{"backInverted", true, kBack, "0 BFC INVERTNEXT\n", kIdentity, true, true},
        CullCase{"frontInverted", true, kFront, "0 BFC INVERTNEXT\n", kIdentity, true, false},
        CullCase{"frontMirrored", true, kFront, "", kMirror, true, true},
        CullCase{"backMirrored", true, kBack, "", kMirror, true, false},
        CullCase{"backMirroredInverted", true, kBack, "0 BFC INVERTNEXT\n", kMirror, true, true},
        CullCase{"backUncertified", false, kBack, "", kIdentity, true, true},
        CullCase{"backBfcOff", true, kBack, "", kIdentity, false, true}),
    [](const auto& info) { return info.param.name; });

struct RecolourCase {
    const char* name;
    bool certified;
    const char* triangle;
    bool bfc;
    int colour;
    int counted;
};

class CullRecolouring : public ModelTest, public ::testing::WithParamInterface<RecolourCase> {};

TEST_P(CullRecolouring, PaintsFacesByTheirCullingStatus) {
    const RecolourCase& c = GetParam();
    Write("ldraw/parts/t.dat", std::string(c.certified ? "0 BFC CERTIFY CCW\n" : "") + c.triangle);
    ASSERT_EQ(LoadText(Ref("14", "0 0 0", kIdentity, "t.dat")), 1);
    state.options.bfc = c.bfc;
    state.options.bfcTestColours = true;
    Draw();
    EXPECT_EQ(PixelAt(View(), 17, 27), Pal(c.colour));
    EXPECT_EQ(Count(3), c.counted);
}

INSTANTIATE_TEST_SUITE_P(Table, CullRecolouring,
                         ::testing::Values(RecolourCase{"front", true, kFront, true, 2, 1},
                                           RecolourCase{"back", true, kBack, true, 4, 0},
                                           RecolourCase{"oneSidedNo", false, kBack, true, 1, 1},
                                           RecolourCase{"offFront", true, kFront, false, 2, 1},
                                           RecolourCase{"offBack", true, kBack, false, 4, 0}),
                         [](const auto& info) { return info.param.name; });

// ---- Line types and counters ----

struct TypeCase {
    const char* option;
    bool QzRenderOptions::*field;
    std::array<int, 6> counts;
};

class LineTypes : public ModelTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(LineTypes, EachTypeIsDrawnAndCountedUnlessSwitchedOff) {
    const TypeCase& c = GetParam();
    Write("ldraw/parts/all.dat",
          "2 16 -20 -20 0 20 -20 0\n"
          "3 16 -20 -10 0 -20 10 0 20 -10 0\n"
          "4 16 -20 12 0 -20 18 0 20 18 0 20 12 0\n"
          "5 16 -20 20 0 20 20 0 0 30 0 0 10 0\n");
    ASSERT_EQ(
        LoadText(Ref("4", "0 0 0", kIdentity, "all.dat") + Ref("4", "0 0 0", kIdentity, "all.dat")),
        1);
    if (c.field) state.options.*c.field = false;
    Draw();
    for (int t = 1; t <= 5; ++t) EXPECT_EQ(Count(t), c.counts[t]) << "type " << t;
}

INSTANTIATE_TEST_SUITE_P(
    Switches, LineTypes,
    ::testing::Values(TypeCase{"all", nullptr, {0, 2, 2, 2, 2, 2}},
                      TypeCase{"showType2", &QzRenderOptions::showType2, {0, 2, 0, 2, 2, 2}},
                      TypeCase{"showType3", &QzRenderOptions::showType3, {0, 2, 2, 0, 2, 2}},
                      TypeCase{"showType4", &QzRenderOptions::showType4, {0, 2, 2, 2, 0, 2}},
                      TypeCase{"showType5", &QzRenderOptions::showType5, {0, 2, 2, 2, 2, 0}}),
    [](const auto& info) { return info.param.option; });

TEST_F(ModelTest, OptionalLinesAreCountedBeforeTheirControlPointTest) {
    // Control points on opposite sides: counted, not drawn.
    ASSERT_EQ(LoadText("5 4 -20 0 0 20 0 0 0 -10 0 0 10 0\n"), 1);
    Draw();
    EXPECT_EQ(Count(5), 1);
    EXPECT_EQ(CountDrawn(View()), 0);
    state.options.showAllType5 = true;
    Redraw(false);
    EXPECT_GT(CountDrawn(View()), 0);
}

// ---- Seams ----

TEST_F(ModelTest, SeamsShrinkAPartByTheWidthAboutItsBoxCentre) {
    // A part of 64 x 32 x 16 units (sizes whose shrink factors are exact in binary),
    // four pixels per unit; once centred on its own origin, once beside it and moved
    // back by its reference, so that both draw the same picture.
    Write("ldraw/parts/plate.dat",
          "4 16 -32 -16 0 32 -16 0 32 16 0 -32 16 0\n"
          "2 16 0 0 -8 0 0 8\n");
    Write("ldraw/parts/aside.dat",
          "4 16 0 -40 0 64 -40 0 64 -8 0 0 -8 0\n"
          "2 16 32 -24 -8 32 -24 8\n");
    for (const std::string& ref : {Ref("4", "0 0 0", kIdentity, "plate.dat"),
                                   Ref("4", "-32 24 0", kIdentity, "aside.dat")}) {
        SCOPED_TRACE(ref);
        model = QzModel();
        state.options.seams = false;
        ASSERT_EQ(LoadText(ref), 1);
        state.zoom = 400;
        Draw(400, 200);
        EXPECT_EQ(View().drawnRect.x0, 72);
        EXPECT_EQ(View().drawnRect.x1, 328);
        EXPECT_EQ(View().drawnRect.y0, 69);
        EXPECT_EQ(View().drawnRect.y1, 197);
        EXPECT_FLOAT_EQ(DepthAt(View(), 200, 133), -32.4f);
        state.options.seams = true;
        Redraw(false);
        // 63/64, 31/32 and 15/16 of the size: half a unit, two pixels, off every side.
        EXPECT_EQ(View().drawnRect.x0, 74);
        EXPECT_EQ(View().drawnRect.x1, 326);
        EXPECT_EQ(View().drawnRect.y0, 71);
        EXPECT_EQ(View().drawnRect.y1, 195);
        EXPECT_FLOAT_EQ(DepthAt(View(), 200, 133), -30.4f);
    }
}

TEST_F(ModelTest, SeamsKeepTheFlatAxisOfAFlatPart) {
    Write("ldraw/parts/flat.dat", "4 16 -40 -14 5 40 -14 5 40 14 5 -40 14 5\n");
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "flat.dat") + "2 4 0 0 0 0 0 10\n"), 1);
    state.options.seams = true;
    Draw();
    // Model box z from 0 to 10: the flat part stays at depth 5 - 5.
    EXPECT_FLOAT_EQ(DepthAt(View(), 20, 42), 0.0f);
}

TEST_F(ModelTest, SeamsLeavePartsInsidePartsAlone) {
    Write("ldraw/parts/inner.dat", "4 16 -32 -16 0 32 -16 0 32 16 0 -32 16 0\n");
    Write("ldraw/parts/outer.dat", Ref("16", "0 0 0", kIdentity, "inner.dat"));
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "outer.dat")), 1);
    state.options.seams = true;
    state.zoom = 400;
    Draw(400, 200);
    // Only the outer part is shrunk.
    EXPECT_EQ(View().drawnRect.x0, 74);
    EXPECT_EQ(View().drawnRect.x1, 326);
}

// ---- Studs ----

class StudTest : public ModelTest {
  protected:
    void SetUp() override {
        ModelTest::SetUp();
        Write("ldraw/p/stud.dat", "4 16 -6 -6 0 6 -6 0 6 6 0 -6 6 0\n");
        Write("ldraw/parts/face.dat", "4 16 -20 -20 0 20 -20 0 20 20 0 -20 20 0\n");
    }
    void LoadFaceAndStud(const std::string& studPos) {
        ASSERT_EQ(LoadText(Ref("1", "0 0 0", kIdentity, "face.dat") +
                           Ref("4", studPos, kIdentity, "stud.dat")),
                  1);
    }
};

TEST_F(StudTest, StudBehindAFaceIsSkippedWithoutTouchingTheImage) {
    LoadFaceAndStud("0 0 10");
    Draw();
    EXPECT_EQ(Count(4), 1);
    EXPECT_EQ(Count(1), 1);
    EXPECT_EQ(PixelAt(View(), 32, 42), Pal(1));
}

TEST_F(StudTest, StudInFrontIsDrawnInTheSecondWalk) {
    LoadFaceAndStud("0 0 -10");
    Draw();
    EXPECT_EQ(Count(4), 2);
    EXPECT_EQ(Count(1), 1);  // the stud reference itself is not counted by the second walk
    EXPECT_EQ(PixelAt(View(), 32, 37), Pal(4));
}

TEST_F(StudTest, WithoutStudsLastAHiddenStudIsWalkedButStaysHidden) {
    LoadFaceAndStud("0 0 10");
    state.options.studsLast = false;
    Draw();
    EXPECT_EQ(Count(4), 2);
    EXPECT_EQ(Count(1), 2);
    EXPECT_EQ(PixelAt(View(), 32, 42), Pal(1));
}

TEST_F(StudTest, LineAsStudDrawsNoStudInEitherWalk) {
    LoadFaceAndStud("0 0 -10");
    state.options.lineAsStud = true;
    Draw();
    EXPECT_EQ(Count(4), 1);
    EXPECT_EQ(PixelAt(View(), 32, 37), Pal(1));
    state.options.studsLast = false;
    Redraw(false);
    EXPECT_EQ(Count(4), 1);
}

TEST_F(StudTest, StudPartlyOffTheImageIsDrawn) {
    // Box x from -36 to 20: its centre -8 lands on column 20 of a 40-pixel image.
    LoadFaceAndStud("-30 0 -10");
    Draw(40, 64);
    EXPECT_EQ(Count(4), 2);
    EXPECT_EQ(PixelAt(View(), 2, 42), Pal(4));
}

TEST_F(StudTest, StudsOfAShrunkPartShrinkWithIt) {
    // A part 64 wide with a stud in front of it that reaches 6 units past its right side:
    // the part's box runs from -32 to 38, its middle at 3.
    Write("ldraw/parts/brick.dat",
          "4 16 -32 -8 0 32 -8 0 32 8 0 -32 8 0\n"
          "2 16 0 0 -8 0 0 8\n"
          "1 4 32 0 -4 1 0 0 0 1 0 0 0 1 stud.dat\n");
    ASSERT_EQ(LoadText(Ref("1", "0 0 0", kIdentity, "brick.dat")), 1);
    state.zoom = 400;
    Draw(400, 200);
    const QzPixelRect plain = View().drawnRect;
    state.options.seams = true;
    Redraw(true);
    // Shrunk by a unit over its 70: half a unit, two pixels, off each side, the stud's
    // side as well as the part's.
    EXPECT_EQ(View().drawnRect.x0, plain.x0 + 2);
    EXPECT_EQ(View().drawnRect.x1, plain.x1 - 2);
}

// ---- Refreshing ----

TEST_F(ModelTest, RefreshAfterEachPartShowsEveryPartThatDrewSomething) {
    Write("ldraw/parts/face.dat", "4 16 -10 -10 0 10 -10 0 10 10 0 -10 10 0\n");
    Write("ldraw/parts/nothing.dat", "0 just a comment\n");
    ASSERT_EQ(LoadText(Ref("1", "-15 0 0", kIdentity, "face.dat") +
                       Ref("2", "0 0 0", kIdentity, "nothing.dat") +
                       Ref("4", "15 0 0", kIdentity, "face.dat")),
              1);
    Draw();
    EXPECT_EQ(sink.rects.size(), 1u);
    sink.rects.clear();
    state.options.refreshEachPart = true;
    Redraw(true);
    ASSERT_EQ(sink.rects.size(), 2u);
    EXPECT_EQ(sink.rects[0].x0, 0);   // the first part together with the clear
    EXPECT_EQ(sink.rects[1].x0, 37);  // the second face alone
}

// ---- Vertex lists ----

TEST_F(ModelTest, VertexListsHoldEachDistinctPointOnceAndDrawTheSame) {
    Write("ldraw/parts/pair.dat",
          "3 16 -20 -20 0 -20 20 0 20 -20 0\n"
          "3 16 20 -20 -0 -20 20 0 20 20 0\n"
          "2 24 -20 -20 0 20 20 0\n");
    ASSERT_EQ(LoadText(Ref("4", "0 0 0", kIdentity, "pair.dat")), 1);
    Draw();
    const std::vector<uint8_t> plain(View().pixels, View().pixels + 64 * 64 * 3);
    ASSERT_EQ(Count(3), 2);

    BuildVertexLists(model);
    ASSERT_EQ(boxes.box.calls.size(), 1u);
    EXPECT_EQ(boxes.box.calls[0].kind, plat::MessageKind::Exclamation);
    EXPECT_EQ(boxes.box.calls[0].text.substr(0, 9), "2 parts i");
    EXPECT_NE(boxes.box.calls[0].text.find("\nmax vertices: 8\nmax ver.list: 4"), std::string::npos)
        << boxes.box.calls[0].text;
    QzPart* pair = &model.parts[1];
    ASSERT_EQ(pair->name, "pair.dat");
    EXPECT_EQ(pair->vertexCount, 4);  // -0 and 0 are one vertex
    EXPECT_EQ(model.parts[0].vertexCount, 0);

    state.options.vertexLists = true;
    Redraw(true);
    EXPECT_EQ(Count(3), 0);  // the list path does not count
    EXPECT_EQ(Count(2), 1);
    EXPECT_EQ(std::vector<uint8_t>(View().pixels, View().pixels + 64 * 64 * 3), plain);
}

}  // namespace
}  // namespace render_test
