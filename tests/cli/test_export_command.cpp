// zarvel-cli export: the format by extension or by name, wrong calls that write nothing
// (status 2), models with problems (status 1), a .gltf's .bin and an .obj's .mtl put in
// place with it or not at all, and the summary, whose faces are those the drawing counts.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_run.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Entries;
using testing_support::RunZarvelCli;
using testing_support::Slurp;
using testing_support::TempDir;

const std::string kLibrary = testing_support::ExamplesDir().string();
const std::string kHouse = (testing_support::ExamplesDir() / "models" / "house.mpd").string();

TEST(ExportCommand, WrongCallsWriteNothing) {
    TempDir dir;
    fs::create_directory(dir.path() / "folder.glb");
    const std::string d = dir.path().string();
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"-o", d + "/m.ldr"},
         "the format of " + d +
             "/m.ldr is not known by its extension: the formats are glb, "
             "gltf, stl, obj (or name one with --format)"},
        {{"-o", d + "/m"},
         "the format of " + d +
             "/m is not known by its extension: the formats are glb, gltf, "
             "stl, obj (or name one with --format)"},
        {{"-o", d + "/m.glb", "--format", "fbx"},
         "--format fbx: the formats are glb, gltf, stl, obj"},
        {{"-o", d + "/folder.glb"}, "the output " + d + "/folder.glb is a folder"},
        {{"-o", d + "/none/m.glb"}, "the folder of the output " + d + "/none/m.glb does not exist"},
        {{"-o", d + "/m.glb", "--step", "0"}, "--step 0: the model has 1 step"},
        {{"-o", d + "/m.glb", "--step", "2"}, "--step 2: the model has 1 step"},
        {{"-o", d + "/m.glb", "--step", "0x1"}, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"export", "--ldraw", kLibrary, kHouse};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const testing_support::CliRun r = RunZarvelCli(args);
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(r.status, 2);
        if (!c.error.empty()) {
            EXPECT_EQ(r.err,
                      "zarvel-cli: " + c.error + "\nRun with --help for more information.\n");
        }
        EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"folder.glb"});
    }
    // A model that does not load.
    const testing_support::CliRun r =
        RunZarvelCli({"export", "--ldraw", kLibrary, d + "/none.ldr", "-o", d + "/m.glb"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("zarvel-cli: could not load " + d + "/none.ldr\n"), std::string::npos);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"folder.glb"});
}

TEST(ExportCommand, TheFormatByNameWhateverTheExtension) {
    TempDir dir;
    const std::string out = (dir.path() / "house.bin").string();
    const testing_support::CliRun r =
        RunZarvelCli({"export", "--ldraw", kLibrary, kHouse, "-o", out, "--format", "stl"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(out).substr(0, 7), "Zarvel ");
    EXPECT_EQ(r.out,
              "Parts: 23\nMeshes: 7\nMaterials: 0\nTriangles: 3228 (0 faces without area left "
              "out)\nBoundingBox (mm, Z up): <-16,-16,0> <16,16,52.8>\n");
}

TEST(ExportCommand, TheSummaryOfAGlb) {
    TempDir dir;
    const testing_support::CliRun r = RunZarvelCli(
        {"export", "--ldraw", kLibrary, kHouse, "-o", (dir.path() / "h.glb").string(), "--lines"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Six colours of faces, five more of edges; the lines as `stats --quality high`
    // counts type 2.
    EXPECT_EQ(r.out,
              "Parts: 23\nMeshes: 7\nMaterials: 11\nTriangles: 3228 (0 faces without area left "
              "out)\nEdge lines: 2240\nBoundingBox (m, Y up): <-0.016,0,-0.016> "
              "<0.016,0.0528,0.016>\n");
}

TEST(ExportCommand, AModelWithAFileNotFoundIsWrittenWithStatus1) {
    TempDir dir;
    const std::string model = dir.Write("m.ldr",
                                        "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n"
                                        "1 4 0 0 0 1 0 0 0 1 0 0 0 1 nosuch.dat\n");
    const std::string out = (dir.path() / "m.glb").string();
    const testing_support::CliRun r =
        RunZarvelCli({"export", "--ldraw", kLibrary, model, "-o", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nosuch.dat"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(out).substr(0, 4), "glTF");
    EXPECT_NE(r.out.find("Parts: 1\n"), std::string::npos);
}

// A .gltf and its .bin, an .obj and its .mtl: both replaced, or both left as they were.
TEST(ExportCommand, AFileAndItsCompanionGoInPlaceTogether) {
    struct Pair {
        const char* output;
        const char* companion;
    };
    for (const Pair& p : {Pair{"m.gltf", "m.bin"}, Pair{"m.obj", "m.mtl"}}) {
        SCOPED_TRACE(p.output);
        TempDir dir;
        const std::string out = dir.Write(p.output, "old file");
        const std::string companion = dir.Write(p.companion, "old companion");
        testing_support::CliRun r;
        {
            testing_support::ScopedFileSizeLimit full(1000);
            r = RunZarvelCli({"export", "--ldraw", kLibrary, kHouse, "-o", out});
        }
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err, "");
        EXPECT_EQ(Slurp(out), "old file");
        EXPECT_EQ(Slurp(companion), "old companion");
        EXPECT_EQ(Entries(dir.path()).size(), 2u);
        r = RunZarvelCli({"export", "--ldraw", kLibrary, kHouse, "-o", out});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(Slurp(out), "old file");
        EXPECT_NE(Slurp(companion), "old companion");
        EXPECT_EQ(Entries(dir.path()).size(), 2u);
    }
}

// The faces of every placement are the drawing's: type 3 lines and twice type 4, as
// `stats --quality high` counts them, less the faces without area.
TEST(ExportCommand, TrianglesAreTheFacesTheDrawingCounts) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    TempDir dir;
    for (const auto& entry : fs::directory_iterator(ldraw / "models")) {
        const std::string model = entry.path().string();
        SCOPED_TRACE(model);
        const testing_support::CliRun stats =
            RunZarvelCli({"stats", "--ldraw", ldraw.string(), "--quality", "high", model});
        auto count = [&](int type) {
            const std::string key = "\t" + std::to_string(type) + "\t";
            return std::stoll(stats.out.substr(stats.out.find(key) + key.size()));
        };
        const testing_support::CliRun r = RunZarvelCli(
            {"export", "--ldraw", ldraw.string(), model, "-o", (dir.path() / "m.glb").string()});
        ASSERT_LE(r.status, 1) << r.err;
        const size_t at = r.out.find("Triangles: ");
        ASSERT_NE(at, std::string::npos) << r.out;
        const int64_t triangles = std::stoll(r.out.substr(at + 11));
        const int64_t dropped = std::stoll(r.out.substr(r.out.find(" (", at) + 2));
        EXPECT_EQ(triangles + dropped, count(3) + 2 * count(4));
    }
}

}  // namespace
