// Textures and finishes in the high-quality drawing: an image laid upright and not
// mirrored, the same from a "!DATA" section as from a "textures" folder, no FALLBACK
// geometry (while the normal drawing keeps drawing exactly what it drew), NEXT, cut-outs
// showing the face's colour, a spherical mapping across its seam, a missing image, and
// the finishes of LDConfig.ldr the same for any number of threads.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "drawpass.h"
#include "render_fixture.h"
#include "render_math.h"
#include "viewtransform.h"

namespace render_test {
namespace {

using testing_support::Base64Lines;
using testing_support::EncodePng;

// Four quadrants of 2 x 2 texels: red top left, green top right, blue bottom left,
// yellow bottom right.
std::vector<uint8_t> Quadrants() { return testing_support::QuadrantTexels({255, 255, 0, 255}); }

// A square facing the viewer from the front (z = 0, -40 to 40), the image laid on it
// with its top left corner at the square's.
const char* const kSquare = "4 16 -40 -40 0 40 -40 0 40 40 0 -40 40 0\n";
const char* const kPlanar = "0 !TEXMAP START PLANAR -40 -40 0 40 -40 0 -40 40 0 ";

class Textures : public RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        ASSERT_EQ(init_zimage(image, kWidth, kHeight), 0);
        state.renderer->SetImage(image);
        state.SetStandardView(9);  // from the front: x right, y down
        state.zoom = 100;          // a pixel per unit
        state.options.highQuality = true;
        state.options.showType2 = false;
        quadrants = EncodePng(4, 4, Quadrants());
    }
    void Load(const std::string& text, const std::string& name = "model.ldr") {
        ASSERT_EQ(LoadText(text, name, state.palette), 1);
    }
    std::vector<Rgb> Draw() {
        RedrawModel(state, model, true);
        std::vector<Rgb> out;
        const QzZImage& img = state.renderer->image;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) out.push_back(PixelAt(img, x, y));
        return out;
    }
    // The pixel a point of the model falls in.
    Rgb AtPoint(double x, double y, double z) {
        const QzMatrix m = state.ScreenMatrix(model, kWidth, kHeight);
        QzVector p;
        QzTransform(p, m,
                    QzVector{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
        return PixelAt(state.renderer->image, static_cast<int>(p.x), static_cast<int>(p.y));
    }

    static constexpr int kWidth = 200, kHeight = 200;
    QzRenderState state{&sink};
    std::string quadrants;
};

// Whether a colour is mostly the given primary mix (each channel high or low).
::testing::AssertionResult Is(const Rgb& c, bool r, bool g, bool b) {
    const bool ok = (c[0] > 140) == r && (c[1] > 140) == g && (c[2] > 140) == b &&
                    (r || c[0] < 110) && (g || c[1] < 110) && (b || c[2] < 110);
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << c[0] << ',' << c[1] << ',' << c[2];
}

// A sticker part: the image on the square, a blank square as its fallback.
std::string Sticker(const std::string& image) {
    return std::string(kPlanar) + image + "\n0 !: " + kSquare + "0 !TEXMAP FALLBACK\n" + kSquare +
           "0 !TEXMAP END\n";
}

TEST_F(Textures, APlanarImageIsUprightAndNotMirrored) {
    Write("ldraw/parts/textures/quad.png", quadrants);
    Write("ldraw/parts/sticker.dat", Sticker("quad.png"));
    Load("1 15 0 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n");
    EXPECT_EQ(model.inputLog, "");
    Draw();
    EXPECT_TRUE(Is(AtPoint(-30, -30, 0), true, false, false));  // top left: red
    EXPECT_TRUE(Is(AtPoint(30, -30, 0), false, true, false));   // top right: green
    EXPECT_TRUE(Is(AtPoint(-30, 30, 0), false, false, true));   // bottom left: blue
    EXPECT_TRUE(Is(AtPoint(30, 30, 0), true, true, false));     // bottom right: yellow
    // The normal drawing shows the fallback in the part's colour, white.
    state.options.highQuality = false;
    Draw();
    EXPECT_TRUE(Is(AtPoint(-30, -30, 0), true, true, true));
}

TEST_F(Textures, TheSamePictureFromDataAndFromTheTexturesFolder) {
    Write("ldraw/parts/textures/quad.png", quadrants);
    Write("ldraw/parts/sticker.dat", Sticker("quad.png"));
    Load("1 15 0 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n");
    const std::vector<Rgb> fromFolder = Draw();
    std::string mpd =
        "0 FILE main.ldr\n1 15 0 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n"
        "0 FILE sticker.dat\n" +
        Sticker("own.png") + "0 !DATA own.png\n";
    for (const std::string& line : Base64Lines(quadrants)) mpd += "0 !: " + line + "\n";
    Write("ldraw/parts/sticker.dat", "");  // the model's own section is found first
    model = QzModel();
    Load(mpd, "model.mpd");
    EXPECT_EQ(model.inputLog, "");
    EXPECT_EQ(Draw(), fromFolder);
}

// The same file with every texture meta-command a plain comment of the same length.
std::string Commented(std::string text) {
    for (size_t at = text.find("0 !"); at != std::string::npos; at = text.find("0 !", at))
        text[at + 2] = 'X';
    return text;
}

TEST_F(Textures, FallbackGeometryIsLeftOutAndTheNormalDrawingStaysAsItWas) {
    Write("ldraw/parts/textures/quad.png", quadrants);
    // The fallback: a red square beside the sticker's place.
    const std::string text = std::string(kPlanar) + "quad.png\n0 !: " + kSquare +
                             "0 !TEXMAP FALLBACK\n4 4 50 -40 0 90 -40 0 90 40 0 50 40 0\n"
                             "0 !TEXMAP END\n4 1 -90 -40 0 -50 -40 0 -50 40 0 -90 40 0\n";
    Load(text);
    Draw();
    EXPECT_TRUE(Is(AtPoint(-30, -30, 0), true, false, false));
    EXPECT_EQ(AtPoint(70, 0, 0), kBackground);  // no fallback
    EXPECT_TRUE(Is(AtPoint(-70, 0, 0), false, false, true));

    state.options.highQuality = false;
    const std::vector<Rgb> normal = Draw();
    EXPECT_NE(AtPoint(70, 0, 0), kBackground);  // the fallback, as before
    const QzDrawStatistics counts = state.renderer->statistics;
    model = QzModel();
    Load(Commented(text));
    EXPECT_EQ(Draw(), normal);
    for (int t = 1; t <= 5; ++t)
        EXPECT_EQ(state.renderer->statistics.typeCount[t], counts.typeCount[t]);
}

TEST_F(Textures, NextTexturesOneLine) {
    Write("ldraw/parts/textures/quad.png", quadrants);
    Load(std::string("0 !TEXMAP NEXT PLANAR -40 -40 0 40 -40 0 -40 40 0 quad.png\n") +
         "3 15 -40 -40 0 40 -40 0 -40 40 0\n3 15 40 -40 0 40 40 0 -40 40 0\n");
    Draw();
    EXPECT_TRUE(Is(AtPoint(-30, -30, 0), true, false, false));  // the first triangle
    EXPECT_TRUE(Is(AtPoint(30, 30, 0), true, true, true));      // the second: white
}

TEST_F(Textures, ACutOutTexelShowsTheFaceColour) {
    // Left half opaque red, right half transparent.
    Write("ldraw/parts/textures/cut.png", EncodePng(2, 1, {255, 0, 0, 255, 0, 255, 0, 0}));
    Write("ldraw/parts/sticker.dat", Sticker("cut.png"));
    Write("ldraw/parts/blank.dat", kSquare);
    Load("1 1 0 0 0 1 0 0 0 1 0 0 0 1 blank.dat\n");
    Draw();
    const Rgb face = AtPoint(30, 0, 0);
    Load("1 1 0 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n");
    Draw();
    EXPECT_TRUE(Is(AtPoint(-30, 0, 0), true, false, false));
    EXPECT_EQ(AtPoint(30, 0, 0), face);
    EXPECT_TRUE(Is(face, false, false, true));
}

// A band around the y axis of 24 facets, its corners 7.5 degrees off the axes so that a
// facet crosses the seam behind a spherical mapping whose middle is towards +x.
std::string Band() {
    std::ostringstream s;
    const double pi = 3.14159265358979;
    for (int i = 0; i < 24; ++i) {
        const double a0 = (7.5 + 15 * i) * pi / 180, a1 = (7.5 + 15 * (i + 1)) * pi / 180;
        const double x0 = 40 * std::cos(a0), z0 = 40 * std::sin(a0);
        const double x1 = 40 * std::cos(a1), z1 = 40 * std::sin(a1);
        s << "0 !: 4 16 " << x0 << " -20 " << z0 << ' ' << x1 << " -20 " << z1 << ' ' << x1
          << " 20 " << z1 << ' ' << x0 << " 20 " << z0 << '\n';
    }
    return s.str();
}

TEST_F(Textures, ASphericalMappingStaysWholeAcrossItsSeam) {
    // Red at both ends of the image, blue between: the seam behind shows red.
    Write("ldraw/parts/textures/seam.png",
          EncodePng(4, 1, {255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255, 255, 0, 0, 255}));
    Write("ldraw/parts/ball.dat",
          "0 !TEXMAP START SPHERICAL 0 0 0 40 0 0 0 0 40 360 180 seam.png\n" + Band() +
              "0 !TEXMAP END\n");
    // Turned so that the part's -x, the seam, faces the viewer.
    Load("1 15 0 0 0 0 0 -1 0 1 0 1 0 0 ball.dat\n");
    EXPECT_EQ(model.inputLog, "");
    Draw();
    for (double x : {-4.0, -1.0, 0.0, 1.0, 4.0})
        EXPECT_TRUE(Is(AtPoint(x, 0, -40), true, false, false)) << x;
    // Turned the other way, the middle of the image: blue.
    Load("1 15 0 0 0 0 0 1 0 1 0 -1 0 0 ball.dat\n");
    Draw();
    EXPECT_TRUE(Is(AtPoint(0, 0, -40), false, false, true));
}

TEST_F(Textures, AMissingImageLeavesThePartAsWithoutTextures) {
    Write("ldraw/parts/sticker.dat", Sticker("gone.png"));
    Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n");
    EXPECT_NE(model.inputLog.find("Texture gone.png not found"), std::string::npos);
    const std::vector<Rgb> drawn = Draw();
    Write("ldraw/parts/plain.dat", kSquare);
    Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 plain.dat\n");
    EXPECT_EQ(Draw(), drawn);
}

// Every hostile image, name or block of a sticker: a warning at the file and line that
// hold it, and the part drawn as without textures, its fallback square in its colour.
TEST_F(Textures, HostileStickersWarnAtTheirLinesAndDrawUntextured) {
    Write("ldraw/parts/blank.dat", kSquare);
    Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 blank.dat\n");
    const std::vector<Rgb> untextured = Draw();
    std::string truncated = quadrants.substr(0, quadrants.size() / 2);
    std::string damaged = quadrants;
    damaged[damaged.size() - 20] ^= 0x55;  // in the image data: its checksum fails
    // The header's size made to claim 30000 x 30000, its checksum made to fit.
    std::string claims = quadrants;
    for (int i = 0; i < 4; ++i) claims[16 + i] = claims[20 + i] = "\x00\x00\x75\x30"[i];
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 12; i < 29; ++i) {
        crc ^= static_cast<uint8_t>(claims[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    for (int i = 0; i < 4; ++i)
        claims[29 + i] = static_cast<char>((crc ^ 0xFFFFFFFFu) >> (24 - 8 * i));
    const struct {
        const char* name;
        std::string png;
    } images[] = {{"junk.png", "not a png"},
                  {"truncated.png", truncated},
                  {"damaged.png", damaged},
                  {"claims.png", claims},
                  {"bomb.png", testing_support::PngBomb(16384, 16384)}};
    for (const auto& image : images)
        Write(std::string("ldraw/parts/textures/") + image.name, image.png);
    std::string base64;
    for (const std::string& line : testing_support::Base64Lines(quadrants))
        base64 += "0 !: " + line + "\n";
    struct Case {
        std::string sticker;  // the part's file; "%" the fallback square's lines
        std::string file;     // the file the warning names, and its line
        int line;
    };
    const std::string fallback = std::string("0 !TEXMAP FALLBACK\n") + kSquare + "0 !TEXMAP END\n";
    const std::string square = std::string("0 !: ") + kSquare;
    auto start = [&](const std::string& image) { return std::string(kPlanar) + image + "\n"; };
    const std::vector<Case> cases = {
        {start("junk.png") + square + fallback, "sticker.dat", 1},
        {start("truncated.png") + square + fallback, "sticker.dat", 1},
        {start("damaged.png") + square + fallback, "sticker.dat", 1},
        {start("claims.png") + square + fallback, "sticker.dat", 1},
        {start("bomb.png") + square + fallback, "sticker.dat", 1},
        {start("../../etc/passwd") + square + fallback, "sticker.dat", 1},
        {start("/dev/zero") + square + fallback, "sticker.dat", 1},
        {start("../textures/quad.png") + square + fallback, "sticker.dat", 1},
        {std::string("0 !TEXMAP END\n") + kSquare, "sticker.dat", 1},
        {std::string("0 !TEXMAP FALLBACK\n") + kSquare, "sticker.dat", 1},
        {std::string("0 !TEXMAP START PLANAR 1 2 3 quad.png\n") + square + fallback, "sticker.dat",
         1},
        {std::string(kPlanar) + "\n" + square + fallback, "sticker.dat", 1},
        {square + kSquare, "sticker.dat", 1},
        // In the model's own file: base64 that is not, and a section without lines.
        {"0 FILE main.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n0 FILE sticker.dat\n" +
             start("own.png") + square + fallback + "0 !DATA own.png\n0 !: ####\n" + base64,
         "model.mpd", 9},
        {"0 FILE main.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n0 FILE sticker.dat\n" +
             start("own.png") + square + fallback + "0 !DATA own.png\n",
         "model.mpd", 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sticker);
        model = QzModel();
        if (c.file == "model.mpd") {
            Write("ldraw/parts/sticker.dat", kSquare);  // the model's own is found first
            Load(c.sticker, "model.mpd");
        } else {
            Write("ldraw/parts/sticker.dat", c.sticker);
            Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n");
        }
        const std::string where = c.file + "\" Line " + std::to_string(c.line) + ":";
        EXPECT_NE(model.inputLog.find(where), std::string::npos) << model.inputLog;
        EXPECT_EQ(Draw(), untextured);
    }
}

// The model file's own mapping laid on a part it places inside its block.
TEST_F(Textures, APartPlacedInABlockTakesTheFilesMapping) {
    Write("ldraw/parts/textures/quad.png", quadrants);
    Write("ldraw/parts/blank.dat", kSquare);
    // The part's square is 20 wide at x 20 to 60; the mapping laid in the model's
    // coordinates over x 20 to 100: the part shows the image's left half.
    Load(
        "0 !TEXMAP START PLANAR 20 -40 0 100 -40 0 20 40 0 quad.png\n"
        "1 15 40 0 0 0.25 0 0 0 1 0 0 0 1 blank.dat\n0 !TEXMAP END\n");
    EXPECT_EQ(model.inputLog, "");
    Draw();
    EXPECT_TRUE(Is(AtPoint(30, -30, 0), true, false, false));
    EXPECT_TRUE(Is(AtPoint(30, 30, 0), false, false, true));
}

// A small LDConfig.ldr with a colour of every finish.
const char* const kLDConfig =
    "0 !COLOUR White CODE 15 VALUE #FFFFFF EDGE #333333\n"
    "0 !COLOUR Rubber_Black CODE 256 VALUE #1B2A34 EDGE #808080 RUBBER\n"
    "0 !COLOUR Chrome_Silver CODE 383 VALUE #CECECE EDGE #9C9C9C CHROME\n"
    "0 !COLOUR Metallic_Gold CODE 82 VALUE #DBAC34 EDGE #333333 METAL\n"
    "0 !COLOUR Flat_Silver CODE 179 VALUE #898788 EDGE #333333 PEARLESCENT\n"
    "0 !COLOUR Matte_Gold CODE 297 VALUE #AA7F2E EDGE #333333 MATTE_METALLIC\n"
    "0 !COLOUR Speckle_Black_Silver CODE 132 VALUE #000000 EDGE #898788 MATERIAL SPECKLE "
    "VALUE #898788 FRACTION 0.4 MINSIZE 1 MAXSIZE 3\n"
    "0 !COLOUR Glitter_Trans_Clear CODE 117 VALUE #EEEEEE EDGE #BABABA ALPHA 128 MATERIAL "
    "GLITTER VALUE #FFFFFF FRACTION 0.08 VFRACTION 0.1 SIZE 1\n";

TEST_F(Textures, FinishesAreTheSameForAnyNumberOfThreads) {
    Write("ldraw/LDConfig.ldr", kLDConfig);
    Write("ldraw/parts/block.dat", Box(-12, -12, -12, 12, 12, 12));
    state.palette.scheme = QZ_SCHEME_LDCONFIG;
    std::string text;
    const int colours[] = {15, 256, 383, 82, 179, 297, 132, 117};
    for (int i = 0; i < 8; ++i)
        text += "1 " + std::to_string(colours[i]) + ' ' + std::to_string(-70 + 20 * i) + ' ' +
                std::to_string(i % 2 ? 20 : -20) + " 0 1 0 0 0 1 0 0 0 1 block.dat\n";
    Load(text);
    EXPECT_EQ(model.inputLog, "");
    state.SetStandardView(1);
    state.zoom = 400;
    state.threads = 1;
    const std::vector<Rgb> one = Draw();
    for (int threads : {2, 3, 7}) {
        state.threads = threads;
        EXPECT_EQ(Draw(), one) << threads << " threads";
    }
    // And again with one: redrawing changes nothing.
    state.threads = 1;
    EXPECT_EQ(Draw(), one);
}

TEST_F(Textures, FinishesLookTheirPart) {
    Write("ldraw/LDConfig.ldr", kLDConfig);
    Write("ldraw/parts/block.dat", Box(-40, -40, -40, 40, 40, 40));
    state.palette.scheme = QZ_SCHEME_LDCONFIG;
    state.SetStandardView(1);
    // The pixels of the middle of the box's front face.
    auto front = [&] {
        std::vector<Rgb> out;
        for (int y = -30; y <= 30; y += 2)
            for (int x = -30; x <= 30; x += 2) out.push_back(AtPoint(x, y, -40));
        return out;
    };
    // Speckle: grains of grey on black, on less than half of the surface.
    Load("1 0 0 0 0 1 0 0 0 1 0 0 0 1 block.dat\n");
    Draw();
    const std::vector<Rgb> black = front();
    Load("1 132 0 0 0 1 0 0 0 1 0 0 0 1 block.dat\n");
    Draw();
    const std::vector<Rgb> speckled = front();
    int grains = 0;
    for (size_t i = 0; i < black.size(); ++i) grains += speckled[i][0] > black[i][0] + 40 ? 1 : 0;
    EXPECT_GT(grains, static_cast<int>(black.size()) / 20);
    EXPECT_LT(grains, static_cast<int>(black.size()) / 2);
    // Rubber has no highlight: no pixel of its face lighter than its colour.
    Load("1 256 0 0 0 1 0 0 0 1 0 0 0 1 block.dat\n");
    Draw();
    for (const Rgb& c : front()) EXPECT_LE(c[2], 0x34);
    // Chrome: bright above, darker below, on the faces of one box.
    Load("1 383 0 0 0 1 0 0 0 1 0 0 0 1 block.dat\n");
    Draw();
    const Rgb above = AtPoint(0, -40, 0), side = AtPoint(0, 0, -40);
    EXPECT_GT(above[0] + above[1] + above[2], side[0] + side[1] + side[2] + 30);
}

}  // namespace
}  // namespace render_test
