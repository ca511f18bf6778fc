// The fourth colour scheme: "!COLOUR" lines of LDConfig.ldr, the file read by a load,
// the colours it defines under scheme 3 and the numbers that keep the table's rules.
#include <gtest/gtest.h>

#include <string>

#include "colours.h"
#include "diagnostics.h"
#include "ldconfig.h"
#include "loader.h"
#include "model.h"
#include "test_support.h"

namespace {

// ---- One line ----

struct LineCase {
    const char* text;
    int32_t code;
    uint32_t rgb;  // palette order 0x00BBGGRR
    int32_t edge;
    int alpha;
    uint32_t finish;
};

class ColourLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ColourLine, Parses) {
    const LineCase& c = GetParam();
    QzLDConfigColour colour{};
    ASSERT_EQ(QzParseColourLine(c.text, colour), 1);
    EXPECT_EQ(colour.code, c.code);
    EXPECT_EQ(colour.rgb, c.rgb);
    EXPECT_EQ(colour.edge, c.edge);
    EXPECT_EQ(colour.alpha, c.alpha);
    EXPECT_EQ(colour.finish, c.finish);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ColourLine,
    ::testing::Values(
        LineCase{"0 !COLOUR A CODE 71 VALUE #8899AA EDGE #223344", 71, 0xAA9988, 0x2223344, 255, 0},
        LineCase{" 0\t!COLOUR B  CODE 43 VALUE #55ccee EDGE 1 ALPHA 100", 43, 0xEECC55, 1, 100, 0},
        LineCase{"0 !COLOUR C CODE 0x2A VALUE #010203 EDGE 0 LUMINANCE 15 CHROME RUBBER", 42,
                 0x030201, 0, 255, QZ_FINISH_CHROME | QZ_FINISH_RUBBER},
        // Grains that are not fully described are no fault of the line.
        LineCase{"0 !COLOUR E CODE 300 VALUE #010203 EDGE 8 ALPHA 0 MATERIAL GLITTER VALUE #FFFFFF",
                 300, 0x030201, 8, 0, QZ_FINISH_MATERIAL}));

// The grains of MATERIAL GLITTER and SPECKLE, which only the high-quality drawing shows.
TEST(ColourLines, MaterialGrains) {
    struct Case {
        const char* material;
        QzGrains grains;
        uint32_t rgb;
        float fraction, minSize, maxSize;
    };
    const Case cases[] = {
        {"GLITTER VALUE #8F00CC FRACTION 0.03 VFRACTION 0.4 SIZE 1", QzGrains::Glitter, 0xCC008F,
         0.03f, 1, 1},
        {"SPECKLE VALUE #898788 FRACTION 0.4 MINSIZE 1 MAXSIZE 3", QzGrains::Speckle, 0x888789,
         0.4f, 1, 3},
        {"GLITTER VALUE #FFFFFF ALPHA 128 LUMINANCE 5 FRACTION 0.8 VFRACTION 0.6 MINSIZE 0.02 "
         "MAXSIZE 0.1",
         QzGrains::Glitter, 0xFFFFFF, 0.8f, 0.02f, 0.1f},
        // Near misses: no grains.
        {"GLITTER VALUE #FFFFFF FRACTION 0.2", QzGrains::None, 0, 0, 0, 0},
        {"GLITTER FRACTION 0.2 SIZE 1", QzGrains::None, 0, 0, 0, 0},
        {"GLITTER VALUE #FFFFFF FRACTION 1.5 SIZE 1", QzGrains::None, 0, 0, 0, 0},
        {"GLITTER VALUE #FFFFFF FRACTION 0.2 MINSIZE 3 MAXSIZE 1", QzGrains::None, 0, 0, 0, 0},
        {"GLITTER VALUE #FFFFFF FRACTION 0.2 SIZE -1", QzGrains::None, 0, 0, 0, 0},
        {"SPARKLE VALUE #FFFFFF FRACTION 0.2 SIZE 1", QzGrains::None, 0, 0, 0, 0},
        {"GLITTER VALUE #FFFFFF FRACTION 0.2 SIZE 1 SHINY 2", QzGrains::None, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        QzLDConfigColour colour{};
        const std::string line =
            std::string("0 !COLOUR G CODE 129 VALUE #640061 EDGE #000000 MATERIAL ") + c.material;
        ASSERT_EQ(QzParseColourLine(line, colour), 1) << c.material;
        EXPECT_EQ(colour.finish, QZ_FINISH_MATERIAL);
        EXPECT_EQ(colour.grains, c.grains) << c.material;
        if (c.grains == QzGrains::None) continue;
        EXPECT_EQ(colour.grainRgb, c.rgb) << c.material;
        EXPECT_FLOAT_EQ(colour.grainFraction, c.fraction) << c.material;
        EXPECT_FLOAT_EQ(colour.grainMinSize, c.minSize) << c.material;
        EXPECT_FLOAT_EQ(colour.grainMaxSize, c.maxSize) << c.material;
    }
}

TEST(ColourLines, OthersDefineNothingAndNearMissesAreFaulty) {
    QzLDConfigColour colour{};
    for (const char* text : {"0 // !COLOUR A CODE 1 VALUE #000000 EDGE 0", "0 !COLOURS x", ""})
        EXPECT_EQ(QzParseColourLine(text, colour), 0) << text;
    for (const char* rest :
         {"", " VALUE #000000 EDGE 0", " CODE -5 VALUE #000000 EDGE 0",
          " CODE 5 VALUE 8899AA EDGE 0", " CODE 5 VALUE #12345G EDGE 0",
          " CODE 5 VALUE #1234567 EDGE 0", " CODE 5 VALUE #123456", " CODE 5 VALUE #123456 EDGE 24",
          " CODE 5 VALUE #123456 EDGE 0 ALPHA 256", " CODE 5 VALUE #123456 EDGE 0 LUMINANCE",
          " CODE 5 VALUE #123456 EDGE 0 SPARKLE"})
        EXPECT_EQ(QzParseColourLine(std::string("0 !COLOUR A") + rest, colour), -1) << rest;
}

// ---- Loading under the scheme ----

// A library with the tests' LDConfig.ldr (its name in another letter case) and a part
// that uses its colours.
class LDConfigScheme : public ::testing::Test {
  protected:
    void SetUp() override {
        config = dir.Write("ldraw/LDCONFIG.LDR", testing_support::kTestLDConfig);
        dir.Write("ldraw/parts/tile.dat",
                  "3 71 0 0 0 10 0 0 0 0 10\n"
                  "3 72 0 0 0 10 0 0 0 0 10\n"
                  "3 43 0 0 0 10 0 0 0 0 10\n"
                  "2 24 0 0 0 10 0 0\n");
        modelPath = dir.Write("model.ldr", "1 16 0 0 0 1 0 0 0 1 0 0 0 1 tile.dat\n");
        settings.ldrawDir = (dir.path() / "ldraw").string();
    }

    // Loads the model after a cleared log, keeping the parts read before.
    int Load() {
        model.inputLog.clear();
        model.inputDiagnostics.clear();
        model.modelTitle.clear();
        model.modelAuthor.clear();
        return QzReadModel(model, modelPath, settings, palette);
    }
    std::string Unknown(int line) const {
        return "WARNING \"tile.dat\" Line " + std::to_string(line) +
               ": Unknown color, using 7: 3 " + std::to_string(line == 1 ? 71 : 72) +
               " 0 0 0 10 0 0 0 0 10\r\n";
    }
    // Colours of the part's lines as stored.
    std::vector<int32_t> Stored() const {
        const QzPart* tile = model.Main().lines->part;
        std::vector<int32_t> colours;
        for (const QzLine* line = tile->lines; line; line = line->next)
            colours.push_back(line->colour);
        return colours;
    }

    testing_support::TempDir dir;
    testing_support::ScopedMessageBox boxes;
    std::string config, modelPath;
    QzModel model;
    QzPalette palette;
    QzLoadSettings settings;
};

TEST_F(LDConfigScheme, DefinedColoursAreKeptAndOnlyTheFaultyLineIsReported) {
    QzSelectColourScheme(palette, QZ_SCHEME_LDCONFIG);
    ASSERT_EQ(Load(), 1);
    EXPECT_EQ(model.inputLog, "SKIPPING \"" + config +
                                  "\" Line 9: Bad color definition: 0 !COLOUR Test_Broken CODE 72 "
                                  "VALUE #12345G EDGE #000000\r\n" +
                                  Unknown(2));
    EXPECT_EQ(Stored(), (std::vector<int32_t>{71, 7, 43, 24}));
    EXPECT_EQ(palette.scheme, QZ_SCHEME_LDCONFIG);
    EXPECT_TRUE(boxes.box.calls.empty());
    // Code 24 keeps its meaning; a later definition of a code wins over an earlier one.
    EXPECT_EQ(palette.ldconfig.Colours().size(), 6u);
    EXPECT_EQ(palette.ldconfig.Find(24), nullptr);
    EXPECT_TRUE(model.Main().lines->part->flags & PF_TRANSPARENT);
}

TEST_F(LDConfigScheme, AMissingFileFallsBackToSchemeZeroWithOneMessage) {
    std::filesystem::remove(config);
    QzSelectColourScheme(palette, QZ_SCHEME_LDCONFIG);
    ASSERT_EQ(Load(), 1);
    ASSERT_EQ(boxes.box.calls.size(), 1u);
    EXPECT_EQ(boxes.box.calls[0].text, "Could not read LDConfig.ldr in " + settings.ldrawDir);
    EXPECT_EQ(palette.scheme, 0);
    EXPECT_EQ(palette.rgb[4], QzColourTable[4].rgb[0]);
    EXPECT_EQ(model.inputLog, Unknown(1) + Unknown(2));
}

// LDRAWDIR set but empty: no library, so no LDConfig.ldr to look for (not in the root
// folder either), and a message that says so.
TEST_F(LDConfigScheme, NoLibraryFolderFallsBackWithAMessageThatSaysSo) {
    testing_support::ScopedEnv empty("LDRAWDIR", "");
    settings.ldrawDir.clear();
    modelPath = dir.Write("plain.ldr", "3 4 0 0 0 10 0 0 0 0 10\n");
    QzSelectColourScheme(palette, QZ_SCHEME_LDCONFIG);
    ASSERT_EQ(Load(), 1);
    ASSERT_EQ(boxes.box.calls.size(), 1u);
    EXPECT_EQ(boxes.box.calls[0].text, "Could not read LDConfig.ldr: no LDraw directory is given");
    EXPECT_EQ(palette.scheme, 0);
}

TEST_F(LDConfigScheme, ChangingIntoOrOutOfTheSchemeReadsCachedPartsAgain) {
    QzSelectColourScheme(palette, 0);
    ASSERT_EQ(Load(), 1);
    EXPECT_EQ(Stored()[0], 7);
    QzSelectColourScheme(palette, QZ_SCHEME_LDCONFIG);
    ASSERT_EQ(Load(), 1);
    EXPECT_EQ(Stored()[0], 71);
    // The same definitions again: the cache stays, only the model is read.
    int opens = 0;
    settings.onFileOpened = [&opens](const QzPart&, const std::string&) { ++opens; };
    ASSERT_EQ(Load(), 1);
    EXPECT_EQ(opens, 1);
    QzSelectColourScheme(palette, 2);
    ASSERT_EQ(Load(), 1);
    EXPECT_EQ(opens, 3);
    EXPECT_EQ(Stored()[0], 7);
}

TEST_F(LDConfigScheme, ColoursOfTheFileAndTheRulesForAllOthers) {
    QzSelectColourScheme(palette, QZ_SCHEME_LDCONFIG);
    ASSERT_EQ(Load(), 1);
    // Red, green and blue as the sum of two bytes (255 + 255 is 1), -1 for undefined.
    struct Case {
        int32_t colour;
        int r, g = 0, b = 0;
    };
    const Case cases[] = {
        {71, 2 * 0x88, 2 * 0x99, 2 * 0xAA},
        {10334, 2 * 0xA0, 2 * 0x80, 2 * 0x20},
        // Not in the file: the table's first column, defined as the table defines them;
        // a dither colour mixes the palette, which holds the file's value of 4.
        {5, 2 * 160, 2 * 80, 2 * 127},
        {0x104, 0xB0 + 77, 0x10 + 77, 0x08 + 77},
        {72, -1},
        {16, -1},
        {24, -1},
    };
    for (const Case& c : cases) {
        float rgb[3];
        ASSERT_EQ(QzColourToRgb(palette, c.colour, rgb), c.r < 0 ? -1 : 0) << c.colour;
        if (c.r < 0) continue;
        EXPECT_FLOAT_EQ(rgb[0], c.r / 510.f) << c.colour;
        EXPECT_FLOAT_EQ(rgb[1], c.g / 510.f) << c.colour;
        EXPECT_FLOAT_EQ(rgb[2], c.b / 510.f) << c.colour;
    }
    EXPECT_TRUE(QzIsTransparentColour(palette, 43));
    EXPECT_FALSE(QzIsTransparentColour(palette, 71));
    EXPECT_TRUE(QzIsTransparentColour(palette, 36));
    // The file stays read; the table's schemes do not use it.
    QzSelectColourScheme(palette, 1);
    EXPECT_EQ(QzColourToRgb(palette, 71, nullptr), -1);
    EXPECT_EQ(palette.rgb[4], QzColourTable[4].rgb[1]);
}

TEST(ColourSchemes, NumbersOutsideTheSchemesChangeNothing) {
    QzPalette palette;
    QzSelectColourScheme(palette, 2);
    for (int scheme : {-1, 4, 99}) {
        EXPECT_FALSE(QzIsColourScheme(scheme));
        QzSelectColourScheme(palette, scheme);
        EXPECT_EQ(palette.scheme, 2);
        EXPECT_EQ(palette.rgb[4], QzColourTable[4].rgb[2]);
    }
    for (int scheme = 0; scheme < QZ_SCHEME_COUNT; ++scheme) EXPECT_TRUE(QzIsColourScheme(scheme));
}

}  // namespace
