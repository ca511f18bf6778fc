#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "colours.h"
#include "model.h"
#include "test_support.h"

namespace {

class Colours : public ::testing::Test {
  protected:
    QzPalette palette;
};

struct Conversion {
    int32_t colour;
    int scheme;
    int result;
    double red, green, blue;
};

void PrintTo(const Conversion& c, std::ostream* os) {
    *os << "colour 0x" << std::hex << c.colour << std::dec << " scheme " << c.scheme;
}

class ColourToRgb : public Colours, public ::testing::WithParamInterface<Conversion> {};

TEST_P(ColourToRgb, Converts) {
    const Conversion& c = GetParam();
    QzSelectColourScheme(palette, c.scheme);
    float rgb[3] = {-1, -1, -1};
    EXPECT_EQ(QzColourToRgb(palette, c.colour, rgb), c.result);
    EXPECT_FLOAT_EQ(rgb[0], static_cast<float>(c.red));
    EXPECT_FLOAT_EQ(rgb[1], static_cast<float>(c.green));
    EXPECT_FLOAT_EQ(rgb[2], static_cast<float>(c.blue));
    // The result does not depend on whether an output is given.
    EXPECT_EQ(QzColourToRgb(palette, c.colour, nullptr), c.result);
}

constexpr double G = 0.5;  // grey of undefined colours

INSTANTIATE_TEST_SUITE_P(
    Table, ColourToRgb,
    ::testing::Values(
        Conversion{0, 0, 0, 77 / 255.0, 77 / 255.0, 77 / 255.0},
        Conversion{0, 1, 0, 0, 0, 0},  // black in scheme 1 is still defined
        Conversion{0, 2, 0, 34 / 255.0, 34 / 255.0, 34 / 255.0},
        Conversion{1, 0, 0, 21 / 255.0, 96 / 255.0, 249 / 255.0},
        Conversion{4, 0, 0, 247 / 255.0, 41 / 255.0, 14 / 255.0},
        Conversion{4, 1, 0, 170 / 255.0, 0, 0}, Conversion{4, 2, 0, 204 / 255.0, 0, 0},
        Conversion{5, 2, 0, 1.0, 51 / 255.0, 153 / 255.0}, Conversion{15, 1, 0, 1, 1, 1},
        Conversion{28, 0, 0, 204 / 255.0, 170 / 255.0, 102 / 255.0}, Conversion{47, 0, 0, 1, 1, 1},
        Conversion{47, 1, 0, 0, 0, 0},  // defined by scheme 0, black under scheme 1
        Conversion{57, 2, 0, 0, 0, 0}, Conversion{57, 0, 0, 1, 102 / 255.0, 0},
        Conversion{16, 0, -1, G, G, G}, Conversion{24, 0, -1, G, G, G},
        Conversion{29, 0, -1, G, G, G}, Conversion{30, 1, -1, G, G, G},
        Conversion{31, 2, -1, G, G, G}, Conversion{48, 0, -1, G, G, G},
        Conversion{52, 0, -1, G, G, G}, Conversion{56, 0, -1, G, G, G},
        Conversion{58, 0, -1, G, G, G}, Conversion{63, 0, -1, G, G, G},
        Conversion{64, 0, -1, G, G, G}, Conversion{255, 0, -1, G, G, G},
        Conversion{-1, 0, -1, G, G, G}, Conversion{INT32_MIN, 0, -1, G, G, G},
        Conversion{512, 0, -1, G, G, G}, Conversion{0x1FFFFFF, 0, -1, G, G, G},
        Conversion{0x8000000, 0, -1, G, G, G}, Conversion{INT32_MAX, 0, -1, G, G, G},
        // Dither colours: even mix of entries n & 15 and (n >> 4) & 15.
        Conversion{256, 0, 0, 77 / 255.0, 77 / 255.0, 77 / 255.0},
        Conversion{0x1F4, 0, 0, (247 + 255) / 510.0, (41 + 255) / 510.0, (14 + 255) / 510.0},
        Conversion{0x1F4, 1, 0, (170 + 255) / 510.0, 255 / 510.0, 255 / 510.0},
        Conversion{0x1FF, 0, 0, 1, 1, 1},
        Conversion{0x114, 0, 0, (247 + 21) / 510.0, (41 + 96) / 510.0, (14 + 249) / 510.0},
        // Direct colours.
        Conversion{0x2000000, 0, 0, 0, 0, 0}, Conversion{0x2FF8000, 0, 0, 1, 128 / 255.0, 0},
        Conversion{0x3123456, 0, 0, 0x12 / 255.0, 0x34 / 255.0, 0x56 / 255.0},
        Conversion{0x4F00F00, 0, 0, 1, 0, 0},
        Conversion{0x4123456, 0, 0, (1 + 4) / 30.0, (2 + 5) / 30.0, (3 + 6) / 30.0},
        Conversion{0x5F00000, 0, 0, 1, 0, 0},
        Conversion{0x5ABC123, 0, 0, 10 / 15.0, 11 / 15.0, 12 / 15.0},
        Conversion{0x6000F00, 0, 0, 1, 0, 0},
        Conversion{0x6123ABC, 0, 0, 10 / 15.0, 11 / 15.0, 12 / 15.0},
        Conversion{0x7000000, 0, 0, 0, 0, 0}, Conversion{0x7FFFFFF, 0, 0, 0, 0, 0}));

TEST_F(Colours, DefinedFollowsFirstScheme) {
    QzSelectColourScheme(palette, 1);
    for (int n = 0; n < 64; ++n) {
        const bool defined = n == 0 || QzColourTable[n].rgb[0] != 0;
        EXPECT_EQ(QzColourToRgb(palette, n, nullptr), defined ? 0 : -1) << n;
    }
    // Exactly the documented set of 64 is defined.
    int count = 0;
    for (int n = 0; n < 64; ++n) count += QzColourToRgb(palette, n, nullptr) == 0;
    EXPECT_EQ(count, 16 + 11 + 16 + 1);
}

TEST_F(Colours, TableRows) {
    for (int n = 0; n < 64; ++n) EXPECT_EQ(QzColourTable[n].number, n);
    EXPECT_STREQ(QzColourTable[3].name, "Dark Cyan (LDLite: teal)");
    EXPECT_STREQ(QzColourTable[16].name, "metacolor: use current");
    EXPECT_STREQ(QzColourTable[24].name, "metacolor: edgecolor");
    EXPECT_STREQ(QzColourTable[29].name, "");
    EXPECT_STREQ(QzColourTable[42].name, "Transparent LightGreen");
    EXPECT_STREQ(QzColourTable[47].name, "Transparent White=Clear");
    EXPECT_STREQ(QzColourTable[63].name, "Transparent");
    // Red in the low byte.
    EXPECT_EQ(QzColourTable[1].rgb[0], 0xF96015u);
    EXPECT_EQ(QzColourTable[10].rgb[1], 0x55FF55u);
    EXPECT_EQ(QzColourTable[14].rgb[2], 0x00E5FFu);
}

TEST_F(Colours, PaletteFollowsScheme) {
    // A new palette holds the first scheme.
    EXPECT_EQ(palette.scheme, 0);
    for (int n = 0; n < 64; ++n) EXPECT_EQ(palette.rgb[n], QzColourTable[n].rgb[0]) << n;
    QzSelectColourScheme(palette, 1);
    QzSelectColourScheme(palette, 0);
    EXPECT_EQ(palette.rgb[4], 0x0E29F7u);
    QzSelectColourScheme(palette, 1);
    EXPECT_EQ(palette.rgb[4], 0x0000AAu);
    float rgb[3];
    QzColourToRgb(palette, 4, rgb);
    EXPECT_FLOAT_EQ(rgb[0], 170 / 255.0f);
    QzSelectColourScheme(palette, 2);
    for (int n = 0; n < 64; ++n) EXPECT_EQ(palette.rgb[n], QzColourTable[n].rgb[2]);
}

TEST_F(Colours, SchemeTexts) {
    EXPECT_STREQ(QzSchemeMenuTexts[0], "&1 Tolpix v1.1");
    EXPECT_STREQ(QzSchemeMenuTexts[1], "&2 LDraw");
    EXPECT_STREQ(QzSchemeMenuTexts[2], "&3 LdLite+MLCad");
    EXPECT_STREQ(QzSchemeMenuTexts[3], "&4 LDConfig.ldr");
    EXPECT_STREQ(QzSchemePrompts[0], "Use Tolpix v1.1 colors");
    EXPECT_STREQ(QzSchemePrompts[1], "Use original LDraw colors");
    EXPECT_STREQ(QzSchemePrompts[2], "Use LDLite+MLCad colors");
    EXPECT_STREQ(QzSchemePrompts[3], "Use the colours of LDConfig.ldr in the LDraw directory");
}

TEST(ColoursUsed, EachColourOnceInOrderOfFirstUse) {
    QzModel model;
    EXPECT_TRUE(model.coloursUsed.empty());
    for (int pass = 0; pass < 2; ++pass) {
        for (int32_t n : {7, 4, 0x2FF8000, 4, 15}) EXPECT_EQ(QzAddColour(model, n), 0);
    }
    EXPECT_EQ(model.coloursUsed, (std::vector<int32_t>{7, 4, 0x2FF8000, 15}));
}

TEST(ColoursUsed, ManyColoursAreAllKept) {
    QzModel model;
    for (int n = 0; n < 50; ++n) QzAddColour(model, 1000 + n);
    QzAddColour(model, 5000);
    for (int n = 0; n < 10; ++n) QzAddColour(model, 6000 + n);
    ASSERT_EQ(model.coloursUsed.size(), 61u);
    EXPECT_EQ(model.coloursUsed[0], 1000);
    EXPECT_EQ(model.coloursUsed[49], 1049);
    EXPECT_EQ(model.coloursUsed[50], 5000);
    EXPECT_EQ(model.coloursUsed[60], 6009);
    // Repeating one of the first ones adds nothing.
    EXPECT_EQ(QzAddColour(model, 1000), 0);
    EXPECT_EQ(model.coloursUsed.size(), 61u);
}

}  // namespace
