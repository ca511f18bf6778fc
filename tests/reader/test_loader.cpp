// Finding files in the seven places, resolving references, cycles, missing files,
// bounds, transparency and the parts cache.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "colours.h"
#include "reader_fixture.h"

namespace {

using reader_test::FindEntry;
using reader_test::Lines;
using reader_test::ReaderTest;

class Loader : public ReaderTest {
  protected:
    std::vector<std::string> opened;
    QzFileObserverList::Scoped recordOpen{
        QzFileObservers,
        [this](const QzPart&, const std::string& path) { opened.push_back(path); }};

    std::string Ref(const std::string& name, int colour = 16) {
        return "1 " + std::to_string(colour) + " 0 0 0 1 0 0 0 1 0 0 0 1 " + name + "\n";
    }
    // Loads a model referencing the name; returns the referenced part.
    QzPart* LoadReference(const std::string& name) {
        EXPECT_EQ(LoadText(Ref(name), "models/m.ldr"), 1);
        auto lines = Lines(&QzParts[0]);
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
    EXPECT_EQ(QzFoundPlace, QZ_PLACE_MODEL_DIR);
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
    EXPECT_EQ(QzFoundPlace, QZ_PLACE_AS_WRITTEN);
    EXPECT_EQ(part->flags & (PF_PARTS_DIR | PF_PRIM_DIR), 0u);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(std::filesystem::canonical(opened[1]), std::filesystem::canonical(here));
}

TEST_F(CurrentDirectory, NameAsWrittenInTheLibraryWinsOverDatHere) {
    Write("ldraw/parts/3001", kEdge);
    Write("cwd/3001.dat", kEdge);
    QzPart* part = LoadReference("3001");
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(QzFoundPlace, QZ_PLACE_PARTS);
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
        testing_support::ResetModelInput();
        QzLDrawDir = library;
        opened.clear();
        QzPart* part = LoadReference("x.dat");
        ASSERT_NE(part, nullptr) << c.file;
        EXPECT_EQ(QzFoundPlace, c.place) << c.file;
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
    EXPECT_EQ(QzInputLog, "");
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
    testing_support::ResetModelInput();
    QzLDrawDir = library;
    part = LoadReference("sub");
    EXPECT_EQ(QzFoundPlace, QZ_PLACE_P);
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

TEST_F(Loader, MissingMainModel) {
    std::string path = (dir.path() / "nothing.ldr").string();
    EXPECT_EQ(Load(path), 0);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Could not find " + path + "\nReferenced by *"});
    EXPECT_EQ(QzPartCount, 1);
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
    EXPECT_EQ(FindEntry("huge.dat")->flags & PF_EMPTY, PF_EMPTY);

    boxes.box.calls.clear();
    const std::string model = makeHuge("big.ldr");
    EXPECT_EQ(Load(model), 0);
    EXPECT_EQ(Boxes(), std::vector<std::string>{
                           model + " is too large to read: 68719476736 bytes, more than the 256 "
                                   "MB a file may have\nReferenced by *"});
}

TEST_F(Loader, MissingSubpartReportedOnce) {
    std::string model;
    for (int i = 0; i < 5; ++i) model += Ref("gone.dat");
    Write("ldraw/parts/a.dat", Ref("gone.dat") + kEdge);
    model += Ref("a.dat");
    ASSERT_EQ(LoadText(model), 1);
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"Could not find gone.dat\nReferenced by " + modelPath});
    QzPart* gone = FindEntry("gone.dat");
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->flags & (PF_READ | PF_RESOLVED | PF_EMPTY | PF_BUSY),
              PF_READ | PF_RESOLVED | PF_EMPTY);
    // The empty part adds nothing to its parents' bounds.
    EXPECT_FLOAT_EQ(QzParts[0].box.max.x, 1);
    EXPECT_FLOAT_EQ(QzParts[0].box.min.x, 0);
}

TEST_F(Loader, FullTableDropsTheReferencesToNewNamesWithOneBox) {
    auto Trimmed = [](std::string line) { return line.substr(0, line.size() - 1); };
    std::string model;
    for (int i = 0; i < QZ_MAX_PARTS + 1; ++i) model += Ref("n" + std::to_string(i) + ".dat");
    model += Ref("n5.dat");
    ASSERT_EQ(LoadText(model), 1);
    EXPECT_EQ(QzPartCount, QZ_MAX_PARTS);
    auto boxTexts = Boxes();
    ASSERT_EQ(boxTexts.size(), static_cast<size_t>(QZ_MAX_PARTS));
    EXPECT_EQ(boxTexts[0], "Sorry, max 2000 parts.");
    EXPECT_EQ(boxTexts[1], "Could not find n0.dat\nReferenced by " + modelPath);
    EXPECT_EQ(
        QzInputLog,
        Skipping(2000, "Sorry, max 2000 parts: n1999.dat left out", Trimmed(Ref("n1999.dat"))) +
            Skipping(2001, "Sorry, max 2000 parts: n2000.dat left out", Trimmed(Ref("n2000.dat"))));
    auto lines = Lines(&QzParts[0]);
    ASSERT_EQ(lines.size(), static_cast<size_t>(QZ_MAX_PARTS));
    EXPECT_EQ(lines.back()->part->name, "n5.dat");
    EXPECT_EQ(lines.back()->lineNo, static_cast<uint32_t>(QZ_MAX_PARTS + 2));

    // The next load shows the box again.
    boxes.box.calls.clear();
    ASSERT_EQ(LoadText(Ref("another.dat")), 1);
    EXPECT_EQ(Boxes().front(), "Sorry, max 2000 parts.");
}

TEST_F(Loader, PartReferencedManyTimesIsReadOnce) {
    Write("ldraw/parts/brick.dat", kEdge);
    std::string model;
    for (int i = 0; i < 100; ++i) model += Ref("brick.dat");
    ASSERT_EQ(LoadText(model), 1);
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_EQ(QzPartCount, 2);
}

TEST_F(Loader, CycleIsReportedInnermostFirstAndEmptiesTheTable) {
    Write("ldraw/parts/a.dat", kEdge + Ref("b.dat"));
    Write("ldraw/parts/b.dat", std::string("0 b\n") + Ref("a.dat"));
    QzNewLight();
    ASSERT_EQ(LoadText("0 model\n" + Ref("ok.dat") + Ref("a.dat")), 0);
    EXPECT_EQ(QzInputLog,
              "Recursive references: a.dat\r\n"
              "referenced by b.dat line 2\r\n"
              "referenced by a.dat line 2\r\n"
              "referenced by " +
                  modelPath + " line 3\r\n");
    EXPECT_EQ(Boxes(),
              (std::vector<std::string>{"Could not find ok.dat\nReferenced by " + modelPath,
                                        "Recursion detected. See log, fix problem, try again"}));
    EXPECT_EQ(QzPartCount, 0);
    EXPECT_EQ(QzLightCount, 0);
}

TEST_F(Loader, FileReferencingItself) {
    std::string path = Write("models/self.ldr", "1 16 0 0 0 1 0 0 0 1 0 0 0 1 a.dat\n");
    Write("ldraw/parts/a.dat", "0 a\n\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 a.dat\n");
    ASSERT_EQ(Load(path), 0);
    EXPECT_EQ(QzInputLog,
              "Recursive references: a.dat\r\n"
              "referenced by a.dat line 3\r\n"
              "referenced by " +
                  path + " line 1\r\n");
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"Recursion detected. See log, fix problem, try again"});
    EXPECT_EQ(QzPartCount, 0);
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
    for (size_t at = 0, end; (end = QzInputLog.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
        log.push_back(QzInputLog.substr(at, end - at));
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
    EXPECT_EQ(QzPartCount, 0);

    // The deepest block of s24 sits one level higher, and loads.
    testing_support::ResetModelInput();
    QzLDrawDir = library;
    boxes.box.calls.clear();
    ASSERT_EQ(LoadText(PiledBlocks(QZ_MAX_REFERENCE_DEPTH / 100 - 1, 99), "piled.mpd"), 1);
    EXPECT_EQ(QzInputLog, "");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(Loader, StudOnlyPartKeepsFullBoundsWithoutStuds) {
    Write("ldraw/p/stud.dat", "2 24 -6 0 -6 6 -4 6\n");
    Write("ldraw/parts/plate.dat",
          "2 24 -10 0 -10 10 8 10\n1 16 0 -8 0 1 0 0 0 1 0 0 0 1 stud.dat\n");
    Write("ldraw/parts/studs.dat",
          "1 16 0 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n1 16 20 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n");
    ASSERT_EQ(LoadText(Ref("plate.dat") + Ref("studs.dat")), 1);
    QzPart* plate = FindEntry("plate.dat");
    QzPart* studs = FindEntry("studs.dat");
    QzPart* stud = FindEntry("stud.dat");
    ASSERT_TRUE(plate && studs && stud);
    EXPECT_EQ(stud->flags & PF_STUD, PF_STUD);
    EXPECT_FLOAT_EQ(plate->box.min.y, -12);
    EXPECT_FLOAT_EQ(plate->boxNoStuds.min.y, 0);
    EXPECT_FLOAT_EQ(plate->boxNoStuds.max.y, 8);
    EXPECT_FLOAT_EQ(studs->boxNoStuds.min.x, studs->box.min.x);
    EXPECT_FLOAT_EQ(studs->boxNoStuds.max.x, 26);
    EXPECT_FLOAT_EQ(QzParts[0].box.min.y, -12);
    EXPECT_FLOAT_EQ(QzParts[0].boxNoStuds.min.y, -4);  // studs.dat counts whole: not a stud itself
}

TEST_F(Loader, EmptyPartIsFlaggedAndIgnored) {
    Write("ldraw/parts/empty.dat", "0 nothing here\n");
    ASSERT_EQ(LoadText(Ref("empty.dat") + "2 24 5 5 5 6 6 6\n"), 1);
    QzPart* empty = FindEntry("empty.dat");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->flags & PF_EMPTY, PF_EMPTY);
    EXPECT_EQ(QzParts[0].flags & PF_EMPTY, 0u);
    EXPECT_FLOAT_EQ(QzParts[0].box.min.x, 5);
    EXPECT_FLOAT_EQ(QzParts[0].box.max.z, 6);
}

TEST_F(Loader, TransformedBoundsAndOptionalLines) {
    // Type 5 adds only its two end points.
    Write("ldraw/parts/cond.dat", "5 24 0 0 0 1 0 0 50 50 50 -50 -50 -50\n");
    ASSERT_EQ(LoadText("1 16 10 0 0 0 0 2 0 1 0 -1 0 0 cond.dat\n"), 1);
    const QzBox& box = QzParts[0].box;
    EXPECT_FLOAT_EQ(box.min.x, 10);
    EXPECT_FLOAT_EQ(box.max.x, 10);
    EXPECT_FLOAT_EQ(box.min.z, -1);
    EXPECT_FLOAT_EQ(box.max.z, 0);
}

TEST_F(Loader, CameraWalkHandsOnPointsWithoutChangingBounds) {
    Write("ldraw/parts/cube.dat", "2 24 0 0 0 1 1 1\n");
    ASSERT_EQ(LoadText(Ref("cube.dat") + "3 4 5 5 5 6 5 5 5 6 5\n"), 1);
    QzBox before = QzParts[0].box;
    // Two listeners at once, each with its own context; both go when their scope ends.
    std::vector<QzVector> cameraPoints;
    int calls = 0;
    {
        QzCameraObserverList::Scoped collect(QzCameraObservers,
                                             [&](const QzVector& p) { cameraPoints.push_back(p); });
        QzCameraObserverList::Scoped count(QzCameraObservers, [&](const QzVector&) { ++calls; });
        QzComputeBounds(&QzParts[0], false, true);
    }
    QzComputeBounds(&QzParts[0], false, true);
    EXPECT_EQ(calls, 11);
    EXPECT_EQ(cameraPoints.size(), 11u);
    EXPECT_EQ(cameraPoints[7].x, 1);
    EXPECT_EQ(cameraPoints[10].y, 6);
    EXPECT_EQ(std::memcmp(&before, &QzParts[0].box, sizeof before), 0);
}

TEST_F(Loader, TransparencyPropagates) {
    Write("ldraw/parts/glass.dat", "3 36 0 0 0 1 0 0 0 1 0\n");
    Write("ldraw/parts/window.dat", Ref("glass.dat") + kEdge);
    Write("ldraw/parts/wall.dat", kEdge);
    ASSERT_EQ(LoadText(Ref("window.dat", 4) + Ref("wall.dat")), 1);
    EXPECT_EQ(FindEntry("glass.dat")->flags & PF_TRANSPARENT, PF_TRANSPARENT);
    EXPECT_EQ(FindEntry("window.dat")->flags & PF_TRANSPARENT, PF_TRANSPARENT);
    EXPECT_EQ(FindEntry("wall.dat")->flags & PF_TRANSPARENT, 0u);
    EXPECT_EQ(QzParts[0].flags & PF_TRANSPARENT, PF_TRANSPARENT);
    EXPECT_TRUE(QzHasTransparent(&QzParts[0]));
}

TEST_F(Loader, CacheKeepsPartsBetweenLoads) {
    Write("ldraw/parts/brick.dat", kEdge);
    ASSERT_EQ(LoadText(Ref("brick.dat")), 1);
    ASSERT_EQ(opened.size(), 2u);
    QzPart* brick = FindEntry("brick.dat");
    ASSERT_EQ(LoadText(Ref("BRICK.DAT") + Ref("brick.dat"), "other.ldr"), 1);
    EXPECT_EQ(opened.size(), 3u);  // only the new main model
    EXPECT_EQ(Lines(&QzParts[0])[0]->part, brick);
    EXPECT_EQ(QzParts[0].name, modelPath);
    EXPECT_EQ(QzPartCount, 2);
}

TEST_F(Loader, ModelDirectory) {
    Write("models/sub/near.dat", kEdge);
    ASSERT_EQ(LoadText(Ref("near.dat"), "models/sub/m.ldr"), 1);
    EXPECT_EQ(QzModelDir, (dir.path() / "models/sub").string() + "/");
    EXPECT_TRUE(Boxes().empty());
    QzLDrawDir = library;
    ASSERT_EQ(Load("relative-name-only.ldr"), 0);
    EXPECT_EQ(QzModelDir, "");
}

class LibraryDirectory : public Loader {
  protected:
    void SetUp() override {
        Loader::SetUp();
        QzLDrawDir.clear();
    }
    testing_support::ScopedEnv keep{"LDRAWDIR", std::getenv("LDRAWDIR")};
};

TEST_F(LibraryDirectory, NotSet) {
    unsetenv("LDRAWDIR");
    std::string path = Write("m.ldr", kEdge);
    EXPECT_EQ(Load(path), 0);
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"LDRAWDIR not set.\nSpecify directory in the Edit menu."});
    EXPECT_EQ(QzPartCount, 0);
}

TEST_F(LibraryDirectory, FromTheEnvironmentWithoutTrailingSeparators) {
    setenv("LDRAWDIR", (library + "//\\").c_str(), 1);
    Write("ldraw/parts/brick.dat", kEdge);
    ASSERT_EQ(LoadText(Ref("brick.dat")), 1);
    EXPECT_EQ(QzLDrawDir, library);
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
