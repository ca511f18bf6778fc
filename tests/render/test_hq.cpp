// The high-quality drawing: glass blended rather than dithered, stacked glass adding
// up, flat faces one shade, curved surfaces shaded smoothly across their optional
// lines, anti-aliased edges, the same picture for any number of threads, and the
// normal drawing left as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>

#include "drawpass.h"
#include "render_fixture.h"
#include "render_math.h"
#include "viewtransform.h"

namespace render_test {
namespace {

// The side of a cylinder of 24 facets along x from x0 to x1 about the x axis, with an
// optional line along every edge between two facets when smooth.
std::string Cylinder(double x0, double x1, double radius, bool smooth) {
    std::ostringstream s;
    const double pi = 3.14159265358979;
    const int n = 24;
    auto y = [&](int i) { return radius * std::cos(2 * pi * i / n); };
    auto z = [&](int i) { return radius * std::sin(2 * pi * i / n); };
    for (int i = 0; i < n; ++i) {
        s << "4 16 " << x0 << ' ' << y(i) << ' ' << z(i) << ' ' << x1 << ' ' << y(i) << ' ' << z(i)
          << ' ' << x1 << ' ' << y(i + 1) << ' ' << z(i + 1) << ' ' << x0 << ' ' << y(i + 1) << ' '
          << z(i + 1) << '\n';
        if (smooth)
            s << "5 24 " << x0 << ' ' << y(i) << ' ' << z(i) << ' ' << x1 << ' ' << y(i) << ' '
              << z(i) << ' ' << x0 << ' ' << y(i - 1) << ' ' << z(i - 1) << ' ' << x0 << ' '
              << y(i + 1) << ' ' << z(i + 1) << '\n';
    }
    return s.str();
}

int Sum(const Rgb& c) { return c[0] + c[1] + c[2]; }

class HighQuality : public RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        ASSERT_EQ(init_zimage(image, kWidth, kHeight), 0);
        state.renderer->SetImage(image);
        state.SetStandardView(9);  // from the front: x right, y down, nearer is less z
        state.zoom = 100;          // a pixel per unit
        state.options.highQuality = true;
        Write("ldraw/parts/wall.dat", Box(-60, -60, 0, 60, 60, 10));
        Write("ldraw/parts/pane.dat", Box(-30, -30, -2, 30, 30, 2));
        Write("ldraw/parts/half.dat", Box(0, -30, -2, 30, 30, 2));
        Write("ldraw/parts/block.dat", Box(-40, -40, -40, 40, 40, 40));
        Write("ldraw/parts/round.dat", Cylinder(-60, 60, 50, true));
        Write("ldraw/parts/faceted.dat", Cylinder(-60, 60, 50, false));
    }
    void Load(const std::string& text) { ASSERT_EQ(LoadText(text, "model.ldr", state.palette), 1); }
    // Draws the loaded model; its pixels from the top row.
    std::vector<Rgb> Draw() {
        RedrawModel(state, model, true);
        std::vector<Rgb> out;
        const QzZImage& img = state.renderer->image;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) out.push_back(PixelAt(img, x, y));
        return out;
    }
    Rgb At(int x, int y) const { return PixelAt(state.renderer->image, x, y); }
    // The pixel a point of the model falls in.
    void ScreenOf(double x, double y, double z, int& px, int& py) {
        const QzMatrix m = state.ScreenMatrix(model, kWidth, kHeight);
        QzVector p;
        QzTransform(p, m,
                    QzVector{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
        px = static_cast<int>(p.x);
        py = static_cast<int>(p.y);
    }

    static constexpr int kWidth = 200, kHeight = 240;
    // The wall's centre lands on (100, 160): a model centred on x and y.
    static constexpr int kX = 100, kY = 160;
    QzRenderState state{&sink};
};

// A white wall, a blue glass pane in front of its middle, and a second pane in front of
// the pane's right half.
const char* const kGlass =
    "1 15 0 0 0 1 0 0 0 1 0 0 0 1 wall.dat\n"
    "1 33 0 0 -30 1 0 0 0 1 0 0 0 1 pane.dat\n"
    "1 33 0 0 -50 1 0 0 0 1 0 0 0 1 half.dat\n";

TEST_F(HighQuality, GlassOverAWhiteWallBlendsInEveryPixel) {
    Load(kGlass);
    Draw();
    const Rgb wall = At(kX - 45, kY);
    EXPECT_GT(Sum(wall), 600);  // white, lit
    // Inside one layer of glass: one colour in every pixel, between the wall's and
    // the glass's own.
    const Rgb glass = At(kX - 15, kY);
    for (int y = kY - 25; y <= kY + 25; ++y)
        for (int x = kX - 25; x <= kX - 5; ++x) ASSERT_EQ(At(x, y), glass) << x << ',' << y;
    EXPECT_LT(glass[0], wall[0] - 40);  // the blue takes red away
    EXPECT_GT(glass[0], 40);            // the white still shows through
    EXPECT_GT(glass[2], glass[0] + 40);

    // The normal drawing dithers the same glass: neighbouring pixels alternate.
    state.options.highQuality = false;
    Draw();
    EXPECT_NE(At(kX - 15, kY), At(kX - 14, kY));
    EXPECT_EQ(At(kX - 15, kY), At(kX - 13, kY));
}

TEST_F(HighQuality, TwoLayersOfGlassAreDarkerThanOne) {
    Load(kGlass);
    Draw();
    const Rgb one = At(kX - 15, kY), two = At(kX + 15, kY);
    EXPECT_LT(Sum(two), Sum(one) - 30);
    EXPECT_LT(two[0], one[0]);
    for (int y = kY - 25; y <= kY + 25; ++y)
        for (int x = kX + 5; x <= kX + 25; ++x) ASSERT_EQ(At(x, y), two) << x << ',' << y;
}

// Two panes of glass of different colours, one before the other, over the white wall:
// the farther is blended first, so the nearer colour leads, whichever comes first in
// the file.
TEST_F(HighQuality, GlassOfTwoColoursBlendsTheFarthestFirst) {
    auto seen = [&](int nearColour, int farColour, bool nearListedFirst) {
        const std::string nearPane =
            "1 " + std::to_string(nearColour) + " 0 0 -50 1 0 0 0 1 0 0 0 1 pane.dat\n";
        const std::string farPane =
            "1 " + std::to_string(farColour) + " 0 0 -30 1 0 0 0 1 0 0 0 1 pane.dat\n";
        Load("1 15 0 0 0 1 0 0 0 1 0 0 0 1 wall.dat\n" +
             (nearListedFirst ? nearPane + farPane : farPane + nearPane));
        Draw();
        return At(kX, kY);
    };
    constexpr int kBlue = 33, kRed = 36;
    const Rgb blueBeforeRed = seen(kBlue, kRed, true);
    EXPECT_EQ(seen(kBlue, kRed, false), blueBeforeRed);
    const Rgb redBeforeBlue = seen(kRed, kBlue, true);
    EXPECT_EQ(seen(kRed, kBlue, false), redBeforeBlue);
    EXPECT_GT(blueBeforeRed[2], blueBeforeRed[0] + 30);
    EXPECT_GT(redBeforeBlue[0], redBeforeBlue[2] + 30);
}

// The light stands above the eye: seen from the front, a slope turned up towards it is
// lighter than its mirror turned down at the same angle.
TEST_F(HighQuality, TheLightComesFromAbove) {
    // Planes through the origin at 45 degrees: y + z = 0 faces up and to the viewer,
    // y - z = 0 down and to the viewer (up is -y, the viewer at -z).
    Write("ldraw/parts/up.dat", "4 16 -40 -20 20 40 -20 20 40 20 -20 -40 20 -20\n");
    Write("ldraw/parts/down.dat", "4 16 -40 -20 -20 40 -20 -20 40 20 20 -40 20 20\n");
    state.options.showType2 = false;
    auto middle = [&](const char* part) {
        Load(std::string("1 7 0 0 0 1 0 0 0 1 0 0 0 1 ") + part + "\n");
        Draw();
        int x, y;
        ScreenOf(0, 0, 0, x, y);
        EXPECT_NE(At(x, y), kBackground) << part;
        return Sum(At(x, y));
    };
    const int up = middle("up.dat"), down = middle("down.dat");
    EXPECT_GT(up, down + 20);
}

TEST_F(HighQuality, AFlatFaceIsOneShade) {
    Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 block.dat\n");
    // The middle of the faces each view shows: front, top, right.
    const std::array<double, 3> front{0, 0, -40}, top{0, -40, 0}, right{40, 0, 0};
    const std::vector<std::pair<int, std::vector<std::array<double, 3>>>> views = {
        {1, {front, top, right}}, {9, {front}}, {13, {top}}};
    for (const auto& [view, faces] : views) {
        state.SetStandardView(view);
        Draw();
        for (const auto& c : faces) {
            int px, py;
            ScreenOf(c[0], c[1], c[2], px, py);
            const Rgb middle = At(px, py);
            EXPECT_NE(middle, kBackground);
            for (int y = py - 6; y <= py + 6; ++y)
                for (int x = px - 6; x <= px + 6; ++x)
                    ASSERT_EQ(At(x, y), middle) << "view " << view << " at " << x << ',' << y;
        }
    }
}

TEST_F(HighQuality, BothSidesOfAFaceAreLitAlike) {
    // One square facing the viewer, wound one way and the other.
    Write("ldraw/parts/front.dat", "4 16 -30 -30 0 30 -30 0 30 30 0 -30 30 0\n");
    Write("ldraw/parts/back.dat", "4 16 -30 30 0 30 30 0 30 -30 0 -30 -30 0\n");
    for (int view : {1, 9}) {
        state.SetStandardView(view);
        Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 front.dat\n");
        const std::vector<Rgb> front = Draw();
        Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 back.dat\n");
        EXPECT_EQ(Draw(), front) << "view " << view;
        EXPECT_NE(At(kX, kY), kBackground);
    }
}

TEST_F(HighQuality, TheLightFollowsTheModelNotItsOrigin) {
    const std::string parts =
        "1 4 0 0 0 1 0 0 0 1 0 0 0 1 block.dat\n"
        "1 14 0 -90 0 1 0 0 0 1 0 0 0 1 round.dat\n";
    const std::string moved =
        "1 4 900 -400 1500 1 0 0 0 1 0 0 0 1 block.dat\n"
        "1 14 900 -490 1500 1 0 0 0 1 0 0 0 1 round.dat\n";
    for (int view : {1, 9}) {
        state.SetStandardView(view);
        Load(parts);
        const std::vector<Rgb> here = Draw();
        Load(moved);
        const std::vector<Rgb> there = Draw();
        // The same picture, but for rounding along the outlines.
        size_t differ = 0;
        for (size_t i = 0; i < here.size(); ++i)
            if (std::abs(Sum(here[i]) - Sum(there[i])) > 6) ++differ;
        EXPECT_LT(differ, here.size() / 200) << "view " << view;
    }
}

TEST_F(HighQuality, ABigModelIsLitMoreFromTheFrontThanASmallOne) {
    // The block's front face, seen straight on: alone, the light stands well to the
    // upper right of it; with a wall far to its right, nearly in front of it.
    state.zoom = 25;
    auto frontOfTheBlock = [&](const std::string& text) {
        Load(text);
        Draw();
        int x, y;
        ScreenOf(0, 0, -40, x, y);
        return At(x, y);
    };
    const std::string block = "1 4 0 0 0 1 0 0 0 1 0 0 0 1 block.dat\n";
    const Rgb alone = frontOfTheBlock(block);
    const Rgb beside = frontOfTheBlock(block + "1 15 600 0 0 1 0 0 0 1 0 0 0 1 wall.dat\n");
    const Rgb red = PaletteRgb(4);
    EXPECT_GT(alone[0], red[0] / 2);
    EXPECT_LT(alone[0], red[0] - 15);
    EXPECT_GE(beside[0], red[0]);
}

TEST_F(HighQuality, ACylinderIsShadedSmoothlyAcrossItsOptionalLines) {
    state.options.showType5 = false;
    // The largest step between two pixels down the middle of the cylinder, and the
    // difference between its top and its middle.
    auto steps = [&](const char* part, int& largest, int& range) {
        Load(std::string("1 4 0 0 0 1 0 0 0 1 0 0 0 1 ") + part + "\n");
        Draw();
        largest = 0;
        int lo = 1000, hi = 0;
        for (int y = kY - 40; y < kY + 40; ++y) {
            largest = std::max(largest, std::abs(Sum(At(kX, y + 1)) - Sum(At(kX, y))));
            lo = std::min(lo, Sum(At(kX, y)));
            hi = std::max(hi, Sum(At(kX, y)));
        }
        range = hi - lo;
    };
    int smoothStep, smoothRange, facetStep, facetRange;
    steps("round.dat", smoothStep, smoothRange);
    steps("faceted.dat", facetStep, facetRange);
    EXPECT_GT(smoothRange, 30);  // the light falls differently across it
    EXPECT_LE(smoothStep, 8);
    EXPECT_GE(facetStep, 3 * smoothStep);
}

TEST_F(HighQuality, EdgesAreAntiAliased) {
    state.options.showType2 = false;
    Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 block.dat\n");
    state.SetStandardView(1);
    // The normal drawing: the background and one shade per face, nothing between.
    state.options.highQuality = false;
    const std::vector<Rgb> normal = Draw();
    EXPECT_LE(std::set<Rgb>(normal.begin(), normal.end()).size(), 4u);
    state.options.highQuality = true;
    const std::vector<Rgb> high = Draw();
    // Along the outline, pixels part background and part face.
    int between = 0;
    for (const Rgb& c : high)
        if (c != kBackground && c[2] > c[0] && c[1] > 20) ++between;  // red over sky blue
    EXPECT_GT(between, 40);
}

TEST_F(HighQuality, ThePictureIsTheSameForAnyNumberOfThreads) {
    Write("ldraw/parts/stud.dat", Cylinder(-6, 6, 6, true));
    Load(std::string(kGlass) +
         "1 4 0 -70 -20 1 0 0 0 1 0 0 0 1 block.dat\n"
         "1 14 20 -120 -20 0 1 0 -1 0 0 0 0 1 round.dat\n");
    for (int view : {1, 5, 9}) {
        state.SetStandardView(view);
        state.threads = 1;
        const std::vector<Rgb> one = Draw();
        for (int threads : {2, 3, 7}) {
            state.threads = threads;
            EXPECT_EQ(Draw(), one) << "view " << view << ", " << threads << " threads";
        }
    }
}

TEST_F(HighQuality, AModelZoomedFarPastThePictureStillDraws) {
    // Corners billions of samples off the picture (beyond what an int holds): the faces
    // through the middle of the view still fill it.
    Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 block.dat\n");
    state.SetStandardView(1);
    state.zoom = 2'000'000'000;
    for (int threads : {1, 2}) {
        state.threads = threads;
        Draw();
        EXPECT_NE(At(kWidth / 2, kHeight / 2), kBackground) << threads << " threads";
    }
}

// A disc of thin triangles from its centre, each sharing its edges with its neighbours:
// every sample inside is covered by one of them, so every pixel well inside shows the
// face's one shade, none a share of the background. Fans of many triangles (a few
// samples wide at the rim) and of a few wide ones. (Their edges miss the sample centres:
// a sample exactly on an edge two faces share may be left to neither by the rounding of
// their edge functions.)
TEST_F(HighQuality, AFanOfThinTrianglesLeavesNoSampleUncovered) {
    state.options.showType2 = false;
    for (int count : {7, 12, 90, 181}) {
        for (double turn : {0.1234, 0.3717}) {
            std::ostringstream fan;
            const double pi = 3.14159265358979, r = 90;
            for (int i = 0; i < count; ++i) {
                const double a0 = 2 * pi * (i + turn) / count, a1 = 2 * pi * (i + 1 + turn) / count;
                fan << "3 4 0.31 0.17 -20 " << r * std::cos(a0) << ' ' << r * std::sin(a0)
                    << " -20 " << r * std::cos(a1) << ' ' << r * std::sin(a1) << " -20\n";
            }
            // A file of its own for each (a file of the same name could be taken as read).
            const std::string name = "fan" + std::to_string(count) + "-" +
                                     std::to_string(static_cast<int>(turn * 10)) + ".dat";
            Write("ldraw/parts/" + name, fan.str());
            Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 " + name + "\n");
            Draw();
            int cx = 0, cy = 0;
            ScreenOf(0, 0, -20, cx, cy);
            // Within the rim's shortest reach (its chords) less three pixels (the centre's
            // pixel is a pixel off at most).
            const double inside = r * std::cos(pi / count) - 3;
            const Rgb shade = At(cx + 20, cy + 7);
            ASSERT_NE(shade, kBackground);
            int other = 0;
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x)
                    if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) < inside && At(x, y) != shade)
                        ++other;
            EXPECT_EQ(other, 0) << count << " triangles, turned " << turn;
        }
    }
}

TEST_F(HighQuality, TheNormalDrawingStaysAsItWas) {
    Load(std::string(kGlass) + "1 4 0 -70 -20 1 0 0 0 1 0 0 0 1 block.dat\n");
    state.SetStandardView(1);
    state.options.highQuality = false;
    const std::vector<Rgb> before = Draw();
    state.options.highQuality = true;
    const std::vector<Rgb> high = Draw();
    EXPECT_NE(high, before);
    state.options.highQuality = false;
    EXPECT_EQ(Draw(), before);
}

}  // namespace
}  // namespace render_test
