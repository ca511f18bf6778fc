// Nearly coincident surfaces: a face a quarter unit in front of a parallel face, and
// lines lying on a face, must keep every pixel they have when drawn alone, in any
// view, zoom and orientation of the face; lines four units behind it stay hidden.
#include <gtest/gtest.h>

#include "drawpass.h"
#include "render_fixture.h"
#include "viewtransform.h"

namespace render_test {
namespace {

// A large face of two triangles in colour 1 at z = 0, a small quadrilateral in colour
// 4 a quarter unit in front of it (towards -z), lines in colour 0 lying on the large
// face around the small one (some before the large face in the file, some after), and
// lines in colour 2 four units behind it.
const char* const kLayers =
    "2 2 -30 -25 4 30 -28 4\n"
    "2 2 -28 22 4 30 26 4\n"
    "2 0 -40 -40 0 40 -40 0\n"
    "2 0 -40 -40 0 -40 40 0\n"
    "2 0 -35 -30 0 30 -36 0\n"
    "2 0 -33 -22 0 -31 35 0\n"
    "3 1 -40 -40 0 40 -40 0 40 40 0\n"
    "3 1 -40 -40 0 40 40 0 -40 40 0\n"
    "4 4 -15 -15 -0.25 15 -15 -0.25 15 15 -0.25 -15 15 -0.25\n"
    "2 0 40 40 0 40 -40 0\n"
    "2 0 40 40 0 -40 40 0\n"
    "2 0 -36 33 0 38 27 0\n"
    "2 0 33 -37 0 29 36 0\n"
    "2 0 -37 37 0 37 -37 0\n";

struct Layout {
    const char* name;
    // Matrix of the reference that places the layers; the near side faces the views.
    const char* matrix;
};

// Upright (facing the front), lying (facing up) and slanted (facing front, up and
// right, turned about all three axes).
const Layout kLayouts[] = {
    {"upright", "1 0 0 0 1 0 0 0 1"},
    {"lying", "1 0 0 0 0 1 0 -1 0"},
    {"slanted",
     "0.851651 -0.252021 -0.459539 0.397131 0.882481 0.252021 0.34202 -0.397131 0.851651"},
};

struct DepthCase {
    int layout;
    int view;
    int zoom;
};

std::string CaseName(const ::testing::TestParamInfo<DepthCase>& info) {
    const DepthCase& c = info.param;
    return std::string(kLayouts[c.layout].name) + "View" + std::to_string(c.view) + "Zoom" +
           std::to_string(c.zoom);
}

class CoincidentSurfaces : public RenderTest, public ::testing::WithParamInterface<DepthCase> {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        state.options.shading = false;
        state.SetStandardView(GetParam().view);
        state.zoom = GetParam().zoom;
        Write("ldraw/parts/layers.dat", kLayers);
        ASSERT_EQ(LoadText(std::string("1 16 0 0 0 ") + kLayouts[GetParam().layout].matrix +
                           " layers.dat\n"),
                  1);
        ASSERT_EQ(init_zimage(image, 240, 240), 0);
        state.renderer->SetImage(image);
    }
    // Pixels of a palette colour after a full drawing, with or without the large face.
    int Count(int colour, bool largeFace) {
        state.options.showType3 = largeFace;
        RedrawModel(state, model, true);
        int n = 0;
        const QzZImage& img = state.renderer->image;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) n += PixelAt(img, x, y) == PaletteRgb(colour);
        return n;
    }
    QzRenderState state{&sink};
};

TEST_P(CoincidentSurfaces, NearFaceAndLinesKeepAllTheirPixels) {
    const int face = Count(4, false);
    const int lines = Count(0, false);
    ASSERT_GT(face, 30);
    ASSERT_GT(lines, 100);
    ASSERT_GT(Count(2, false), 10);
    EXPECT_EQ(Count(4, true), face);
    EXPECT_EQ(Count(0, true), lines);
    EXPECT_EQ(Count(2, true), 0);
}

INSTANTIATE_TEST_SUITE_P(Views, CoincidentSurfaces,
                         ::testing::Values(DepthCase{0, 1, 30}, DepthCase{0, 1, 100},
                                           DepthCase{0, 4, 250}, DepthCase{0, 5, 400},
                                           DepthCase{0, 9, 100}, DepthCase{1, 1, 30},
                                           DepthCase{1, 2, 100}, DepthCase{1, 13, 250},
                                           DepthCase{2, 1, 30}, DepthCase{2, 1, 100},
                                           DepthCase{2, 4, 250}, DepthCase{2, 9, 400}),
                         CaseName);

}  // namespace
}  // namespace render_test
