// Submodels by name: the sections of a model file in file order and which of them are
// parts; finding one as references find sections; the building order (sub-assemblies
// first, once) and what each step adds; how often the model places each; a submodel the
// model does not place; --submodel drawing, counting and listing a section exactly as
// the same file with that section moved first; the unknown name; the fade of earlier
// steps, which leaves what a step adds as it is.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

#include "cli_run.h"
#include "render_fixture.h"
#include "sections.h"
#include "steps.h"
#include "viewcore.h"
#include "walk.h"

namespace render_test {
namespace {

using testing_support::CliRun;

std::string Ref(const std::string& colour, const std::string& x, const std::string& name) {
    return "1 " + colour + " " + x + " 0 0 1 0 0 0 1 0 0 0 1 " + name + "\n";
}

// A main model of three steps; wing.ldr is placed twice in its second step (written two
// ways) and places pod.ldr twice, so pod.ldr is nested two deep and also placed by the
// main model's third step, inside a transform block. unused.ldr is placed by nobody and
// references a file that is not there; hose.dat is a part of the file's own.
const std::string kMain =
    "0 FILE main.ldr\n"
    "0 Main model\n"
    "0 Author: Tester\n" +
    Ref("4", "0", "cube.dat") + "0 STEP\n" + Ref("16", "40", "Wing.ldr") +
    Ref("16", "-40", "wing.ldr") + Ref("4", "80", "hose.dat") + "0 STEP\n0 TRANSLATE 0 -40 0\n" +
    Ref("2", "0", "POD.LDR") + "0 TRANSLATE END\n";
const std::string kWing = "0 FILE wing.ldr\n0 A wing\n" + Ref("1", "0", "cube.dat") + "0 STEP\n" +
                          Ref("16", "20", "pod.ldr") + Ref("16", "-20", "pod.ldr");
const std::string kPod = "0 FILE pod.ldr\n0 A pod\n0 Author: Pod maker\n" +
                         Ref("14", "0", "cube.dat") + "0 STEP\n" + Ref("0", "5", "cube.dat");
const std::string kUnused =
    "0 FILE unused.ldr\n" + Ref("5", "0", "cube.dat") + Ref("5", "20", "nowhere.dat");
const std::string kHose = "0 FILE hose.dat\n0 Hose piece\n" + Ref("16", "0", "cube.dat");

class Submodels : public RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        Write("ldraw/parts/cube.dat", "0 Cube\n" + Box(-8, -8, -8, 8, 8, 8));
    }
    int Load() { return LoadText(kMain + kWing + kPod + kUnused + kHose, "model.mpd"); }
    const QzPart& Section(const char* name) {
        const QzPart* part = QzFindSubmodel(model, name);
        EXPECT_NE(part, nullptr) << name;
        return *part;
    }
    CliRun Cli(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--ldraw", library});
        return testing_support::RunZarvelCli(args);
    }
    std::string Render(const std::string& path, const std::vector<std::string>& more) {
        const std::string out = (dir.path() / "out.png").string();
        std::vector<std::string> args{"render", path, "-o", out, "--size", "120x90", "--view", "1"};
        args.insert(args.end(), more.begin(), more.end());
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        std::ifstream in(out, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(Submodels, SectionsComeInFileOrderWithTheirNamesAsWritten) {
    ASSERT_EQ(Load(), 1);
    std::vector<std::string> names;
    for (const QzModelSection& s : model.sections) names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{"main.ldr", "wing.ldr", "pod.ldr", "unused.ldr",
                                               "hose.dat"}));
    names.clear();
    for (const QzModelSection* s : QzSubmodels(model)) names.push_back(s->name);
    EXPECT_EQ(names, (std::vector<std::string>{"wing.ldr", "pod.ldr", "unused.ldr"}));
    EXPECT_TRUE(Section("wing.ldr").flags & PF_MAIN_SECTION);
    EXPECT_EQ(QzFindSubmodel(model, "hose.dat"), nullptr) << "a part is no submodel";
    EXPECT_EQ(QzFileName(model, model.Main()), "main.ldr");
    // A reload reads them anew, in the same order.
    ASSERT_EQ(Load(), 1);
    EXPECT_EQ(model.sections.size(), 5u);
}

TEST_F(Submodels, NamesAreFoundAsReferencesFindSections) {
    ASSERT_EQ(Load(), 1);
    const QzPart* pod = QzFindSubmodel(model, "pod.ldr");
    ASSERT_NE(pod, nullptr);
    EXPECT_EQ(QzFindSubmodel(model, "POD.Ldr"), pod);
    EXPECT_EQ(QzFindSubmodel(model, "Main.LDR"), &model.Main());
    for (const char* none : {"", "pod", "pod.ldr ", "nowhere.dat", "cube.dat", "model.mpd"})
        EXPECT_EQ(QzFindSubmodel(model, none), nullptr) << none;
    ASSERT_EQ(LoadText("0 FILE a/b.ldr\n0 FILE sub/Part.ldr\n" + Ref("4", "0", "cube.dat"),
                       "slashes.mpd"),
              1);
    EXPECT_NE(QzFindSubmodel(model, "SUB\\part.ldr"), nullptr);
    EXPECT_EQ(QzFindSubmodel(model, "a\\b.ldr"), &model.Main());
}

struct PartCase {
    const char* name;
    const char* header;
    bool part;
};

class SectionKinds : public Submodels, public ::testing::WithParamInterface<PartCase> {};

TEST_P(SectionKinds, NameAndHeaderSayWhetherASectionIsAPart) {
    const PartCase& c = GetParam();
    const std::string text = "0 FILE main.ldr\n" + Ref("4", "0", c.name) + std::string("0 FILE ") +
                             c.name + "\n" + c.header + Ref("16", "0", "cube.dat");
    ASSERT_EQ(LoadText(text, "kinds.mpd"), 1);
    ASSERT_EQ(model.sections.size(), 2u);
    const QzPart& section = model.parts[model.sections[1].index];
    EXPECT_EQ((section.flags & PF_SECTION_PART) != 0, c.part);
    EXPECT_EQ(QzIsSectionPart(section), c.part);
    EXPECT_EQ(QzSubmodels(model).size(), c.part ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SectionKinds,
    ::testing::Values(PartCase{"hose.dat", "0 Hose\n", true}, PartCase{"HOSE.DAT", "", true},
                      PartCase{"wing.ldr", "0 Wing\n", false}, PartCase{"wing.dat.ldr", "", false},
                      PartCase{"rope.ldr", "0 Rope\n0 !LDRAW_ORG Unofficial_Part\n", true},
                      PartCase{"rope.ldr", "0 Rope\n0 !LDRAW_ORG Part UPDATE 2020-01\n", true},
                      PartCase{"set.ldr", "0 !LDRAW_ORG Shortcut\n", true},
                      PartCase{"kit.dat", "0 Kit\n0 !LDRAW_ORG Unofficial_Model\n", false},
                      PartCase{"kit.dat", "0 !LDRAW_ORG Model\n", false},
                      // A Subpart header says nothing of parts or models: the name decides.
                      PartCase{"s\\side.dat", "0 !LDRAW_ORG Subpart\n", true},
                      // Only the header counts: the line after the first geometry does not.
                      PartCase{"late.ldr",
                               "1 16 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
                               "0 !LDRAW_ORG Part\n",
                               false},
                      PartCase{"word.ldr", "0 !LDRAW_ORGANISATION Part\n", false}));

TEST_F(Submodels, SubAssembliesAreBuiltOnceBeforeTheFirstStepThatPlacesThem) {
    ASSERT_EQ(Load(), 1);
    const QzPart& main = model.Main();
    const QzPart& wing = Section("wing.ldr");
    const QzPart& pod = Section("pod.ldr");
    const std::vector<QzBuildStep> order = QzBuildOrder(main);
    struct Expected {
        const QzPart* file;
        int step, count;
        std::vector<std::string> adds;  // file and colour of each reference, in order
    };
    const std::vector<Expected> expected = {
        {&main, 1, 3, {"cube.dat 4"}},
        {&wing, 1, 2, {"cube.dat 1"}},
        {&pod, 1, 2, {"cube.dat 14"}},
        {&pod, 2, 2, {"cube.dat 0"}},
        {&wing, 2, 2, {"pod.ldr 16", "pod.ldr 16"}},
        {&main, 2, 3, {"Wing.ldr 16", "wing.ldr 16", "hose.dat 4"}},
        // Inside the transform block, in the step of the block.
        {&main, 3, 3, {"POD.LDR 2"}},
    };
    ASSERT_EQ(order.size(), expected.size());
    for (size_t i = 0; i < order.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(order[i].file, expected[i].file);
        EXPECT_EQ(order[i].step, expected[i].step);
        EXPECT_EQ(order[i].count, expected[i].count);
        std::vector<std::string> adds;
        for (const QzLine* line : order[i].references)
            adds.push_back(QzWrittenName(model, *line) + " " + std::to_string(line->fileColour));
        EXPECT_EQ(adds, expected[i].adds);
    }
}

TEST_F(Submodels, AModelWithoutStepsOrSubmodelsIsOneStep) {
    ASSERT_EQ(LoadText("0 Just a cube\n" + Ref("4", "0", "cube.dat"), "one.ldr"), 1);
    const std::vector<QzBuildStep> order = QzBuildOrder(model.Main());
    ASSERT_EQ(order.size(), 1u);
    EXPECT_EQ(order[0].step, 1);
    EXPECT_EQ(order[0].references.size(), 1u);
    EXPECT_TRUE(model.sections.empty());
    EXPECT_EQ(QzFileName(model, model.Main()), "one.ldr");
}

TEST_F(Submodels, TheCommandListsEachWithItsStepsAndPlacements) {
    const std::string path = Write("model.mpd", kMain + kWing + kPod + kUnused + kHose);
    const CliRun r = Cli({"submodels", path});
    EXPECT_EQ(r.status, 0) << r.err;
    // pod.ldr: twice in each of the two wings, once in the main model.
    EXPECT_EQ(r.out, "wing.ldr\t2\t2\npod.ldr\t2\t5\nunused.ldr\t1\t0\n");
    const CliRun plain = Cli({"submodels", Write("plain.ldr", Ref("4", "0", "cube.dat"))});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out, "");
}

TEST_F(Submodels, ASubmodelTheModelDoesNotPlaceIsReadThroughWhenChosen) {
    ASSERT_EQ(Load(), 1);
    QzPart& unused = *QzFindSubmodel(model, "unused.ldr");
    EXPECT_FALSE(unused.flags & PF_RESOLVED);
    EXPECT_EQ(QzResolveSection(model, unused, settings, palette), 0);
    EXPECT_TRUE(unused.flags & PF_RESOLVED);
    EXPECT_FALSE(unused.flags & PF_EMPTY);
    ASSERT_FALSE(boxes.box.calls.empty());
    EXPECT_EQ(boxes.box.calls.back().text, "Could not find nowhere.dat\nReferenced by unused.ldr");
    // From the command line, with what it logs.
    const std::string path = Write("model.mpd", kMain + kWing + kPod + kUnused + kHose);
    const CliRun r = Cli({"steps", "--submodel", "Unused.ldr", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1\n");
    EXPECT_NE(r.err.find("Could not find nowhere.dat"), std::string::npos) << r.err;
}

TEST_F(Submodels, AReferenceCycleAmongUnplacedSubmodelsLeavesThemUnresolved) {
    const std::string text = "0 FILE main.ldr\n" + Ref("4", "0", "cube.dat") + "0 FILE a.ldr\n" +
                             Ref("4", "0", "b.ldr") + "0 FILE b.ldr\n" + Ref("4", "0", "a.ldr");
    ASSERT_EQ(LoadText(text, "cycle.mpd"), 1);
    QzPart& a = *QzFindSubmodel(model, "a.ldr");
    EXPECT_EQ(QzResolveSection(model, a, settings, palette), 2);
    EXPECT_FALSE(a.flags & PF_RESOLVED);
    EXPECT_FALSE(a.flags & PF_BUSY);
    const CliRun r = Cli({"render", Write("cycle.mpd", text), "-o", (dir.path() / "c.png").string(),
                          "--submodel", "a.ldr"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Recursive references"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("could not load submodel a.ldr"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "c.png"));
}

// The same file with the chosen section moved first: it is then the main model.
TEST_F(Submodels, ASubmodelIsWhatTheFileWithItMovedFirstShows) {
    const std::string mpd = Write("model.mpd", kMain + kWing + kPod + kUnused + kHose);
    const std::string moved = Write("moved.mpd", kWing + kMain + kPod + kUnused + kHose);
    const std::vector<std::string> wing{"--submodel", "WING.ldr"};
    for (const std::vector<std::string>& how :
         {std::vector<std::string>{}, std::vector<std::string>{"--fit"},
          std::vector<std::string>{"--quality", "high", "--fit"},
          std::vector<std::string>{"--step", "1"},
          std::vector<std::string>{"--preview", "solid", "--zoom", "150"}}) {
        std::vector<std::string> chosen = how;
        chosen.insert(chosen.end(), wing.begin(), wing.end());
        const std::string picture = Render(mpd, chosen);
        EXPECT_FALSE(picture.empty());
        EXPECT_EQ(picture, Render(moved, how)) << testing::PrintToString(how);
        EXPECT_NE(picture, Render(mpd, how)) << "the main model looks otherwise";
    }
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"steps"}, std::vector<std::string>{"parts"},
          std::vector<std::string>{"parts", "--format", "csv"},
          std::vector<std::string>{"tree", "--depth", "3", "--mode", "bbox"}}) {
        std::vector<std::string> chosen = command;
        chosen.insert(chosen.end(), wing.begin(), wing.end());
        chosen.push_back(mpd);
        std::vector<std::string> first = command;
        first.push_back(moved);
        const CliRun a = Cli(chosen);
        const CliRun b = Cli(first);
        EXPECT_EQ(a.status, 0) << a.err;
        // The first section's FILE line is a line of the main model.
        const std::string file = command[0] == "tree" ? "0 FILE wing.ldr\n" : "";
        EXPECT_EQ(file + a.out, b.out) << command[0];
    }
    // The report shows the submodel's title, author and box.
    const CliRun stats = Cli({"stats", "--submodel", "pod.ldr", mpd});
    EXPECT_EQ(stats.status, 0) << stats.err;
    EXPECT_EQ(stats.out.substr(0, stats.out.find("\n\n")), "Title:\tA pod\nAuthor:\tPod maker");
    EXPECT_NE(stats.out.find("BoundingBox:\t<-8,-8,-8> <13,8,8>"), std::string::npos) << stats.out;
    // The main model by its section's name is the main model.
    EXPECT_EQ(Render(mpd, {"--submodel", "main.ldr"}), Render(mpd, {}));
}

TEST_F(Submodels, AnExportOfASubmodelIsThatOfTheFileWithItMovedFirst) {
    const std::string mpd = Write("model.mpd", kMain + kWing + kPod + kUnused + kHose);
    // Named as the section is, for the model's node.
    const std::string moved = Write("moved/wing.ldr", kWing + kMain + kPod + kUnused + kHose);
    auto exported = [&](const std::string& path, std::vector<std::string> more) {
        const std::string out = (dir.path() / "out.glb").string();
        std::vector<std::string> args{"export", path, "-o", out};
        args.insert(args.end(), more.begin(), more.end());
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return std::make_pair(r.out, testing_support::Slurp(out));
    };
    for (const std::vector<std::string>& how :
         {std::vector<std::string>{}, std::vector<std::string>{"--step", "1"},
          std::vector<std::string>{"--step", "2"}}) {
        std::vector<std::string> chosen = how;
        chosen.insert(chosen.end(), {"--submodel", "WING.ldr"});
        const auto a = exported(mpd, chosen);
        EXPECT_GT(a.second.size(), 1000u);
        EXPECT_EQ(a, exported(moved, how)) << testing::PrintToString(how);
        EXPECT_NE(a.second, exported(mpd, how).second);
    }
    // The submodel's own steps: wing.ldr has two.
    const CliRun r = Cli({"export", "--submodel", "pod.ldr", "--step", "3", mpd, "-o",
                          (dir.path() / "pod.glb").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "zarvel-cli: --step 3: the model has 2 steps\nRun with --help for more "
              "information.\n");
}

TEST_F(Submodels, AnUnknownNameIsAUsageErrorListingTheSubmodels) {
    const std::string mpd = Write("model.mpd", kMain + kWing + kPod + kUnused + kHose);
    const std::string out = (dir.path() / "x.png").string();
    for (const std::vector<std::string>& args : {std::vector<std::string>{"render", mpd, "-o", out},
                                                 {"stats", mpd},
                                                 {"steps", mpd},
                                                 {"parts", mpd},
                                                 {"tree", mpd},
                                                 {"export", mpd, "-o", out + ".glb"}}) {
        std::vector<std::string> call = args;
        call.insert(call.end(), {"--submodel", "hose.dat"});
        const CliRun r = Cli(call);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err,
                  "zarvel-cli: --submodel hose.dat: no submodel of that name; the submodels are "
                  "wing.ldr, pod.ldr, unused.ldr\nRun with --help for more information.\n")
            << args[0];
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(out + ".glb"));
    // Twenty names, and how many more.
    std::string many = "0 FILE main.ldr\n" + Ref("4", "0", "cube.dat");
    for (int i = 1; i <= 23; ++i) many += "0 FILE s" + std::to_string(i) + ".ldr\n";
    const CliRun r = Cli({"steps", "--submodel", "nothing", Write("many.mpd", many)});
    EXPECT_EQ(r.status, 2);
    std::string names;
    for (int i = 1; i <= 20; ++i) names += (i == 1 ? "s" : ", s") + std::to_string(i) + ".ldr";
    EXPECT_EQ(r.err,
              "zarvel-cli: --submodel nothing: no submodel of that name; the submodels are " +
                  names + " and 3 more\nRun with --help for more information.\n");
    // A name that would move a terminal's cursor shows as text.
    const CliRun odd = Cli({"steps", "--submodel", "a\x1b[2Jb",
                            Write("odd.mpd", "0 FILE main.ldr\n0 FILE \x1b]0;x\x07.ldr\n")});
    EXPECT_EQ(odd.status, 2);
    EXPECT_EQ(odd.err,
              "zarvel-cli: --submodel a?[2Jb: no submodel of that name; the submodels are "
              "?]0;x?.ldr\nRun with --help for more information.\n");
    const CliRun none =
        Cli({"steps", "--submodel", "x.ldr", Write("plain.ldr", Ref("4", "0", "cube.dat"))});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err,
              "zarvel-cli: --submodel x.ldr: the model has no submodels\nRun with --help for "
              "more information.\n");
}

// ---- Real models ----

TEST(RealModels, PartsTheCafeCornerDefinesAreCounted) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    const std::string model = (ldraw / "models" / "10182-1 - Cafe Corner.mpd").string();
    const CliRun parts = testing_support::RunZarvelCli(
        {"parts", "--ldraw", ldraw.string(), "--format", "csv", model});
    EXPECT_EQ(parts.status, 0) << parts.err;
    // The hose: two end pieces and 340 segments of the file's own.
    EXPECT_NE(parts.out.find("10182 - LS50.dat,0,Black,4,"), std::string::npos);
    EXPECT_NE(parts.out.find("10182 - LS51.dat,0,Black,340,"), std::string::npos);
    const CliRun submodels =
        testing_support::RunZarvelCli({"submodels", "--ldraw", ldraw.string(), model});
    EXPECT_EQ(submodels.status, 0);
    EXPECT_EQ(submodels.out.find("LS5"), std::string::npos);
    EXPECT_NE(submodels.out.find("\n"), std::string::npos);
}

TEST(RealModels, AGuideOfTheMoonBuggy) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    testing_support::TempDir dir;
    const std::string guide = (dir.path() / "guide").string();
    const CliRun r = testing_support::RunZarvelCli(
        {"instructions", "--ldraw", ldraw.string(), "--size", "320x240",
         (ldraw / "models" / "1180-1 - Space Port Moon Buggy.mpd").string(), "-o", guide});
    ASSERT_EQ(r.status, 0) << r.err;
    // The minifigure, placed by the last step, is built just before it.
    EXPECT_EQ(r.out, "Wrote 9 steps and 30 pictures to " + guide + "\n");
    const std::string json = testing_support::Slurp(guide + "/steps.json");
    const std::regex entry("\"model\": \"1180 - ([A-Za-z ]+)\\.ldr\",\\s*\"step\": (\\d+)");
    std::string order;
    for (auto it = std::sregex_iterator(json.begin(), json.end(), entry);
         it != std::sregex_iterator(); ++it)
        order += (*it)[1].str() + " " + (*it)[2].str() + "; ";
    EXPECT_EQ(order,
              "Moon Buggy 1; Moon Buggy 2; Moon Buggy 3; Moon Buggy 4; Moon Buggy 5; Moon Buggy "
              "6; Moon Buggy 7; Minifig 1; Moon Buggy 8; ");
    EXPECT_EQ(testing_support::Entries(guide).size(), 32u);
}

// ---- The fade of earlier steps ----

TEST(FadedColour, GoesTowardsWhiteAndKeepsTransparency) {
    const QzPalette palette;                                  // scheme 0
    EXPECT_EQ(QzFadedColour(palette, 0x2000000), 0x2999999);  // black: 60% to white
    EXPECT_EQ(QzFadedColour(palette, 0x2FFFFFF), 0x2FFFFFF);
    EXPECT_EQ(QzFadedColour(palette, 0x3000000), 0x3999999);
    EXPECT_EQ(QzFadedColour(palette, 32) >> 24, 3) << "transparent stays transparent";
    EXPECT_EQ(QzFadedColour(palette, 100), 100) << "an undefined colour stays";
    float rgb[3], faded[3];
    ASSERT_EQ(QzColourToRgb(palette, 4, rgb), 0);
    ASSERT_EQ(QzColourToRgb(palette, QzFadedColour(palette, 4), faded), 0);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(faded[c], rgb[c] + (1 - rgb[c]) * 0.6f, 0.003f);
}

class Fade : public Submodels, public ::testing::WithParamInterface<bool> {};

TEST_P(Fade, EarlierStepsAreLighterAndTheNewPartsKeepTheirColours) {
    // Two cubes side by side, the right one added by step 2; flat colours.
    ASSERT_EQ(
        LoadText(Ref("1", "-20", "cube.dat") + "0 STEP\n" + Ref("4", "20", "cube.dat"), "two.ldr"),
        1);
    auto draw = [&](bool fade) {
        QzViewCore view;
        view.State().SetStandardView(9);
        view.State().options.shading = false;
        view.State().options.highQuality = GetParam();
        view.State().options.fadeEarlierSteps = fade;
        view.State().step = 2;
        EXPECT_TRUE(view.Resize(80, 40));
        view.FitCentred(model);
        view.Draw(model);
        return view.RgbPixels();
    };
    const std::vector<uint8_t> plain = draw(false), faded = draw(true);
    ASSERT_EQ(plain.size(), faded.size());
    int lighter = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 80; ++x) {
            const size_t at = (static_cast<size_t>(y) * 80 + x) * 3;
            for (int c = 0; c < 3; ++c) {
                if (x >= 40) {
                    // The new cube and the background right of the middle: as they were.
                    ASSERT_EQ(faded[at + c], plain[at + c]) << x << "," << y;
                } else {
                    EXPECT_GE(faded[at + c], plain[at + c]) << x << "," << y;
                    lighter += faded[at + c] > plain[at + c];
                }
            }
        }
    EXPECT_GT(lighter, 300) << "the earlier cube is lighter";
    // The first step has no earlier one: nothing faded.
    QzViewCore view;
    view.State().options.highQuality = GetParam();
    view.State().options.fadeEarlierSteps = true;
    view.State().step = 1;
    ASSERT_TRUE(view.Resize(80, 40));
    view.Draw(model);
    QzViewCore again;
    again.State().options.highQuality = GetParam();
    again.State().step = 1;
    ASSERT_TRUE(again.Resize(80, 40));
    again.Draw(model);
    EXPECT_EQ(view.RgbPixels(), again.RgbPixels());
}

INSTANTIATE_TEST_SUITE_P(BothDrawings, Fade, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "High" : "Normal"; });

}  // namespace
}  // namespace render_test
