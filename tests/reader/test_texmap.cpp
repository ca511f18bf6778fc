// Texture mapping as the reader keeps it: the "!TEXMAP" commands and their projections,
// the "0 !:" geometry only a reader with textures sees, the images found in "!DATA"
// sections and "textures" folders, and every hostile file among them answered with a
// warning at its line. The lines a reader without textures stores stay as they were.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "drawdata.h"
#include "reader_fixture.h"
#include "texmap.h"
#include "walk.h"

namespace {

using reader_test::ReaderTest;
using testing_support::Base64Lines;
using testing_support::EncodePng;

// ---- The commands and their projections ----

TEST(Texmap, ParsesItsMethodsAndTheImageName) {
    struct Case {
        const char* args;
        bool ok;
        QzTexmapMethod method;
        double a, b;
        const char* name;
        const char* glossmap;
    };
    const Case cases[] = {
        {"PLANAR 0 0 0 1 0 0 0 1 0 a.png", true, QzTexmapMethod::Planar, 0, 0, "a.png", ""},
        {"CYLINDRICAL 0 0 0 0 -1 0 1 0 0 360 b c.png", true, QzTexmapMethod::Cylindrical, 360, 0,
         "b c.png", ""},
        {"SPHERICAL 0 0 0 1 0 0 0 0 1 180 90 g.png GLOSSMAP h.png", true, QzTexmapMethod::Spherical,
         180, 90, "g.png", "h.png"},
        {"PLANAR  1e1 0 0 1 0 0 0 1 0   13710c.png  ", true, QzTexmapMethod::Planar, 0, 0,
         "13710c.png", ""},
        // Near misses.
        {"PLANAR 0 0 0 1 0 0 0 1 a.png", false, {}, 0, 0, "", ""},
        {"PLANAR 0 0 0 1 0 0 0 1 0", false, {}, 0, 0, "", ""},
        {"PLANAR 0 0 0 1 0 0 0 1 0x a.png", false, {}, 0, 0, "", ""},
        {"CONICAL 0 0 0 1 0 0 0 1 0 a.png", false, {}, 0, 0, "", ""},
        {"planar 0 0 0 1 0 0 0 1 0 a.png", false, {}, 0, 0, "", ""},
        {"SPHERICAL 0 0 0 1 0 0 0 0 1 180 g.png", false, {}, 0, 0, "", ""},
        {"PLANAR 0 0 0 1 0 0 0 1 0 x.png GLOSSMAP", false, {}, 0, 0, "", ""},
        {"", false, {}, 0, 0, "", ""},
    };
    for (const Case& c : cases) {
        QzTexmap t;
        EXPECT_EQ(QzParseTexmap(c.args, t), c.ok) << c.args;
        if (!c.ok) continue;
        EXPECT_EQ(t.method, c.method) << c.args;
        EXPECT_EQ(t.a, c.a) << c.args;
        EXPECT_EQ(t.b, c.b) << c.args;
        EXPECT_EQ(t.name, c.name) << c.args;
        EXPECT_EQ(t.glossmap, c.glossmap) << c.args;
    }
}

TEST(Texmap, ImageNamesStayInTheirFolders) {
    const std::pair<const char*, bool> cases[] = {
        {"a.png", true},
        {"sub/a.png", true},
        {"sub\\a.png", true},
        {"..a.png", true},
        {"a..png", true},
        {"../a.png", false},
        {"..\\a.png", false},
        {"a/../../etc/passwd", false},
        {"../../etc/passwd", false},
        {"/dev/zero", false},
        {"\\x.png", false},
        {"C:\\x.png", false},
        {"c:x.png", false},
        {"", false},
        {"a/..", false},
    };
    for (const auto& [name, safe] : cases) EXPECT_EQ(QzSafeTextureName(name), safe) << name;
}

TEST(Texmap, DecodesBase64) {
    const std::pair<const char*, const char*> good[] = {
        {"", ""},      {"TWFu", "Man"}, {"TWE=", "Ma"},          {"TWE", "Ma"},
        {"TQ==", "M"}, {"TQ", "M"},     {"+/+/", "\xfb\xff\xbf"}};
    for (const auto& [text, bytes] : good) {
        std::string out;
        EXPECT_TRUE(QzDecodeBase64(text, out)) << text;
        EXPECT_EQ(out, bytes) << text;
    }
    for (const char* text : {"T", "TW=a", "TW!u", "====", "TWFu=", "TQ===", "TW Fu", "TWFu\n"}) {
        std::string out;
        EXPECT_FALSE(QzDecodeBase64(text, out)) << text;
    }
}

TEST(Texmap, ProjectsPointsByEachMethod) {
    auto project = [](const char* args, std::vector<double> point) {
        QzTexmap t;
        EXPECT_TRUE(QzParseTexmap(args, t)) << args;
        double u = -9, v = -9;
        const bool defined = QzTexmapProject(t, point.data(), u, v);
        return std::vector<double>{defined ? 1.0 : 0.0, u, v};
    };
    struct Case {
        const char* args;
        std::vector<double> point;
        std::vector<double> expected;  // defined, u, v
    };
    // PLANAR: P1 the top left corner, P1 to P2 the width, P1 to P3 the height.
    const char* planar = "PLANAR 0 0 0 10 0 0 0 10 0 t.png";
    // CYLINDRICAL: bottom centre, top centre (up is -y), the image's middle towards +x;
    // seen from outside, u grows to the right (from +x towards +z).
    const char* cylinder = "CYLINDRICAL 0 0 0 0 -10 0 10 0 0 360 t.png";
    const char* halfCylinder = "CYLINDRICAL 0 0 0 0 -10 0 10 0 0 180 t.png";
    // SPHERICAL: centre, the image's middle towards +x, +z to its right (north is up).
    const char* sphere = "SPHERICAL 0 0 0 10 0 0 0 0 10 360 180 t.png";
    const Case cases[] = {
        {planar, {5, 2.5, 7}, {1, 0.5, 0.25}},
        {planar, {0, 0, 0}, {1, 0, 0}},
        {planar, {10, 10, -3}, {1, 1, 1}},
        {planar, {-5, 20, 0}, {1, -0.5, 2}},
        {cylinder, {10, -5, 0}, {1, 0.5, 0.5}},
        {cylinder, {0, -10, 10}, {1, 0.75, 0}},
        {cylinder, {0, 0, -3}, {1, 0.25, 1}},
        {cylinder, {0, -4, 0}, {0, -9, -9}},  // on the axis
        {halfCylinder, {0, -5, 10}, {1, 1, 0.5}},
        {sphere, {10, 0, 0}, {1, 0.5, 0.5}},
        {sphere, {0, 0, 10}, {1, 0.75, 0.5}},
        {sphere, {0, -10, 0}, {1, 0.5, 0}},  // the north pole, up
        {sphere, {0, 10, 0}, {1, 0.5, 1}},
        {sphere, {0, 0, 0}, {0, -9, -9}},  // the centre
    };
    for (const Case& c : cases) {
        const std::vector<double> got = project(c.args, c.point);
        ASSERT_EQ(got[0], c.expected[0])
            << c.args << " at " << c.point[0] << ',' << c.point[1] << ',' << c.point[2];
        if (!c.expected[0]) continue;
        EXPECT_NEAR(got[1], c.expected[1], 1e-9) << c.args << " u";
        EXPECT_NEAR(got[2], c.expected[2], 1e-9) << c.args << " v";
    }
}

TEST(Texmap, DecodesPngsWithTheirHalvedCopies) {
    // 3 x 2: opaque red, half-transparent green, a transparent texel...
    const std::vector<uint8_t> rgba = {255, 0,  0,  255, 0,  255, 0,  128, 0,  0,  255, 0,
                                       10,  20, 30, 255, 40, 50,  60, 255, 70, 80, 90,  255};
    QzImage image;
    std::string error;
    ASSERT_TRUE(QzDecodePng(EncodePng(3, 2, rgba), image, error)) << error;
    ASSERT_EQ(image.levels.size(), 2u);  // 3 x 2, then 1 x 1
    EXPECT_EQ(image.Width(), 3);
    EXPECT_EQ(image.Height(), 2);
    // Colours multiplied by alpha.
    const std::vector<uint8_t> expected = {255, 0,  0,  255, 0,  128, 0,  128, 0,  0,  0,  0,
                                           10,  20, 30, 255, 40, 50,  60, 255, 70, 80, 90, 255};
    EXPECT_EQ(image.levels[0].rgba, expected);
    EXPECT_EQ(image.levels[1].width, 1);
    EXPECT_EQ(image.levels[1].height, 1);

    EXPECT_FALSE(QzDecodePng("not a png at all", image, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(QzDecodePng("", image, error));
    // Cut short in its data.
    const std::string whole = EncodePng(3, 2, rgba);
    EXPECT_FALSE(QzDecodePng(whole.substr(0, whole.size() - 20), image, error));
}

// A PNG whose header claims another size (its checksum made to fit).
std::string WithSize(std::string png, uint32_t width, uint32_t height) {
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) png[at + i] = static_cast<char>(v >> (24 - 8 * i) & 0xFF);
    };
    put(16, width);
    put(20, height);
    // CRC-32 of the chunk's type and data (bytes 12 to 28).
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 12; i < 29; ++i) {
        crc ^= static_cast<uint8_t>(png[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    put(29, crc ^ 0xFFFFFFFFu);
    return png;
}

TEST(Texmap, RefusesImagesOverSixtyFourMegapixelsBeforeDecoding) {
    const std::string small = EncodePng(1, 1, {1, 2, 3, 255});
    QzImage image;
    std::string error;
    for (auto [w, h] : {std::pair{30000u, 30000u}, {8193u, 8192u}, {65536u, 1025u}}) {
        EXPECT_FALSE(QzDecodePng(WithSize(small, w, h), image, error));
        EXPECT_EQ(error, "the image is " + std::to_string(w) + " x " + std::to_string(h) +
                             " pixels, more than the 64 megapixels a texture may have");
    }
    // Within the limit the header is believed, and the short data found out.
    EXPECT_FALSE(QzDecodePng(WithSize(small, 2000, 2000), image, error));
    EXPECT_EQ(error.find("more than"), std::string::npos) << error;
}

// ---- What the reader keeps ----

// Four quadrants of 2 x 2 texels: red top left, green top right, blue bottom left,
// yellow bottom right.
std::vector<uint8_t> Quadrants() { return testing_support::QuadrantTexels({255, 255, 0, 255}); }

const char* const kStart = "0 !TEXMAP START PLANAR -10 -10 0 10 -10 0 -10 10 0 quad.png";

class Textures : public ReaderTest {
  protected:
    void SetUp() override {
        ReaderTest::SetUp();
        png = EncodePng(4, 4, Quadrants());
    }
    void LibraryImage(const std::string& relative = "ldraw/parts/textures/quad.png") {
        Write(relative, png);
    }
    // The walk form of the main model for each reader: type and texture of each item.
    std::vector<std::pair<int, int>> Items(bool textures) {
        EXPECT_TRUE(QzPrepareDrawData(Main()));
        std::vector<std::pair<int, int>> out;
        for (const QzDrawItem& item : QzWalkItems(*Main()->cache, textures))
            out.emplace_back(item.type, item.texmap);
        return out;
    }
    std::string png;
};

const std::string kBlock = std::string(kStart) +
                           "\n"
                           "0 !: 4 16 -10 -10 0 10 -10 0 10 10 0 -10 10 0\n"
                           "3 16 0 0 -1 1 0 -1 0 1 -1\n"
                           "0 !TEXMAP FALLBACK\n"
                           "4 16 -10 -10 0 10 -10 0 10 10 0 -10 10 0\n"
                           "0 !TEXMAP END\n"
                           "2 24 0 0 0 1 1 1\n";

TEST_F(Textures, AReaderWithTexturesSeesTheStartSectionAndNotTheFallback) {
    LibraryImage();
    ASSERT_EQ(LoadText(kBlock), 1);
    EXPECT_EQ(model.inputLog, "");
    // A reader without textures: the triangle, the fallback quadrilateral, the line.
    EXPECT_EQ(Items(false), (std::vector<std::pair<int, int>>{{3, 0}, {4, 0}, {2, 0}}));
    // With textures: the texture geometry and the triangle textured, the line not.
    EXPECT_EQ(Items(true), (std::vector<std::pair<int, int>>{{4, 1}, {3, 1}, {2, 0}}));
    ASSERT_NE(Main()->textured, nullptr);
    const QzTexmap& t = Main()->textured->texmaps.at(0);
    ASSERT_NE(t.image, nullptr);
    EXPECT_EQ(t.image->Width(), 4);
    EXPECT_EQ(t.lineNo, 1u);
}

TEST_F(Textures, TheStoredLinesAreThoseOfAReaderWithoutTextures) {
    LibraryImage();
    ASSERT_EQ(LoadText(kBlock), 1);
    std::vector<std::string> withTexmap;
    for (const QzLine* l = Main()->lines; l; l = l->next)
        withTexmap.push_back(std::to_string(l->type) + (l->type == 0 ? l->text : ""));
    // The same file with every meta-command a plain comment of the same text.
    FreshModel();
    std::string plain = kBlock;
    for (size_t at = plain.find("!TEXMAP"); at != std::string::npos; at = plain.find("!TEXMAP"))
        plain.replace(at, 7, "XTEXMAP");
    for (size_t at = plain.find("!: "); at != std::string::npos; at = plain.find("!: "))
        plain.replace(at, 2, "X:");
    ASSERT_EQ(LoadText(plain), 1);
    std::vector<std::string> without;
    for (const QzLine* l = Main()->lines; l; l = l->next) {
        std::string text = l->type == 0 ? l->text : "";
        for (size_t at = text.find("XTEXMAP"); at != std::string::npos; at = text.find("XTEXMAP"))
            text.replace(at, 7, "!TEXMAP");
        for (size_t at = text.find("X:"); at != std::string::npos; at = text.find("X:"))
            text.replace(at, 2, "!:");
        without.push_back(std::to_string(l->type) + text);
    }
    EXPECT_EQ(withTexmap, without);
    EXPECT_EQ(model.coloursUsed, (std::vector<int32_t>{7}));
}

TEST_F(Textures, NextTexturesTheNextLineOnly) {
    LibraryImage();
    ASSERT_EQ(LoadText("0 !TEXMAP NEXT PLANAR -10 -10 0 10 -10 0 -10 10 0 quad.png\n"
                       "3 16 0 0 0 1 0 0 0 1 0\n"
                       "3 16 0 0 1 1 0 1 0 1 1\n"
                       "0 !TEXMAP NEXT PLANAR -10 -10 0 10 -10 0 -10 10 0 quad.png\n"
                       "0 !: 3 16 0 0 2 1 0 2 0 1 2\n"
                       "3 16 0 0 3 1 0 3 0 1 3\n"),
              1);
    EXPECT_EQ(model.inputLog, "");
    EXPECT_EQ(Items(true), (std::vector<std::pair<int, int>>{{3, 1}, {3, 0}, {3, 2}, {3, 0}}));
    EXPECT_EQ(Items(false), (std::vector<std::pair<int, int>>{{3, 0}, {3, 0}, {3, 0}}));
}

TEST_F(Textures, ABlockWhoseImageIsMissingIsReadAsWithoutTextures) {
    ASSERT_EQ(LoadText(kBlock), 1);
    EXPECT_EQ(model.inputLog, Warning(1, "Texture quad.png not found", kStart));
    EXPECT_EQ(Items(true), Items(false));
}

TEST_F(Textures, TheSameImageFromDataAndFromTheTexturesFolder) {
    LibraryImage();
    ASSERT_EQ(LoadText(kBlock), 1);
    const std::vector<uint8_t> fromFolder = Main()->textured->texmaps[0].image->levels[0].rgba;
    FreshModel();
    std::string mpd = "0 FILE main.ldr\n" + kBlock + "0 !DATA quad.png\n";
    for (const std::string& line : Base64Lines(png)) mpd += "0 !: " + line + "\n";
    // A different picture in the folder: the model's own section comes first.
    Write("ldraw/parts/textures/quad.png", EncodePng(1, 1, {0, 0, 0, 255}));
    ASSERT_EQ(LoadText(mpd, "model.mpd"), 1);
    EXPECT_EQ(model.inputLog, "");
    const QzTexmap& t = Main()->textured->texmaps.at(0);
    ASSERT_NE(t.image, nullptr);
    EXPECT_TRUE(t.fromData);
    EXPECT_EQ(t.image->levels[0].rgba, fromFolder);
    EXPECT_EQ(t.image->png, png);
    // The base64 lines stay comments of the section they stand in.
    EXPECT_EQ(Items(false), (std::vector<std::pair<int, int>>{{3, 0}, {4, 0}, {2, 0}}));
}

TEST_F(Textures, ImagesAreFoundInEveryTexturesFolderInAnyLetterCase) {
    for (const char* place :
         {"ldraw/PARTS/TEXTURES/Quad.PNG", "ldraw/p/textures/quad.png", "Textures/QUAD.png"}) {
        FreshModel();
        LibraryImage(place);
        ASSERT_EQ(LoadText(kBlock), 1) << place;
        EXPECT_EQ(model.inputLog, "") << place;
        ASSERT_NE(Main()->textured->texmaps.at(0).image, nullptr) << place;
        std::filesystem::remove(dir.path() / place);
    }
}

TEST_F(Textures, ImagesAreDecodedOncePerCacheAndDataSectionsAtEveryLoad) {
    LibraryImage();
    Write("ldraw/parts/printed.dat", kBlock);
    std::string mpd = "0 FILE main.ldr\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 printed.dat\n" +
                      std::string(kStart) + "\n0 !: 3 16 0 0 0 1 0 0 0 1 0\n0 !TEXMAP END\n" +
                      "0 !DATA quad.png\n";
    for (const std::string& line : Base64Lines(png)) mpd += "0 !: " + line + "\n";
    ASSERT_EQ(LoadText(mpd, "model.mpd"), 1);
    const QzPart* printed = &model.parts[model.partIndex.at("printed.dat")];
    // The library part takes the model's own section too: it comes first.
    const QzImage* first = printed->textured->texmaps[0].image.get();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, Main()->textured->texmaps[0].image.get());
    ClearLog();
    ASSERT_EQ(Load(modelPath), 1);
    // Read again from the section, whose image is decoded anew.
    EXPECT_NE(Main()->textured->texmaps[0].image.get(), nullptr);
    EXPECT_EQ(model.inputLog, "");

    // Without the section, the library's file, decoded once for every load that keeps
    // the cache.
    FreshModel();
    ASSERT_EQ(LoadText("1 16 0 0 0 1 0 0 0 1 0 0 0 1 printed.dat\n"), 1);
    const QzImage* library = model.textures.at("quad.png").image.get();
    ASSERT_NE(library, nullptr);
    ClearLog();
    ASSERT_EQ(Load(modelPath), 1);
    EXPECT_EQ(model.textures.at("quad.png").image.get(), library);
    printed = &model.parts[model.partIndex.at("printed.dat")];
    EXPECT_EQ(printed->textured->texmaps[0].image.get(), library);
}

TEST_F(Textures, TextureGeometryReferencesStayOutOfThePartTable) {
    LibraryImage();
    Write("ldraw/parts/flat.dat", "4 16 -10 -10 0 10 -10 0 10 10 0 -10 10 0\n");
    Write("ldraw/parts/s/back.dat", "4 16 -10 -10 1 10 -10 1 10 10 1 -10 10 1\n");
    ASSERT_EQ(
        LoadText(std::string(kStart) + "\n0 !: 1 16 0 0 0 1 0 0 0 1 0 0 0 1 s\\back.dat\n"
                                       "0 !TEXMAP FALLBACK\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 flat.dat\n"
                                       "0 !TEXMAP END\n"),
        1);
    EXPECT_EQ(model.inputLog, "");
    EXPECT_EQ(model.partCount, 2);  // the model and flat.dat
    ASSERT_EQ(model.textureParts.size(), 1u);
    EXPECT_EQ(model.textureParts[0]->name, "s\\back.dat");
    EXPECT_TRUE(model.textureParts[0]->flags & PF_RESOLVED);
    EXPECT_EQ(Items(true), (std::vector<std::pair<int, int>>{{1, 1}}));
    EXPECT_EQ(Items(false), (std::vector<std::pair<int, int>>{{1, 0}}));

    // A missing file of texture geometry: a note at the raised warning level, and the
    // block as without textures.
    FreshModel();
    settings.warningLevel = QZ_TEXMAP_NOTE_LEVEL;
    ASSERT_EQ(
        LoadText(std::string(kStart) + "\n0 !: 1 16 0 0 0 1 0 0 0 1 0 0 0 1 gone.dat\n"
                                       "0 !TEXMAP FALLBACK\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 flat.dat\n"
                                       "0 !TEXMAP END\n"),
        1);
    EXPECT_EQ(model.inputLog,
              "WARNING \"" + modelPath +
                  "\" Line 2: Could not find gone.dat for texture geometry: 0 !: 1 16 0 0 0 1 0 0 "
                  "0 1 0 0 0 1 gone.dat\r\n");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Items(true), Items(false));
}

// Every hostile file: a warning (or skipping) at its line, nothing textured that
// should not be, nothing read outside the folders.
TEST_F(Textures, HostileFilesAreWarnedAboutAtTheirLines) {
    LibraryImage();
    Write("ldraw/parts/textures/bad.png", "not a png");
    Write("ldraw/parts/textures/huge.png", WithSize(png, 30000, 30000));
    Write("ldraw/parts/textures/bomb.png", WithSize(png, 8193, 8192));
    const std::string planar = "0 !TEXMAP START PLANAR -10 -10 0 10 -10 0 -10 10 0 ";
    const std::string tri = "3 16 0 0 0 1 0 0 0 1 0\n";
    struct Case {
        std::string text;
        std::string log;  // with %s for the model's path
    };
    const std::vector<Case> cases = {
        {"0 !TEXMAP END\n", "SKIPPING \"%s\" Line 1: TEXMAP END not expected: 0 !TEXMAP END\r\n"},
        {"0 !TEXMAP FALLBACK\n",
         "SKIPPING \"%s\" Line 1: TEXMAP FALLBACK not expected: 0 !TEXMAP FALLBACK\r\n"},
        {planar + "quad.png\n" + tri + "0 !TEXMAP FALLBACK\n0 !TEXMAP FALLBACK\n0 !TEXMAP END\n",
         "SKIPPING \"%s\" Line 4: TEXMAP FALLBACK not expected: 0 !TEXMAP FALLBACK\r\n"},
        {planar + "quad.png\n" + tri, "WARNING \"%s\": End-Of-File, TEXMAP END expected\r\n"},
        {planar + "quad.png\n" + planar + "quad.png\n0 !TEXMAP END\n0 !TEXMAP END\n",
         "WARNING \"%s\" Line 2: TEXMAP START inside another TEXMAP block: " + planar +
             "quad.png\r\n"},
        {"0 !: " + tri, "SKIPPING \"%s\" Line 1: Texture geometry outside a TEXMAP block: 0 !: " +
                            tri.substr(0, tri.size() - 1) + "\r\n"},
        {planar + "../../etc/passwd\n0 !TEXMAP END\n",
         "SKIPPING \"%s\" Line 1: Texture name outside the texture folders: " + planar +
             "../../etc/passwd\r\n"},
        {planar + "/dev/zero\n0 !TEXMAP END\n",
         "SKIPPING \"%s\" Line 1: Texture name outside the texture folders: " + planar +
             "/dev/zero\r\n"},
        {"0 !TEXMAP START PLANAR 1 2 3 quad.png\n0 !TEXMAP END\n",
         "SKIPPING \"%s\" Line 1: Illegal TEXMAP syntax: 0 !TEXMAP START PLANAR 1 2 3 "
         "quad.png\r\n"},
        {"0 !TEXMAP STOP\n", "SKIPPING \"%s\" Line 1: Unknown TEXMAP command: 0 !TEXMAP STOP\r\n"},
        {planar + "missing.png\n0 !TEXMAP END\n",
         "WARNING \"%s\" Line 1: Texture missing.png not found: " + planar + "missing.png\r\n"},
        {planar + "huge.png\n0 !TEXMAP END\n",
         "WARNING \"%s\" Line 1: Texture huge.png not read: the image is 30000 x 30000 pixels, "
         "more than the 64 megapixels a texture may have: " +
             planar + "huge.png\r\n"},
        {planar + "bomb.png\n0 !TEXMAP END\n",
         "WARNING \"%s\" Line 1: Texture bomb.png not read: the image is 8193 x 8192 pixels, "
         "more than the 64 megapixels a texture may have: " +
             planar + "bomb.png\r\n"},
        {"0 FILE main.ldr\n" + planar + "quad.png\n0 !TEXMAP END\n0 !DATA quad.png\n0 !: ####\n",
         "WARNING \"%s\" Line 4: !DATA section is not base64: 0 !DATA quad.png\r\n"
         "WARNING \"%s\" Line 2: Texture quad.png not read: its !DATA section holds no image: " +
             planar + "quad.png\r\n"},
        {"0 FILE main.ldr\n" + tri + "0 !DATA empty.png\n0 FILE other.ldr\n",
         "WARNING \"%s\" Line 3: !DATA section without data: 0 !DATA empty.png\r\n"},
        {"0 FILE main.ldr\n0 !DATA x.png\n" + tri,
         "WARNING \"%s\" Line 3: Only 0 !: lines belong in a !DATA section: " +
             tri.substr(0, tri.size() - 1) +
             "\r\n"
             "WARNING \"%s\" Line 2: !DATA section without data: 0 !DATA x.png\r\n"},
    };
    // With the notes of texture mapping.
    settings.warningLevel = QZ_TEXMAP_NOTE_LEVEL;
    for (const Case& c : cases) {
        FreshModel();
        ASSERT_EQ(LoadText(c.text, "model.mpd"), 1) << c.text;
        std::string expected = c.log;
        for (size_t at = expected.find("%s"); at != std::string::npos; at = expected.find("%s"))
            expected.replace(at, 2, modelPath);
        EXPECT_EQ(model.inputLog, expected) << c.text;
        EXPECT_TRUE(Boxes().empty()) << c.text;
    }
    // A block left open at the end of its file, as the standard allows: no warning at
    // the default level.
    settings.warningLevel = 0;
    FreshModel();
    ASSERT_EQ(LoadText(planar + "quad.png\n" + tri), 1);
    EXPECT_EQ(model.inputLog, "");

    // The corrupt file's reason is libpng's own words.
    FreshModel();
    ASSERT_EQ(LoadText(planar + "bad.png\n0 !TEXMAP END\n"), 1);
    EXPECT_EQ(
        model.inputLog.find("WARNING \"" + modelPath + "\" Line 1: Texture bad.png not read: "), 0u)
        << model.inputLog;
}

TEST_F(Textures, ABuildingStepEndsEveryBlock) {
    LibraryImage();
    ASSERT_EQ(LoadText(std::string(kStart) + "\n3 16 0 0 0 1 0 0 0 1 0\n0 STEP\n"
                                             "3 16 0 0 1 1 0 1 0 1 1\n0 !TEXMAP END\n"),
              1);
    EXPECT_EQ(model.inputLog, Skipping(5, "TEXMAP END not expected", "0 !TEXMAP END"));
    EXPECT_EQ(Items(true), (std::vector<std::pair<int, int>>{{3, 1}, {3, 0}}));
}

}  // namespace
