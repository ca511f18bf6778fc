// Model contents that would make the scene text fail in POV-Ray: meshes of triangles it
// drops, declarations whose only object POV-Ray skips, and part names that are POV-Ray
// words. Each next to the near misses that stay as they are.
#include "pov_fixture.h"
#include "povcamera.h"
#include "povfixtures.h"
#include "povparts.h"

namespace povtest {
namespace {

class PovMends : public PovTest {
  protected:
    void SetUp() override {
        PovTest::SetUp();
        WriteLibrary(dir);
    }
    QzPart* Part(const std::string& name) {
        for (int i = 0; i < model.partCount; ++i)
            if (model.parts[i].name == name) return &model.parts[i];
        return nullptr;
    }
    // Exports each model as blocks.ldr and finds the text expected of it in the scene.
    template <size_t N>
    void ExpectSceneTexts(const std::pair<const char*, const char*> (&cases)[N]) {
        for (const auto& [model, expected] : cases) {
            dir.Write("models/blocks.ldr", model);
            ASSERT_TRUE(Load("blocks.ldr"));
            const std::string text = Export();
            EXPECT_NE(text.find(Crlf(expected)), std::string::npos) << model << text;
        }
    }
    static int LineCount(const QzPart* part) {
        int n = 0;
        for (const QzLine* line = part->lines; line; line = line->next) ++n;
        return n;
    }
};

// Triangles whose corners lie on a line, as the file writes them: points repeated or
// in a row, and one whose third corner only differs beyond the sixth digit.
constexpr const char* kDroppedTriangles =
    "3 16 0 0 0 1 1 1 2 2 2\n"
    "3 16 0 1000 0 100 1000 0 50 1000.0001 0\n"
    "4 16 0 0 0 1 0 0 2 0 0 3 0 0\n";

TEST_F(PovMends, PartOfDroppedTrianglesOnlyIsNotDeclared) {
    dir.Write("parts/flat.dat", std::string("0 Flat\n") + kDroppedTriangles);
    dir.Write("models/flat.ldr",
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 flat.dat\n"
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n");
    ASSERT_TRUE(Load("flat.ldr"));
    ASSERT_EQ(LineCount(Part("flat.dat")), 4);  // the reader keeps them all
    const std::string text = Export();
    EXPECT_EQ(text.find("flat_dot_dat"), std::string::npos);
    EXPECT_EQ(FiguresOf(Part("flat.dat")).povObjects, 0);
    EXPECT_NE(text.find(Crlf("#declare flat_dot_ldr = object {\n"
                             "\tobject { brick_dot_dat ")),
              std::string::npos);
}

TEST_F(PovMends, MeshOfDroppedTrianglesIsLeftOutBesideOthers) {
    dir.Write("parts/mixed.dat",
              "0 Mixed\n"
              "3 16 0 0 0 1 0 0 0 1 0\n"
              "1 16 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
              "3 16 0 0 0 1 1 1 2 2 2\n"
              "4 16 0 0 0 1 0 0 2 0 0 3 0 0\n"
              "1 16 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
              "3 16 0 0 0 1 1 1 2 2 2\n"
              "3 16 0 0 0 0 0 1 1 0 0\n");
    dir.Write("models/mixed.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 mixed.dat\n");
    ASSERT_TRUE(Load("mixed.ldr"));
    ASSERT_EQ(LineCount(Part("mixed.dat")), 8);
    const std::string text = Export();
    // The mesh between the two bricks would hold nothing POV-Ray keeps; the last mesh
    // starts with a dropped triangle but keeps the next one, so it is written whole.
    EXPECT_NE(
        text.find(Crlf("#declare mixed_dot_dat = #if (QUAL = 0) box { <-10,0,-10>, <10,24,10> } "
                       "#else union {\n"
                       "// Mixed\n"
                       "\tmesh {\n"
                       "\t\ttriangle { <0,0,0>, <1,0,0>, <0,1,0> }\n"
                       "\t}\n"
                       "\tobject { brick_dot_dat matrix <1,0,0,0,1,0,0,0,1,0,0,0> }\n"
                       "\tobject { brick_dot_dat matrix <1,0,0,0,1,0,0,0,1,0,0,0> }\n"
                       "\tmesh {\n"
                       "\t\ttriangle { <0,0,0>, <1,1,1>, <2,2,2> }\n"
                       "\t\ttriangle { <0,0,0>, <0,0,1>, <1,0,0> }\n"
                       "\t}\n"
                       "}\n"
                       "#end\n")),
        std::string::npos)
        << text;
    // The counts of the first pass stay; only the meshes written are counted as frame
    // level objects.
    const PovScene::PartFigures figures = FiguresOf(Part("mixed.dat"));
    EXPECT_EQ(figures.povObjects, 5);
    EXPECT_EQ(figures.frameLevelObjects, 4);
}

// A mesh left out still ends the stud block before it, as the written mesh would.
TEST_F(PovMends, MeshLeftOutStillEndsTheStudBlock) {
    dir.Write("parts/studded.dat",
              "0 Studded\n"
              "1 16 -10 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n"
              "3 16 0 0 0 1 1 1 2 2 2\n"
              "1 16 10 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n"
              "1 16 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n");
    dir.Write("models/studded.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 studded.dat\n");
    ASSERT_TRUE(Load("studded.ldr"));
    const std::string text = Export();
    EXPECT_NE(text.find(Crlf("#else union {\n"
                             "// Studded\n"
                             "\t#if (STUDS)\n"
                             "\t\tobject { stud_dot_dat matrix <1,0,0,0,1,0,0,0,1,-10,0,0> }\n"
                             "\t#end\n"
                             "\t#if (STUDS)\n"
                             "\t\tobject { stud_dot_dat matrix <1,0,0,0,1,0,0,0,1,10,0,0> }\n"
                             "\t#end\n"
                             "\tobject { brick_dot_dat matrix <1,0,0,0,1,0,0,0,1,0,0,0> }\n"
                             "}\n"
                             "#end\n")),
              std::string::npos)
        << text;
}

// POV-Ray skips what lies after "#else" here without parsing it, so the mesh stays.
TEST_F(PovMends, DroppedTrianglesBesidePovCodeKeepThePart) {
    dir.Write("parts/ball.dat",
              "0 Tolpix IFPOV\n"
              "0 sphere { <0,0,0>, 10 }\n"
              "0 Tolpix ELSEPOV\n"
              "3 16 0 0 0 1 1 1 2 2 2\n"
              "0 Tolpix ENDPOV\n");
    dir.Write("models/ball.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 ball.dat\n");
    ASSERT_TRUE(Load("ball.ldr"));
    const std::string text = Export();
    EXPECT_NE(text.find(Crlf("#declare ball_dot_dat = #if (QUAL = 0) box { <0,0,0>, <2,2,2> } "
                             "#else object {\n"
                             "// Tolpix IFPOV\n"
                             "#if (1)\n"
                             "sphere { <0,0,0>, 10 }\n"
                             "// Tolpix ELSEPOV\n"
                             "#else\n"
                             "\tmesh {\n"
                             "\t\ttriangle { <0,0,0>, <1,1,1>, <2,2,2> }\n"
                             "\t}\n"
                             "// Tolpix ENDPOV\n"
                             "#end\n"
                             "}\n"
                             "#end\n")),
              std::string::npos)
        << text;
}

TEST_F(PovMends, OnlyObjectInsideIfNotPovIsNotDeclared) {
    dir.Write("parts/nopov.dat",
              "0 Not for POV-Ray\n"
              "0 Tolpix IFNOTPOV\n"
              "3 16 0 0 0 1 0 0 0 1 0\n"
              "0 Tolpix ENDPOV\n");
    dir.Write("models/nopov.ldr",
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 nopov.dat\n"
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n");
    ASSERT_TRUE(Load("nopov.ldr"));
    const std::string text = Export();
    EXPECT_EQ(text.find("nopov_dot_dat"), std::string::npos);
    EXPECT_EQ(FiguresOf(Part("nopov.dat")).povObjects, 0);
}

TEST_F(PovMends, SkippedObjectBesideOthersStays) {
    // A union with nothing for POV-Ray inside is accepted; so is a skipped object next to
    // a visible one.
    dir.Write("parts/some.dat",
              "0 Tolpix IFNOTPOV\n"
              "3 16 0 0 0 1 0 0 0 1 0\n"
              "0 Tolpix ENDPOV\n"
              "3 4 0 0 0 1 0 0 0 1 0\n");
    dir.Write("models/some.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 some.dat\n");
    ASSERT_TRUE(Load("some.ldr"));
    const std::string text = Export();
    EXPECT_NE(text.find(Crlf("#declare some_dot_dat = #if (QUAL = 0) box { <0,0,0>, <1,1,0> } "
                             "#else union {\n"
                             "// Tolpix IFNOTPOV\n"
                             "#if (0)\n"
                             "\tmesh {\n"
                             "\t\ttriangle { <0,0,0>, <1,0,0>, <0,1,0> }\n"
                             "\t}\n"
                             "// Tolpix ENDPOV\n"
                             "#end\n"
                             "\tmesh {\n")),
              std::string::npos)
        << text;
}

// Carriage returns end lines, also inside text that a POV-Ray block writes as code;
// a comment holding one would end in POV-Ray at it and leave the rest as scene code.
TEST_F(PovMends, CarriageReturnsEndCommentLines) {
    dir.Write("models/mac.ldr",
              "0 Mac title\r0 Author: someone\r\n"
              "0 Tolpix IFPOV\n"
              "0 #declare A = 1;\r#declare B = 2;\n"
              "0 Tolpix ENDPOV\n"
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n");
    ASSERT_TRUE(Load("mac.ldr"));
    const std::string text = Export();
    // The part after the carriage return is a line of its own, and no LDraw line.
    EXPECT_NE(text.find(Crlf("#declare mac_dot_ldr = object {\n"
                             "// Mac title\n"
                             "// Author: someone\n"
                             "// Tolpix IFPOV\n"
                             "#if (1)\n"
                             "#declare A = 1;\n"
                             "// Tolpix ENDPOV\n"
                             "#end\n")),
              std::string::npos)
        << text;
}

// A model path may hold a line break (a file name on this system can); in the header
// comment it would end the comment and leave the rest of the path as scene code.
TEST_F(PovMends, LineBreakInTheModelPathBecomesABlank) {
    dir.Write("models/two\nlines\r.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n");
    ASSERT_TRUE(Load("two\nlines\r.ldr"));
    const std::string text = Export();
    EXPECT_NE(text.find("\r\n// Input file: two lines .ldr\r\n// Qz flags:\r\n"), std::string::npos)
        << text;
}

// POV meta-commands out of balance: an ENDPOV or ELSEPOV with no block open keeps
// only its comment, and blocks a part leaves open end with its declaration.
TEST_F(PovMends, MetaCommandsStayBalancedInEachDeclaration) {
    const std::pair<const char*, const char*> cases[] = {
        {"0 Tolpix ENDPOV\n0 Tolpix ELSEPOV\n3 4 0 0 0 1 0 0 0 1 0\n",
         "// Tolpix ENDPOV\n// Tolpix ELSEPOV\n\tmesh {\n"},
        {"0 Tolpix IFPOV\n0 #declare Q = 1;\n3 4 0 0 0 1 0 0 0 1 0\n",
         "#if (1)\n// #declare Q = 1;\n\tmesh {\n"
         "\t\ttriangle { <0,0,0>, <1,0,0>, <0,1,0> }\n"
         "\t\t#if (version >= 3.1) material #else texture #end { Color4 }\n\t}\n#end\n}\n"},
        {"0 Tolpix IFNOTPOV\n0 Tolpix IFPOV\n0 Tolpix ENDPOV\n0 Tolpix ELSEPOV\n"
         "3 4 0 0 0 1 0 0 0 1 0\n0 Tolpix ENDPOV\n0 Tolpix ENDPOV\n",
         "// Tolpix ELSEPOV\n#else\n\tmesh {\n"
         "\t\ttriangle { <0,0,0>, <1,0,0>, <0,1,0> }\n"
         "\t\t#if (version >= 3.1) material #else texture #end { Color4 }\n\t}\n"
         "// Tolpix ENDPOV\n#end\n// Tolpix ENDPOV\n}\n"},
    };
    ExpectSceneTexts(cases);
}

// One ELSEPOV per block: a second one keeps only its comment, and what follows it stays
// in the half POV-Ray skips. An IFPOV block the file leaves open ends with the file,
// and the comments after it are the file's own, not POV-Ray code; a block the file
// closes keeps its POV-Ray code. A mesh in the "#else" of an "#if (1)" around a nested
// block is one POV-Ray skips, so a part holding nothing else is not declared.
TEST_F(PovMends, MetaCommandBlocksAsTheFileMeansThem) {
    const std::pair<const char*, const char*> cases[] = {
        {"0 Tolpix IFPOV\n0 sphere { <0,0,0>, 5 }\n0 Tolpix ELSEPOV\n"
         "3 4 0 0 0 1 0 0 0 1 0\n0 Tolpix ELSEPOV\n0 Author: someone\n0 Tolpix ENDPOV\n",
         "object {\n// Tolpix IFPOV\n#if (1)\nsphere { <0,0,0>, 5 }\n// Tolpix ELSEPOV\n#else\n"
         "\tmesh {\n\t\ttriangle { <0,0,0>, <1,0,0>, <0,1,0> }\n"
         "\t\t#if (version >= 3.1) material #else texture #end { Color4 }\n\t}\n"
         "// Tolpix ELSEPOV\n// Author: someone\n// Tolpix ENDPOV\n#end\n}\n"},
        {"0 Tolpix IFPOV\n0 Author: someone\n0 BFC CERTIFY CCW\n3 4 0 0 0 1 0 0 0 1 0\n",
         "object {\n// Tolpix IFPOV\n#if (1)\n// Author: someone\n// BFC CERTIFY CCW\n"
         "\tmesh {\n\t\ttriangle { <0,0,0>, <1,0,0>, <0,1,0> }\n"
         "\t\t#if (version >= 3.1) material #else texture #end { Color4 }\n\t}\n#end\n}\n"},
        {"0 Tolpix IFPOV\n0 sphere { <0,0,0>, 5 }\n0 Tolpix ENDPOV\n0 Tolpix IFPOV\n"
         "0 Author: someone\n3 4 0 0 0 1 0 0 0 1 0\n",
         "object {\n// Tolpix IFPOV\n#if (1)\nsphere { <0,0,0>, 5 }\n// Tolpix ENDPOV\n#end\n"
         "// Tolpix IFPOV\n#if (1)\n// Author: someone\n\tmesh {\n"},
        {"0 Tolpix IFNOTPOV\n3 4 0 0 0 1 0 0 0 1 0\n0 Tolpix ELSEPOV\n0 sphere { <0,0,0>, 5 }\n"
         "0 Tolpix ENDPOV\n0 Tolpix IFNOTPOV\n3 4 0 0 0 1 0 0 0 1 0\n0 Tolpix ELSEPOV\n"
         "0 Author: someone\n",
         "// Tolpix ELSEPOV\n#else\nsphere { <0,0,0>, 5 }\n// Tolpix ENDPOV\n#end\n"
         "// Tolpix IFNOTPOV\n#if (0)\n\tmesh {\n\t\ttriangle { <0,0,0>, <1,0,0>, <0,1,0> }\n"
         "\t\t#if (version >= 3.1) material #else texture #end { Color4 }\n\t}\n"
         "// Tolpix ELSEPOV\n#else\n// Author: someone\n#end\n}\n"},
    };
    ExpectSceneTexts(cases);

    dir.Write("parts/hidden.dat",
              "0 Tolpix IFPOV\n0 Tolpix IFNOTPOV\n0 Tolpix ENDPOV\n0 Tolpix ELSEPOV\n"
              "3 16 0 0 0 10 0 0 0 10 0\n0 Tolpix ENDPOV\n");
    dir.Write("models/hidden.ldr",
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 hidden.dat\n");
    ASSERT_TRUE(Load("hidden.ldr"));
    const std::string text = Export();
    EXPECT_EQ(text.find("hidden_dot_dat"), std::string::npos) << text;
}

// The fitted camera of a tiny model would stand on its look-at point; it keeps the
// smallest distance that POV-Ray accepts with a margin, and enough for six digits to
// tell the two points apart far from the origin.
TEST_F(PovMends, TinyModelKeepsACameraDistance) {
    const struct {
        const char* model;
        double least;
    } cases[] = {
        {"1 4 0 0 0 1e-8 0 0 0 1e-8 0 0 0 1e-8 brick.dat\n", 2e-5},
        {"1 4 0 0 0 1 0 0 0 1 0 0 0 1 8-8sphe.dat\n", 2e-5},  // a box of one point
        {"1 4 5000 0 0 1e-8 0 0 0 1e-8 0 0 0 1e-8 brick.dat\n", 0.5},
    };
    dir.Write("p/8-8sphe.dat", "3 16 0 0 0 0 0 0 0 0 0\n");
    for (const auto& c : cases) {
        dir.Write("models/tiny.ldr", c.model);
        ASSERT_TRUE(Load("tiny.ldr"));
        int result = 0;
        Export(&result);
        EXPECT_EQ(result, POV_OK) << c.model;
        QzVector offset;
        QzVecSub(offset, exported.camera.location, exported.camera.lookAt);
        EXPECT_NEAR(QzVecLength(offset), c.least, c.least * 1e-3) << c.model;
    }
    // A model of ordinary size keeps its fitted camera.
    ASSERT_TRUE(Load("one.ldr"));
    Export();
    QzVector offset;
    QzVecSub(offset, exported.camera.location, exported.camera.lookAt);
    EXPECT_GT(QzVecLength(offset), 30.0);
}

TEST_F(PovMends, SectionsNamedLikePovRayWords) {
    dir.Write("models/words.mpd",
              "0 FILE words.mpd\n"
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 box\n"
              "1 1 30 0 0 1 0 0 0 1 0 0 0 1 union\n"
              "1 2 60 0 0 1 0 0 0 1 0 0 0 1 x\n"
              "0 FILE box\n"
              "3 16 0 0 0 10 0 0 0 10 0\n"
              "0 FILE union\n"
              "3 16 0 0 0 10 0 0 0 10 0\n"
              "0 FILE x\n"
              "3 16 0 0 0 10 0 0 0 10 0\n");
    ASSERT_TRUE(Load("words.mpd"));
    const std::string text = Export();
    for (const char* word : {"box", "union", "x"}) {
        EXPECT_NE(text.find(Crlf(std::string("#declare ") + word + "_ = object {\n")),
                  std::string::npos)
            << word;
        EXPECT_NE(text.find(std::string("\tobject { ") + word + "_ matrix <"), std::string::npos)
            << word;
    }
}

}  // namespace
}  // namespace povtest
