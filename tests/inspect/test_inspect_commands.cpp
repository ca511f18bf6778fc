// `zarvel-cli stats` and `zarvel-cli tree`: options, and whole outputs for a small
// model read from files, and a run over the real models when they are present.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "args.h"
#include "cli_run.h"
#include "cmd_stats.h"
#include "cmd_tree.h"
#include "diagnostics.h"
#include "loader.h"
#include "loadmodel.h"
#include "model.h"
#include "test_support.h"
#include "treeview.h"

namespace {

cli::Invocation Parse(const std::vector<std::string>& args) {
    return testing_support::ParseCli(args);
}

using RunOutput = testing_support::CliRun;

RunOutput RunCommand(const std::vector<std::string>& args) {
    return testing_support::RunZarvelCli(args);
}

// ---- Options -------------------------------------------------------------------

TEST(InspectOptions, StatsDefaultsAndValues) {
    cli::Invocation inv = Parse({"stats", "m.ldr"});
    ASSERT_FALSE(inv.finished) << inv.err;
    EXPECT_EQ(inv.command, "stats");
    EXPECT_EQ(inv.OptionsOf<cli::StatsOptions>().model, "m.ldr");
    EXPECT_EQ(inv.OptionsOf<cli::StatsOptions>().view, 0);
    EXPECT_EQ(inv.OptionsOf<cli::StatsOptions>().size, "800x600");
    EXPECT_EQ(inv.OptionsOf<cli::StatsOptions>().ldraw, "");

    inv = Parse({"stats", "--ldraw", "/lib", "--view", "14", "--size", "320x200", "m.ldr"});
    ASSERT_FALSE(inv.finished) << inv.err;
    EXPECT_EQ(inv.OptionsOf<cli::StatsOptions>().ldraw, "/lib");
    EXPECT_EQ(inv.OptionsOf<cli::StatsOptions>().view, 14);
    EXPECT_EQ(inv.OptionsOf<cli::StatsOptions>().size, "320x200");
}

TEST(InspectOptions, TreeDefaultsAndValues) {
    cli::Invocation inv = Parse({"tree", "m.ldr"});
    ASSERT_FALSE(inv.finished) << inv.err;
    EXPECT_EQ(inv.command, "tree");
    EXPECT_EQ(inv.OptionsOf<cli::TreeOptions>().model, "m.ldr");
    EXPECT_EQ(inv.OptionsOf<cli::TreeOptions>().mode, "normal");
    EXPECT_FALSE(inv.OptionsOf<cli::TreeOptions>().lineNumbers);
    EXPECT_EQ(inv.OptionsOf<cli::TreeOptions>().depth, 1);

    inv = Parse({"tree", "--mode", "bbox", "--line-numbers", "--depth", "3", "m.ldr"});
    ASSERT_FALSE(inv.finished) << inv.err;
    EXPECT_EQ(inv.OptionsOf<cli::TreeOptions>().mode, "bbox");
    EXPECT_TRUE(inv.OptionsOf<cli::TreeOptions>().lineNumbers);
    EXPECT_EQ(inv.OptionsOf<cli::TreeOptions>().depth, 3);
}

class BadInspectOptions : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(BadInspectOptions, AreRefusedWithAMessage) {
    cli::Invocation inv = Parse(GetParam());
    EXPECT_TRUE(inv.finished);
    EXPECT_EQ(inv.status, 2);
    EXPECT_EQ(inv.err.rfind("zarvel-cli: ", 0), 0u) << inv.err;
    EXPECT_TRUE(inv.err.ends_with("\nRun with --help for more information.\n")) << inv.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadInspectOptions,
    ::testing::Values(std::vector<std::string>{"stats"}, std::vector<std::string>{"tree"},
                      std::vector<std::string>{"stats", "--view", "15", "m.ldr"},
                      std::vector<std::string>{"stats", "--view", "-1", "m.ldr"},
                      std::vector<std::string>{"stats", "--size", "0x600", "m.ldr"},
                      std::vector<std::string>{"stats", "--size", "800", "m.ldr"},
                      std::vector<std::string>{"stats", "--size", "800x", "m.ldr"},
                      std::vector<std::string>{"stats", "--size", "8e2x600", "m.ldr"},
                      std::vector<std::string>{"tree", "--mode", "BFC", "m.ldr"},
                      std::vector<std::string>{"tree", "--mode", "matrix", "m.ldr"},
                      std::vector<std::string>{"tree", "--depth", "0", "m.ldr"},
                      std::vector<std::string>{"tree", "--depth", "-1", "m.ldr"},
                      std::vector<std::string>{"tree", "--depth", "two", "m.ldr"}));

TEST(PlainLines, TurnsCarriageReturnLineFeedIntoNewlines) {
    EXPECT_EQ(cli::PlainLines("a\r\nb\r\n\r\nc"), "a\nb\n\nc");
    EXPECT_EQ(cli::PlainLines("lone\rreturn\r"), "lone\rreturn\r");
}

// ---- Whole outputs for a small model -------------------------------------------

// A library with one part and a model that uses it twice, once inverted.
class SmallModel : public ::testing::Test {
  protected:
    void SetUp() override {
        library = dir.path() / "ldraw";
        dir.Write("ldraw/parts/brick.dat",
                  "0 Test brick\n"
                  "0 BFC CERTIFY CCW\n"
                  "4 16 -10 0 -10 10 0 -10 10 0 10 -10 0 10\n"
                  "2 24 -10 0 -10 10 0 -10\n");
        model = dir.Write("models/tiny.ldr",
                          "0 Tiny model\n"
                          "0 Author: Tester\n"
                          "1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
                          "0 BFC INVERTNEXT\n"
                          "1 1 0 -24 0 1 0 0 0 1 0 0 0 1 Brick.DAT\n"
                          "2 0 0 0 0 0 -10 0\n");
    }

    RunOutput Tree(std::vector<std::string> extra) {
        std::vector<std::string> args = {"tree", "--ldraw", library.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(model);
        return RunCommand(args);
    }

    testing_support::TempDir dir;
    std::filesystem::path library;
    std::string model;
};

TEST_F(SmallModel, TreeDefaultShowsTheMainModelsLines) {
    const RunOutput r = Tree({});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "0 Tiny model\n"
              "0 Author: Tester\n"
              "1 4  0 0 0  1 0 0  0 1 0  0 0 1  brick.dat\n"
              "0 BFC INVERTNEXT\n"
              "1 1  0 -24 0  1 0 0  0 1 0  0 0 1  brick.dat\n"
              "2 0  0 0 0  0 -10 0\n");
}

TEST_F(SmallModel, TreeOpenedOneLevelWithLineNumbers) {
    const RunOutput r = Tree({"--depth", "2", "--line-numbers"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "1: 0 Tiny model\n"
              "2: 0 Author: Tester\n"
              "3: 1 4  0 0 0  1 0 0  0 1 0  0 0 1  brick.dat\n"
              "  1: 0 Test brick\n"
              "  2: 0 BFC CERTIFY CCW\n"
              "  3: 4 16  -10 0 -10  10 0 -10  10 0 10  -10 0 10\n"
              "  4: 2 24  -10 0 -10  10 0 -10\n"
              "4: 0 BFC INVERTNEXT\n"
              "5: 1 1  0 -24 0  1 0 0  0 1 0  0 0 1  brick.dat\n"
              "  1: 0 Test brick\n"
              "  2: 0 BFC CERTIFY CCW\n"
              "  3: 4 16  -10 0 -10  10 0 -10  10 0 10  -10 0 10\n"
              "  4: 2 24  -10 0 -10  10 0 -10\n"
              "6: 2 0  0 0 0  0 -10 0\n");
}

TEST_F(SmallModel, TreeInBfcMode) {
    const RunOutput r = Tree({"--mode", "bfc", "--depth", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string brick =
        "  0x0 0 Test brick\n"
        "  0x21 0 BFC CERTIFY CCW\n"
        "  CLIP 4 16  -10 0 -10  10 0 -10  10 0 10  -10 0 10\n"
        "  2 24  -10 0 -10  10 0 -10\n";
    EXPECT_EQ(r.out,
              "0x0 0 Tiny model\n"
              "0x0 0 Author: Tester\n"
              "CLIP 1 4  0 0 0  1 0 0  0 1 0  0 0 1  brick.dat\n" +
                  brick +
                  "0x80 0 BFC INVERTNEXT\n"
                  "CLIP INVERT 1 1  0 -24 0  1 0 0  0 1 0  0 0 1  brick.dat\n" +
                  brick + "2 0  0 0 0  0 -10 0\n");
}

TEST_F(SmallModel, TreeInBoundingBoxModeChangesOnlyReferences) {
    const RunOutput r = Tree({"--mode", "bbox"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "0 Tiny model\n"
              "0 Author: Tester\n"
              "1 4  <-10,0,-10> <10,0,10>  brick.dat\n"
              "0 BFC INVERTNEXT\n"
              "1 1  <-10,0,-10> <10,0,10>  brick.dat\n"
              "2 0  0 0 0  0 -10 0\n");
}

TEST_F(SmallModel, StatsReport) {
    const RunOutput r =
        RunCommand({"stats", "--ldraw", library.string(), "--size", "400x300", model});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // Timings vary from run to run; everything else is fixed.
    const std::string out =
        std::regex_replace(r.out, std::regex("\t(Load|Draw|Calc):\t[0-9]+ ms"), "\t$1:\tN ms");
    EXPECT_EQ(out,
              "Title:\tTiny model\n"
              "Author:\tTester\n"
              "\n"
              "BoundingBox:\t<-10,-24,-10> <10,0,10>\n"
              "Center:\t<0,-12,0>\n"
              "Size:\t<20,24,20>\n"
              "\n"
              "Current view matrix one-liner for LDraw -a option: (except scaling):\n"
              "1,0,1,0.5,1,-0.5,-1,0,1\n"
              "\n"
              "Timing:\n"
              "\tLoad:\tN ms\n"
              "\tDraw:\tN ms\n"
              "\tCalc:\tN ms (only in debug mode)\n"
              "\n"
              "LineTypes:\n"
              "\t1\t2\n"
              "\t2\t3\n"
              "\t3\t0\n"
              "\t4\t1\n"
              "\t5\t0\n"
              "\n"
              "DatName\tPARTS\tEmpty\tBoundingBox\n" +
                  model +
                  "\t0\t0\t<-10,-24,-10> <10,0,10>\n"
                  "brick.dat\t1\t0\t<-10,0,-10> <10,0,10>\n"
                  "\n"
                  "Current view matrix (except scaling and translation):\n"
                  "1\t0\t1\t0\n"
                  "0.5\t1\t-0.5\t0\n"
                  "-1\t0\t1\t0\n"
                  "0\t0\t0\t1\n"
                  "\n"
                  "Current view matrix one-liner for LDraw -a option: (except scaling):\n"
                  "1,0,1,0.5,1,-0.5,-1,0,1\n");
}

TEST_F(SmallModel, StatsFromTheFrontView) {
    const RunOutput r = RunCommand({"stats", "--ldraw", library.string(), "--view", "9", model});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string oneLiner =
        "Current view matrix one-liner for LDraw -a option: (except scaling):\n"
        "1,0,0,0,1,0,0,0,1\n";
    EXPECT_NE(r.out.find(oneLiner), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("\n\n" + oneLiner)) << r.out;
}

TEST_F(SmallModel, MissingModelFails) {
    const RunOutput stats = RunCommand({"stats", "--ldraw", library.string(), model + ".none"});
    EXPECT_EQ(stats.status, 2);
    EXPECT_EQ(stats.out, "");
    EXPECT_NE(stats.err, "");
    const RunOutput tree = RunCommand({"tree", "--ldraw", library.string(), model + ".none"});
    EXPECT_EQ(tree.status, 2);
    EXPECT_EQ(tree.out, "");
    EXPECT_NE(tree.err, "");
}

// ---- The real models -----------------------------------------------------------

std::vector<std::filesystem::path> RealModels(const std::filesystem::path& ldraw) {
    std::vector<std::filesystem::path> models;
    for (const auto& entry : std::filesystem::directory_iterator(ldraw / "models")) {
        models.push_back(entry.path());
    }
    std::sort(models.begin(), models.end());
    return models;
}

size_t CountLines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

// The model as the commands load it.
void LoadAsTheCommandsDo(QzModel& model, const std::filesystem::path& ldraw,
                         const std::filesystem::path& path) {
    QzPalette palette;
    std::ostringstream err;
    ASSERT_TRUE(cli::LoadModelForCommand(model, palette, ldraw.string(), path.string(), err))
        << path << "\n"
        << err.str();
}

TEST(RealModels, StatsListsEveryPartOfTheTable) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    for (const std::filesystem::path& model : RealModels(ldraw)) {
        const RunOutput r = RunCommand({"stats", "--ldraw", ldraw.string(), model.string()});
        ASSERT_EQ(r.status, 0) << model << "\n" << r.err;
        const size_t header = r.out.find("DatName\tPARTS\tEmpty\tBoundingBox\n");
        const size_t end = r.out.find("\n\nCurrent view matrix (except");
        ASSERT_NE(header, std::string::npos) << model;
        ASSERT_NE(end, std::string::npos) << model;
        const std::string table = r.out.substr(header, end + 1 - header);
        QzModel loaded;
        LoadAsTheCommandsDo(loaded, ldraw, model);
        EXPECT_EQ(CountLines(table), static_cast<size_t>(loaded.partCount) + 1) << model;
        EXPECT_TRUE(table.find("\n" + model.string() + "\t0\t0\t<") != std::string::npos) << model;
        EXPECT_EQ(CountLines(r.out), 32u + loaded.partCount) << model;
        // The drawing really ran: the model's references were walked.
        std::smatch references;
        ASSERT_TRUE(std::regex_search(r.out, references, std::regex("LineTypes:\n\t1\t([0-9]+)\n")))
            << model;
        EXPECT_GT(std::stoi(references[1]), 0) << model;
    }
}

TEST(RealModels, TreeShowsEveryStoredLine) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    for (const std::filesystem::path& model : RealModels(ldraw)) {
        const RunOutput r = RunCommand(
            {"tree", "--ldraw", ldraw.string(), "--line-numbers", "--depth", "2", model.string()});
        ASSERT_EQ(r.status, 0) << model << "\n" << r.err;
        // One printed line per stored line of the model and of each part it references.
        QzModel loaded;
        LoadAsTheCommandsDo(loaded, ldraw, model);
        size_t expected = 0;
        for (const QzLine* line = loaded.Main().lines; line; line = line->next) {
            ++expected;
            if (line->type != 1) continue;
            for (const QzLine* sub = line->part->lines; sub; sub = sub->next) ++expected;
        }
        EXPECT_EQ(CountLines(r.out), expected) << model;
        EXPECT_GT(expected, 0u) << model;
        EXPECT_EQ(r.out.find("Unknown linetype"), std::string::npos) << model;
    }
}

}  // namespace
