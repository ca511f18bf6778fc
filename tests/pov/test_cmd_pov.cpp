// zarvel-cli pov: the scene file, the exit status and what goes to standard error.
#include <fstream>
#include <sstream>

#include "args.h"
#include "pov_fixture.h"
#include "povfixtures.h"

namespace povtest {
namespace {

class CmdPov : public PovTest {
  protected:
    void SetUp() override {
        PovTest::SetUp();
        WriteLibrary(dir);
    }
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"zarvel-cli", "pov"});
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        out.str("");
        err.str("");
        return cli::RunCli(int(argv.size()), argv.data(), out, err);
    }
    std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::string Library() const { return dir.path().string(); }

    std::ostringstream out, err;
};

TEST_F(CmdPov, WritesTheSceneOfTheMenuCommand) {
    const std::string path = (dir.path() / "one.pov").string();
    ASSERT_EQ(Run({"--ldraw", Library(), "one.ldr", "-o", path}), 0) << err.str();
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "");
    const std::string written = Read(path);
    // The same text as an export of the model loaded alike, the path as typed.
    ASSERT_TRUE(Load("one.ldr"));
    EXPECT_EQ(written, Export());
    EXPECT_NE(written.find("// Input file: one.ldr\r\n"), std::string::npos);
}

TEST_F(CmdPov, ModelThatDoesNotLoad) {
    const std::string path = (dir.path() / "none.pov").string();
    EXPECT_EQ(Run({"--ldraw", Library(), "nothere.ldr", "-o", path}), 2);
    EXPECT_NE(err.str().find("Could not find nothere.ldr"), std::string::npos) << err.str();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(CmdPov, EmptyModel) {
    const std::string path = (dir.path() / "edges.pov").string();
    EXPECT_EQ(Run({"--ldraw", Library(), "edges.ldr", "-o", path}), 1);
    EXPECT_EQ(err.str(), "Zarvel: Empty model, POV file incomplete!\n");
    EXPECT_NE(Read(path).find("// Empty model"), std::string::npos);
}

TEST_F(CmdPov, OutputThatCannotBeOpened) {
    const std::string path = (dir.path() / "no" / "such" / "one.pov").string();
    EXPECT_EQ(Run({"--ldraw", Library(), "one.ldr", "-o", path}), 1);
    EXPECT_EQ(err.str(), "Zarvel: Could not open file " + path + "\n");
}

// Numbers whose camera or lights leave the float range, and a camera that would stand
// on its look-at point: no scene POV-Ray would refuse is written, and the file that
// was there stays as it was, also behind a symbolic link.
TEST_F(CmdPov, ModelTooLargeForAScene) {
    std::string rotated;
    for (int i = 0; i < 100; ++i) rotated += "0 ROTATE 45 1 1 1\n";
    rotated += "1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n";
    for (int i = 0; i < 100; ++i) rotated += "0 ROTATE END\n";
    const std::string models[] = {
        "3 4 -3.4e38 0 0 3.4e38 0 0 0 3.4e38 0\n",
        "1 4 0 0 0 1e30 0 0 0 1e30 0 0 0 1e30 brick.dat\n",
        rotated,
    };
    const std::string path = (dir.path() / "large.pov").string();
    const std::string scene = dir.Write("scenes/mine.pov", "the user's scene");
    const std::string link = (dir.path() / "link.pov").string();
    std::filesystem::create_symlink("scenes/mine.pov", link);
    for (const std::string& model : models) {
        dir.Write("models/large.ldr", model);
        std::ofstream(path) << "an older file";
        EXPECT_EQ(Run({"--ldraw", Library(), "large.ldr", "-o", path}), 1) << model;
        EXPECT_EQ(err.str(), "Zarvel: Model too large for a POV scene\n") << model;
        EXPECT_EQ(Read(path), "an older file") << model;
        EXPECT_EQ(Run({"--ldraw", Library(), "large.ldr", "-o", link}), 1) << model;
        EXPECT_TRUE(std::filesystem::is_symlink(link)) << model;
        EXPECT_EQ(Read(scene), "the user's scene") << model;
    }
    // Nothing else was left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "scenes"),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(CmdPov, ProblemsOfTheLoadGoToStandardError) {
    dir.Write("models/bad.ldr",
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
              "7 4 0 0 0\n");
    const std::string path = (dir.path() / "bad.pov").string();
    EXPECT_EQ(Run({"--ldraw", Library(), "bad.ldr", "-o", path}), 0);
    EXPECT_NE(err.str().find("Line 2"), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find('\r'), std::string::npos);
}

TEST_F(CmdPov, NeedsModelAndOutput) {
    EXPECT_NE(Run({"--ldraw", Library(), "one.ldr"}), 0);
    EXPECT_NE(Run({"-o", "x.pov"}), 0);
    EXPECT_NE(Run({}), 0);
}

}  // namespace
}  // namespace povtest
