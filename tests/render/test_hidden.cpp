// Hidden geometry close behind visible faces: a pin lying inside a closed brick two
// units behind its walls, whose narrow sides near its outline are seen steeply, and a
// sticker a quarter unit in front of a slightly turned brick with a wall inside that is
// seen edge-on. Nothing of the hidden faces may come through, in view 0 and view 1 at
// several zooms.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "drawpass.h"
#include "render_fixture.h"
#include "viewtransform.h"

namespace render_test {
namespace {

// A closed cylinder of 24 sides along x from x0 to x1 about the line y = cy, z = 0.
std::string Cylinder(double x0, double x1, double cy, double radius) {
    std::ostringstream s;
    const double pi = 3.14159265358979;
    const int n = 24;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * pi * i / n, b = 2 * pi * (i + 1) / n;
        const double ya = cy + radius * std::cos(a), za = radius * std::sin(a);
        const double yb = cy + radius * std::cos(b), zb = radius * std::sin(b);
        s << "4 16 " << x0 << ' ' << ya << ' ' << za << ' ' << x1 << ' ' << ya << ' ' << za << ' '
          << x1 << ' ' << yb << ' ' << zb << ' ' << x0 << ' ' << yb << ' ' << zb << '\n';
        s << "3 16 " << x0 << ' ' << cy << " 0 " << x0 << ' ' << ya << ' ' << za << ' ' << x0 << ' '
          << yb << ' ' << zb << '\n';
        s << "3 16 " << x1 << ' ' << cy << " 0 " << x1 << ' ' << yb << ' ' << zb << ' ' << x1 << ' '
          << ya << ' ' << za << '\n';
    }
    return s.str();
}

struct HiddenCase {
    int view;
    int zoom;
};

std::string HiddenName(const ::testing::TestParamInfo<HiddenCase>& info) {
    return "View" + std::to_string(info.param.view) + "Zoom" + std::to_string(info.param.zoom);
}

class HiddenFaces : public RenderTest, public ::testing::WithParamInterface<HiddenCase> {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        state.SetStandardView(GetParam().view);
        state.zoom = GetParam().zoom;
        // A brick of 1 x 2 studs without studs, a pin inside it two units behind its
        // front and back walls, a sticker for its front face.
        Write("ldraw/parts/brick.dat", Box(-20, -24, -10, 20, 0, 10));
        Write("ldraw/parts/pin.dat", Cylinder(-19.5, 19.5, -12, 8));
        Write("ldraw/parts/sticker.dat", Box(-15, -20, -10.25, 15, -4, -10));
        // An optional line across the brick and its sticker, never drawn: the drawing
        // is centred on the model's box, which it keeps the same with or without them.
        Write("ldraw/parts/reach.dat", "5 24 -20 -24 -10.25 20 0 10 0 -40 0 0 40 0\n");
        state.options.showType5 = false;
        ASSERT_EQ(init_zimage(image, 320, 320), 0);
        state.renderer->SetImage(image);
    }
    // A wall inside the brick, four units behind its front face, whose plane holds the
    // direction of view for a brick placed with the given turn: it is seen exactly
    // edge-on, as the inner walls of real parts sometimes are.
    std::string EdgeOnRib(const double turn[3][3]) {
        // The direction d in the brick's own coordinates that the view maps onto
        // depth alone: view x turn x d = (0, 0, 1).
        double m[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                m[i][j] = 0;
                for (int k = 0; k < 3; ++k) m[i][j] += state.view.m[i][k] * turn[k][j];
            }
        // Third column of the inverse: the cofactors of the third row, over the
        // determinant.
        double d[3] = {m[0][1] * m[1][2] - m[0][2] * m[1][1], m[0][2] * m[1][0] - m[0][0] * m[1][2],
                       m[0][0] * m[1][1] - m[0][1] * m[1][0]};
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        for (double& v : d) v *= 3 / length;
        // Across the view: along x, with d as the other side.
        std::ostringstream s;
        s.precision(9);
        const double c[3] = {0, -12, -6};
        auto point = [&](double along, double sx) {
            s << ' ' << c[0] + sx + along * d[0] << ' ' << c[1] + along * d[1] << ' '
              << c[2] + along * d[2];
        };
        // A strip of triangles whose corners lie apart along the wall, as the fans of
        // curved parts have them.
        for (int i = 0; i < 6; ++i) {
            s << "3 16";
            point(i % 2 ? 1 : -1, -12 + 4 * i);
            point(i % 2 ? -1 : 1, -8 + 4 * i);
            point(i % 2 ? 1 : -1, -4 + 4 * i);
            s << '\n';
        }
        return s.str();
    }
    // The picture of a model text, pixels from the top row.
    std::vector<Rgb> Picture(const std::string& text) {
        EXPECT_EQ(LoadText(text, "model.ldr", state.palette), 1);
        RedrawModel(state, model, true);
        std::vector<Rgb> out;
        const QzZImage& img = state.renderer->image;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) out.push_back(PixelAt(img, x, y));
        return out;
    }
    QzRenderState state{&sink};
};

TEST_P(HiddenFaces, APinInsideABrickChangesNoPixel) {
    const std::string brick = "1 4 0 8 0 1 0 0 0 1 0 0 0 1 brick.dat\n";
    const std::string pin = "1 2 0 8 0 1 0 0 0 1 0 0 0 1 pin.dat\n";
    const std::string reach = "1 16 0 8 0 1 0 0 0 1 0 0 0 1 reach.dat\n";
    const std::vector<Rgb> alone = Picture(reach + brick);
    const std::vector<Rgb> both = Picture(reach + brick + pin);
    int shown = 0;
    for (size_t i = 0; i < alone.size(); ++i) shown += alone[i] != both[i];
    EXPECT_EQ(shown, 0);
}

TEST_P(HiddenFaces, ATurnedBrickNeverShowsThroughItsSticker) {
    // Turned 5 degrees about the vertical axis.
    const std::string turn = " 0.996195 0 0.087156 0 1 0 -0.087156 0 0.996195 ";
    const double kTurn[3][3] = {{0.996195, 0, 0.087156}, {0, 1, 0}, {-0.087156, 0, 0.996195}};
    const std::string brick = "1 4 0 8 0" + turn + "brick.dat\n";
    Write("ldraw/parts/rib.dat", EdgeOnRib(kTurn));
    const std::string rib = "1 4 0 8 0" + turn + "rib.dat\n";
    const std::string sticker = "1 15 0 8 0" + turn + "sticker.dat\n";
    const std::string reach = "1 16 0 8 0" + turn + "reach.dat\n";
    const std::vector<Rgb> alone = Picture(reach + sticker);
    const std::vector<Rgb> both = Picture(reach + brick + rib + sticker);
    const int w = state.renderer->image.width, h = state.renderer->image.height;
    // Every pixel of the sticker whose eight neighbours are the sticker's too.
    int inside = 0, lost = 0;
    for (int y = 1; y + 1 < h; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            bool all = true;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    all = all && alone[(y + dy) * w + x + dx] != kBackground;
            if (!all) continue;
            ++inside;
            lost += both[y * w + x] != alone[y * w + x];
        }
    ASSERT_GT(inside, 100);
    EXPECT_EQ(lost, 0);
}

INSTANTIATE_TEST_SUITE_P(Views, HiddenFaces,
                         ::testing::Values(HiddenCase{0, 160}, HiddenCase{0, 250},
                                           HiddenCase{0, 500}, HiddenCase{1, 160},
                                           HiddenCase{1, 250}, HiddenCase{1, 500}),
                         HiddenName);

}  // namespace
}  // namespace render_test
