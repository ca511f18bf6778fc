// Building steps: how many a model has, and that drawing step k draws exactly what the
// file cut after its k-th step line draws (in the full drawing, the stud pass and the
// drag previews), placed as the whole model; the command line's --step and steps.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "cli_run.h"
#include "render_fixture.h"
#include "steps.h"
#include "viewcore.h"

namespace render_test {
namespace {

using testing_support::CliRun;

// ---- Counting ----

struct CountCase {
    const char* name;
    const char* text;
    int count;
};

class StepCount : public RenderTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(StepCount, FollowsTheMainModelsStepLines) {
    Write("ldraw/parts/cube.dat", testing_support::kCube);
    ASSERT_EQ(LoadText(GetParam().text, GetParam().name), 1);
    EXPECT_EQ(QzStepCount(model.Main()), GetParam().count);
    EXPECT_EQ(QzStepEnds(model.Main()).size(),
              static_cast<size_t>(GetParam().count == 1 ? 0 : GetParam().count))
        << "a model without step lines has no step ends";
}

constexpr const char* kCubeRef = "1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n";

INSTANTIATE_TEST_SUITE_P(
    Table, StepCount,
    ::testing::Values(
        CountCase{"none.ldr", "0 Title\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n", 1},
        CountCase{"empty.ldr", "0 Nothing but a comment\n", 1},
        CountCase{"closed.ldr",
                  "1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n0 STEP\n"
                  "1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n0 STEP\n0 trailing comment\n",
                  2},
        CountCase{"trailing.ldr",
                  "1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n0 STEP\n"
                  "1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n0 ROTSTEP 0 90 0 ABS\n"
                  "2 24 0 0 0 1 1 1\n",
                  3},
        // Blanks before the word count; longer words and other commands do not.
        CountCase{"words.ldr",
                  "0  STEP\n0\tSTEP\n0 STEPS\n0 !LPUB STEP\n0 ROTSTEPS\n"
                  "1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n",
                  3},
        CountCase{"empty-steps.ldr", "0 STEP\n0 STEP\n0 STEP\n", 3},
        // Only the main model's sections count: the submodel's own steps do not.
        CountCase{"multi.mpd",
                  "0 FILE main.ldr\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 sub.ldr\n0 STEP\n"
                  "1 2 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
                  "0 FILE sub.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n0 STEP\n0 STEP\n"
                  "1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n0 STEP\n",
                  2}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

// ---- Drawing a step ----

// Step 1 spans the model's box (two cubes far apart); the later steps add parts inside
// it, so that the file cut after any step has the same box and placement.
const std::string kBrick =
    std::string(testing_support::kCube) + "1 16 0 -10 0 1 0 0 0 1 0 0 0 1 stud.dat\n";
const std::string kStud =
    "4 16 -3 0 -3 3 0 -3 3 0 3 -3 0 3\n"
    "4 16 -3 -4 -3 3 -4 -3 3 -4 3 -3 -4 3\n";
const std::string kSteps[] = {
    "0 Stepped model\n"
    "1 4 -60 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
    "1 1 60 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
    "0 STEP\n",
    "1 2 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
    "2 24 -70 -10 -10 70 -10 -10\n"
    "0 ROTSTEP 0 45 0 REL\n",
    "1 14 30 0 0 0.5 0 0 0 0.5 0 0 0 0.5 brick.dat\n"
    "0 STEP\n",
    "1 16 -30 0 0 0.5 0 0 0 0.5 0 0 0 0.5 brick.dat\n",
};

class StepDrawing : public RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        Write("ldraw/parts/brick.dat", kBrick);
        Write("ldraw/p/stud.dat", kStud);
    }
    // The first `steps` pieces of the model (all of them for 4).
    static std::string Pieces(int steps) {
        std::string text;
        for (int i = 0; i < steps; ++i) text += kSteps[i];
        return text;
    }
    struct Drawing {
        std::vector<uint8_t> rgb;
        QzDrawStatistics statistics;
    };
    // Draws a model file at a step (0: all) with the preview of a drag mode (0: none), in
    // the normal or the high-quality drawing.
    Drawing Draw(const std::string& text, const std::string& name, int step, int dragMode = 0,
                 bool highQuality = false) {
        QzModel loaded;
        QzPalette colours;
        EXPECT_EQ(QzReadModel(loaded, Write(name, text), settings, colours), 1);
        QzViewCore view;
        view.Resize(160, 120);
        view.State().SetStandardView(1);
        view.State().zoom = 60;
        view.State().step = step;
        view.State().options.highQuality = highQuality;
        if (dragMode) {
            view.State().dragging = true;
            view.State().dragMode = dragMode;
        }
        view.Draw(loaded);
        return {view.RgbPixels(), view.Statistics()};
    }
    static void ExpectSame(const Drawing& a, const Drawing& b) {
        EXPECT_TRUE(a.rgb == b.rgb) << "the pictures differ";
        for (int type = 1; type <= 5; ++type)
            EXPECT_EQ(a.statistics.typeCount[type], b.statistics.typeCount[type]) << type;
    }
};

TEST_F(StepDrawing, EachStepDrawsWhatTheFileCutAfterItsStepLineDraws) {
    const std::string whole = Pieces(4);
    ASSERT_EQ(LoadText(whole), 1);
    ASSERT_EQ(QzStepCount(model.Main()), 4);
    for (int step = 1; step <= 4; ++step) {
        SCOPED_TRACE(step);
        const Drawing cut = Draw(Pieces(step), "cut.ldr", 0);
        ExpectSame(Draw(whole, "whole.ldr", step), cut);
        // The high-quality drawing leaves out the main model's own lines after the step
        // too (step 2 adds an edge line of its own).
        ExpectSame(Draw(whole, "whole.ldr", step, 0, true),
                   Draw(Pieces(step), "cut.ldr", 0, 0, true));
        // The drag previews leave the same lines out.
        for (int mode : {1, 2, 3}) {
            SCOPED_TRACE(mode);
            ExpectSame(Draw(whole, "whole.ldr", step, mode),
                       Draw(Pieces(step), "cut.ldr", 0, mode));
        }
    }
    // The steps differ from each other, and the last is the whole model as always drawn.
    EXPECT_FALSE(Draw(whole, "whole.ldr", 1).rgb == Draw(whole, "whole.ldr", 2).rgb);
    ExpectSame(Draw(whole, "whole.ldr", 4), Draw(whole, "whole.ldr", 0));
}

TEST_F(StepDrawing, StudsOfLaterStepsAreNotDrawnWithStudsLast) {
    // The studs go in a pass of their own: it must stop at the step too.
    ASSERT_TRUE(options.studsLast);
    const Drawing step1 = Draw(Pieces(4), "whole.ldr", 1);
    ExpectSame(step1, Draw(Pieces(1), "cut.ldr", 0));
    EXPECT_LT(step1.statistics.typeCount[4],
              Draw(Pieces(4), "whole.ldr", 0).statistics.typeCount[4]);
}

TEST_F(StepDrawing, ASubmodelWithStepsOfItsOwnIsDrawnWhole) {
    const std::string sub =
        "0 FILE sub.ldr\n"
        "1 16 -20 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n0 STEP\n"
        "1 16 20 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n0 STEP\n";
    const std::string upTo2 =
        "0 FILE main.ldr\n"
        "1 4 -60 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
        "1 1 60 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n0 STEP\n"
        "1 2 0 0 0 1 0 0 0 1 0 0 0 1 sub.ldr\n0 STEP\n";
    const std::string whole = upTo2 + "1 14 40 0 0 0.5 0 0 0 0.5 0 0 0 0.5 brick.dat\n0 STEP\n";
    ASSERT_EQ(LoadText(whole + sub, "model.mpd"), 1);
    EXPECT_EQ(QzStepCount(model.Main()), 3);
    const Drawing step2 = Draw(whole + sub, "model.mpd", 2);
    ExpectSame(step2, Draw(upTo2 + sub, "cut.mpd", 0));
    // Both bricks of the submodel: its own step line does not cut it.
    EXPECT_EQ(step2.statistics.typeCount[1], 2 + 1 + 2);
}

// ---- The command line ----

class StepCommands : public StepDrawing {
  protected:
    void SetUp() override {
        StepDrawing::SetUp();
        whole = Write("whole.ldr", Pieces(4));
    }
    CliRun Cli(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--ldraw", library});
        return testing_support::RunZarvelCli(args);
    }
    std::string Render(const std::string& modelPath, const std::vector<std::string>& more) {
        const std::string out = (dir.path() / "out.png").string();
        std::vector<std::string> args{"render", modelPath, "-o", out,      "--size",
                                      "100x80", "--view",  "1",  "--zoom", "40"};
        args.insert(args.end(), more.begin(), more.end());
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        std::ifstream in(out, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string whole;
};

TEST_F(StepCommands, StepsPrintsTheCount) {
    const CliRun r = Cli({"steps", whole});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "4\n");
}

TEST_F(StepCommands, RenderAndStatsDrawTheStep) {
    const std::string cut = Write("cut.ldr", Pieces(2));
    EXPECT_EQ(Render(whole, {"--step", "2"}), Render(cut, {}));
    EXPECT_NE(Render(whole, {"--step", "2"}), Render(whole, {}));
    EXPECT_EQ(Render(whole, {"--step", "4"}), Render(whole, {}));
    // The report's line counts are those of the step.
    const CliRun stepped = Cli({"stats", "--step", "1", whole});
    const CliRun first = Cli({"stats", Write("first.ldr", Pieces(1))});
    ASSERT_EQ(stepped.status, 0) << stepped.err;
    const auto lineTypes = [](const std::string& report) {
        const size_t at = report.find("LineTypes:");
        return report.substr(at, report.find("\n\n", at) - at);
    };
    EXPECT_EQ(lineTypes(stepped.out), lineTypes(first.out));
}

TEST_F(StepCommands, AStepOutsideTheModelIsAUsageErrorNamingTheCount) {
    for (const char* step : {"0", "5", "-1", "40"}) {
        SCOPED_TRACE(step);
        for (const char* command : {"render", "stats"}) {
            std::vector<std::string> args{command, whole, "--step", step};
            if (std::string(command) == "render")
                args.insert(args.end(), {"-o", (dir.path() / "x.png").string()});
            const CliRun r = Cli(args);
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err,
                      std::string("zarvel-cli: --step ") + step +
                          ": the model has 4 steps\nRun with --help for more information.\n");
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "x.png"));
    const CliRun one =
        Cli({"stats", "--step", "2", Write("one.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n")});
    EXPECT_EQ(one.err,
              "zarvel-cli: --step 2: the model has 1 step\nRun with --help for more "
              "information.\n");
}

}  // namespace
}  // namespace render_test
