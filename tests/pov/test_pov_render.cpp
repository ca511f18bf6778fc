// POV-Ray itself reads the scenes: the small models of the other tests, the mended
// cases and the real models of the shared library, at a tiny size and several quality
// levels. POV-Ray exits with status 1 when it cannot parse a scene. Skipped when
// povray is not installed.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "files.h"
#include "pov_fixture.h"
#include "povfixtures.h"

namespace povtest {
namespace {

bool PovrayInstalled() {
    const std::optional<std::string> path = plat::GetEnv("PATH");
    if (!path) return false;
    std::istringstream dirs(*path);
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty()) continue;
        const std::filesystem::path candidate = std::filesystem::path(dir) / "povray";
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) return true;
    }
    return false;
}

#define REQUIRE_POVRAY() \
    if (!PovrayInstalled()) GTEST_SKIP() << "povray is not installed"

class PovRender : public PovTest {
  protected:
    void SetUp() override {
        PovTest::SetUp();
        WriteLibrary(dir);
        WriteMendedCases();
    }

    void WriteMendedCases() {
        dir.Write("parts/flat.dat",
                  "0 Flat\n3 16 0 0 0 1 1 1 2 2 2\n4 16 0 0 0 1 0 0 2 0 0 3 0 0\n");
        dir.Write("parts/nopov.dat",
                  "0 Tolpix IFNOTPOV\n3 16 0 0 0 10 0 0 0 10 0\n0 Tolpix ENDPOV\n");
        dir.Write("parts/coded.dat",
                  "0 Tolpix IFPOV\n0 sphere { <0,0,0>, 10 }\n0 Tolpix ELSEPOV\n"
                  "3 16 0 0 0 10 0 0 0 10 0\n0 Tolpix ENDPOV\n");
        dir.Write("parts/ball.dat",
                  "0 Tolpix IFPOV\n0 sphere { <0,0,0>, 10 }\n0 Tolpix ELSEPOV\n"
                  "3 16 0 0 0 1 1 1 2 2 2\n0 Tolpix ENDPOV\n");
        // POV meta-commands out of balance, in the model and in parts: a block left open
        // before ordinary comments, a second ELSEPOV in one block, and an "#else" of an
        // "#if (1)" around a nested block that holds a part's only mesh.
        dir.Write("parts/open.dat",
                  "0 Tolpix IFPOV\n0 Author: someone\n0 BFC CERTIFY CCW\n"
                  "3 16 0 0 0 9 0 0 0 9 0\n");
        dir.Write("parts/twoelse.dat",
                  "0 Tolpix IFNOTPOV\n3 16 0 0 0 10 0 0 0 10 0\n0 Tolpix ELSEPOV\n"
                  "0 sphere { <0,0,0>, 5 }\n0 Tolpix ELSEPOV\n3 16 0 0 0 10 0 0 0 10 0\n"
                  "0 Tolpix ENDPOV\n");
        dir.Write("parts/hidden.dat",
                  "0 Tolpix IFPOV\n0 Tolpix IFNOTPOV\n0 Tolpix ENDPOV\n0 Tolpix ELSEPOV\n"
                  "3 16 0 0 0 10 0 0 0 10 0\n0 Tolpix ENDPOV\n");
        dir.Write("models/blocks.ldr",
                  "0 Tolpix ENDPOV\n0 Tolpix ELSEPOV\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
                  "1 4 0 0 0 1 0 0 0 1 0 0 0 1 open.dat\n"
                  "1 2 30 0 0 1 0 0 0 1 0 0 0 1 twoelse.dat\n"
                  "1 1 60 0 0 1 0 0 0 1 0 0 0 1 hidden.dat\n0 Tolpix IFNOTPOV\n"
                  "1 1 9 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n");
        // Models too small for their fitted camera: scaled down near the origin and far
        // from it, and one whose box is a point.
        dir.Write("models/tiny.ldr", "1 4 0 0 0 1e-8 0 0 0 1e-8 0 0 0 1e-8 brick.dat\n");
        dir.Write("models/tinyfar.ldr", "1 4 5000 0 0 1e-8 0 0 0 1e-8 0 0 0 1e-8 brick.dat\n");
        dir.Write("p/8-8sphe.dat", "3 16 0 0 0 0 0 0 0 0 0\n");
        dir.Write("models/point.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 8-8sphe.dat\n");
        dir.Write("models/mended.mpd",
                  "0 FILE mended.mpd\n"
                  "0 Title\r1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
                  "1 4 0 0 0 1 0 0 0 1 0 0 0 1 flat.dat\n"
                  "1 4 0 0 0 1 0 0 0 1 0 0 0 1 nopov.dat\n"
                  "1 14 0 -30 0 1 0 0 0 1 0 0 0 1 coded.dat\n"
                  "1 4 0 30 0 1 0 0 0 1 0 0 0 1 ball.dat\n"
                  "1 4 0 0 0 1 0 0 0 1 0 0 0 1 box\n"
                  "1 1 30 0 0 1 0 0 0 1 0 0 0 1 union\n"
                  "1 2 60 0 0 1 0 0 0 1 0 0 0 1 x\n"
                  "1 2 90 0 0 1 0 0 0 1 0 0 0 1 Color4\n"
                  "0 FILE box\n"
                  "1 16 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
                  "3 16 0 0 0 1 1 1 2 2 2\n"
                  "0 FILE union\n"
                  "1 16 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n"
                  "0 FILE x\n"
                  "3 16 0 0 0 10 0 0 0 10 0\n"
                  "0 FILE color4\n"
                  "3 16 0 0 0 10 0 0 0 10 0\n");
    }

    // Writes the loaded model's scene at a quality level and has POV-Ray render it;
    // empty when it rendered, else what POV-Ray said.
    std::string Render(int quality, const std::string& name) {
        options.quality = quality;
        const std::string base = name + "_q" + std::to_string(quality);
        const std::filesystem::path scene = dir.path() / (base + ".pov");
        {
            std::ofstream file(scene, std::ios::binary);
            const int result =
                PovWriteScene(file, model, palette, options, model.Main().name).result;
            if (result != POV_OK) return "export result " + std::to_string(result);
        }
        const std::string command = "cd '" + dir.path().string() + "' && povray +I" + base +
                                    ".pov +O" + base + ".png +W80 +H60 -D -A > " + base +
                                    ".log 2>&1";
        const int status = std::system(command.c_str());
        std::ifstream log(dir.path() / (base + ".log"));
        std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        // What POV-Ray said about the scene, without its banner.
        const size_t parsing = text.find("[Parsing");
        if (parsing != std::string::npos) text.erase(0, parsing);
        if (status != 0) return "povray status " + std::to_string(status) + ":\n" + text;
        if (!std::filesystem::exists(dir.path() / (base + ".png"))) return "no picture:\n" + text;
        if (text.find("Parse Error") != std::string::npos) return text;
        return "";
    }
};

class PovRenderFixtures : public PovRender, public ::testing::WithParamInterface<const char*> {};

TEST_P(PovRenderFixtures, RendersAtEveryQuality) {
    REQUIRE_POVRAY();
    ASSERT_TRUE(Load(GetParam()));
    for (int quality : {0, 3}) EXPECT_EQ(Render(quality, "fixture"), "") << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Models, PovRenderFixtures,
                         ::testing::Values("one.ldr", "all.ldr", "studonly.ldr", "mended.mpd",
                                           "blocks.ldr"));

// The camera does not depend on the quality level: one level each.
class PovRenderCamera : public PovRender, public ::testing::WithParamInterface<const char*> {};

TEST_P(PovRenderCamera, TinyModelRenders) {
    REQUIRE_POVRAY();
    ASSERT_TRUE(Load(GetParam()));
    EXPECT_EQ(Render(2, "tiny"), "") << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Models, PovRenderCamera,
                         ::testing::Values("tiny.ldr", "tinyfar.ldr", "point.ldr"));

TEST_F(PovRender, EmptyModelStillParses) {
    REQUIRE_POVRAY();
    ASSERT_TRUE(Load("edges.ldr"));
    options.quality = 2;
    const std::filesystem::path scene = dir.path() / "edges.pov";
    {
        std::ofstream file(scene, std::ios::binary);
        EXPECT_EQ(PovWriteScene(file, model, palette, options, model.Main().name).result,
                  POV_EMPTY);
    }
    const std::string command =
        "cd '" + dir.path().string() +
        "' && povray +Iedges.pov +Oedges.png +W8 +H6 -D -A > /dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

class PovRenderShared : public PovRender, public ::testing::WithParamInterface<const char*> {};

TEST_P(PovRenderShared, RealModelRenders) {
    REQUIRE_POVRAY();
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    const std::filesystem::path path = ldraw / "models" / GetParam();
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    settings.ldrawDir = ldraw.string();
    ASSERT_EQ(QzReadModel(model, path.string(), settings, palette), 1);
    // The two smallest also at the other two levels.
    const bool small =
        std::string(GetParam()) == "car.ldr" || std::string(GetParam()) == "pyramid.ldr";
    for (int quality : {0, 1, 2, 3}) {
        if (!small && (quality == 1 || quality == 3)) continue;
        EXPECT_EQ(Render(quality, "real"), "") << GetParam() << " QUAL " << quality;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Models, PovRenderShared,
    ::testing::Values("10156-1 - LEGO Truck.mpd", "10179-1 - Millennium Falcon - UCS.mpd",
                      "10182-1 - Cafe Corner.mpd", "10214-1 - Tower Bridge.mpd",
                      "1180-1 - Space Port Moon Buggy.mpd", "21303 - WALLE.mpd",
                      "40448 - Vintage Car.mpd", "6080 - Kings Castle.mpd",
                      "6235 - Buried Treasure.mpd", "7150-1 - TIE Fighter & Y-wing.mpd", "car.ldr",
                      "pyramid.ldr"));

}  // namespace
}  // namespace povtest
