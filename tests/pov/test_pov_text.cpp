// The small text builders of the scene writer: vectors, identifiers, the primitive
// table, the POV meta-commands, colour names and materials, and the camera's solver.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "colours.h"
#include "ldconfig.h"
#include "loader.h"
#include "model.h"
#include "povcamera.h"
#include "povmaterials.h"
#include "povparts.h"
#include "povwriter.h"
#include "test_support.h"

namespace {

std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

TEST(PovVectorText, GeneralFormatWithThreeDigitExponents) {
    std::ostringstream out;
    const QzModel model;
    const QzPalette palette;
    PovScene scene(out, model, palette, kPovDefaultOptions);
    EXPECT_EQ(PovVector(scene, 1.0f, -2.5f, 0.0f), "<1,-2.5,0>");
    EXPECT_EQ(PovVector(scene, 0.00001f, 1234567.0f, 0.333333343f),
              "<1e-005,1.23457e+006,0.333333>");
    EXPECT_EQ(PovVector(scene, QzVector{-10.0f, 24.0f, 100000.0f}), "<-10,24,100000>");
    EXPECT_FALSE(scene.outOfRange);
}

struct IdentifierCase {
    const char* name;
    const char* identifier;
};

class PovIdentifierTable : public ::testing::TestWithParam<IdentifierCase> {};

TEST_P(PovIdentifierTable, Converts) {
    EXPECT_EQ(PovIdentifier(GetParam().name), GetParam().identifier);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PovIdentifierTable,
    ::testing::Values(
        IdentifierCase{"3001.dat", "_3001_dot_dat"},
        IdentifierCase{"s\\3001s01.dat", "s_slash_3001s01_dot_dat"},
        IdentifierCase{"my_part.dat", "my__part_dot_dat"},
        IdentifierCase{"a(1).dat", "a_28_1_29__dot_dat"},
        IdentifierCase{"48/4-4cyli.dat", "_48_slash_4_dash_4cyli_dot_dat"},
        IdentifierCase{"a&b:c~d#e f", "a_and_b_colon_c_tilde_d_crosshatch_e_space_f"},
        IdentifierCase{"C:\\Models\\Car.LDR", "C_colon__slash_Models_slash_Car_dot_LDR"},
        // Bytes above 127 are written as their unsigned value.
        IdentifierCase{"caf\xc3\xa9.ldr", "caf_C3__A9__dot_ldr"}, IdentifierCase{"+=", "_2B__3D_"},
        // Names POV-Ray gives a meaning, and names the scene declares itself.
        IdentifierCase{"box", "box_"}, IdentifierCase{"union", "union_"}, IdentifierCase{"x", "x_"},
        IdentifierCase{"pi", "pi_"}, IdentifierCase{"QUAL", "QUAL_"}, IdentifierCase{"SW", "SW_"},
        IdentifierCase{"Color4", "Color4_"}, IdentifierCase{"Color0x02FF0000", "Color0x02FF0000_"},
        // Near misses stay as they are.
        IdentifierCase{"box.dat", "box_dot_dat"}, IdentifierCase{"boxes", "boxes"},
        IdentifierCase{"Box", "Box"}, IdentifierCase{"qual", "qual"},
        IdentifierCase{"Color", "Color"}, IdentifierCase{"Colors", "Colors"},
        IdentifierCase{"xx", "xx"}));

TEST(PovIdentifierLength, LongNamesAreCutTo119CharactersAndMax125) {
    const std::string exact(125, 'a');
    EXPECT_EQ(PovIdentifier(exact), exact);

    const std::string longer(126, 'a');
    EXPECT_EQ(PovIdentifier(longer), std::string(119, 'a') + "MAX125");

    // A replacement that crosses the limit is cut as well.
    const std::string crossing = std::string(123, 'b') + ".dat";
    EXPECT_EQ(PovIdentifier(crossing), std::string(119, 'b') + "MAX125");

    // Two names that agree in what survives give the same identifier.
    EXPECT_EQ(PovIdentifier(std::string(130, 'c') + "1.dat"),
              PovIdentifier(std::string(130, 'c') + "2.dat"));
    // A leading digit's "_" counts.
    EXPECT_EQ(PovIdentifier("9" + std::string(124, 'd')), "_9" + std::string(117, 'd') + "MAX125");
}

struct PrimitiveCase {
    const char* name;
    const char* record;  // null: not found
};

class PovFindPrimitiveTable : public ::testing::TestWithParam<PrimitiveCase> {};

TEST_P(PovFindPrimitiveTable, Finds) {
    const PovPrimitive* found = PovFindPrimitive(GetParam().name);
    if (!GetParam().record) {
        EXPECT_EQ(found, nullptr);
        return;
    }
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->name, GetParam().record);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PovFindPrimitiveTable,
    ::testing::Values(
        PrimitiveCase{"stud.dat", "stud.dat"}, PrimitiveCase{"stud4a.dat", "stud4.dat"},
        PrimitiveCase{"stud2a.dat", "stud2.dat"}, PrimitiveCase{"stud3a.dat", "stud3.dat"},
        PrimitiveCase{"4-4con12.dat", "4-4con1.dat"},
        PrimitiveCase{"48\\4-4cyli.dat", "4-4cyli.dat"},
        PrimitiveCase{"8\\1-4rin14.dat", "1-4rin14.dat"}, PrimitiveCase{"\\box.dat", "box.dat"},
        PrimitiveCase{"1-4rin14.dat", "1-4rin14.dat"}, PrimitiveCase{"48/4-4cyli.dat", nullptr},
        PrimitiveCase{"x48\\4-4cyli.dat", nullptr}, PrimitiveCase{"STUD.DAT", nullptr},
        PrimitiveCase{"stud", nullptr}, PrimitiveCase{"stud5.dat", nullptr},
        PrimitiveCase{"", nullptr}));

TEST(PovPrimitiveTable, HoldsTheRecordsInOrder) {
    const char* const names[kPovPrimitiveCount] = {
        "stud.dat",     "stud2.dat",    "stud3.dat",    "stud4.dat",    "4-4cyli.dat",
        "2-4cyli.dat",  "1-4cyli.dat",  "4-4disc.dat",  "peghole.dat",  "1-4disc.dat",
        "4-4ndis.dat",  "2-4disc.dat",  "2-4ndis.dat",  "1-4ndis.dat",  "1-4cyls.dat",
        "1-4cyls2.dat", "2-4cyls.dat",  "3-8cyls.dat",  "stud4a.dat",   "1-8cyli.dat",
        "stud2a.dat",   "box.dat",      "4-8sphe.dat",  "3-4cyli.dat",  "ring4.dat",
        "stud3a.dat",   "ring1.dat",    "ring3.dat",    "ring2.dat",    "2-8sphe.dat",
        "8-8sphe.dat",  "axle.dat",     "2-4ring1.dat", "2-4ring3.dat", "ring10.dat",
        "1-8disc.dat",  "ring7.dat",    "1-8sphe.dat",  "4-4con1.dat",  "4-4con12.dat",
        "1-4con1.dat",  "1-4con2.dat",  "1-4con3.dat",  "1-4con4.dat",  "1-4con10.dat",
        "1-4ring1.dat", "1-4ring3.dat", "1-4rin10.dat", "1-4rin14.dat"};
    const PovPrimitive* table = PovPrimitives();
    int aliases = 0;
    for (int i = 0; i < kPovPrimitiveCount; ++i) {
        EXPECT_STREQ(table[i].name, names[i]) << i;
        if (table[i].objects < 0) {
            ++aliases;
            EXPECT_EQ(table[i].objects, -1);
        } else if (i == 0) {
            EXPECT_EQ(table[i].objects, 39);
        } else {
            EXPECT_EQ(table[i].objects, std::string(names[i]) == "peghole.dat" ? 2 : 1) << i;
        }
    }
    EXPECT_EQ(aliases, 4);
}

TEST(PovPrimitiveTable, FamilyMembersFollowTheirPattern) {
    EXPECT_EQ(PovFindPrimitive("ring10.dat")->code,
              "#if (version >= 3.1)\n\tdisc { <0,0,0>, <0,1,0>, 11, 10 }\n#else\n\tdifference {\n"
              "\t\tcylinder { <0,-0.001,0>, <0,0.001,0>, 11 }\n"
              "\t\tcylinder { <0,-0.002,0>, <0,0.002,0>, 10 }\n\t}\n#end");
    EXPECT_EQ(PovFindPrimitive("ring4.dat")->code,
              "#if (version >= 3.1)\n\tdisc { <0,0,0>, <0,1,0>, 5, 4 }\n#else\n\tdifference {\n"
              "\t\tcylinder { <0,-0.001,0>, <0,0.001,0>, 5 }\n"
              "\t\tcylinder { <0,-0.002,0>, <0,0.002,0>, 4 }\n\t}\n#end");
    EXPECT_EQ(PovFindPrimitive("1-4rin10.dat")->code,
              "#if (version >= 3.1)\n\tdisc {\n\t\t<0,0,0>, <0,1,0>, 11, 10\n"
              "\t\tclipped_by { box { <0,-1,0>, <12,1,12> } }\n\t}\n#else\n\tdifference {\n"
              "\t\tcylinder { <0,-0.001,0>, <0,0.001,0>, 11 }\n"
              "\t\tcylinder { <0,-0.002,0>, <0,0.002,0>, 10 }\n"
              "\t\tclipped_by { box { <0,-0.01,0>, <12,0.01,12> } }\n\t}\n#end");
    EXPECT_EQ(PovFindPrimitive("2-4ring3.dat")->code,
              "#if (version >= 3.1)\n\tdisc {\n\t\t<0,0,0>, <0,1,0>, 4, 3\n"
              "\t\tclipped_by { box { <-5,-1,0>, <5,1,5> } }\n\t}\n#else\n\tdifference {\n"
              "\t\tcylinder { <0,-0.001,0>, <0,0.001,0>, 4 }\n"
              "\t\tcylinder { <0,-0.002,0>, <0,0.002,0>, 3 }\n"
              "\t\tclipped_by { box { <-5,-0.01,0>, <5,0.01,5> } }\n\t}\n#end");
    EXPECT_EQ(PovFindPrimitive("1-4con10.dat")->code,
              "cone { <0,0,0>, 11, <0,1,0>, 10 open clipped_by { box { <0,-1,0>,<12,2,12> } } }");
    EXPECT_EQ(PovFindPrimitive("1-4con1.dat")->code,
              "cone { <0,0,0>, 2, <0,1,0>, 1 open clipped_by { box { <0,-1,0>,<3,2,3> } } }");
    EXPECT_EQ(PovFindPrimitive("2-4ring1.dat")->code,
              "#if (version >= 3.1)\n\tdisc {\n\t\t<0,0,0>, <0,1,0>, 2, 1\n"
              "\t\tclipped_by { box { <-3,-1,0>, <3,1,3> } }\n\t}\n#else\n\tdifference {\n"
              "\t\tcylinder { <0,-0.001,0>, <0,0.001,0>, 2 }\n"
              "\t\tcylinder { <0,-0.002,0>, <0,0.002,0>, 1 }\n"
              "\t\tclipped_by { box { <-3,-0.01,0>, <3,0.01,3> } }\n\t}\n#end");
}

TEST(PovPrimitiveTable, StudLogoHas38ElementsInFiveGroups) {
    const std::string& code = PovFindPrimitive("stud.dat")->code;
    const std::string head =
        "\n#if (QUAL <= 2)\ncylinder { <0,0,0>, <0,-4,0>, 6 }\n#else\nunion {\n"
        "\tcylinder { <0,0,0>, <0,-4,0>, 6 }\n\tunion {\n"
        "\t\tsphere {<-60,0,-109>,6}\n";
    const std::string tail =
        "\t\tsphere {<-60,0,109>,6}\n"
        "\n\t\tmatrix <1,0,-0.22,0,1,0,0,0,1,0,0,0>\n\t\tscale 4.5/128\n\t\ttranslate <0,-4,0>\n"
        "\t}\n}\n#end";
    ASSERT_GE(code.size(), head.size() + tail.size());
    EXPECT_EQ(code.substr(0, head.size()), head);
    EXPECT_EQ(code.substr(code.size() - tail.size()), tail);

    int spheres = 0, cylinders = 0, tori = 0, empty = 0;
    std::istringstream lines(
        code.substr(head.size() - std::string("\t\tsphere {<-60,0,-109>,6}\n").size()));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("\t\tmatrix", 0) == 0) break;
        if (line.empty())
            ++empty;
        else if (line.rfind("\t\tsphere {", 0) == 0)
            ++spheres;
        else if (line.rfind("\t\tcylinder {", 0) == 0)
            ++cylinders;
        else if (line.rfind("\t\ttorus {", 0) == 0)
            ++tori;
        else
            ADD_FAILURE() << line;
    }
    EXPECT_EQ(spheres, 15);
    EXPECT_EQ(cylinders, 18);
    EXPECT_EQ(tori, 5);
    EXPECT_EQ(empty, 5);  // four between the groups, one before the matrix
    EXPECT_NE(code.find("\t\tcylinder {<60,0,-62>,<60,0,-47>,6 open}\n"
                        "\t\tcylinder {<-45,0,-32>,<45,0,-32>,6 open}\n"),
              std::string::npos);
    EXPECT_NE(code.find("\t\tsphere {<60,0,-79>,6}\n\n\t\tsphere {<-60,0,-62>,6}\n"),
              std::string::npos);
}

struct MetaCase {
    const char* text;
    int index;
};

class PovMetaCommandTable : public ::testing::TestWithParam<MetaCase> {};

TEST_P(PovMetaCommandTable, Recognises) {
    EXPECT_EQ(PovMetaCommand(GetParam().text), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PovMetaCommandTable,
    ::testing::Values(MetaCase{"Tolpix ENDPOV", 0}, MetaCase{"Tolpix IFPOV", 1},
                      MetaCase{"Tolpix IFNOTPOV", 2}, MetaCase{"Tolpix ELSEPOV", 3},
                      MetaCase{"Tolpix IFPOV ", -1}, MetaCase{"Tolpix  IFPOV", -1},
                      MetaCase{"tolpix IFPOV", -1}, MetaCase{"Tolpix ifpov", -1},
                      MetaCase{"TolpixIFPOV", -1}, MetaCase{"Tolpix ", -1},
                      MetaCase{"Tolpix IFPOVX", -1}, MetaCase{"Tolpix", -1}, MetaCase{"", -1},
                      MetaCase{nullptr, -1}));

TEST(PovColourNames, DecimalUpTo24BitsElseHex) {
    EXPECT_EQ(PovColourName(4), "Color4");
    EXPECT_EQ(PovColourName(0), "Color0");
    EXPECT_EQ(PovColourName(16777215), "Color16777215");
    EXPECT_EQ(PovColourName(0x2FF0000), "Color0x02FF0000");
    EXPECT_EQ(PovColourName(0x3FF0000), "Color0x03FF0000");
    EXPECT_EQ(PovColourName(0x7ABCDEF), "Color0x07ABCDEF");
    EXPECT_EQ(PovMaterial(36), "#if (version >= 3.1) material #else texture #end { Color36 }");
}

class PovColourDeclarations : public ::testing::Test {
  protected:
    void SetUp() override {
        palette.rgb[4] = 0x0000CC;   // red 0.8
        palette.rgb[36] = 0x3399FF;  // 1, 0.6, 0.2
        palette.rgb[0] = 0x000000;
    }
    // The declaration of a colour in a scene of its own.
    std::string Declare(int32_t colour) {
        std::ostringstream out;
        PovScene scene(out, model, palette, kPovDefaultOptions);
        PovDeclareColour(scene, colour);
        return out.str();
    }
    QzModel model;
    QzPalette palette;
};

TEST_F(PovColourDeclarations, Solid) {
    EXPECT_EQ(Declare(4), Crlf("#ifndef (Color4)\n"
                               "#declare Color4 = #if (version >= 3.1) material { #end texture {\n"
                               "\tpigment { rgb <0.8,0,0> }\n"
                               "\tfinish { ambient AMB diffuse DIF }\n"
                               "\t#if (QUAL > 1)\n"
                               "\t\tfinish { phong 0.5 phong_size 40 reflection 0.08 }\n"
                               "\t\t#if (BUMPS) normal { BUMPNORMAL } #end\n"
                               "\t#end\n"
                               "} #if (version >= 3.1) } #end\n"
                               "#end\n"
                               "\n"));
}

TEST_F(PovColourDeclarations, Transparent) {
    EXPECT_EQ(Declare(36),
              Crlf("#ifndef (Color36)\n"
                   "#declare Color36 = #if (version >= 3.1) material { #end texture {\n"
                   "\tpigment { rgb <1,0.6,0.2> #if (QUAL > 1) filter 0.85 #end }\n"
                   "\tfinish { ambient AMB diffuse DIF }\n"
                   "\t#if (QUAL > 1)\n"
                   "\t\tfinish { phong 0.5 phong_size 40 reflection 0.2 }\n"
                   "\t\t#if (version >= 3.1) #else finish { refraction 1 ior 1.25 } #end\n"
                   "\t\t#if (BUMPS) normal { BUMPNORMAL } #end\n"
                   "\t#end\n"
                   "} #if (version >= 3.1) #if (QUAL > 1) interior { ior 1.25 } #end } #end\n"
                   "#end\n"
                   "\n"));
}

TEST_F(PovColourDeclarations, ChromeIgnoresTheScheme) {
    const std::string chrome =
        "\tpigment { rgb <0.9,0.9,0.9> }\n"
        "\tfinish {\n\t\tambient 0.25\n\t\tdiffuse 0.6\n\t\t#if (QUAL > 1)\n"
        "\t\t\tbrilliance 5\n\t\t\tmetallic\n\t\t\tspecular 0.80\n\t\t\troughness 1/100\n"
        "\t\t\treflection 0.65\n\t\t#end\n\t}\n"
        "\t#if (BUMPS & (QUAL>1)) normal { BUMPNORMAL } #end\n"
        "} #if (version >= 3.1) } #end\n#end\n\n";
    for (int32_t colour : {383, 494, 503}) {
        const std::string name = PovColourName(colour);
        EXPECT_EQ(Declare(colour),
                  Crlf("#ifndef (" + name + ")\n#declare " + name +
                       " = #if (version >= 3.1) material { #end texture {\n" + chrome));
    }
}

TEST_F(PovColourDeclarations, Rubber) {
    EXPECT_EQ(Declare(256),
              Crlf("#ifndef (Color256)\n"
                   "#declare Color256 = #if (version >= 3.1) material { #end texture {\n"
                   "\tpigment { rgb <0,0,0> }\n"
                   "\tfinish { ambient AMB diffuse DIF }\n"
                   "\t#if (QUAL > 1)\n"
                   "\t\tfinish { phong 0.1 phong_size 10 reflection 0 }\n"
                   "\t\t#if (BUMPS) normal { BUMPNORMAL } #end\n"
                   "\t#end\n"
                   "} #if (version >= 3.1) } #end\n"
                   "#end\n\n"));
}

TEST_F(PovColourDeclarations, ClassesOfOtherNumbers) {
    // Direct colours: 0x3RRGGBB is transparent, 0x2RRGGBB solid.
    EXPECT_NE(
        Declare(0x3FF0000).find("\tpigment { rgb <1,0,0> #if (QUAL > 1) filter 0.85 #end }\r\n"),
        std::string::npos);
    EXPECT_NE(Declare(0x3FF0000).find("interior { ior 1.25 }"), std::string::npos);
    EXPECT_NE(Declare(0x2FF0000).find("\tpigment { rgb <1,0,0> }\r\n"), std::string::npos);
    EXPECT_EQ(Declare(0x2FF0000).find("interior"), std::string::npos);
    // The transparent range ends at 63; an unknown colour is grey and solid.
    EXPECT_NE(Declare(32).find("filter 0.85"), std::string::npos);
    EXPECT_NE(Declare(63).find("filter 0.85"), std::string::npos);
    EXPECT_EQ(Declare(31).find("filter"), std::string::npos);
    EXPECT_NE(Declare(100).find("\tpigment { rgb <0.5,0.5,0.5> }\r\n"), std::string::npos);
    EXPECT_EQ(Declare(382).find("0.9,0.9,0.9"), std::string::npos);
    EXPECT_EQ(Declare(257).find("phong 0.1"), std::string::npos);
}

TEST_F(PovColourDeclarations, ColoursOfLDConfigTakeTheirClassFromTheirKeywords) {
    testing_support::TempDir dir;
    dir.Write("LDConfig.ldr", testing_support::kTestLDConfig);
    QzLogContext log(model.inputLog, model.inputDiagnostics);
    ASSERT_TRUE(QzReadPaletteLDConfig(palette, dir.path().string(), log));
    QzSelectColourScheme(palette, QZ_SCHEME_LDCONFIG);
    struct Case {
        int32_t colour;
        const char* pigment;
        const char* finish;  // a text only the class's body holds
    };
    const Case cases[] = {
        {256, "\tpigment { rgb <0.12549,0.141176,0.156863> }", "phong 0.1 "},
        // Chrome and metal keep their own value.
        {383, "\tpigment { rgb <0.815686,0.831373,0.847059> }", "metallic"},
        {10334, "\tpigment { rgb <0.627451,0.501961,0.12549> }", "metallic"},
        {43, "\tpigment { rgb <0.333333,0.8,0.933333> #if (QUAL > 1) filter 0.85 #end }",
         "interior { ior 1.25 }"},
        {71, "\tpigment { rgb <0.533333,0.6,0.666667> }", "reflection 0.08"},
        // Numbers the file does not define keep the table's classes.
        {494, "\tpigment { rgb <0.9,0.9,0.9> }", "metallic"},
        {36, "filter 0.85", "interior { ior 1.25 }"},
    };
    for (const Case& c : cases) {
        const std::string text = Declare(c.colour);
        EXPECT_NE(text.find(c.pigment), std::string::npos) << c.colour << "\n" << text;
        EXPECT_NE(text.find(c.finish), std::string::npos) << c.colour << "\n" << text;
    }
}

TEST(PovSolver, SolvesWithRowExchanges) {
    // A zero first pivot and rows of very different scale force exchanges.
    float a[6][6] = {
        {0, 2, 0, 0, 1, 0}, {3, 0, 1, 0, 0, 0},     {0, 0, 0, 4, 0, 1},
        {1, 1, 1, 1, 1, 1}, {0, 0, 500, 0, 0, 100}, {0.01f, 0, 0, 0, 0.02f, 0},
    };
    const double x[6] = {1, -2, 3, 0.5, 4, -1};
    float b[6];
    for (int i = 0; i < 6; ++i) {
        double sum = 0;
        for (int j = 0; j < 6; ++j) sum += a[i][j] * x[j];
        b[i] = float(sum);
    }
    int pivots[6];
    LuDecompose(a, pivots);
    LuBackSubstitute(a, pivots, b);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(b[i], x[i], 1e-4) << i;
}

TEST(PovSolver, LeadingZerosOfTheRightHandSideAreSkipped) {
    float a[6][6] = {};
    for (int i = 0; i < 6; ++i) a[i][i] = float(i + 1);
    a[5][0] = 1;
    float b[6] = {0, 0, 0, 0, 0, 12};
    int pivots[6];
    LuDecompose(a, pivots);
    LuBackSubstitute(a, pivots, b);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(b[i], 0.0f);
    EXPECT_FLOAT_EQ(b[5], 2.0f);
}

}  // namespace
