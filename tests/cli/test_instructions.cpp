// Building instructions: the guide of a hand-made model file (the order, what each step
// adds, steps.json whole, the pages of index.html and the pictures they show), text and
// names from the model that try to be markup or to leave the folder, a folder that is a
// file or holds files of its own, a model without steps, a full disk and Cancel (no
// index.html that shows a picture not there), the same guide on one thread as on two,
// the fade and the quality; and the guide printed by Chromium, one step per page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "cli_run.h"
#include "instructions.h"
#include "loader.h"
#include "model.h"
#include "test_support.h"

namespace {

using testing_support::CliRun;
using testing_support::Entries;
using testing_support::Slurp;
namespace fs = std::filesystem;

std::string Ref(const std::string& colour, const std::string& x, const std::string& name) {
    return "1 " + colour + " " + x + " 0 0 1 0 0 0 1 0 0 0 1 " + name + "\n";
}

// A title and author that try to be markup; wing.ldr placed twice (written two ways),
// its parts in two colours, one of them written otherwise; a section whose name would
// lead out of the folder and whose description is markup.
const std::string kModel =
    "0 FILE main.ldr\n"
    "0 <script>alert(1)</script>\n"
    "0 Author: A & B \"<b>\"\n" +
    Ref("4", "-100", "cube.dat") + "0 STEP\n" + Ref("16", "40", "Wing.ldr") +
    Ref("16", "-40", "wing.ldr") + Ref("4", "80", "../../x.ldr") + "0 STEP\n" +
    "0 FILE wing.ldr\n0 A wing\n" + Ref("1", "0", "cube.dat") + Ref("1", "20", "cube.dat") +
    Ref("2", "40", "CUBE.dat") + "0 FILE ../../x.ldr\n0 <img src=x onerror=alert(1)>\n" +
    Ref("14", "0", "cube.dat");

const char* const kStepsJson = R"([
  {
    "model": "main.ldr",
    "step": 1,
    "picture": "step-0001.png",
    "parts": [
      {
        "part": "cube.dat",
        "colour": 4,
        "quantity": 1
      }
    ]
  },
  {
    "model": "wing.ldr",
    "step": 1,
    "picture": "step-0002.png",
    "parts": [
      {
        "part": "cube.dat",
        "colour": 1,
        "quantity": 2
      },
      {
        "part": "CUBE.dat",
        "colour": 2,
        "quantity": 1
      }
    ]
  },
  {
    "model": "../../x.ldr",
    "step": 1,
    "picture": "step-0003.png",
    "parts": [
      {
        "part": "cube.dat",
        "colour": 14,
        "quantity": 1
      }
    ]
  },
  {
    "model": "main.ldr",
    "step": 2,
    "picture": "step-0004.png",
    "parts": [
      {
        "part": "Wing.ldr",
        "colour": 16,
        "quantity": 2
      },
      {
        "part": "../../x.ldr",
        "colour": 4,
        "quantity": 1
      }
    ]
  }
]
)";

class Instructions : public ::testing::Test {
  protected:
    void SetUp() override {
        library = (root.path() / "ldraw").string();
        root.Write("ldraw/parts/cube.dat", "0 Cube\n" + std::string(testing_support::kCube));
        root.Write("ldraw/p/.keep", "");
        model = root.Write("work/model.mpd", kModel);
        guide = (root.path() / "work" / "guide").string();
    }
    CliRun Cli(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--ldraw", library});
        return testing_support::RunZarvelCli(args);
    }
    CliRun Write(const std::string& path, const std::string& dir,
                 std::vector<std::string> more = {}) {
        std::vector<std::string> args{"instructions", path, "-o", dir, "--size", "160x120"};
        args.insert(args.end(), more.begin(), more.end());
        return Cli(args);
    }
    // Every picture index.html shows, in order.
    static std::vector<std::string> Pictures(const std::string& html) {
        std::vector<std::string> found;
        const std::regex src("src=\"([^\"]*)\"");
        for (auto it = std::sregex_iterator(html.begin(), html.end(), src);
             it != std::sregex_iterator(); ++it)
            found.push_back((*it)[1]);
        return found;
    }
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }
    // The files of a folder with their contents.
    static std::map<std::string, std::string> Contents(const fs::path& dir) {
        std::map<std::string, std::string> files;
        for (const std::string& name : Entries(dir)) files[name] = Slurp((dir / name).string());
        return files;
    }
    // Loads the test's model for the writer's own interface.
    void Load(QzModel& loaded, QzPalette& palette) {
        QzLoadSettings settings;
        settings.ldrawDir = library;
        ASSERT_EQ(QzLoadModel(loaded, model, settings, palette, false), 1);
    }

    testing_support::TempDir root;
    testing_support::ScopedMessageBox boxes;
    std::string library, model, guide;
};

TEST_F(Instructions, AGuideOfTheModelInBuildingOrder) {
    const CliRun r = Write(model, guide);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Wrote 4 steps and 10 pictures to " + guide + "\n");
    // Four steps; six part pictures: cube in 4, 1, 2 and 14, wing.ldr and x.ldr.
    std::vector<std::string> expected{"index.html"};
    for (int i = 1; i <= 6; ++i) expected.push_back(QzGuidePartPicture(i));
    for (int i = 1; i <= 4; ++i) expected.push_back(QzGuideStepPicture(i));
    expected.push_back("steps.json");
    EXPECT_EQ(Entries(guide), expected);
    EXPECT_EQ(Slurp(guide + "/steps.json"), kStepsJson);

    const std::string html = Slurp(guide + "/index.html");
    // Each page in order, sub-assemblies before the step that places them.
    size_t at = 0;
    for (const char* page :
         {"<h1>&lt;script&gt;alert(1)&lt;/script&gt;</h1>",
          "<p class=\"meta\">By A &amp; B &quot;&lt;b&gt;&quot;</p>",
          "<p class=\"meta\">main.ldr, 4 steps, 8 parts</p>",
          "<span class=\"number\">1</span><span class=\"builds\">Main model: step 1 of 2</span>",
          "<span class=\"number\">2</span><span class=\"builds\">Submodel wing.ldr: step 1 of "
          "1</span>",
          "<span class=\"number\">3</span><span class=\"builds\">Submodel ../../x.ldr: step 1 "
          "of 1</span>",
          "<span class=\"number\">4</span><span class=\"builds\">Main model: step 2 of 2</span>",
          "<li class=\"submodel\"><img src=\"part-0005.png\" alt=\"\"><span "
          "class=\"quantity\">2x</span><br>Wing.ldr</li>"}) {
        const size_t found = html.find(page, at);
        EXPECT_NE(found, std::string::npos) << page;
        if (found != std::string::npos) at = found;
    }
    EXPECT_EQ(Count(html, "<section class=\"page step\""), 4);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    // Every picture it shows is there, the steps' in order.
    std::set<std::string> shown;
    for (const std::string& picture : Pictures(html)) {
        EXPECT_TRUE(fs::is_regular_file(fs::path(guide) / picture)) << picture;
        shown.insert(picture);
    }
    EXPECT_EQ(shown.size(), 10u);
    // Nothing was written beside the folder, nor above it.
    EXPECT_EQ(Entries(root.path() / "work"), (std::vector<std::string>{"guide", "model.mpd"}));
    EXPECT_EQ(Entries(root.path()), (std::vector<std::string>{"ldraw", "work"}));
}

TEST_F(Instructions, NamesThatAreNoTextStayText) {
    // A name with quotes and angle brackets, and a title with a byte that is no UTF-8.
    const std::string text = "0 FILE main.ldr\n0 Caf\xe9 \"1\"\n" + Ref("4", "0", "<q\">.ldr") +
                             "0 FILE <q\">.ldr\n" + Ref("1", "0", "cube.dat");
    const CliRun r = Write(root.Write("odd.mpd", text), guide);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string html = Slurp(guide + "/index.html");
    EXPECT_NE(html.find("<h1>Caf\xc3\xa9 &quot;1&quot;</h1>"), std::string::npos);
    EXPECT_NE(html.find("Submodel &lt;q&quot;&gt;.ldr: step 1 of 1"), std::string::npos);
    const std::string json = Slurp(guide + "/steps.json");
    EXPECT_NE(json.find("\"model\": \"<q\\\">.ldr\""), std::string::npos) << json;
}

TEST_F(Instructions, AFolderThatIsAFileIsAnError) {
    const std::string file = root.Write("work/file", "mine");
    const CliRun r = Write(model, file);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zarvel-cli: instructions: " + file + " is not a folder\n");
    EXPECT_EQ(Slurp(file), "mine");
    EXPECT_EQ(Write(model, guide, {"--size", "0x10"}).status, 2);
    EXPECT_FALSE(fs::exists(guide));
}

TEST_F(Instructions, InAFolderWithFilesOnlyTheGuidesFilesAreReplaced) {
    root.Write("work/guide/notes.txt", "keep me");
    root.Write("work/guide/step-0099.png", "an old picture");
    root.Write("work/guide/step-0001.png", "replaced");
    const CliRun r = Write(model, guide);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(guide + "/notes.txt"), "keep me");
    EXPECT_EQ(Slurp(guide + "/step-0099.png"), "an old picture");
    EXPECT_EQ(Slurp(guide + "/step-0001.png").substr(1, 3), "PNG");
    // Written again, the guide is the same.
    const auto first = Contents(guide);
    ASSERT_EQ(Write(model, guide).status, 0);
    EXPECT_EQ(Contents(guide), first);
}

TEST_F(Instructions, AModelWithoutStepsIsOnePage) {
    const CliRun r =
        Write(root.Write("one.ldr", "0 One cube\n" + Ref("4", "0", "cube.dat")), guide);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string html = Slurp(guide + "/index.html");
    EXPECT_EQ(Count(html, "<section class=\"page step\""), 1);
    EXPECT_NE(html.find("Main model: step 1 of 1"), std::string::npos);
    EXPECT_EQ(Slurp(guide + "/steps.json"),
              "[\n  {\n    \"model\": \"one.ldr\",\n    \"step\": 1,\n    \"picture\": "
              "\"step-0001.png\",\n    \"parts\": [\n      {\n        \"part\": \"cube.dat\",\n"
              "        \"colour\": 4,\n        \"quantity\": 1\n      }\n    ]\n  }\n]\n");
    // A step with nothing to show is a picture all the same.
    const CliRun empty = Write(root.Write("empty.ldr", "0 Nothing\n"), guide + "2");
    ASSERT_EQ(empty.status, 0) << empty.err;
    EXPECT_TRUE(fs::exists(guide + "2/step-0001.png"));
}

TEST_F(Instructions, AGuideThatCannotBeFinishedShowsNoMissingPicture) {
    // An earlier guide in the folder: what shows it stays as it was.
    ASSERT_EQ(Write(root.Write("one.ldr", Ref("4", "0", "cube.dat")), guide).status, 0);
    const auto before = Contents(guide);
    {
        // A disk that takes no file larger than a few hundred bytes.
        testing_support::ScopedFileSizeLimit full(300);
        const CliRun r = Write(model, guide);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("zarvel-cli: instructions: "), std::string::npos) << r.err;
    }
    EXPECT_EQ(Slurp(guide + "/index.html"), before.at("index.html"));
    EXPECT_EQ(Slurp(guide + "/steps.json"), before.at("steps.json"));
    for (const std::string& picture : Pictures(Slurp(guide + "/index.html")))
        EXPECT_TRUE(fs::exists(fs::path(guide) / picture)) << picture;
    // In a new folder: no index.html at all.
    {
        testing_support::ScopedFileSizeLimit full(300);
        EXPECT_EQ(Write(model, guide + "2").status, 1);
    }
    EXPECT_FALSE(fs::exists(guide + "2/index.html"));
    EXPECT_FALSE(fs::exists(guide + "2/steps.json"));
}

TEST_F(Instructions, CancelStopsWithoutAnIndex) {
    QzModel loaded;
    QzPalette palette;
    Load(loaded, palette);
    QzGuideOptions options;
    options.width = 160;
    options.height = 120;
    std::vector<std::pair<int, int>> calls;
    const QzGuideResult done =
        QzWriteGuide(loaded, palette, library, guide, options, [&](int step, int total) {
            calls.emplace_back(step, total);
            return true;
        });
    EXPECT_EQ(done.outcome, QzGuideResult::Outcome::Written) << done.error;
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), std::make_pair(4, 4)) << "the last call has every step done";
    for (size_t i = 1; i < calls.size(); ++i) EXPECT_LE(calls[i - 1].first, calls[i].first);

    const std::string other = guide + "2";
    const QzGuideResult cancelled =
        QzWriteGuide(loaded, palette, library, other, options, [](int, int) { return false; });
    EXPECT_EQ(cancelled.outcome, QzGuideResult::Outcome::Cancelled);
    EXPECT_LT(cancelled.pictures, 10);
    EXPECT_FALSE(fs::exists(other + "/index.html"));
    EXPECT_FALSE(fs::exists(other + "/steps.json"));
}

TEST_F(Instructions, OneThreadDrawsWhatTwoDraw) {
    QzModel loaded;
    QzPalette palette;
    Load(loaded, palette);
    QzGuideOptions options;
    options.width = 160;
    options.height = 120;
    options.threads = 1;
    ASSERT_EQ(QzWriteGuide(loaded, palette, library, guide + "1", options).outcome,
              QzGuideResult::Outcome::Written);
    options.threads = 2;
    ASSERT_EQ(QzWriteGuide(loaded, palette, library, guide + "2", options).outcome,
              QzGuideResult::Outcome::Written);
    EXPECT_EQ(Contents(guide + "1"), Contents(guide + "2"));
}

TEST_F(Instructions, EarlierStepsAreLighterUnlessTold) {
    ASSERT_EQ(Write(model, guide).status, 0);
    ASSERT_EQ(Write(model, guide + "-plain", {"--no-fade"}).status, 0);
    ASSERT_EQ(Write(model, guide + "-normal", {"--quality", "normal"}).status, 0);
    const auto faded = Contents(guide), plain = Contents(guide + "-plain"),
               normal = Contents(guide + "-normal");
    // The first step of each file has nothing earlier; the last one of the main model does.
    for (const char* first : {"step-0001.png", "step-0002.png", "step-0003.png"})
        EXPECT_EQ(faded.at(first), plain.at(first)) << first;
    EXPECT_NE(faded.at("step-0004.png"), plain.at("step-0004.png"));
    EXPECT_EQ(faded.at("part-0001.png"), plain.at("part-0001.png"));
    EXPECT_NE(faded.at("step-0001.png"), normal.at("step-0001.png"));
    EXPECT_EQ(faded.at("steps.json"), normal.at("steps.json"));
}

// Chromium, as a reader would print the guide: the title page and one page per step.
TEST_F(Instructions, ChromiumPrintsOneStepPerPage) {
    if (std::system("command -v chromium >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "chromium is not installed";
    ASSERT_EQ(Cli({"instructions", model, "-o", guide}).status, 0);
    const std::string pdf = (root.path() / "guide.pdf").string();
    const std::string command = "HOME='" + root.path().string() +
                                "' timeout 100 chromium --headless --no-sandbox " +
                                "--disable-gpu --no-pdf-header-footer --print-to-pdf='" + pdf +
                                "' 'file://" + guide + "/index.html' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    // The root of the page tree counts every page: the largest count.
    const std::string printed = Slurp(pdf);
    const std::regex count("/Count (\\d+)");
    int pages = 0;
    for (auto it = std::sregex_iterator(printed.begin(), printed.end(), count);
         it != std::sregex_iterator(); ++it)
        pages = std::max(pages, std::stoi((*it)[1]));
    EXPECT_EQ(pages, 1 + 4);
}

}  // namespace
