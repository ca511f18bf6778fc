// Finding files in the seven places, resolving references, cycles, missing files,
// bounds, transparency and the parts cache.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "colours.h"
#include "reader_fixture.h"

namespace {

using reader_test::FindEntry;
using reader_test::Lines;
using reader_test::ReaderTest;

class Loader : public ReaderTest {
  protected:
    void SetUp() override {
        ReaderTest::SetUp();
        settings.onFileOpened = [this](const QzPart&, const std::string& path) {
            opened.push_back(path);
        };
    }
    // Where the search found a name during the last load: a reader with the same
    // library and model folder opens the file the load opened last, at that place.
    int PlaceOf(const std::string& name) {
        QzReader reader(model, settings, palette, library);
        reader.modelDir = modelPath.substr(0, modelPath.find_last_of("/\\") + 1);
        plat::TextFile* file = QzOpenPartFile(reader, name);
        EXPECT_NE(file, nullptr) << name;
        if (!file) return 0;
        EXPECT_FALSE(opened.empty());
        if (!opened.empty()) {
            EXPECT_EQ(file->Path(), opened.back()) << name;
        }
        return reader.foundPlace;
    }
    std::vector<std::string> opened;

    std::string Ref(const std::string& name, int colour = 16) {
        return "1 " + std::to_string(colour) + " 0 0 0 1 0 0 0 1 0 0 0 1 " + name + "\n";
    }
    // Loads a model referencing the name; returns the referenced part.
    QzPart* LoadReference(const std::string& name) {
        EXPECT_EQ(LoadText(Ref(name), "models/m.ldr"), 1);
        auto lines = Lines(Main());
        return lines.empty() ? nullptr : lines[0]->part;
    }
};

constexpr const char* kEdge = "2 24 0 0 0 1 1 1\n";

TEST_F(Loader, NameAsWrittenBeforeDatEverywhere) {
    // "3001" beside the model (place 7) wins over "3001.dat" in the library.
    Write("ldraw/parts/3001.dat", kEdge);
    std::string exact = Write("models/3001", kEdge);
    QzPart* part = LoadReference("3001");
    ASSERT_NE(part, nullptr);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], exact);
    EXPECT_EQ(part->flags & (PF_PARTS_DIR | PF_PRIM_DIR), 0u);
    EXPECT_EQ(PlaceOf("3001"), QZ_PLACE_MODEL_DIR);
}

// Runs a load with the current directory set to a folder of the scratch area.
class CurrentDirectory : public Loader {
  protected:
    void SetUp() override {
        Loader::SetUp();
        saved = std::filesystem::current_path();
        std::filesystem::create_directories(dir.path() / "cwd");
        std::filesystem::current_path(dir.path() / "cwd");
    }
    void TearDown() override {
        std::filesystem::current_path(saved);
        Loader::TearDown();
    }
    std::filesystem::path saved;
};

TEST_F(CurrentDirectory, WinsOverTheLibraryForTheSameName) {
    Write("ldraw/parts/3001.dat", kEdge);
    std::string here = Write("cwd/3001.dat", kEdge);
    QzPart* part = LoadReference("3001.dat");
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(PlaceOf("3001.dat"), QZ_PLACE_AS_WRITTEN);
    EXPECT_EQ(part->flags & (PF_PARTS_DIR | PF_PRIM_DIR), 0u);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(std::filesystem::canonical(opened[1]), std::filesystem::canonical(here));
}

TEST_F(CurrentDirectory, NameAsWrittenInTheLibraryWinsOverDatHere) {
    Write("ldraw/parts/3001", kEdge);
    Write("cwd/3001.dat", kEdge);
    QzPart* part = LoadReference("3001");
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(PlaceOf("3001"), QZ_PLACE_PARTS);
    EXPECT_EQ(part->flags & (PF_PARTS_DIR | PF_PRIM_DIR), PF_PARTS_DIR);
}

TEST_F(Loader, LibraryPlacesInOrderWithTheirFlags) {
    struct Case {
        const char* file;
        int place;
        uint32_t flags;
    } cases[] = {
        {"ldraw/BFC/P/x.dat", QZ_PLACE_BFC_P, PF_PRIM_DIR},
        {"ldraw/bfc/parts/x.dat", QZ_PLACE_BFC_PARTS, PF_PARTS_DIR},
        {"ldraw/p/x.dat", QZ_PLACE_P, PF_PRIM_DIR},
        {"ldraw/PARTS/x.dat", QZ_PLACE_PARTS, PF_PARTS_DIR},
        {"ldraw/models/x.dat", QZ_PLACE_MODELS, 0},
        {"models/x.dat", QZ_PLACE_MODEL_DIR, 0},
    };
    // Each file shadows those after it; remove them one by one from the front.
    for (const Case& c : cases) Write(c.file, kEdge);
    for (const Case& c : cases) {
        FreshModel();
        opened.clear();
        QzPart* part = LoadReference("x.dat");
        ASSERT_NE(part, nullptr) << c.file;
        EXPECT_EQ(PlaceOf("x.dat"), c.place) << c.file;
        EXPECT_EQ(part->flags & (PF_PARTS_DIR | PF_PRIM_DIR), c.flags) << c.file;
        std::filesystem::remove(dir.path() / c.file);
    }
}

TEST_F(Loader, SubpartsAndCaseOfNames) {
    Write("ldraw/parts/s/3001s01.dat", kEdge);
    Write("ldraw/p/48/4-4Cyli.dat", kEdge);
    Write("ldraw/parts/3001.dat",
          "1 16 0 0 0 1 0 0 0 1 0 0 0 1 S\\3001S01.DAT\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 "
          "48/4-4cyli.dat\n");
    QzPart* part = LoadReference("3001.dat");
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(model.inputLog, "");
    EXPECT_TRUE(Boxes().empty());
    auto lines = Lines(part);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]->part->name, "s\\3001s01.dat");
    EXPECT_EQ(lines[0]->part->flags & (PF_PARTS_DIR | PF_PRIM_DIR), PF_PARTS_DIR);
    EXPECT_EQ(lines[1]->part->name, "48\\4-4cyli.dat");
    EXPECT_EQ(lines[1]->part->flags & (PF_PARTS_DIR | PF_PRIM_DIR), PF_PRIM_DIR);
}

TEST_F(Loader, ExtensionsDatThenMpd) {
    Write("ldraw/models/sub.mpd", kEdge);
    QzPart* part = LoadReference("sub");
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->flags & PF_EMPTY, 0u);
    Write("ldraw/p/sub.dat", kEdge);
    FreshModel();
    part = LoadReference("sub");
    EXPECT_EQ(PlaceOf("sub"), QZ_PLACE_P);
}

TEST_F(Loader, CandidateTooLongForItsBufferIsNotFound) {
    std::string name(250, 'a');
    Write("models/" + name, kEdge);  // fits alone, not after the model's folder
    QzPart* part = LoadReference(name);
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->flags & PF_EMPTY, PF_EMPTY);
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"Could not find " + name + "\nReferenced by " + modelPath});
}

TEST_F(Loader, LibraryFolderOfTheLongestLengthIsStillSearched) {
    // A folder of exactly 259 characters (and no more) takes part in the search: "a" in
    // its p folder fits the candidate buffer just so.
    for (const size_t length : {QZ_MAX_LDRAW_DIR, QZ_MAX_LDRAW_DIR + 1}) {
        std::string folder = (dir.path() / ("lib" + std::to_string(length))).string();
        while (folder.size() < length) {
            const size_t room = std::min<size_t>(200, length - folder.size() - 1);
            folder += "/" + std::string(room, 'd');
        }
        ASSERT_EQ(folder.size(), length);
        std::filesystem::create_directories(folder + "/p");
        std::ofstream(folder + "/p/a") << kEdge;
        settings.ldrawDir = folder;
        FreshModel();
        QzPart* part = LoadReference("a");
        ASSERT_NE(part, nullptr);
        const bool found = length == QZ_MAX_LDRAW_DIR;
        EXPECT_EQ((part->flags & PF_EMPTY) == 0, found) << length;
        EXPECT_EQ((part->flags & PF_PRIM_DIR) != 0, found) << length;
    }
}

TEST_F(Loader, MissingMainModel) {
    std::string path = (dir.path() / "nothing.ldr").string();
    EXPECT_EQ(Load(path), 0);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Could not find " + path + "\nReferenced by *"});
    EXPECT_EQ(model.partCount, 1);
}

// A file far over the 256 MB limit (sparse: it takes no room and no time) is refused
// before it is read, with its path and size, wherever it is referenced; the search
// does not go on to a smaller file of the same name further down the places.
TEST_F(Loader, FilesOverTheSizeLimitAreRefusedWithTheirSize) {
    const uint64_t size = uint64_t{64} << 30;
    auto makeHuge = [&](const std::string& relative) {
        const std::string path = Write(relative, "");
        EXPECT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
        return path;
    };
    const std::string huge = makeHuge("ldraw/parts/huge.dat");
    Write("ldraw/models/huge.dat", kEdge);
    ASSERT_EQ(LoadText(Ref("huge.dat") + kEdge), 1);
    EXPECT_EQ(Boxes(), std::vector<std::string>{
                           huge +
                           " is too large to read: 68719476736 bytes, more than the 256 MB "
                           "a file may have\nReferenced by " +
                           modelPath});
    EXPECT_EQ(FindEntry(model, "huge.dat")->flags & PF_EMPTY, PF_EMPTY);

    boxes.box.calls.clear();
    const std::string model = makeHuge("big.ldr");
    EXPECT_EQ(Load(model), 0);
    EXPECT_EQ(Boxes(), std::vector<std::string>{
                           model + " is too large to read: 68719476736 bytes, more than the 256 "
                                   "MB a file may have\nReferenced by *"});
}

TEST_F(Loader, MissingSubpartReportedOnce) {
    std::string text;
    for (int i = 0; i < 5; ++i) text += Ref("gone.dat");
    Write("ldraw/parts/a.dat", Ref("gone.dat") + kEdge);
    text += Ref("a.dat");
    ASSERT_EQ(LoadText(text), 1);
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"Could not find gone.dat\nReferenced by " + modelPath});
    QzPart* gone = FindEntry(model, "gone.dat");
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->flags & (PF_READ | PF_RESOLVED | PF_EMPTY | PF_BUSY),
              PF_READ | PF_RESOLVED | PF_EMPTY);
    // The empty part adds nothing to its parents' bounds.
    EXPECT_FLOAT_EQ(model.Main().box.max.x, 1);
    EXPECT_FLOAT_EQ(model.Main().box.min.x, 0);
}

TEST_F(Loader, FullTableDropsTheReferencesToNewNamesWithOneBox) {
    auto Trimmed = [](std::string line) { return line.substr(0, line.size() - 1); };
    std::string text;
    for (int i = 0; i < QZ_MAX_PARTS + 1; ++i) text += Ref("n" + std::to_string(i) + ".dat");
    text += Ref("n5.dat");
    ASSERT_EQ(LoadText(text), 1);
    EXPECT_EQ(model.partCount, QZ_MAX_PARTS);
    auto boxTexts = Boxes();
    ASSERT_EQ(boxTexts.size(), static_cast<size_t>(QZ_MAX_PARTS));
    EXPECT_EQ(boxTexts[0], "Sorry, max 2000 parts.");
    EXPECT_EQ(boxTexts[1], "Could not find n0.dat\nReferenced by " + modelPath);
    EXPECT_EQ(
        model.inputLog,
        Skipping(2000, "Sorry, max 2000 parts: n1999.dat left out", Trimmed(Ref("n1999.dat"))) +
            Skipping(2001, "Sorry, max 2000 parts: n2000.dat left out", Trimmed(Ref("n2000.dat"))));
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), static_cast<size_t>(QZ_MAX_PARTS));
    EXPECT_EQ(lines.back()->part->name, "n5.dat");
    EXPECT_EQ(lines.back()->lineNo, static_cast<uint32_t>(QZ_MAX_PARTS + 2));
    // The names left out, for those who list what the model holds.
    EXPECT_TRUE(model.tableFullShown);
    EXPECT_EQ(model.leftOut, (std::vector<std::string>{"n1999.dat", "n2000.dat"}));

    // The next load shows the box again.
    boxes.box.calls.clear();
    ASSERT_EQ(LoadText(Ref("another.dat")), 1);
    EXPECT_EQ(Boxes().front(), "Sorry, max 2000 parts.");
}

TEST_F(Loader, ModelsSavedWithAByteOrderMarkLoseNoLine) {
    constexpr const char* kBom = "\xEF\xBB\xBF";
    Write("ldraw/parts/brick.dat", std::string(kBom) + "0 Brick  2 x 4\n" + kEdge);

    // The first line places a brick.
    ASSERT_EQ(LoadText(kBom + Ref("brick.dat", 4)), 1);
    EXPECT_EQ(model.inputLog, "");
    std::vector<const QzLine*> lines = Lines(Main());
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_NE(lines[0]->part, nullptr);
    EXPECT_EQ(lines[0]->part->name, "brick.dat");
    EXPECT_EQ(lines[0]->lineNo, 1u);
    // The part's own first line is its description.
    ASSERT_NE(lines[0]->part->lines, nullptr);
    EXPECT_STREQ(lines[0]->part->lines->text, "Brick  2 x 4");

    // The first section of a multi-part file, and the title line.
    ClearLog();
    ASSERT_EQ(LoadText(std::string(kBom) + "0 FILE main.ldr\n0 Windmill\n" + Ref("sub.ldr") +
                           "0 FILE sub.ldr\n" + Ref("brick.dat"),
                       "mill.mpd"),
              1);
    EXPECT_EQ(model.inputLog, "");
    EXPECT_EQ(Boxes(), std::vector<std::string>{});
    EXPECT_EQ(model.modelTitle, "Windmill");
    // The section's "0 FILE" line, the title and the reference to the second section.
    lines = Lines(Main());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_STREQ(lines[0]->text, "FILE main.ldr");
    ASSERT_NE(lines[2]->part, nullptr);
    EXPECT_EQ(lines[2]->part->name, "sub.ldr");
    EXPECT_FALSE(lines[2]->part->flags & PF_MISSING);

    ClearLog();
    ASSERT_EQ(LoadText(std::string(kBom) + "0 Lighthouse\n", "title.ldr"), 1);
    EXPECT_EQ(model.modelTitle, "Lighthouse");
}

TEST_F(Loader, PartReferencedManyTimesIsReadOnce) {
    Write("ldraw/parts/brick.dat", kEdge);
    std::string text;
    for (int i = 0; i < 100; ++i) text += Ref("brick.dat");
    ASSERT_EQ(LoadText(text), 1);
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_EQ(model.partCount, 2);
}

TEST_F(Loader, CycleIsReportedInnermostFirstAndEmptiesTheTable) {
    Write("ldraw/parts/a.dat", kEdge + Ref("b.dat"));
    Write("ldraw/parts/b.dat", std::string("0 b\n") + Ref("a.dat"));
    QzNewLight(model.lights);
    ASSERT_EQ(LoadText("0 model\n" + Ref("ok.dat") + Ref("a.dat")), 0);
    EXPECT_EQ(model.inputLog,
              "Recursive references: a.dat\r\n"
              "referenced by b.dat line 2\r\n"
              "referenced by a.dat line 2\r\n"
              "referenced by " +
                  modelPath + " line 3\r\n");
    EXPECT_EQ(Boxes(),
              (std::vector<std::string>{"Could not find ok.dat\nReferenced by " + modelPath,
                                        "Recursion detected. See log, fix problem, try again"}));
    EXPECT_EQ(model.partCount, 0);
    EXPECT_TRUE(model.lights.empty());
}

TEST_F(Loader, FileReferencingItself) {
    std::string path = Write("models/self.ldr", "1 16 0 0 0 1 0 0 0 1 0 0 0 1 a.dat\n");
    Write("ldraw/parts/a.dat", "0 a\n\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 a.dat\n");
    ASSERT_EQ(Load(path), 0);
    EXPECT_EQ(model.inputLog,
              "Recursive references: a.dat\r\n"
              "referenced by a.dat line 3\r\n"
              "referenced by " +
                  path + " line 1\r\n");
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"Recursion detected. See log, fix problem, try again"});
    EXPECT_EQ(model.partCount, 0);
}

// Sections 1 to last, each a hundred levels deep: the section and 99 nested blocks,
// the innermost referencing the next section; the main model's first section too.
// The last section holds an edge inside tailBlocks nested blocks.
std::string PiledBlocks(int last, int tailBlocks = 0) {
    std::string text;
    for (int i = 0; i <= last; ++i) {
        int blocks = i == last ? tailBlocks : 99;
        text += i == 0 ? "0 FILE main.ldr\n" : "0 FILE s" + std::to_string(i) + ".ldr\n";
        for (int b = 0; b < blocks; ++b) text += "0 SCALE 1\n";
        text += i == last ? "2 24 0 0 0 1 1 1\n"
                          : "1 16 0 0 0 1 0 0 0 1 0 0 0 1 s" + std::to_string(i + 1) + ".ldr\n";
        for (int b = 0; b < blocks; ++b) text += "0 SCALE END\n";
    }
    return text;
}

TEST_F(Loader, ReferencesNestedTooDeeplyFailTheLoadLikeACycle) {
    // s25 sits 2500 levels below the model: one too many.
    ASSERT_EQ(LoadText(PiledBlocks(QZ_MAX_REFERENCE_DEPTH / 100), "piled.mpd"), 0);
    std::vector<std::string> log;
    for (size_t at = 0, end; (end = model.inputLog.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
        log.push_back(model.inputLog.substr(at, end - at));
    }
    // The first and last ten of the 2500 links, and the count of those between.
    ASSERT_EQ(log.size(), 22u);
    EXPECT_EQ(log[0], "References nested too deeply: s25.ldr");
    EXPECT_EQ(log[1], "referenced by QzTransf2474 line 4901");
    EXPECT_EQ(log[2], "referenced by QzTransf2473 line 0");
    EXPECT_EQ(log[10], "referenced by QzTransf2465 line 0");
    EXPECT_EQ(log[11], "... 2480 more links ...");
    EXPECT_EQ(log[12], "referenced by QzTransf8 line 0");
    EXPECT_EQ(log.back(), "referenced by " + modelPath + " line 0");
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"Recursion detected. See log, fix problem, try again"});
    EXPECT_EQ(model.partCount, 0);

    // The deepest block of s24 sits one level higher, and loads.
    FreshModel();
    boxes.box.calls.clear();
    ASSERT_EQ(LoadText(PiledBlocks(QZ_MAX_REFERENCE_DEPTH / 100 - 1, 99), "piled.mpd"), 1);
    EXPECT_EQ(model.inputLog, "");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(Loader, StudOnlyPartKeepsFullBoundsWithoutStuds) {
    Write("ldraw/p/stud.dat", "2 24 -6 0 -6 6 -4 6\n");
    Write("ldraw/parts/plate.dat",
          "2 24 -10 0 -10 10 8 10\n1 16 0 -8 0 1 0 0 0 1 0 0 0 1 stud.dat\n");
    Write("ldraw/parts/studs.dat",
          "1 16 0 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n1 16 20 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n");
    ASSERT_EQ(LoadText(Ref("plate.dat") + Ref("studs.dat")), 1);
    QzPart* plate = FindEntry(model, "plate.dat");
    QzPart* studs = FindEntry(model, "studs.dat");
    QzPart* stud = FindEntry(model, "stud.dat");
    ASSERT_TRUE(plate && studs && stud);
    EXPECT_EQ(stud->flags & PF_STUD, PF_STUD);
    EXPECT_FLOAT_EQ(plate->box.min.y, -12);
    EXPECT_FLOAT_EQ(plate->boxNoStuds.min.y, 0);
    EXPECT_FLOAT_EQ(plate->boxNoStuds.max.y, 8);
    EXPECT_FLOAT_EQ(studs->boxNoStuds.min.x, studs->box.min.x);
    EXPECT_FLOAT_EQ(studs->boxNoStuds.max.x, 26);
    EXPECT_FLOAT_EQ(model.Main().box.min.y, -12);
    EXPECT_FLOAT_EQ(model.Main().boxNoStuds.min.y,
                    -4);  // studs.dat counts whole: not a stud itself
}

TEST_F(Loader, EmptyPartIsFlaggedAndIgnored) {
    Write("ldraw/parts/empty.dat", "0 nothing here\n");
    ASSERT_EQ(LoadText(Ref("empty.dat") + "2 24 5 5 5 6 6 6\n"), 1);
    QzPart* empty = FindEntry(model, "empty.dat");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->flags & PF_EMPTY, PF_EMPTY);
    EXPECT_EQ(model.Main().flags & PF_EMPTY, 0u);
    EXPECT_FLOAT_EQ(model.Main().box.min.x, 5);
    EXPECT_FLOAT_EQ(model.Main().box.max.z, 6);
}

TEST_F(Loader, TransformedBoundsAndOptionalLines) {
    // Type 5 adds only its two end points.
    Write("ldraw/parts/cond.dat", "5 24 0 0 0 1 0 0 50 50 50 -50 -50 -50\n");
    ASSERT_EQ(LoadText("1 16 10 0 0 0 0 2 0 1 0 -1 0 0 cond.dat\n"), 1);
    const QzBox& box = model.Main().box;
    EXPECT_FLOAT_EQ(box.min.x, 10);
    EXPECT_FLOAT_EQ(box.max.x, 10);
    EXPECT_FLOAT_EQ(box.min.z, -1);
    EXPECT_FLOAT_EQ(box.max.z, 0);
}

TEST_F(Loader, BoundsPointsAreThePointsOfTheBoundsWalk) {
    Write("ldraw/parts/cube.dat", "2 24 0 0 0 1 1 1\n");
    ASSERT_EQ(LoadText(Ref("cube.dat") + "3 4 5 5 5 6 5 5 5 6 5\n"), 1);
    QzBox before = model.Main().box;
    std::vector<QzVector> cameraPoints;
    QzBoundsPoints(model.Main(), [&](const QzVector& p) { cameraPoints.push_back(p); });
    ASSERT_EQ(cameraPoints.size(), 11u);
    EXPECT_EQ(cameraPoints[7].x, 1);
    EXPECT_EQ(cameraPoints[10].y, 6);
    EXPECT_EQ(std::memcmp(&before, &model.Main().box, sizeof before), 0);
    // They span exactly the bounds the load computed.
    QzBox box;
    QzBoxReset(box);
    for (const QzVector& p : cameraPoints) QzBoxExtend(p, box);
    EXPECT_EQ(std::memcmp(&box, &before, sizeof box), 0);
}

TEST_F(Loader, TransparencyPropagates) {
    Write("ldraw/parts/glass.dat", "3 36 0 0 0 1 0 0 0 1 0\n");
    Write("ldraw/parts/window.dat", Ref("glass.dat") + kEdge);
    Write("ldraw/parts/wall.dat", kEdge);
    ASSERT_EQ(LoadText(Ref("window.dat", 4) + Ref("wall.dat")), 1);
    EXPECT_EQ(FindEntry(model, "glass.dat")->flags & PF_TRANSPARENT, PF_TRANSPARENT);
    EXPECT_EQ(FindEntry(model, "window.dat")->flags & PF_TRANSPARENT, PF_TRANSPARENT);
    EXPECT_EQ(FindEntry(model, "wall.dat")->flags & PF_TRANSPARENT, 0u);
    EXPECT_EQ(model.Main().flags & PF_TRANSPARENT, PF_TRANSPARENT);
    EXPECT_TRUE(QzHasTransparent(Main(), palette));
}

TEST_F(Loader, CacheKeepsPartsBetweenLoads) {
    Write("ldraw/parts/brick.dat", kEdge);
    ASSERT_EQ(LoadText(Ref("brick.dat")), 1);
    ASSERT_EQ(opened.size(), 2u);
    QzPart* brick = FindEntry(model, "brick.dat");
    ASSERT_EQ(LoadText(Ref("BRICK.DAT") + Ref("brick.dat"), "other.ldr"), 1);
    EXPECT_EQ(opened.size(), 3u);  // only the new main model
    EXPECT_EQ(Lines(Main())[0]->part, brick);
    EXPECT_EQ(model.Main().name, modelPath);
    EXPECT_EQ(model.partCount, 2);
}

TEST_F(Loader, ReloadOfAnMpdReadsItsSectionsButKeepsLibraryParts) {
    Write("ldraw/parts/brick.dat", kEdge);
    const std::string mpd =
        "0 FILE m.mpd\n" + Ref("sub.ldr") + "0 FILE sub.ldr\n" + Ref("brick.dat");
    ASSERT_EQ(LoadText(mpd, "m.mpd"), 1);
    ASSERT_EQ(opened.size(), 2u);
    const QzPart* brick = FindEntry(model, "brick.dat");
    ASSERT_EQ(LoadText(mpd + "2 4 0 0 0 3 3 3\n", "m.mpd"), 1);
    // Only the model's file is opened again; its section has the new line.
    EXPECT_EQ(opened.size(), 3u);
    EXPECT_EQ(FindEntry(model, "brick.dat"), brick);
    EXPECT_EQ(Lines(FindEntry(model, "sub.ldr")).size(), 2u);
    EXPECT_EQ(model.inputLog, "");
}

TEST_F(Loader, ModelDirectory) {
    Write("models/sub/near.dat", kEdge);
    ASSERT_EQ(LoadText(Ref("near.dat"), "models/sub/m.ldr"), 1);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], (dir.path() / "models/sub").string() + "/near.dat");
    EXPECT_EQ(PlaceOf("near.dat"), QZ_PLACE_MODEL_DIR);
    EXPECT_TRUE(Boxes().empty());
    ASSERT_EQ(Load("relative-name-only.ldr"), 0);
}

TEST_F(CurrentDirectory, ModelWithoutAFolderHasNoModelDirectory) {
    // The folder of the model loaded before is not searched for the next one's parts.
    Write("models/sub/near.dat", kEdge);
    ASSERT_EQ(LoadText(Ref("near.dat"), "models/sub/m.ldr"), 1);
    Write("cwd/relative.ldr", Ref("near.dat") + Ref("near2.dat"));
    Write("models/sub/near2.dat", kEdge);
    ASSERT_EQ(Load("relative.ldr"), 1);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Could not find near2.dat\nReferenced by "
                                                "relative.ldr"});
    EXPECT_EQ(FindEntry(model, "near2.dat")->flags & PF_EMPTY, PF_EMPTY);
}

// Two models loaded side by side from the same library: each has its own table, cache,
// log, title and block numbers, and loading or dropping one leaves the other alone.
TEST_F(Loader, TwoModelsStayIndependent) {
    Write("ldraw/parts/brick.dat", kEdge);
    Write("ldraw/parts/plate.dat", kEdge);
    ASSERT_EQ(LoadText("0 First\n0 Author: Ann\n" + Ref("brick.dat") +
                       "0 SCALE 2\n2 24 0 0 0 1 1 1\n0 SCALE END\n2 red 0 0 0 1 1 1\n"),
              1);
    const std::string firstPath = modelPath;
    const std::string firstLog = Skipping(7, "Bad color", "2 red 0 0 0 1 1 1");
    ASSERT_EQ(model.inputLog, firstLog);
    std::vector<std::string> firstNames;
    for (int i = 0; i < model.partCount; ++i) firstNames.push_back(model.parts[i].name);
    EXPECT_EQ(firstNames, (std::vector<std::string>{firstPath, "brick.dat"}));
    const std::vector<const QzLine*> firstLines = Lines(Main());
    QzPart* brick = FindEntry(model, "brick.dat");
    const QzLine* brickLine = brick->lines;
    const QzBox firstBox = model.Main().box;

    std::vector<std::string> secondNames;
    {
        QzModel second;
        const std::string path =
            Write("second.ldr", "0 Second\n" + Ref("plate.dat") + Ref("brick.dat") +
                                    "0 ROTATE 90 0 1 0\n0 ROTATE END\n"
                                    "3 4 0 0 0 1 1 1 2 2 2\n");
        settings.warningLevel = 1;
        ASSERT_EQ(QzReadModel(second, path, settings, palette), 1);
        EXPECT_EQ(
            second.inputLog,
            "WARNING \"" + path + "\" Line 6: Collinear vertices (0): 3 4 0 0 0 1 1 1 2 2 2\r\n");
        EXPECT_EQ(second.modelTitle, "Second");
        EXPECT_EQ(second.modelAuthor, "");
        for (int i = 0; i < second.partCount; ++i) secondNames.push_back(second.parts[i].name);
        // Its own record of the shared part, read from the file again; its own blocks.
        QzPart* secondBrick = FindEntry(second, "brick.dat");
        ASSERT_NE(secondBrick, nullptr);
        EXPECT_NE(secondBrick, brick);
        EXPECT_EQ(opened.size(), 2u + 3u);
        EXPECT_EQ(Lines(&second.Main())[4]->part->name, "QzTransf0");
        EXPECT_EQ(second.transfCounter, 1);

        // The first model is as it was.
        EXPECT_EQ(model.inputLog, firstLog);
        EXPECT_EQ(model.modelTitle, "First");
        EXPECT_EQ(model.modelAuthor, "Ann");
        EXPECT_EQ(model.transfCounter, 1);
    }
    EXPECT_EQ(secondNames, (std::vector<std::string>{(dir.path() / "second.ldr").string(),
                                                     "plate.dat", "brick.dat"}));
    // Dropping the second model leaves the first one's records and lines in place.
    EXPECT_EQ(model.inputLog, firstLog);
    EXPECT_EQ(model.inputDiagnostics.size(), 1u);
    EXPECT_EQ(model.partCount, 2);
    for (int i = 0; i < model.partCount; ++i) EXPECT_EQ(model.parts[i].name, firstNames[i]);
    EXPECT_EQ(Lines(Main()), firstLines);
    EXPECT_EQ(Lines(Main())[4]->part->name, "QzTransf0");
    EXPECT_EQ(Lines(Lines(Main())[4]->part).size(), 1u);
    EXPECT_EQ(FindEntry(model, "brick.dat"), brick);
    EXPECT_EQ(brick->lines, brickLine);
    EXPECT_EQ(Lines(brick).size(), 1u);
    EXPECT_EQ(std::memcmp(&firstBox, &model.Main().box, sizeof firstBox), 0);
    EXPECT_EQ(model.Main().name, firstPath);
}

class LibraryDirectory : public Loader {
  protected:
    void SetUp() override {
        Loader::SetUp();
        settings.ldrawDir.clear();
    }
    testing_support::ScopedEnv keep{"LDRAWDIR", std::getenv("LDRAWDIR")};
};

TEST_F(LibraryDirectory, NotSet) {
    unsetenv("LDRAWDIR");
    std::string path = Write("m.ldr", kEdge);
    EXPECT_EQ(Load(path), 0);
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"LDRAWDIR not set.\nSpecify directory in the Edit menu."});
    EXPECT_EQ(model.partCount, 0);
}

TEST_F(LibraryDirectory, FromTheEnvironmentWithoutTrailingSeparators) {
    setenv("LDRAWDIR", (library + "//\\").c_str(), 1);
    Write("ldraw/parts/brick.dat", kEdge);
    ASSERT_EQ(LoadText(Ref("brick.dat")), 1);
    EXPECT_TRUE(Boxes().empty());
    // The directory in use, as the message about its LDConfig.ldr names it; the
    // settings keep asking the environment.
    QzSelectColourScheme(palette, QZ_SCHEME_LDCONFIG);
    ASSERT_EQ(LoadText(Ref("brick.dat")), 1);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Could not read LDConfig.ldr in " + library});
    EXPECT_EQ(settings.ldrawDir, "");
}

// The bounds of placed parts are those of their eight placed corners, bit for bit: the
// sign of a zero bound and boxes that are not finite included.
TEST(PlacedBounds, AreThoseOfTheEightPlacedCorners) {
    uint64_t state = 0x2545F4914F6CDD1DULL;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    const float values[] = {0.0f,
                            -0.0f,
                            1.0f,
                            -1.0f,
                            0.5f,
                            -2.5f,
                            20.0f,
                            -40.0f,
                            1e-30f,
                            3e38f,
                            -3e38f,
                            0.7071f,
                            std::numeric_limits<float>::infinity()};
    auto pick = [&] { return values[next() % std::size(values)]; };
    QzModel model;
    QzLogContext log(model.inputLog, model.inputDiagnostics);
    QzPart* sub = QzFindPart(model, log, false, "sub.dat");
    ASSERT_NE(sub, nullptr);
    for (int n = 0; n < 20000; ++n) {
        QzPart* part = QzFindPart(model, log, true, "part");
        ASSERT_NE(part, nullptr);
        sub->box = {{pick(), pick(), pick()}, {pick(), pick(), pick()}};
        sub->boxNoStuds = sub->box;
        QzLine line{};
        line.type = 1;
        line.part = sub;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) QzLineMatrix(line).m[r][c] = pick();
        QzLineMatrix(line).m[3][3] = 1;
        part->lines = QzNewLine(part->store, line);
        QzComputeBounds(part);
        QzBox expected;
        QzBoxReset(expected);
        for (int i = 0; i < 8; ++i) {
            QzVector p;
            QzMatTransformPoint(p, QzLineMatrix(line), QzBoxCorner(sub->box, i));
            QzBoxExtend(p, expected);
        }
        ASSERT_EQ(std::memcmp(&part->box, &expected, sizeof expected), 0) << n;
        ASSERT_EQ(std::memcmp(&part->boxNoStuds, &expected, sizeof expected), 0) << n;
        QzFreePart(part);
    }
}

}  // namespace
