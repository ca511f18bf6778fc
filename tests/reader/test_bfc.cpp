// BFC statements, culling bits and winding order, and the checks and repairs of
// parsed lines.
#include <gtest/gtest.h>

#include "bfc.h"
#include "diagnostics.h"
#include "geometry.h"
#include "reader_fixture.h"

namespace {

using reader_test::Lines;
using reader_test::ReaderTest;

class BfcStatement : public ::testing::Test {
  protected:
    void SetUp() override {
        log.currentFile = "f.dat";
        log.currentLine = 9;
    }
    int Parse(const std::string& text) {
        log.currentLineText = "0 " + text;
        return QzParseBfc(text, log);
    }
    std::string inputLog;
    std::vector<QzDiagnostic> diagnostics;
    QzLogContext log{inputLog, diagnostics};
};

TEST_F(BfcStatement, OptionSets) {
    EXPECT_EQ(Parse("BFC CERTIFY CCW INVERTNEXT"), int(BFC_CERTIFY | BFC_CCW | BFC_INVERTNEXT));
    EXPECT_EQ(Parse("BFC\tNOCERTIFY"), int(BFC_NOCERTIFY));
    EXPECT_EQ(Parse("BFC CLIP  NOCLIP\tCW NOWIND"),
              int(BFC_CLIP | BFC_NOCLIP | BFC_CW | BFC_NOWIND));
    EXPECT_EQ(Parse("BFC INVERTNEXT INVERTNEXT"), int(BFC_INVERTNEXT));
    EXPECT_EQ(inputLog, "");
}

TEST_F(BfcStatement, NotAStatement) {
    EXPECT_EQ(Parse("BFCX CLIP"), 0);
    EXPECT_EQ(Parse("bfc CLIP"), 0);
    EXPECT_EQ(Parse("A BFC CLIP"), 0);
    EXPECT_EQ(Parse(""), 0);
    EXPECT_EQ(inputLog, "");
}

TEST_F(BfcStatement, FaultyStatements) {
    EXPECT_EQ(Parse("BFC"), -1);
    EXPECT_EQ(Parse("BFC   "), -1);
    EXPECT_EQ(Parse("BFC certify"), -1);
    EXPECT_EQ(Parse("BFC CERTIFYCCW"), -1);
    EXPECT_EQ(Parse("BFC CCW 2"), -1);
    EXPECT_EQ(inputLog,
              "SKIPPING \"f.dat\" Line 9: No BFC options specified: 0 BFC\r\n"
              "SKIPPING \"f.dat\" Line 9: No BFC options specified: 0 BFC   \r\n"
              "SKIPPING \"f.dat\" Line 9: Illegal BFC option: 0 BFC certify\r\n"
              "SKIPPING \"f.dat\" Line 9: Illegal BFC option: 0 BFC CERTIFYCCW\r\n"
              "SKIPPING \"f.dat\" Line 9: Illegal BFC option: 0 BFC CCW 2\r\n");
}

TEST(BfcApply, FixedOrderWhateverTheWordOrder) {
    QzBfcState s;
    QzApplyBfc(s, BFC_CW | BFC_NOCERTIFY);  // CW comes later in the order: certified on
    EXPECT_TRUE(s.certified);
    EXPECT_EQ(s.winding, QzWinding::CW);
    QzApplyBfc(s, BFC_CLIP | BFC_NOCLIP);
    EXPECT_FALSE(s.clip);
    QzApplyBfc(s, BFC_CW | BFC_CCW);
    EXPECT_EQ(s.winding, QzWinding::CCW);
    QzApplyBfc(s, BFC_CCW | BFC_NOWIND);
    EXPECT_EQ(s.winding, QzWinding::None);
    QzApplyBfc(s, BFC_NOCERTIFY);
    EXPECT_FALSE(s.certified);
    QzApplyBfc(s, BFC_CERTIFY | BFC_INVERTNEXT);
    EXPECT_TRUE(s.certified);
    EXPECT_TRUE(s.invertPending);
}

class Culling : public ReaderTest {
  protected:
    void SetUp() override {
        ReaderTest::SetUp();
        Write("ldraw/parts/p.dat", "2 24 0 0 0 1 1 1\n");
    }
    // Loads a part file (not the main model) that references the given text.
    std::vector<const QzLine*> ReadPart(const std::string& content) {
        Write("ldraw/parts/sub.dat", content);
        EXPECT_EQ(LoadText("1 16 0 0 0 1 0 0 0 1 0 0 0 1 sub.dat\n"), 1);
        return Lines(Lines(Main())[0]->part);
    }
};

constexpr const char* kTriangle = "3 4 0 0 0 1 0 0 0 1 0";

TEST_F(Culling, CertifiedCwTriangleIsStoredCounterClockwise) {
    auto lines = ReadPart("0 BFC CERTIFY CW\n" + std::string(kTriangle) + "\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]->bfc, BFC_CERTIFY | BFC_CW);
    const QzLine* t = lines[1];
    EXPECT_EQ(t->bfc, LF_CULL);
    EXPECT_EQ(t->p[1].x, 0);
    EXPECT_EQ(t->p[1].y, 1);
    EXPECT_EQ(t->p[2].x, 1);
}

TEST_F(Culling, QuadOrderAndClipping) {
    auto lines = ReadPart(
        "0 BFC CERTIFY CW\n4 4 0 0 0 1 0 0 1 1 0 0 1 0\n0 BFC NOCLIP\n"
        "4 4 0 0 0 1 0 0 1 1 0 0 1 0\n0 BFC CLIP CCW\n4 4 0 0 0 1 0 0 1 1 0 0 1 0\n");
    ASSERT_EQ(lines.size(), 6u);
    // CW: 0, 3, 2, 1.
    EXPECT_EQ(lines[1]->bfc, LF_CULL);
    EXPECT_EQ(lines[1]->p[1].y, 1);
    EXPECT_EQ(lines[1]->p[1].x, 0);
    EXPECT_EQ(lines[1]->p[3].x, 1);
    EXPECT_EQ(lines[1]->p[3].y, 0);
    // No clipping: reordered, but no culling bit.
    EXPECT_EQ(lines[3]->bfc, 0u);
    EXPECT_EQ(lines[3]->p[1].y, 1);
    EXPECT_EQ(lines[5]->bfc, LF_CULL);
    EXPECT_EQ(lines[5]->p[1].x, 1);
}

TEST_F(Culling, UncertifiedPartFileGetsNoBits) {
    auto lines = ReadPart(std::string(kTriangle) +
                          "\n1 16 0 0 0 -1 0 0 0 1 0 0 0 1 p.dat\n0 BFC CW\n" + kTriangle + "\n");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0]->bfc, 0u);
    EXPECT_EQ(lines[0]->p[1].x, 1);
    EXPECT_EQ(lines[1]->bfc, LF_MIRROR);
    // CW certifies.
    EXPECT_EQ(lines[3]->bfc, LF_CULL);
}

TEST_F(Culling, ReferenceBits) {
    auto lines = ReadPart(
        "0 BFC CERTIFY CCW\n"
        "1 16 0 0 0 1 0 0 0 1 0 0 0 1 p.dat\n"
        "1 16 0 0 0 -1 0 0 0 1 0 0 0 1 p.dat\n"
        "0 BFC INVERTNEXT\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 p.dat\n"
        "0 BFC INVERTNEXT\n1 16 0 0 0 -1 0 0 0 1 0 0 0 1 p.dat\n"
        "1 16 0 0 0 1 0 0 0 0 0 0 0 1 4-4disc.dat\n");
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1]->bfc, LF_CULL);
    EXPECT_EQ(lines[2]->bfc, LF_CULL | LF_INVERT | LF_MIRROR);
    EXPECT_EQ(lines[4]->bfc, LF_CULL | LF_INVERT);
    // An inverted reference through a mirror cancels out.
    EXPECT_EQ(lines[6]->bfc, LF_CULL | LF_MIRROR);
    // A repaired matrix had determinant 0 as read: no bits.
    EXPECT_EQ(lines[7]->bfc, 0u);
    EXPECT_EQ(QzLineMatrix(*lines[7]).m[1][1], 1);
}

TEST_F(Culling, MainModelIsCertifiedFromItsStart) {
    ASSERT_EQ(LoadText("1 16 0 0 0 1 0 0 0 1 0 0 0 1 p.dat\n0 BFC NOCLIP\n1 16 0 0 0 1 0 0 0 1 0 0 "
                       "0 1 p.dat\n"),
              1);
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]->bfc, LF_CULL);
    EXPECT_EQ(lines[2]->bfc, 0u);
}

// QzCheckLine on single records.
class CheckLine : public ::testing::Test {
  protected:
    void SetUp() override {
        log.currentFile = "f.dat";
        log.currentLine = 3;
        log.currentLineText = "line";
    }
    int Check(QzLine& line, const std::string& name) {
        return QzCheckLine(line, name, nullptr, log, palette, tolerances);
    }

    static QzLine Reference(std::initializer_list<float> nine, int colour = 16) {
        QzLine line{};
        line.type = 1;
        line.colour = colour;
        auto it = nine.begin();
        QzMatrix& m = QzLineMatrix(line);
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) m.m[r][c] = *it++;
        }
        m.m[3][3] = 1;
        return line;
    }
    static QzLine Polygon(int type, int colour, std::initializer_list<float> coordinates) {
        QzLine line{};
        line.type = type;
        line.colour = colour;
        int i = 0;
        for (float v : coordinates) {
            float* p = &line.p[i / 3].x;
            p[i % 3] = v;
            ++i;
        }
        return line;
    }
    static std::string Entry(const char* kind, const std::string& message) {
        return std::string(kind) + " \"f.dat\" Line 3: " + message + ": line\r\n";
    }

    std::string inputLog;
    std::vector<QzDiagnostic> diagnostics;
    QzLogContext log{inputLog, diagnostics};
    QzPalette palette;
    QzCoplanarTolerances tolerances;
};

TEST_F(CheckLine, FlatPrimitiveRowRepair) {
    QzLine line = Reference({1, 0, 0, 0, 0, 0, 0, 0, 1});
    EXPECT_EQ(Check(line, "4-4disc.dat"), 0);
    EXPECT_EQ(inputLog, "");
    EXPECT_EQ(QzLineMatrix(line).m[1][1], 1);

    log.warningLevel = 2;
    line = Reference({1, 0, 0, 0, 0, 0, 0, 0, 1});
    EXPECT_EQ(Check(line, "rect.dat"), 0);
    EXPECT_EQ(inputLog, Entry("WARNING", "Row 1 all zeros"));
}

TEST_F(CheckLine, SingularNonFlatPartIsDropped) {
    QzLine line = Reference({1, 0, 0, 0, 0, 0, 0, 0, 1});
    EXPECT_EQ(Check(line, "3001.dat"), 1);
    EXPECT_EQ(inputLog, Entry("SKIPPING", "Singular matrix"));
}

TEST_F(CheckLine, AllZeroMatrixIsUnfixable) {
    log.warningLevel = 3;
    QzLine line = Reference({0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(Check(line, "ring1.dat"), 1);
    // Each row got its 1 in column y; the column step no longer applies.
    EXPECT_EQ(inputLog, Entry("SKIPPING", "Singular matrix (unfixable)"));
}

TEST_F(CheckLine, YColumnRepair) {
    log.warningLevel = 2;
    // Rows are not zero, the middle column is: rows 0 and 1 get a 1 before the
    // determinant turns non-zero.
    QzLine line = Reference({0, 0, 1, 1, 0, 0, 1, 0, 0});
    EXPECT_EQ(Check(line, "4-4edge.dat"), 0);
    EXPECT_EQ(inputLog, Entry("WARNING", "Y column all zeros"));
    const QzMatrix& m = QzLineMatrix(line);
    EXPECT_EQ(m.m[0][1], 1);
    EXPECT_EQ(m.m[1][1], 1);
    EXPECT_EQ(m.m[2][1], 0);
}

TEST_F(CheckLine, DegenerateTriangles) {
    log.warningLevel = 1;
    QzLine line = Polygon(3, 16, {0, 0, 0, 1, 1, 1, 2, 2, 2});
    EXPECT_EQ(Check(line, ""), 0);
    line = Polygon(3, 4, {0, 0, 0, 1, 1, 1, 2, 2, 2});
    EXPECT_EQ(Check(line, ""), 1);
    line = Polygon(3, 4, {0, 0, 0, 0, 0, 0, 2, 2, 2});
    EXPECT_EQ(Check(line, ""), 1);
    line = Polygon(3, 4, {0, 0, 0, 0.001f, 0, 0, 0, 0.001f, 0});
    EXPECT_EQ(Check(line, ""), 1);
    EXPECT_EQ(inputLog, Entry("WARNING", "Collinear vertices (0)") +
                            Entry("WARNING", "Collinear vertices (0)") +
                            Entry("WARNING", "Identical vertices") +
                            Entry("WARNING", "Collinear vertices (1e-012)"));
}

TEST_F(CheckLine, LevelOneMessagesAreSilentAtLevelZeroButActionsHappen) {
    QzLine line = Polygon(3, 4, {0, 0, 0, 1, 1, 1, 2, 2, 2});
    EXPECT_EQ(Check(line, ""), 1);
    line = Polygon(5, 24, {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0});
    EXPECT_EQ(Check(line, ""), 1);
    line = Polygon(2, 24, {0, 0, 0, 0, 0, 0});
    EXPECT_EQ(Check(line, ""), 0);
    EXPECT_EQ(inputLog, "");
}

TEST_F(CheckLine, LineWithIdenticalEndsIsReportedAtLevelOneAndKept) {
    log.warningLevel = 1;
    QzLine line = Polygon(2, 24, {1, 2, 3, 1, 2, 3});
    EXPECT_EQ(Check(line, ""), 0);
    EXPECT_EQ(inputLog, "WARNING \"f.dat\" Line 3: Identical vertices: line\r\n");
    EXPECT_EQ(line.p[1].x, 1);
    EXPECT_EQ(line.p[1].w, 1.0f);
}

struct QuadCase {
    const char* name;
    float coordinates[12];
    int order[4];  // stored vertex i is input vertex order[i]
    const char* message;
};

class QuadSequence : public CheckLine, public ::testing::WithParamInterface<QuadCase> {};

TEST_P(QuadSequence, ReordersAndReports) {
    const QuadCase& c = GetParam();
    log.warningLevel = 1;
    QzLine line{};
    line.type = 4;
    line.colour = 4;
    for (int i = 0; i < 4; ++i)
        line.p[i] = {c.coordinates[3 * i], c.coordinates[3 * i + 1], c.coordinates[3 * i + 2], 0};
    QzLine input = line;
    ASSERT_EQ(Check(line, ""), 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(line.p[i].x, input.p[c.order[i]].x) << c.name << " vertex " << i;
        EXPECT_EQ(line.p[i].y, input.p[c.order[i]].y) << c.name << " vertex " << i;
        EXPECT_EQ(line.p[i].w, 1.0f);
    }
    EXPECT_EQ(inputLog, c.message[0] ? Entry("WARNING", c.message) : "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, QuadSequence,
    ::testing::Values(
        // A convex square in order.
        QuadCase{"convex", {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 2, 3}, ""},
        // Bow-tie written 0132 of the square: back to 0, 1, 3, 2.
        QuadCase{"bowtie0132",
                 {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0},
                 {0, 1, 3, 2},
                 "Bad vertex sequence, 0132 used"},
        // Bow-tie written 0213: 0, 3, 1, 2.
        QuadCase{"bowtie0213",
                 {0, 0, 0, 1, 1, 0, 1, 0, 0, 0, 1, 0},
                 {0, 3, 1, 2},
                 "Bad vertex sequence, 0312 used"},
        // Concave, reflex corner at vertex 1: rotated silently.
        QuadCase{"reflex1", {0, 0, 0, 1, 0.8f, 0, 2, 0, 0, 1, 2, 0}, {1, 2, 3, 0}, ""},
        // Concave, reflex corner at vertex 3: rotated silently.
        QuadCase{"reflex3", {2, 0, 0, 1, 2, 0, 0, 0, 0, 1, 0.8f, 0}, {1, 2, 3, 0}, ""},
        // Concave, reflex corner at vertex 0 or 2: kept.
        QuadCase{"reflex0", {1, 0.8f, 0, 2, 0, 0, 1, 2, 0, 0, 0, 0}, {0, 1, 2, 3}, ""},
        QuadCase{"reflex2", {1, 2, 0, 0, 0, 0, 1, 0.8f, 0, 2, 0, 0}, {0, 1, 2, 3}, ""}),
    [](const ::testing::TestParamInfo<QuadCase>& info) { return std::string(info.param.name); });

TEST_F(CheckLine, DegenerateQuads) {
    log.warningLevel = 1;
    QzLine line = Polygon(4, 4, {0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 1, 0});
    EXPECT_EQ(Check(line, ""), 1);
    // In colour 16 an identical pair keeps the quad and skips the other checks.
    line = Polygon(4, 16, {0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 1, 0});
    EXPECT_EQ(Check(line, ""), 0);
    line = Polygon(4, 4, {0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 0});
    EXPECT_EQ(Check(line, ""), 1);
    line = Polygon(4, 16, {0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 0});
    EXPECT_EQ(Check(line, ""), 0);
    EXPECT_EQ(inputLog, Entry("WARNING", "Identical vertices") +
                            Entry("WARNING", "Identical vertices") +
                            Entry("WARNING", "Collinear vertices 012 (0)") +
                            Entry("WARNING", "Collinear vertices 012 (0)"));
}

TEST_F(CheckLine, Coplanarity) {
    log.warningLevel = 2;
    QzLine line = Polygon(4, 4, {0, 0, 0, 1, 0, 0, 1, 1, 0.5f, 0, 1, 0});
    EXPECT_EQ(Check(line, ""), 0);
    EXPECT_EQ(inputLog, "");
    tolerances.tolerance = 0.1;
    line = Polygon(4, 4, {0, 0, 0, 1, 0, 0, 1, 1, 0.5f, 0, 1, 0});
    EXPECT_EQ(Check(line, ""), 0);
    EXPECT_EQ(inputLog, Entry("WARNING", "Vertices not coplanar (0.5)"));
}

TEST_F(CheckLine, ColourRules) {
    log.warningLevel = 1;
    QzLine line = Polygon(2, 16, {0, 0, 0, 1, 0, 0});
    EXPECT_EQ(Check(line, ""), 0);
    EXPECT_EQ(line.colour, 16);
    line = Polygon(2, 24, {0, 0, 0, 1, 0, 0});
    EXPECT_EQ(Check(line, ""), 0);
    EXPECT_EQ(line.colour, 24);
    line = Polygon(3, 24, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    EXPECT_EQ(Check(line, ""), 0);
    EXPECT_EQ(line.colour, 16);
    line = Polygon(3, 99, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    EXPECT_EQ(Check(line, ""), 0);
    EXPECT_EQ(line.colour, 7);
    line = Polygon(3, 0x2FF8000, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    EXPECT_EQ(Check(line, ""), 0);
    EXPECT_EQ(line.colour, 0x2FF8000);
    line = Reference({1, 0, 0, 0, 1, 0, 0, 0, 1}, 24);
    EXPECT_EQ(Check(line, "3001.dat"), 0);
    EXPECT_EQ(line.colour, 16);
    EXPECT_EQ(inputLog, Entry("WARNING", "Lines should not use color 16") +
                            Entry("WARNING", "Sorry, cannot handle color 24, using 16") +
                            Entry("WARNING", "Unknown color, using 7") +
                            Entry("WARNING", "Sorry, cannot handle color 24, using 16"));
}

TEST_F(CheckLine, VerticesGetUnitW) {
    QzLine line = Polygon(5, 24, {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1});
    ASSERT_EQ(Check(line, ""), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(line.p[i].w, 1.0f);
    line = Polygon(2, 24, {0, 0, 0, 1, 0, 0});
    ASSERT_EQ(Check(line, ""), 0);
    EXPECT_EQ(line.p[1].w, 1.0f);
    EXPECT_EQ(line.p[2].w, 0.0f);
}

class Duplicates : public ReaderTest {};

TEST_F(Duplicates, ReportedFromLevelOneAndStillStored) {
    Write("ldraw/parts/p.dat", "2 24 0 0 0 1 1 1\n");
    std::string text =
        "1 4 0 0 0 1 0 0 0 1 0 0 0 1 p.dat\n"
        "1 2 0 0 0 1 0 0 0 1 0 0 0 1 P.DAT\n"
        "2 24 0 0 0 1 1 1\n2 24 1 1 1 0 0 0\n"
        "3 4 0 0 0 1 0 0 0 1 0\n3 4 0 1 0 0 0 0 1 0 0\n"
        "4 4 0 0 0 1 0 0 1 1 0 0 1 0\n4 4 1 1 0 0 1 0 0 0 0 1 0 0\n"
        "5 24 0 0 0 1 0 0 0 1 0 0 0 1\n5 24 1 0 0 0 0 0 0 0 1 0 1 0\n"
        "5 24 1 0 0 0 0 0 0 0 1 0 2 0\n";
    ASSERT_EQ(LoadText(text), 1);
    EXPECT_EQ(model.inputLog, "");
    EXPECT_EQ(Lines(Main()).size(), 11u);

    settings.warningLevel = 1;
    ClearLog();
    ASSERT_EQ(LoadText(text, "second.ldr"), 1);
    EXPECT_EQ(model.inputLog,
              Warning(2, "Identical to line 1", "1 2 0 0 0 1 0 0 0 1 0 0 0 1 P.DAT") +
                  Warning(4, "Identical to line 3", "2 24 1 1 1 0 0 0") +
                  Warning(6, "Identical to line 5", "3 4 0 1 0 0 0 0 1 0 0") +
                  Warning(8, "Identical to line 7", "4 4 1 1 0 0 1 0 0 0 0 1 0 0") +
                  Warning(10, "Identical to line 9", "5 24 1 0 0 0 0 0 0 0 1 0 1 0"));
    EXPECT_EQ(Lines(Main()).size(), 11u);
}

// A line whose two ends are the same point is reported from level 1 and still stored.
class IdenticalLineEnds : public ReaderTest {};

TEST_F(IdenticalLineEnds, ReportedFromLevelOneAndStillStored) {
    const std::string text = "2 24 0 0 0 1 1 1\n2 24 3 4 5 3 4 5\n";
    ASSERT_EQ(LoadText(text), 1);
    EXPECT_EQ(model.inputLog, "");
    EXPECT_EQ(Lines(Main()).size(), 2u);

    settings.warningLevel = 1;
    ClearLog();
    ASSERT_EQ(LoadText(text, "second.ldr"), 1);
    EXPECT_EQ(model.inputLog,
              "WARNING \"" + modelPath + "\" Line 2: Identical vertices: 2 24 3 4 5 3 4 5\r\n");
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1]->type, 2);
    EXPECT_EQ(lines[1]->lineNo, 2u);
    EXPECT_EQ(lines[1]->p[0].x, 3);
    EXPECT_EQ(lines[1]->p[1].z, 5);
}

}  // namespace
