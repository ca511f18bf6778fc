// zarvel-cli render: options, the PNG it writes, the statistics line, refusals; and
// the zoom that fits a model to the image.
#include <gtest/gtest.h>
#include <png.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "args.h"
#include "cli_run.h"
#include "cmd_render.h"
#include "render_fixture.h"
#include "viewcore.h"

namespace render_test {
namespace {

// Six quads and an edge line.
const std::string kEdgedCube =
    std::string(testing_support::kCube) + "2 24 -10 -10 -10 10 -10 -10\n";

using testing_support::CliRun;

class RenderCommand : public RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        Write("ldraw/parts/cube.dat", kEdgedCube);
        modelPath = Write("model.ldr",
                          "1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
                          "1 1 40 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n");
        output = (dir.path() / "out.png").string();
    }
    CliRun Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"render", "--ldraw", library});
        return testing_support::RunZarvelCli(args);
    }
    std::string ReadOutput() const {
        std::ifstream in(output, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The written picture decoded: red, green, blue per pixel, rows from the top.
    std::vector<Rgb> ReadPixels() const {
        png_image png{};
        png.version = PNG_IMAGE_VERSION;
        std::vector<uint8_t> bytes;
        if (png_image_begin_read_from_file(&png, output.c_str())) {
            png.format = PNG_FORMAT_RGB;
            bytes.resize(PNG_IMAGE_SIZE(png));
            if (!png_image_finish_read(&png, nullptr, bytes.data(), 0, nullptr)) bytes.clear();
        }
        std::vector<Rgb> pixels;
        for (size_t i = 0; i + 2 < bytes.size(); i += 3)
            pixels.push_back({bytes[i], bytes[i + 1], bytes[i + 2]});
        return pixels;
    }
    int CountNotBackground() const {
        int n = 0;
        for (const Rgb& p : ReadPixels()) n += p != kBackground ? 1 : 0;
        return n;
    }
    std::string modelPath;
    std::string output;
};

uint32_t BigEndian(const std::string& s, size_t at) {
    return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
           (uint32_t(uint8_t(s[at + 2])) << 8) | uint32_t(uint8_t(s[at + 3]));
}

TEST_F(RenderCommand, WritesAPngOfExactlyTheRequestedSizeAndPrintsTheStatistics) {
    const CliRun r = Cli({modelPath, "-o", output, "--size", "101x50", "--view", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(std::regex_match(
        r.out, std::regex("2:2 3:0 4:\\d+ 5:0 \\d+\\.\\d\\d\\d seconds \\(0\\) M:\\d+ V:\\d+\n")))
        << r.out;
    const std::string png = ReadOutput();
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(BigEndian(png, 16), 101u);
    EXPECT_EQ(BigEndian(png, 20), 50u);
    EXPECT_EQ(png[24], 8);  // bits per channel
    EXPECT_EQ(png[25], 2);  // red, green, blue
    // Channels in that order: the corner shows the view's background colour.
    const std::vector<Rgb> pixels = ReadPixels();
    ASSERT_EQ(pixels.size(), 101u * 50u);
    EXPECT_EQ(pixels[0], kBackground);
    EXPECT_EQ(pixels.back(), kBackground);
}

TEST_F(RenderCommand, DefaultsToEightHundredBySixHundred) {
    ASSERT_EQ(Cli({modelPath, "-o", output}).status, 0);
    const std::string png = ReadOutput();
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(BigEndian(png, 16), 800u);
    EXPECT_EQ(BigEndian(png, 20), 600u);
}

TEST_F(RenderCommand, ShowsTheInputLogOfTheLoadOnTheErrorStream) {
    const std::string odd = Write("odd.ldr", "1 71 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n");
    const CliRun r = Cli({odd, "-o", output});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.rfind("WARNING \"" + odd + "\" Line 1: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
}

TEST_F(RenderCommand, PreviewsDrawBoxesAndCountNothing) {
    int covered[2] = {};
    for (int i = 0; i < 2; ++i) {
        const char* kind = i == 0 ? "wire" : "solid";
        const CliRun r =
            Cli({modelPath, "-o", output, "--size", "160x120", "--preview", kind, "--fit"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, 16), "2:0 3:0 4:0 5:0 ") << kind;
        covered[i] = CountNotBackground();
    }
    // Outlines of the boxes, then the boxes filled.
    EXPECT_GT(covered[0], 0);
    EXPECT_GT(covered[1], 2 * covered[0]);
}

// The Test menu's switches by their names and by the names they had before.
TEST_F(RenderCommand, TestMenuSwitchesKeepTheirFormerNames) {
    const std::vector<std::string> base{modelPath, "-o",     output, "--size",
                                        "160x120", "--view", "1"};
    auto draw = [&](const std::vector<std::string>& option) {
        std::vector<std::string> args = base;
        args.insert(args.end(), option.begin(), option.end());
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return ReadPixels();
    };
    const std::vector<Rgb> plain = draw({});
    const std::vector<Rgb> testColours = draw({"--opt", "bfcTestColours=on"});
    EXPECT_NE(testColours, plain);
    EXPECT_EQ(draw({"--opt", "mytest6=on"}), testColours);
    EXPECT_EQ(draw({"--opt", "flushAfterEveryPart=on"}), plain);
    EXPECT_EQ(draw({"--opt", "mytest5=on"}), plain);
}

// Each option changes what is drawn or counted; the drawing with all of them at once
// is accepted too.
TEST_F(RenderCommand, OptionsSwitchDrawing) {
    const std::vector<std::string> base{modelPath, "-o",     output, "--size",
                                        "160x120", "--view", "1"};
    const CliRun plain = Cli(base);
    ASSERT_EQ(plain.status, 0) << plain.err;
    const std::vector<Rgb> plainPixels = ReadPixels();
    const std::vector<std::vector<std::string>> options = {
        {"--opt", "showType2=off"}, {"--opt", "showModelBox=on"},
        {"--opt", "seams=on"},      {"--opt", "seams=on", "--opt", "seamWidth=4"},
        {"--scheme", "2"},          {"--matrix", "1,0,0,0,1,0,0,0,1"},
        {"--zoom", "250"},          {"--opt", "showType4=off"},
    };
    std::vector<std::string> all = base;
    for (const auto& option : options) {
        std::vector<std::string> args = base;
        args.insert(args.end(), option.begin(), option.end());
        all.insert(all.end(), option.begin(), option.end());
        const CliRun r = Cli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(ReadPixels() != plainPixels || r.out.substr(0, 16) != plain.out.substr(0, 16))
            << option[1];
    }
    // A wider seam shrinks the parts further than the standard one.
    Cli({modelPath, "-o", output, "--size", "160x120", "--view", "1", "--opt", "seams=on"});
    const int standardSeam = CountNotBackground();
    Cli({modelPath, "-o", output, "--size", "160x120", "--view", "1", "--opt", "seams=on", "--opt",
         "seamWidth=4"});
    EXPECT_LT(CountNotBackground(), standardSeam);
    all.insert(all.end(), {"--opt", "timeCalculations=on"});
    const CliRun r = Cli(all);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 8), "2:0 3:0 ");
}

TEST_F(RenderCommand, QualityHighDrawsAnotherPictureOfTheSameModel) {
    const std::vector<std::string> base{modelPath, "-o",     output, "--size",
                                        "160x120", "--view", "1"};
    ASSERT_EQ(Cli(base).status, 0);
    const std::vector<Rgb> plain = ReadPixels();
    std::vector<std::string> normal = base;
    normal.insert(normal.end(), {"--quality", "normal"});
    ASSERT_EQ(Cli(normal).status, 0);
    EXPECT_EQ(ReadPixels(), plain);
    std::vector<std::string> high = base;
    high.insert(high.end(), {"--quality", "high"});
    const CliRun r = Cli(high);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Rgb> smooth = ReadPixels();
    ASSERT_EQ(smooth.size(), plain.size());
    EXPECT_NE(smooth, plain);
    // The same model in the same place: the pixels it covers differ only along its
    // outline.
    int both = 0, either = 0;
    for (size_t i = 0; i < plain.size(); ++i) {
        const bool a = plain[i] != kBackground, b = smooth[i] != kBackground;
        both += a && b;
        either += a || b;
    }
    EXPECT_GT(both, either * 9 / 10);
    // stats takes it too.
    const CliRun stats = testing_support::RunZarvelCli(
        {"stats", "--ldraw", library, "--quality", "high", modelPath});
    EXPECT_EQ(stats.status, 0) << stats.err;
}

struct Refusal {
    std::vector<std::string> args;
    int status;
    std::string err;
};

class RenderRefusal : public RenderCommand, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RenderRefusal, ExplainsWhatIsWrong) {
    std::vector<std::string> args{modelPath, "-o", output};
    for (const std::string& a : GetParam().args) args.push_back(a);
    const CliRun r = Cli(args);
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_NE(r.err.find(GetParam().err), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    // Every usage error reads the same, whoever found it.
    EXPECT_EQ(r.err.rfind("zarvel-cli: ", 0), 0u) << r.err;
    EXPECT_TRUE(r.err.ends_with("\nRun with --help for more information.\n")) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderRefusal,
    ::testing::Values(
        Refusal{{"--size", "0x50"}, 2, "--size must be WxH with positive numbers: 0x50"},
        Refusal{{"--size", "100"}, 2, "--size must be WxH"},
        Refusal{{"--size", "100x50x"}, 2, "--size must be WxH"},
        Refusal{{"--opt", "sparkle=on"}, 2, "unknown drawing option: sparkle"},
        Refusal{{"--opt", "bfc=maybe"}, 2, "--opt value must be on or off: bfc=maybe"},
        Refusal{{"--opt", "bfc"}, 2, "--opt needs NAME=on|off: bfc"},
        Refusal{{"--opt", "seamWidth=wide"}, 2, "--opt seamWidth needs a finite number: wide"},
        Refusal{{"--opt", "seamWidth=nan"}, 2, "--opt seamWidth needs a finite number: nan"},
        Refusal{{"--opt", "seamWidth=1e39"}, 2, "--opt seamWidth needs a finite number: 1e39"},
        Refusal{{"--matrix", "1 0 0 0 1 0 0 0"}, 2, "--matrix needs nine finite numbers"},
        Refusal{{"--matrix", "nan nan nan nan nan nan nan nan nan"}, 2, "--matrix needs nine"},
        Refusal{{"--matrix", "inf 0 0 0 1 0 0 0 1"}, 2, "--matrix needs nine finite numbers"},
        Refusal{{"--matrix", "1e39 0 0 0 1 0 0 0 1"}, 2, "--matrix needs nine finite numbers"},
        // Nine numbers and nothing after them: the tenth is not silently dropped.
        Refusal{{"--matrix", "1 0 0 0 1 0 0 0 1 5"},
                2,
                "--matrix needs nine finite numbers: 1 0 0 0 1 0 0 0 1 5"},
        Refusal{{"--matrix", "1,0,0,0,1,0,0,0,1,5"}, 2, "--matrix needs nine finite numbers"},
        Refusal{{"--matrix", "1 0 0 0 1 0 0 0 1x"}, 2, "--matrix needs nine finite numbers"},
        Refusal{{"--zoom", "1e12"}, 2, "--zoom"},
        Refusal{{"--zoom", ""}, 2, "zarvel-cli: --zoom: the number is empty\n"},
        Refusal{{"--view", "15"}, 2, "--view"}, Refusal{{"--preview", "dotted"}, 2, "--preview"},
        Refusal{{"--quality", "best"}, 2, "--quality"}));

TEST_F(RenderCommand, MissingModelAndUnwritableOutputFail) {
    CliRun r = Cli({(dir.path() / "nothere.ldr").string(), "-o", output});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("could not load"), std::string::npos) << r.err;
    r = Cli({modelPath, "-o", (dir.path() / "no" / "such" / "dir.png").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
}

// ---- Fitting the zoom ----

TEST_F(RenderTest, FitInTheViewsPlacementFillsTheRoomBelowTheCentreFirst) {
    Write("ldraw/parts/cube.dat", kEdgedCube);
    ASSERT_EQ(LoadText("1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"), 1);
    QzViewCore view;
    ASSERT_TRUE(view.Resize(200, 200));
    view.State().SetStandardView(9);
    // The centre sits at row 133: 67 rows below it less a 10-pixel margin hold 10 units.
    const QzFit fit = view.Fit(model, QzFitPlacement::View);
    EXPECT_EQ(fit.zoom, 570);
    EXPECT_EQ(fit.shiftX, 0.0f);
    EXPECT_EQ(fit.shiftY, 0.0f);
    view.State().zoom = fit.zoom;
    view.State().options.shading = false;
    view.Draw(model);
    EXPECT_NEAR(view.Image().drawnRect.y1, 190, 1);
    EXPECT_NEAR(view.Image().drawnRect.y0, 76, 1);
}

struct FitCase {
    int view, width, height;
};

class CentredFit : public RenderTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(CentredFit, FillsThePictureToTheMarginAndCentresTheDrawing) {
    const FitCase& c = GetParam();
    Write("ldraw/parts/cube.dat", kEdgedCube);
    // Two cubes side by side and a line far above one of them: the turned box of the
    // model is much larger than its drawing.
    ASSERT_EQ(LoadText("1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
                       "1 1 40 0 -20 1 0 0 0 1 0 0 0 1 cube.dat\n"
                       "2 0 0 -60 0 2 -62 0\n"),
              1);
    QzViewCore view;
    ASSERT_TRUE(view.Resize(c.width, c.height));
    view.State().SetStandardView(c.view);
    view.FitCentred(model);
    view.Draw(model);
    const QzPixelRect& r = view.Image().drawnRect;
    EXPECT_NEAR((r.x0 + r.x1 + 1) / 2.0, c.width / 2.0, 2.0);
    EXPECT_NEAR((r.y0 + r.y1 + 1) / 2.0, c.height / 2.0, 2.0);
    const double mx = 0.05 * c.width, my = 0.05 * c.height;
    const bool fillsWidth = std::abs(r.x0 - mx) <= 2 && std::abs(c.width - 1 - r.x1 - mx) <= 2;
    const bool fillsHeight = std::abs(r.y0 - my) <= 2 && std::abs(c.height - 1 - r.y1 - my) <= 2;
    EXPECT_TRUE(fillsWidth || fillsHeight) << r.x0 << "-" << r.x1 << ", " << r.y0 << "-" << r.y1;
    EXPECT_GE(r.x0, mx - 2);
    EXPECT_GE(r.y0, my - 2);
}

INSTANTIATE_TEST_SUITE_P(Views, CentredFit,
                         ::testing::Values(FitCase{1, 320, 240}, FitCase{9, 322, 240},
                                           FitCase{13, 200, 300}, FitCase{0, 240, 240}));

// A wide flat model in a tall picture is limited by the width: centred, it keeps equal
// margins left and right, also in a picture whose image is wider (201 pixels drawn into
// an image of 204) and for a model whose box centre is not the middle of its drawing.
TEST_F(RenderTest, CentredFitLimitedByTheWidthHasEqualMarginsLeftAndRight) {
    // A plate 200 units wide, and a line off one corner that moves the box centre.
    ASSERT_EQ(LoadText("4 4 -100 0 -10 100 0 -10 100 0 10 -100 0 10\n"
                       "2 0 -100 0 10 -100 0 60\n"),
              1);
    QzViewCore view;
    ASSERT_TRUE(view.Resize(201, 320));
    view.State().SetStandardView(1);
    view.State().options.shading = false;
    view.FitCentred(model);
    view.Draw(model);
    const QzPixelRect& r = view.Image().drawnRect;
    const int left = r.x0, right = 200 - r.x1;
    const int top = r.y0, bottom = 319 - r.y1;
    EXPECT_LT(std::max(left, right), std::min(top, bottom)) << top << " " << bottom;
    EXPECT_NEAR(left, right, 1) << r.x0 << "-" << r.x1;
    EXPECT_NEAR(left, 10, 2);
}

TEST_F(RenderTest, FitWithoutAModelIsOneHundredWithoutAShift) {
    QzViewCore view;
    ASSERT_TRUE(view.Resize(200, 200));
    for (QzFitPlacement placement : {QzFitPlacement::View, QzFitPlacement::Centred}) {
        const QzFit fit = view.Fit(model, placement);
        EXPECT_EQ(fit.zoom, 100);
        EXPECT_EQ(fit.shiftX, 0.0f);
        EXPECT_EQ(fit.shiftY, 0.0f);
    }
}

}  // namespace
}  // namespace render_test
