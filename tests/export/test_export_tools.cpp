// The exports in the programs that read them: the Khronos glTF validator (npm package
// gltf-validator) finds no error and no warning in them, assimp loads every format with
// the faces and the box the export counted (and `stats --quality high` counts), and f3d
// draws them. Each test is skipped when its program is not installed, and those of the
// shared LDraw library when it is absent.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>

#include "cli_run.h"
#include "files.h"
#include "pictures.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::RunZarvelCli;
using testing_support::TempDir;

struct Ran {
    int status;
    std::string output;
};

// Runs a shell command line with its output and errors together.
Ran Shell(const std::string& command) {
    Ran run{-1, {}};
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool Installed(const std::string& program) {
    const std::optional<std::string> path = plat::GetEnv("PATH");
    if (!path) return false;
    std::istringstream dirs(*path);
    for (std::string dir; std::getline(dirs, dir, ':');) {
        std::error_code ec;
        if (!dir.empty() && fs::is_regular_file(fs::path(dir) / program, ec)) return true;
    }
    return false;
}

// Where node finds the validator: the global packages of npm.
std::optional<std::string> ValidatorModules() {
    if (!Installed("node") || !Installed("npm")) return std::nullopt;
    Ran root = Shell("npm root -g");
    while (!root.output.empty() && std::isspace(static_cast<unsigned char>(root.output.back())))
        root.output.pop_back();
    if (root.status != 0 || !fs::exists(fs::path(root.output) / "gltf-validator"))
        return std::nullopt;
    return root.output;
}

#define REQUIRE_PROGRAM(name) \
    if (!Installed(name)) GTEST_SKIP() << name << " is not installed"

const std::string kExamples = testing_support::ExamplesDir().string();
const std::string kHouse = (testing_support::ExamplesDir() / "models" / "house.mpd").string();

// Exports a model with zarvel-cli; the command's summary.
std::string Export(const std::string& library, const std::string& model, const std::string& out,
                   std::vector<std::string> options = {}) {
    std::vector<std::string> args{"export", "--ldraw", library, model, "-o", out};
    args.insert(args.end(), options.begin(), options.end());
    const testing_support::CliRun run = RunZarvelCli(args);
    EXPECT_LE(run.status, 1) << run.err;
    return run.out;
}

// A figure of the export's summary ("Triangles: N ...").
int64_t Figure(const std::string& summary, const std::string& name) {
    const size_t at = summary.find(name + ": ");
    return at == std::string::npos ? -1 : std::stoll(summary.substr(at + name.size() + 2));
}

// Faces, as the high-quality drawing counts them: type 3 lines and twice type 4.
int64_t StatsFaces(const std::string& library, const std::string& model) {
    const testing_support::CliRun run =
        RunZarvelCli({"stats", "--ldraw", library, "--quality", "high", model});
    auto count = [&](int type) {
        const std::string key = "\t" + std::to_string(type) + "\t";
        const size_t at = run.out.find(key);
        return at == std::string::npos ? -1 : std::stoll(run.out.substr(at + key.size()));
    };
    return count(3) + 2 * count(4);
}

// stats's BoundingBox: <x,y,z> <x,y,z>.
std::array<double, 6> StatsBox(const std::string& library, const std::string& model) {
    const testing_support::CliRun run = RunZarvelCli({"stats", "--ldraw", library, model});
    std::array<double, 6> box{};
    std::sscanf(run.out.c_str() + run.out.find("BoundingBox:"),
                "BoundingBox:\t<%lf,%lf,%lf> <%lf,%lf,%lf>", &box[0], &box[1], &box[2], &box[3],
                &box[4], &box[5]);
    return box;
}

struct AssimpFigures {
    int64_t faces = -1;
    std::array<double, 3> min{}, max{};
};
// What assimp makes of a file: its faces and the box of its points. A glTF file, whose
// nodes place its meshes, is first written out by assimp as OBJ, every mesh where its
// nodes place it (its own report of a scene's box leaves nested placements out).
AssimpFigures Assimp(const std::string& file) {
    AssimpFigures f;
    std::string read = file;
    if (file.ends_with(".glb") || file.ends_with(".gltf")) {
        read = file + ".placed.obj";
        const Ran placed = Shell("assimp export " + Quoted(file) + " " + Quoted(read));
        EXPECT_EQ(placed.status, 0) << placed.output;
    }
    const Ran info = Shell("assimp info " + Quoted(read));
    EXPECT_EQ(info.status, 0) << info.output;
    const size_t faces = info.output.find("Faces:");
    if (faces != std::string::npos) f.faces = std::stoll(info.output.substr(faces + 6));
    const size_t lo = info.output.find("Minimum point");
    const size_t hi = info.output.find("Maximum point");
    if (lo != std::string::npos)
        std::sscanf(info.output.c_str() + lo, "Minimum point (%lf %lf %lf)", &f.min[0], &f.min[1],
                    &f.min[2]);
    if (hi != std::string::npos)
        std::sscanf(info.output.c_str() + hi, "Maximum point (%lf %lf %lf)", &f.max[0], &f.max[1],
                    &f.max[2]);
    return f;
}

TEST(GltfValidator, TheBundledExampleAndHandMadeCases) {
    const std::optional<std::string> modules = ValidatorModules();
    if (!modules) GTEST_SKIP() << "node, npm or the gltf-validator package is not installed";
    TempDir dir;
    // Mirrored, sheared, nearly rotated and uncertified placements, a part placed in a
    // submodel of a colour of its own, edge lines.
    dir.Write("ldraw/parts/cube.dat",
              "0 BFC CERTIFY CCW\n3 16 0 0 0 10 0 0 0 0 10\n"
              "4 16 0 0 0 0 10 0 10 10 0 10 0 0\n2 24 0 0 0 10 0 0\n");
    dir.Write("ldraw/parts/plain.dat", "3 16 0 0 0 10 0 0 0 10 0\n");
    dir.Write("ldraw/p/empty.dat", "0 Nothing\n");
    const std::string cases =
        dir.Write("cases.mpd",
                  "0 FILE cases.ldr\n"
                  "1 4 0 0 0 -1 0 0 0 1 0 0 0 1 cube.dat\n"
                  "1 4 20 0 0 1 0.5 0 0 1 0 0 0 1 cube.dat\n"
                  "1 4 40 0 0 0.447 0 -0.894 0.083 0.996 0.041 0.891 -0.092 0.445 cube.dat\n"
                  "1 2 60 0 0 1 0 0 0 1 0 0 0 1 plain.dat\n"
                  "1 7 0 0 0 1 0 0 0 1 0 0 0 1 empty.dat\n"
                  "0 STEP\n"
                  "1 1 0 -30 0 1 0.3 0 0 1 0 0 0 1 sub.ldr\n"
                  "1 0x2FF8800 0 -60 0 1 0 0 0 1 0 0 0 1 sub.ldr\n"
                  "0 FILE sub.ldr\n"
                  "1 16 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
                  "3 16 0 0 0 5 0 0 0 5 0\n");
    const std::string library = (dir.path() / "ldraw").string();
    std::vector<std::string> files;
    auto out = [&](const std::string& name) {
        files.push_back((dir.path() / name).string());
        return files.back();
    };
    Export(kExamples, kHouse, out("house.glb"));
    Export(kExamples, kHouse, out("house.gltf"));
    Export(kExamples, kHouse, out("house-lines.glb"), {"--lines"});
    Export(library, cases, out("cases-step1.glb"), {"--step", "1"});
    Export(kExamples, (testing_support::ExamplesDir() / "models" / "car.ldr").string(),
           out("car.glb"), {"--lines"});
    Export(library, cases, out("cases.glb"), {"--lines"});
    Export(library, cases, out("cases.gltf"));
    std::string command = "NODE_PATH=" + Quoted(*modules) + " node " +
                          Quoted(std::string(ZARVEL_SOURCE_ROOT) + "/tests/tools/gltf-validate.js");
    for (const std::string& file : files) command += " " + Quoted(file);
    const Ran run = Shell(command);
    EXPECT_EQ(run.status, 0) << run.output;
    for (const std::string& file : files)
        EXPECT_NE(run.output.find(file + " errors 0 warnings 0"), std::string::npos) << run.output;
}

// A model with prints: a sticker whose image is the model's own (!DATA), with a
// cut-out, placed in two colours, mirrored, and under a mapping of the model's; a
// cylindrical mapping all the way round.
std::string TexturedModel(TempDir& dir) {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const uint8_t a = x >= 4 && y >= 4 ? 0 : 255;
            rgba.insert(rgba.end(), {static_cast<uint8_t>(x * 30), static_cast<uint8_t>(y * 30),
                                     static_cast<uint8_t>(200), a});
        }
    const std::string png = testing_support::EncodePng(8, 8, rgba);
    dir.Write("ldraw/parts/textures/band.png", png);
    dir.Write("ldraw/parts/sticker.dat",
              "0 Sticker\n0 BFC CERTIFY CCW\n"
              "0 !TEXMAP START PLANAR -40 -40 0 40 -40 0 -40 40 0 own.png\n"
              "0 !: 4 16 -40 -40 0 40 -40 0 40 40 0 -40 40 0\n"
              "0 !TEXMAP FALLBACK\n4 16 -40 -40 0 40 -40 0 40 40 0 -40 40 0\n0 !TEXMAP END\n");
    dir.Write("ldraw/parts/square.dat", "0 Square\n4 16 -10 -10 0 10 -10 0 10 10 0 -10 10 0\n");
    std::string drum =
        "0 Drum\n0 BFC CERTIFY CCW\n0 !TEXMAP START CYLINDRICAL 0 20 0 0 -20 0 "
        "10 20 0 360 band.png\n";
    for (int i = 0; i < 12; ++i) {
        const double a0 = i * M_PI / 6, a1 = (i + 1) * M_PI / 6;
        char line[200];
        std::snprintf(line, sizeof line,
                      "0 !: 4 16 %.4f 20 %.4f %.4f 20 %.4f %.4f -20 %.4f %.4f -20 %.4f\n",
                      10 * std::cos(a0), 10 * std::sin(a0), 10 * std::cos(a1), 10 * std::sin(a1),
                      10 * std::cos(a1), 10 * std::sin(a1), 10 * std::cos(a0), 10 * std::sin(a0));
        drum += line;
    }
    dir.Write("ldraw/parts/drum.dat", drum + "0 !TEXMAP END\n");
    std::string mpd =
        "0 FILE main.ldr\n"
        "1 4 0 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n"
        "1 1 100 0 0 -1 0 0 0 1 0 0 0 1 sticker.dat\n"
        "1 14 0 0 -100 1 0 0 0 1 0 0 0 1 drum.dat\n"
        "0 !TEXMAP START PLANAR -40 60 0 40 60 0 -40 140 0 band.png\n"
        "1 2 0 100 0 1 0 0 0 1 0 0 0 1 square.dat\n"
        "0 !TEXMAP END\n"
        "0 !DATA own.png\n";
    for (const std::string& line : testing_support::Base64Lines(png)) mpd += "0 !: " + line + "\n";
    return dir.Write("prints.mpd", mpd);
}

TEST(GltfValidator, PrintsFromTheModelAndTheSharedLibrary) {
    const std::optional<std::string> modules = ValidatorModules();
    if (!modules) GTEST_SKIP() << "node, npm or the gltf-validator package is not installed";
    TempDir dir;
    const std::string model = TexturedModel(dir);
    const std::string library = (dir.path() / "ldraw").string();
    std::vector<std::string> files;
    for (const char* name : {"prints.glb", "prints.gltf"}) {
        files.push_back((dir.path() / name).string());
        const std::string summary = Export(library, model, files.back());
        EXPECT_EQ(Figure(summary, "Triangles"), 2 + 2 + 24 + 2) << summary;
    }
    // The library's printed parts, when it is there.
    const std::optional<fs::path> shared = testing_support::SharedLdrawDir();
    if (shared && fs::exists(*shared / "models" / "textured-parts.ldr")) {
        files.push_back((dir.path() / "textured-parts.glb").string());
        Export(shared->string(), (*shared / "models" / "textured-parts.ldr").string(), files.back(),
               {"--lines"});
    }
    std::string command = "NODE_PATH=" + Quoted(*modules) + " node " +
                          Quoted(std::string(ZARVEL_SOURCE_ROOT) + "/tests/tools/gltf-validate.js");
    for (const std::string& file : files) command += " " + Quoted(file);
    const Ran run = Shell(command);
    EXPECT_EQ(run.status, 0) << run.output;
    for (const std::string& file : files)
        EXPECT_NE(run.output.find(file + " errors 0 warnings 0"), std::string::npos) << run.output;
}

TEST(Assimp, LoadsPrintsWithTheirFaces) {
    REQUIRE_PROGRAM("assimp");
    TempDir dir;
    const std::string model = TexturedModel(dir);
    const std::string library = (dir.path() / "ldraw").string();
    for (const char* name : {"prints.glb", "prints.gltf"}) {
        SCOPED_TRACE(name);
        const std::string out = (dir.path() / name).string();
        const std::string summary = Export(library, model, out);
        EXPECT_EQ(Assimp(out).faces, Figure(summary, "Triangles"));
        const Ran info = Shell("assimp info " + Quoted(out));
        // Four images: the sticker's over red and blue, the band over yellow and green.
        const size_t at = info.output.find("Textures (embed.):");
        ASSERT_NE(at, std::string::npos) << info.output;
        EXPECT_EQ(std::stoi(info.output.substr(at + 18)), 4) << info.output;
    }
}

TEST(GltfValidator, TheModelsOfTheSharedLibrary) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    const std::optional<std::string> modules = ValidatorModules();
    if (!modules) GTEST_SKIP() << "node, npm or the gltf-validator package is not installed";
    TempDir dir;
    std::string command = "NODE_PATH=" + Quoted(*modules) + " node " +
                          Quoted(std::string(ZARVEL_SOURCE_ROOT) + "/tests/tools/gltf-validate.js");
    int count = 0;
    for (const auto& entry : fs::directory_iterator(ldraw / "models")) {
        const std::string out = (dir.path() / (std::to_string(++count) + ".glb")).string();
        Export(ldraw.string(), entry.path().string(), out, {"--lines"});
        command += " " + Quoted(out);
    }
    ASSERT_GT(count, 0);
    const Ran run = Shell(command);
    EXPECT_EQ(run.status, 0) << run.output;
}

// Every format of a model in assimp: the faces of every placement, as many as the export
// wrote and the drawing counts less those without area, and the box of the scene.
void CheckInAssimp(const std::string& library, const std::string& model, bool exactBox) {
    TempDir dir;
    const int64_t faces = StatsFaces(library, model);
    const std::array<double, 6> box = StatsBox(library, model);
    for (const char* extension : {"glb", "gltf", "stl", "obj"}) {
        SCOPED_TRACE(extension);
        const std::string out = (dir.path() / (std::string("m.") + extension)).string();
        const std::string summary = Export(library, model, out);
        const int64_t written = Figure(summary, "Triangles");
        EXPECT_EQ(written, faces - std::stoll(summary.substr(summary.find(" (") + 2)));
        const AssimpFigures f = Assimp(out);
        EXPECT_EQ(f.faces, written);
        // The stats box mapped: glTF and OBJ (x, -y, -z) m, STL (x, z, -y) mm.
        const bool stl = std::string(extension) == "stl";
        const double s = stl ? 0.4 : 0.0004;
        const std::array<double, 3> lo =
            stl ? std::array<double, 3>{s * box[0], s * box[2], -s * box[4]}
                : std::array<double, 3>{s * box[0], -s * box[4], -s * box[5]};
        const std::array<double, 3> hi =
            stl ? std::array<double, 3>{s * box[3], s * box[5], -s * box[1]}
                : std::array<double, 3>{s * box[3], -s * box[1], -s * box[2]};
        for (int k = 0; k < 3; ++k) {
            const double slack = 1e-6 + 1e-5 * std::fabs(hi[k] - lo[k]);
            if (exactBox) {
                EXPECT_NEAR(f.min[k], lo[k], slack) << k;
                EXPECT_NEAR(f.max[k], hi[k], slack) << k;
            } else {
                // Rotated parts: stats boxes their boxes, the export their points.
                EXPECT_GE(f.min[k], lo[k] - slack) << k;
                EXPECT_LE(f.max[k], hi[k] + slack) << k;
            }
        }
    }
}

TEST(Assimp, EveryFormatOfTheBundledExample) {
    REQUIRE_PROGRAM("assimp");
    CheckInAssimp(kExamples, kHouse, true);
}

TEST(Assimp, EveryFormatOfAModelOfTheSharedLibrary) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    REQUIRE_PROGRAM("assimp");
    CheckInAssimp(ldraw.string(), (ldraw / "models" / "40448 - Vintage Car.mpd").string(), false);
}

TEST(Assimp, EveryFormatOfThePrintedPartsOfTheSharedLibrary) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    REQUIRE_PROGRAM("assimp");
    CheckInAssimp(ldraw.string(), (ldraw / "models" / "textured-parts.ldr").string(), false);
}

TEST(F3d, DrawsEveryFormatOffscreen) {
    REQUIRE_PROGRAM("f3d");
    REQUIRE_PROGRAM("xvfb-run");
    TempDir dir;
    for (const char* extension : {"glb", "gltf", "stl", "obj"}) {
        SCOPED_TRACE(extension);
        const std::string out = (dir.path() / (std::string("house.") + extension)).string();
        Export(kExamples, kHouse, out);
        const std::string png = out + ".png";
        const Ran run = Shell("xvfb-run -a f3d --resolution=200,150 --output=" + Quoted(png) + " " +
                              Quoted(out));
        ASSERT_EQ(run.status, 0) << run.output;
        pictures::Picture picture;
        std::string error;
        ASSERT_TRUE(pictures::ReadPng(png, picture, error)) << error;
        // The model covers a good part of the picture: pixels unlike the corner's.
        const uint32_t background = picture.Rgb(0, 0);
        int model = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) model += picture.Rgb(x, y) != background;
        EXPECT_GT(model, picture.width * picture.height / 20);
    }
}

}  // namespace
