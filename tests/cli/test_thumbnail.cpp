// zarvel-cli thumbnail: the square PNG with alpha, the fit with its margin, file URIs,
// the library folder found as the desktop program finds it, the library's colours with
// their fallback, models that give no picture, and the limit of processor time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "cli_run.h"
#include "cmd_thumbnail.h"
#include "ldrawdir.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CliRun;
using testing_support::Entries;
using testing_support::ScopedEnv;
using testing_support::Slurp;
using testing_support::TempDir;

struct Picture {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;
    std::vector<uint8_t> rgba;
    const uint8_t* At(int x, int y) const { return rgba.data() + (size_t(y) * width + x) * 4; }
};

Picture ReadPng(const std::string& path) {
    Picture picture;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return picture;
    picture.hasAlpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    png.format = PNG_FORMAT_RGBA;
    picture.rgba.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, picture.rgba.data(), 0, nullptr)) return {};
    picture.width = static_cast<int>(png.width);
    picture.height = static_cast<int>(png.height);
    return picture;
}

class Thumbnail : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir.path() / "library");
        for (const char* folder : {"parts", "p"})
            fs::copy(testing_support::ExamplesDir() / folder, dir.path() / "library" / folder,
                     fs::copy_options::recursive);
        model = dir.Write("models/car.ldr",
                          Slurp((testing_support::ExamplesDir() / "models" / "car.ldr").string()));
        output = (dir.path() / "out" / "car.png").string();
        fs::create_directories(dir.path() / "out");
    }
    // In-process, so without the limit of processor time.
    CliRun Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"thumbnail", "--cpu-limit", "0"});
        return testing_support::RunZarvelCli(args);
    }
    std::string Library() const { return (dir.path() / "library").string(); }

    TempDir dir;
    // The user's own settings and ldraw.ini are never seen.
    ScopedEnv config{"XDG_CONFIG_HOME", (dir.path() / "config").c_str()};
    ScopedEnv ldrawDir{"LDRAWDIR", (dir.path() / "library").c_str()};
    std::string model;
    std::string output;
};

TEST_F(Thumbnail, SquareWithAlphaTransparentWhereNothingIsDrawnAndTheModelFittedWithAMargin) {
    for (const int size : {256, 100}) {
        SCOPED_TRACE(size);
        const CliRun run =
            size == 256 ? Run({model, output}) : Run({"-s", std::to_string(size), model, output});
        ASSERT_EQ(run.status, 0) << run.err;
        const Picture picture = ReadPng(output);
        ASSERT_EQ(picture.width, size);
        ASSERT_EQ(picture.height, size);
        EXPECT_TRUE(picture.hasAlpha);
        // Every pixel is either fully transparent (and black) or opaque; the corners are
        // transparent; the opaque ones keep the margin and touch it on the tighter side.
        int x0 = size, x1 = -1, y0 = size, y1 = -1, opaque = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const uint8_t* p = picture.At(x, y);
                if (p[3] == 0) {
                    EXPECT_EQ(p[0] + p[1] + p[2], 0);
                    continue;
                }
                ASSERT_EQ(p[3], 255);
                ++opaque;
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        EXPECT_GT(opaque, size * size / 10);
        const int margin = size / 20;
        EXPECT_GE(std::min({x0, y0, size - 1 - x1, size - 1 - y1}), margin - 1);
        EXPECT_LE(std::min({x0, y0, size - 1 - x1, size - 1 - y1}), margin + 2)
            << x0 << " " << x1 << " " << y0 << " " << y1;
        // Centred: the free room left and right differs by a pixel or two at most.
        EXPECT_LE(std::abs(x0 - (size - 1 - x1)), 2);
        EXPECT_LE(std::abs(y0 - (size - 1 - y1)), 2);
    }
}

TEST_F(Thumbnail, AFileUriWithABlankIsTheFileItNames) {
    const std::string spaced = dir.Write("my models/car #1.ldr", Slurp(model));
    ASSERT_EQ(Run({model, output}).status, 0);
    const std::string expected = Slurp(output);
    const std::string uri = "file://" + (dir.path() / "my%20models/car%20%231.ldr").string();
    for (const std::string& input :
         {uri, "file://localhost" + (dir.path() / "my%20models/car%20%231.ldr").string()}) {
        SCOPED_TRACE(input);
        fs::remove(output);
        const CliRun run = Run({input, output});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Slurp(output), expected);
    }
    ASSERT_TRUE(fs::exists(spaced));
}

TEST(ThumbnailInput, PathsAndFileUris) {
    struct Case {
        const char* input;
        std::optional<std::string> path;
    };
    for (const Case& c : {
             Case{"/models/car.ldr", "/models/car.ldr"},
             Case{"models/car 1.ldr", "models/car 1.ldr"},
             Case{"file:///models/my%20car.ldr", "/models/my car.ldr"},
             Case{"FILE:///models/a%2fb%25c", std::nullopt},  // no "/" within a name
             Case{"file:///models/a%2Fb", std::nullopt},
             Case{"file:///models/a%25b%3Fc", "/models/a%b?c"},
             Case{"file://localhost/m/%C3%A9.ldr", "/m/\xc3\xa9.ldr"},
             Case{"file://LocalHost/m.ldr", "/m.ldr"},
             Case{"file:/m.ldr", "/m.ldr"},
             Case{"file:///m/%e9.ldr", "/m/\xe9.ldr"},  // bytes that are no UTF-8
             Case{"file://server/m.ldr", std::nullopt},
             Case{"file://localhostx/m.ldr", std::nullopt},
             Case{"file://localhost", std::nullopt},
             Case{"file:m.ldr", std::nullopt},
             Case{"file:///m.ldr#part", std::nullopt},
             Case{"file:///m%2.ldr", std::nullopt},
             Case{"file:///m%zz.ldr", std::nullopt},
             Case{"file:///m.ldr%", std::nullopt},
             Case{"file:///m%00.ldr", std::nullopt},
         }) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(cli::ThumbnailInputPath(c.input), c.path);
    }
}

TEST(ThumbnailInput, AFileUriNamingThisMachineIsLocal) {
    char name[HOST_NAME_MAX + 1] = {};
    ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
    std::string host = name;
    EXPECT_EQ(cli::ThumbnailInputPath("file://" + host + "/m/car.ldr"), "/m/car.ldr");
    for (char& c : host) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(cli::ThumbnailInputPath("file://" + host + "/m/car.ldr"), "/m/car.ldr");
    EXPECT_EQ(cli::ThumbnailInputPath("file://" + host + "x/m/car.ldr"), std::nullopt);
}

// Points the search for the system-wide library at a folder for the lifetime of the
// object.
struct ScopedSystemLibrary {
    explicit ScopedSystemLibrary(const std::string& folder) { QzSetSystemLDrawDir(folder); }
    ~ScopedSystemLibrary() { QzSetSystemLDrawDir(kSystemLDrawDir); }
};

TEST_F(Thumbnail, WithoutALibrarySaysWhereItLooks) {
    ScopedEnv noVariable{"LDRAWDIR", nullptr};
    const ScopedSystemLibrary none((dir.path() / "no system library").string());
    const CliRun run = Run({model, output});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(
        run.err.find("\nzarvel-cli: thumbnail: no LDraw library folder: choose one in the desktop "
                     "program (Edit > Set LDrawDir...), set LDRAWDIR, name it as BaseDirectory in "
                     "ldraw.ini, or install it in /usr/share/ldraw\n"),
        std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("--ldraw"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(output));
}

// A file manager's sandbox may show only /usr: a library in /usr/share/ldraw is found
// when nothing else names one, by thumbnail and by the commands that take --ldraw.
TEST_F(Thumbnail, ALibraryInUsrShareLdrawIsFoundAfterTheOtherWays) {
    const ScopedSystemLibrary system(Library());
    ScopedEnv noVariable{"LDRAWDIR", nullptr};
    const CliRun run = Run({model, output});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadPng(output).width, 256);
    const std::string picture = (dir.path() / "out" / "render.png").string();
    const CliRun render = testing_support::RunZarvelCli({"render", model, "-o", picture});
    EXPECT_EQ(render.status, 0) << render.err;
    EXPECT_TRUE(fs::exists(picture));

    // Only after the other ways: a folder LDRAWDIR names comes first, even a wrong one.
    fs::remove(output);
    ScopedEnv wrong{"LDRAWDIR", (dir.path() / "no such library").c_str()};
    EXPECT_NE(Run({model, output}).status, 0);
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(Thumbnail, NoPictureNoFile) {
    const std::string empty = dir.Write("models/empty.ldr", "0 Nothing to draw\n0 STEP\n");
    const std::string comments = dir.Write("models/hidden.ldr", "0 only a comment\n");
    const std::string old = dir.Write("out/old.png", "the user's old file");
    struct Case {
        const char* name;
        std::string input;
        std::string output;
        int status;
    };
    for (const Case& c : {
             Case{"draws nothing", empty, output, 1},
             Case{"draws nothing over an old file", comments, old, 1},
             Case{"missing", (dir.path() / "models/none.ldr").string(), output, 2},
             Case{"a folder", (dir.path() / "models").string(), output, 2},
             Case{"another host", "file://server/models/car.ldr", output, 2},
         }) {
        SCOPED_TRACE(c.name);
        const CliRun run = Run({c.input, c.output});
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.err, "");
        EXPECT_EQ(Entries(dir.path() / "out"), std::vector<std::string>{"old.png"});
        EXPECT_EQ(Slurp(old), "the user's old file");
    }
}

TEST_F(Thumbnail, UsageErrors) {
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"-s", "0", model, output},
             {"-s", "4097", model, output},
             {"-s", "big", model, output},
             {model},
         }) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_FALSE(fs::exists(output));
    }
}

// The desktop program's stored library folder comes first, then LDRAWDIR.
TEST_F(Thumbnail, LibraryFromTheDesktopSettingsFirst) {
    ScopedEnv noVariable{"LDRAWDIR", (dir.path() / "no such library").c_str()};
    EXPECT_NE(Run({model, output}).status, 0);
    dir.Write("config/Veltmark/Zarvel.conf",
              "[General]\nx=1\n\n[General%20settings]\nLDrawDir=" + Library() + "\n");
    const CliRun run = Run({model, output});
    EXPECT_EQ(run.status, 0) << run.err;
    // A settings file that is a named pipe is not read (reading it would wait for ever).
    fs::remove(dir.path() / "config/Veltmark/Zarvel.conf");
    ASSERT_EQ(mkfifo((dir.path() / "config/Veltmark/Zarvel.conf").c_str(), 0600), 0);
    EXPECT_NE(Run({model, output}).status, 0);
    ScopedEnv variable{"LDRAWDIR", Library().c_str()};
    EXPECT_EQ(Run({model, output}).status, 0);
}

// The library's colours where it has LDConfig.ldr (71 is a blue grey there), else the
// first scheme (which does not know 71 and draws it grey).
TEST_F(Thumbnail, LibraryColoursFallingBackToTheFirstScheme) {
    const std::string grey =
        dir.Write("models/grey.ldr", "1 71 0 0 0 1 0 0 0 1 0 0 0 1 zb2x2.dat\n");
    auto bluish = [&] {
        const CliRun run = Run({grey, output});
        EXPECT_EQ(run.status, 0) << run.err;
        const Picture picture = ReadPng(output);
        int blue = 0, opaque = 0;
        for (size_t i = 0; i < picture.rgba.size(); i += 4) {
            if (picture.rgba[i + 3] == 0) continue;
            ++opaque;
            blue += picture.rgba[i + 2] > picture.rgba[i] + 16 ? 1 : 0;
        }
        EXPECT_GT(opaque, 1000);
        return blue > opaque / 2;
    };
    EXPECT_FALSE(bluish());
    dir.Write("library/LDConfig.ldr", testing_support::kTestLDConfig);
    EXPECT_TRUE(bluish());
}

// A sticker's print is in its thumbnail: the left half of the image red, the right half
// cut out, on a white square lying flat; without its image the square stays white.
TEST_F(Thumbnail, ShowsThePrintOfATexturedPart) {
    dir.Write("library/parts/sticker.dat",
              "0 !TEXMAP START PLANAR -40 0 -40 40 0 -40 -40 0 40 half.png\n"
              "0 !: 4 16 -40 0 -40 40 0 -40 40 0 40 -40 0 40\n"
              "0 !TEXMAP FALLBACK\n4 16 -40 0 -40 40 0 -40 40 0 40 -40 0 40\n0 !TEXMAP END\n");
    const std::string sticker =
        dir.Write("models/sticker.ldr", "1 15 0 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n");
    // Pixels shown (opaque) and those of them red.
    auto count = [&] {
        const CliRun run = Run({sticker, output});
        EXPECT_EQ(run.status, 0) << run.err;
        const Picture picture = ReadPng(output);
        std::pair<int, int> shownRed{0, 0};
        for (size_t i = 0; i < picture.rgba.size(); i += 4) {
            const uint8_t* p = &picture.rgba[i];
            if (p[3] == 0) continue;
            ++shownRed.first;
            shownRed.second += p[0] > 150 && p[1] < 90 && p[2] < 90 ? 1 : 0;
        }
        return shownRed;
    };
    const auto [blankShown, blankRed] = count();
    EXPECT_GT(blankShown, 1000);
    EXPECT_EQ(blankRed, 0);
    dir.Write("library/parts/textures/half.png",
              testing_support::EncodePng(2, 1, {255, 0, 0, 255, 0, 0, 0, 0}));
    const auto [printedShown, printedRed] = count();
    EXPECT_EQ(printedShown, blankShown);
    // About half of the square, the other half white as before.
    EXPECT_GT(printedRed, printedShown / 3);
    EXPECT_LT(printedRed, printedShown * 2 / 3);
}

#ifdef ZARVEL_CLI_PROGRAM
// Runs the real program (its limit applies to the whole process) with stdout and stderr
// collected into one text.
CliRun RunProgram(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return {-1, {}, {}};
    const pid_t child = fork();
    if (child == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        std::vector<char*> argv{const_cast<char*>(ZARVEL_CLI_PROGRAM)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    CliRun run{-1, {}, {}};
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) run.err.append(buffer, n);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// As Thunar's thumbnail service (tumbler) does it: it makes an empty file, runs the
// thumbnailer on its name and reads the picture through the descriptor it kept open.
TEST_F(Thumbnail, AThumbnailServiceReadsThePictureThroughTheFileItMade) {
    std::string name = (dir.path() / "out" / "tumbler-XXXXXX").string();
    const int held = mkstemp(name.data());
    ASSERT_GE(held, 0);
    const CliRun run = RunProgram({"thumbnail", "-s", "64", model, name});
    EXPECT_EQ(run.status, 0) << run.err;
    std::string picture;
    char buffer[4096];
    for (ssize_t n; (n = read(held, buffer, sizeof buffer)) > 0;) picture.append(buffer, n);
    close(held);
    ASSERT_GT(picture.size(), 100u);
    EXPECT_EQ(picture.substr(0, 4), "\x89PNG");
    EXPECT_EQ(picture, Slurp(name));
    EXPECT_EQ(ReadPng(name).width, 64);
    EXPECT_EQ(Entries(dir.path() / "out").size(), 1u);
}

// A small file of 10^5 references to a section of 200 cubes: far more than a second of
// drawing, though within what a drawing holds. The command ends at its limit, with no
// file and no temporary one, and the old file as it was.
TEST_F(Thumbnail, EndsAtItsLimitOfProcessorTime) {
    std::string text = "0 FILE main.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 l1.ldr\n";
    const int levels = 5;
    for (int k = 1; k <= levels; ++k) {
        text += "0 FILE l" + std::to_string(k) + ".ldr\n";
        for (int i = 0; i < 10; ++i)
            text += "1 16 " + std::to_string(i * (k + 1) * 20) + " 0 " + std::to_string(k * 7) +
                    " 1 0 0 0 1 0 0 0 1 l" + std::to_string(k + 1) + ".ldr\n";
    }
    text += "0 FILE l" + std::to_string(levels + 1) + ".ldr\n";
    for (int i = 0; i < 200; ++i) text += testing_support::kCube;
    const std::string heavy = dir.Write("models/heavy.mpd", text);
    const std::string old = dir.Write("out/old.png", "the user's old file");
    const CliRun run = RunProgram({"thumbnail", "--cpu-limit", "1", heavy, old});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("zarvel-cli: thumbnail: processor time limit reached\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Entries(dir.path() / "out"), std::vector<std::string>{"old.png"});
    EXPECT_EQ(Slurp(old), "the user's old file");
    // The same program writes the picture of a model within the limit.
    const CliRun small = RunProgram({"thumbnail", "--cpu-limit", "1", model, output});
    EXPECT_EQ(small.status, 0) << small.err;
    EXPECT_EQ(ReadPng(output).width, 256);
}
#endif

}  // namespace
