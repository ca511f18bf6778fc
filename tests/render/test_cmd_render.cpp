// zarvel-cli render: options, the PNG it writes, the statistics line, refusals; and
// the zoom that fits a model to the image.
#include <gtest/gtest.h>

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

const char* const kCube =
    "4 16 -10 -10 -10 10 -10 -10 10 10 -10 -10 10 -10\n"
    "4 16 -10 -10 10 10 -10 10 10 10 10 -10 10 10\n"
    "4 16 -10 -10 -10 -10 10 -10 -10 10 10 -10 -10 10\n"
    "4 16 10 -10 -10 10 10 -10 10 10 10 10 -10 10\n"
    "4 16 -10 -10 -10 10 -10 -10 10 -10 10 -10 -10 10\n"
    "4 16 -10 10 -10 10 10 -10 10 10 10 -10 10 10\n"
    "2 24 -10 -10 -10 10 -10 -10\n";

using testing_support::CliRun;

class RenderCommand : public RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        Write("ldraw/parts/cube.dat", kCube);
        model = Write("model.ldr",
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
    std::string model;
    std::string output;
};

uint32_t BigEndian(const std::string& s, size_t at) {
    return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
           (uint32_t(uint8_t(s[at + 2])) << 8) | uint32_t(uint8_t(s[at + 3]));
}

TEST_F(RenderCommand, WritesAPngOfExactlyTheRequestedSizeAndPrintsTheStatistics) {
    const CliRun r = Cli({model, "-o", output, "--size", "101x50", "--view", "1"});
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
}

TEST_F(RenderCommand, DefaultsToEightHundredBySixHundred) {
    ASSERT_EQ(Cli({model, "-o", output}).status, 0);
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
    for (const char* kind : {"wire", "solid"}) {
        const CliRun r = Cli({model, "-o", output, "--preview", kind, "--fit"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, 16), "2:0 3:0 4:0 5:0 ") << kind;
    }
}

TEST_F(RenderCommand, OptionsSwitchDrawing) {
    const CliRun r =
        Cli({model, "-o", output, "--opt", "showType2=off", "--opt", "showModelBox=on", "--opt",
             "timeCalculations=on", "--opt", "seamWidth=2", "--opt", "seams=on", "--scheme", "2",
             "--matrix", "1,0,0,0,1,0,0,0,1", "--zoom", "250"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 4), "2:0 ");
}

struct Refusal {
    std::vector<std::string> args;
    int status;
    std::string err;
};

class RenderRefusal : public RenderCommand, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RenderRefusal, ExplainsWhatIsWrong) {
    std::vector<std::string> args{model, "-o", output};
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
        Refusal{{"--zoom", "1e12"}, 2, "--zoom"}, Refusal{{"--view", "15"}, 2, "--view"},
        Refusal{{"--preview", "dotted"}, 2, "--preview"}));

TEST_F(RenderCommand, MissingModelAndUnwritableOutputFail) {
    CliRun r = Cli({(dir.path() / "nothere.ldr").string(), "-o", output});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("could not load"), std::string::npos) << r.err;
    r = Cli({model, "-o", (dir.path() / "no" / "such" / "dir.png").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
}

// ---- Fitting the zoom ----

TEST_F(RenderTest, FitZoomFillsTheRoomBelowTheCentreFirst) {
    Write("ldraw/parts/cube.dat", kCube);
    ASSERT_EQ(LoadText("1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"), 1);
    QzViewCore view;
    ASSERT_TRUE(view.Resize(200, 200));
    view.State().SetStandardView(9);
    // The centre sits at row 133: 66 rows below it less an 8-pixel margin hold 10 units.
    EXPECT_EQ(view.FitZoom(), 580);
    view.State().zoom = view.FitZoom();
    view.State().options.shading = false;
    view.Draw();
    EXPECT_EQ(view.Image().drawnRect.y1, 191);
    EXPECT_NEAR(view.Image().drawnRect.y0, 75, 1);
}

TEST_F(RenderTest, FitZoomWithoutAModelIsOneHundred) {
    QzViewCore view;
    ASSERT_TRUE(view.Resize(200, 200));
    EXPECT_EQ(view.FitZoom(), 100);
}

}  // namespace
}  // namespace render_test
