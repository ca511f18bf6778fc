// Reading files line by line: content states, sections, transform blocks, title and
// author, notices, and the messages each produces, compared whole.
#include <gtest/gtest.h>

#include <cmath>

#include "bfc.h"
#include "colours.h"
#include "linereader.h"
#include "reader_fixture.h"

namespace {

using reader_test::FindEntry;
using reader_test::Lines;
using reader_test::ReaderTest;
using reader_test::Text;

class LineReader : public ReaderTest {
  protected:
    void SetUp() override {
        ReaderTest::SetUp();
        Write("ldraw/parts/3001.dat", "0 Brick 2 x 4\n2 24 0 0 0 1 1 1\n");
    }
};

constexpr const char* kRef = "1 16 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat";

TEST_F(LineReader, FreeTextFirstIsACommentLaterABadLine) {
    ASSERT_EQ(
        LoadText("This is my model\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat\nThis is my model\n"), 1);
    EXPECT_EQ(model.inputLog, Skipping(3, "Bad line", "This is my model"));
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]->type, 0);
    EXPECT_EQ(Text(lines[0]), "This is my model");
    EXPECT_EQ(lines[0]->lineNo, 1u);
    EXPECT_EQ(lines[1]->type, 1);
    EXPECT_EQ(lines[1]->lineNo, 2u);
}

TEST_F(LineReader, ArgumentCountsOutsideStateZero) {
    ASSERT_EQ(LoadText(std::string(kRef) +
                       "\n1 16 0 0 0 1 0 0 0 1 0 0 0 1\n2 24 0 0 0 1 1 1 7\n3 16 0 0 0 1 1 1\n"
                       "4 16 0 0 0 1 0 0 1 1 0 0 1 0 more\n5 24 0 0 0 1 1 1 2 2 2\n"),
              1);
    EXPECT_EQ(model.inputLog,
              Skipping(2, "15 arguments expected", "1 16 0 0 0 1 0 0 0 1 0 0 0 1") +
                  Skipping(3, "8 arguments expected", "2 24 0 0 0 1 1 1 7") +
                  Skipping(4, "11 arguments expected", "3 16 0 0 0 1 1 1") +
                  Skipping(5, "14 arguments expected", "4 16 0 0 0 1 0 0 1 1 0 0 1 0 more") +
                  Skipping(6, "14 arguments expected", "5 24 0 0 0 1 1 1 2 2 2"));
    EXPECT_EQ(Lines(Main()).size(), 1u);
}

TEST_F(LineReader, InStateZeroMalformedLinesBecomeComments) {
    ASSERT_EQ(
        LoadText("2 24 0 0 0 1 1 1 7\n9 this is text\n  -3 x\n+0 16\n" + std::string(kRef) + "\n"),
        1);
    EXPECT_EQ(model.inputLog, "");
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(Text(lines[0]), "2 24 0 0 0 1 1 1 7");
    EXPECT_EQ(Text(lines[1]), "9 this is text");
    EXPECT_EQ(Text(lines[2]), "  -3 x");
    EXPECT_EQ(Text(lines[3]), "+0 16");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(lines[i]->type, 0);
}

TEST_F(LineReader, UnknownLineTypesAfterCommands) {
    // A type written with a sign is not a comment: only a leading "0" character is.
    ASSERT_EQ(LoadText(std::string(kRef) + "\n6 16 0 0 0\n-1 16\n+0 16 x\n-0\n+2 24 0 0 0 1 1 1\n"),
              1);
    EXPECT_EQ(model.inputLog, Skipping(2, "Unknown line type", "6 16 0 0 0") +
                                  Skipping(3, "Unknown line type", "-1 16") +
                                  Skipping(4, "Unknown line type", "+0 16 x") +
                                  Skipping(5, "Unknown line type", "-0"));
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1]->type, 2);
}

TEST_F(LineReader, ColourFields) {
    ASSERT_EQ(LoadText("2 0x2FF8000 0 0 0 1 1 1\n2 -4 0 0 0 1 1 1\n2 4x 0 0 0 1 1 1\n"
                       "2 0X7000000 0 0 0 1 1 1\n"),
              1);
    EXPECT_EQ(model.inputLog, Skipping(2, "Bad color", "2 -4 0 0 0 1 1 1") +
                                  Skipping(3, "Bad color", "2 4x 0 0 0 1 1 1"));
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]->colour, 0x2FF8000);
    EXPECT_EQ(lines[1]->colour, 0x7000000);
}

TEST_F(LineReader, BadColourIsReportedEvenInStateZero) {
    ASSERT_EQ(LoadText("2 red 0 0 0 1 1 1\n"), 1);
    EXPECT_EQ(model.inputLog, Skipping(1, "Bad color", "2 red 0 0 0 1 1 1"));
}

TEST_F(LineReader, StoredLinesCarryTheirRecord) {
    ASSERT_EQ(LoadText("0 Model\n1 4 10 20 30 1 2 3 4 5 6 7 8 10 PARTS/3001.DAT\n"
                       "5 24 1 2 3 4 5 6 7 8 9 10 11 12\n"),
              1);
    EXPECT_EQ(model.inputLog, "");
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 3u);
    const QzMatrix& m = QzLineMatrix(*lines[1]);
    float expected[4][4] = {{1, 2, 3, 10}, {4, 5, 6, 20}, {7, 8, 10, 30}, {0, 0, 0, 1}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(m.m[r][c], expected[r][c]);
    }
    EXPECT_EQ(lines[1]->part->name, "parts\\3001.dat");
    EXPECT_EQ(lines[1]->colour, 4);
    EXPECT_EQ(lines[2]->type, 5);
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(lines[2]->p[v].x, 1 + 3 * v);
        EXPECT_EQ(lines[2]->p[v].w, 1.0f);
    }
    EXPECT_EQ(lines[2]->part, nullptr);
    EXPECT_EQ(lines[2]->text, nullptr);
    EXPECT_EQ(lines[0]->colour, 0);
}

TEST_F(LineReader, LongPhysicalLineIsReadAsTwoPiecesOfOneLine) {
    // 999 characters fit the buffer; the rest is read as a line of its own, but under
    // the number of the line it belongs to.
    std::string comment = "0 " + std::string(1198, 'x');
    ASSERT_EQ(LoadText(std::string(kRef) + "\n" + comment + "\n2 24 0 0 0 1 1 1 0\n"), 1);
    std::string rest(comment.substr(999));
    EXPECT_EQ(model.inputLog, Skipping(2, "Bad line", rest) +
                                  Skipping(3, "8 arguments expected", "2 24 0 0 0 1 1 1 0"));
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Text(lines[1]), comment.substr(2, 997));
}

TEST_F(LineReader, LoneCarriageReturnsEndLines) {
    ASSERT_EQ(LoadText("0 Title\r" + std::string(kRef) + "\r\r2 24 0 0 0 1 1 1 0\r"), 1);
    EXPECT_EQ(model.inputLog, Skipping(4, "8 arguments expected", "2 24 0 0 0 1 1 1 0"));
    EXPECT_EQ(model.modelTitle, "Title");
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1]->type, 1);
}

TEST_F(LineReader, OverlongNameOrColourIsABadLine) {
    std::string longName = std::string(300, 'n') + ".dat";
    std::string longColour(300, '1');
    ASSERT_EQ(LoadText(std::string(kRef) + "\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 " + longName + "\n2 " +
                       longColour + " 0 0 0 1 1 1\n"),
              1);
    EXPECT_EQ(model.inputLog, Skipping(2, "Bad line", "1 16 0 0 0 1 0 0 0 1 0 0 0 1 " + longName) +
                                  Skipping(3, "Bad line", "2 " + longColour + " 0 0 0 1 1 1"));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(LineReader, TitleAndAuthor) {
    ASSERT_EQ(
        LoadText("0 Author:   Jane Doe\n0  The Truck\n0 Another comment\n0 Author: Somebody\n"), 1);
    EXPECT_EQ(model.modelAuthor, "Jane Doe");
    EXPECT_EQ(model.modelTitle, "The Truck");
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 4u);
    // The stored text is what follows "0" and one blank.
    EXPECT_EQ(Text(lines[1]), " The Truck");
}

TEST_F(LineReader, TitleIsCutAt399Characters) {
    ASSERT_EQ(LoadText("0 " + std::string(450, 't') + "\n"), 1);
    EXPECT_EQ(model.modelTitle, std::string(399, 't'));
}

TEST_F(LineReader, SubfilesSetNoTitle) {
    Write("ldraw/parts/3001.dat", "0 Brick title\n0 Author: Part Author\n");
    ASSERT_EQ(LoadText(std::string(kRef) + "\n"), 1);
    EXPECT_EQ(model.modelTitle, "");
    EXPECT_EQ(model.modelAuthor, "");
}

TEST_F(LineReader, CommentWithoutSpaceAfterZero) {
    ASSERT_EQ(LoadText("0Hello\n0\n"), 1);
    EXPECT_EQ(model.inputLog, "");
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Text(lines[0]), "Hello");
    EXPECT_EQ(Text(lines[1]), "");
    EXPECT_EQ(model.modelTitle, "Hello");

    FreshModel();
    settings.warningLevel = 3;
    ASSERT_EQ(LoadText("0Hello\n"), 1);
    EXPECT_EQ(model.inputLog, Warning(1, "Comment lines should have space after 0", "0Hello"));
}

TEST_F(LineReader, MovedNoticeInTheModelAndInAPart) {
    Write("ldraw/parts/3001.dat", "0 ~Moved to 3001a\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 3001a.dat\n");
    Write("ldraw/parts/3001a.dat", "2 24 0 0 0 1 1 1\n");
    ASSERT_EQ(LoadText("0  ~Moved to elsewhere\n" + std::string(kRef) + "\n"), 1);
    EXPECT_EQ(model.inputLog, "NOTABENE \"" + modelPath + "\" Line 1: 0  ~Moved to elsewhere\r\n" +
                                  "NOTABENE \"3001.dat\" referenced by \"" + modelPath +
                                  "\": Moved to 3001a\r\n");
    // Not a notice: the words must match exactly.
    FreshModel();
    ASSERT_EQ(LoadText("0 ~moved to x\n0 ~Moved to\n"), 1);
    EXPECT_EQ(model.inputLog, "");
}

TEST_F(LineReader, CommandsBeforeTheFirstFileLine) {
    ASSERT_EQ(LoadText("0 header\n" + std::string(kRef) + "\n0 FILE main.ldr\n0 Main title\n"), 1);
    EXPECT_EQ(model.inputLog, Warning(3, "LDraw command(s) preceded this line", "0 FILE main.ldr"));
    EXPECT_EQ(model.modelTitle, "Main title");
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(Text(lines[2]), "FILE main.ldr");

    // Comments alone, or a BFC statement, before it.
    FreshModel();
    ASSERT_EQ(LoadText("0 header\n0 FILE main.ldr\n"), 1);
    EXPECT_EQ(model.inputLog, "");
    FreshModel();
    ASSERT_EQ(LoadText("0 BFC CERTIFY\n0 FILE main.ldr\n"), 1);
    EXPECT_EQ(model.inputLog, Warning(2, "LDraw command(s) preceded this line", "0 FILE main.ldr"));
}

TEST_F(LineReader, MpdSectionsAndForwardReferences) {
    ASSERT_EQ(LoadText("0 FILE main.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 Sub.ldr\n"
                       "0 FILE sub.ldr\n0 BFC CERTIFY CCW\n3 4 0 0 0 1 0 0 0 1 0\n"
                       "0 FILE other.ldr\n2 24 0 0 0 1 1 1\n" +
                           std::string(kRef) + "\n",
                       "model.mpd"),
              1);
    EXPECT_EQ(model.inputLog, "");
    auto main = Lines(Main());
    ASSERT_EQ(main.size(), 2u);
    QzPart* sub = FindEntry(model, "sub.ldr");
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(main[1]->part, sub);
    EXPECT_EQ(sub->flags & (PF_READ | PF_RESOLVED), PF_READ | PF_RESOLVED);
    auto subLines = Lines(sub);
    ASSERT_EQ(subLines.size(), 2u);
    EXPECT_EQ(subLines[1]->bfc, LF_CULL);
    QzPart* other = FindEntry(model, "other.ldr");
    ASSERT_NE(other, nullptr);
    auto otherLines = Lines(other);
    ASSERT_EQ(otherLines.size(), 2u);
    EXPECT_EQ(other->flags & PF_READ, PF_READ);
    // A later section starts uncertified although the file is the main model.
    EXPECT_EQ(otherLines[1]->bfc, 0u);
    EXPECT_EQ(main[1]->bfc, LF_CULL);
}

TEST_F(LineReader, NamesWithBlanksReachTheirSections) {
    ASSERT_EQ(LoadText("0 FILE 10179 - Main.ldr\n"
                       "1 16 0 0 0 1 0 0 0 1 0 0 0 1 10179 - Hull.ldr\n"
                       "1 16 0 0 0 1 0 0 0 1 0 0 0 1 10179 - Hull Top.ldr\n"
                       "0 FILE 10179 - Hull.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n"
                       "0 FILE 10179 - Hull Top.ldr\n1 1 0 -24 0 1 0 0 0 1 0 0 0 1 3001.dat\n",
                       "falcon.mpd"),
              1);
    EXPECT_EQ(model.inputLog, "");
    EXPECT_TRUE(Boxes().empty());
    auto main = Lines(Main());
    ASSERT_EQ(main.size(), 3u);
    EXPECT_EQ(main[1]->part->name, "10179 - hull.ldr");
    EXPECT_EQ(main[2]->part->name, "10179 - hull top.ldr");
    EXPECT_EQ(Lines(main[1]->part).size(), 1u);
    EXPECT_EQ(Lines(main[2]->part).size(), 1u);
    EXPECT_EQ(Lines(main[2]->part)[0]->colour, 1);
    EXPECT_FLOAT_EQ(model.Main().box.min.y, -24);
}

TEST_F(LineReader, NamesWithoutBlanksAreUnchanged) {
    ASSERT_EQ(LoadText("0 FILE main.ldr\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 hull.ldr\n"
                       "0 FILE\thull.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n"
                       "0 FILEShull.ldr\n",
                       "plain.mpd"),
              1);
    // "FILE" directly followed by a word names the section after its first letter.
    QzPart* hull = FindEntry(model, "hull.ldr");
    ASSERT_NE(hull, nullptr);
    EXPECT_EQ(Lines(hull).size(), 1u);
    ASSERT_NE(FindEntry(model, "shull.ldr"), nullptr);
    EXPECT_EQ(model.inputLog, "");
}

// A second load of the same file reads its sections again: the file may have been
// edited in between. Only a name that appears twice in one file is "already read".
TEST_F(LineReader, SectionsOfTheLoadedFileAreReadAgainOnEveryLoad) {
    const std::string first =
        "0 FILE main.ldr\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 a.ldr\n"
        "0 FILE a.ldr\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 b.ldr\n"
        "0 FILE b.ldr\n2 24 0 0 0 1 1 1\n";
    ASSERT_EQ(LoadText(first, "m.mpd"), 1);
    EXPECT_EQ(model.inputLog, "");
    const QzPart* a = FindEntry(model, "a.ldr");
    const QzPart* b = FindEntry(model, "b.ldr");
    EXPECT_FLOAT_EQ(model.Main().box.max.x, 1);

    // The editor changes b's colour and size and a's placement.
    const std::string second =
        "0 FILE main.ldr\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 a.ldr\n"
        "0 FILE a.ldr\n1 16 10 0 0 1 0 0 0 1 0 0 0 1 b.ldr\n"
        "0 FILE b.ldr\n2 4 0 0 0 5 5 5\n";
    ClearLog();
    ASSERT_EQ(LoadText(second, "m.mpd"), 1);
    EXPECT_EQ(model.inputLog, "");
    // The same records, holding the new lines, and the bounds that follow from them.
    EXPECT_EQ(FindEntry(model, "a.ldr"), a);
    EXPECT_EQ(FindEntry(model, "b.ldr"), b);
    ASSERT_EQ(Lines(b).size(), 1u);
    EXPECT_EQ(Lines(b)[0]->colour, 4);
    EXPECT_FLOAT_EQ(QzLineMatrix(*Lines(a)[0]).m[0][3], 10);
    EXPECT_FLOAT_EQ(model.Main().box.max.x, 15);
    EXPECT_EQ(Lines(Main()).size(), 2u);

    // One name twice in one file: the second section is read, checked and dropped.
    ClearLog();
    ASSERT_EQ(LoadText(second + "0 FILE b.ldr\n2 1 0 0 0 9 9 9\n", "m.mpd"), 1);
    EXPECT_EQ(model.inputLog, Skipping(7, "FILE b.ldr already read", "0 FILE b.ldr"));
    EXPECT_EQ(Lines(b)[0]->colour, 4);
}

TEST_F(LineReader, RotateBlockBecomesAGeneratedPart) {
    ASSERT_EQ(
        LoadText("0 ROTATE 90 0 1 0\n" + std::string(kRef) + "\n2 24 0 0 0 1 1 1\n0 ROTATE END\n"),
        1);
    EXPECT_EQ(model.inputLog, "");
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Text(lines[0]), "ROTATE 90 0 1 0");
    EXPECT_EQ(lines[1]->type, 1);
    EXPECT_EQ(lines[1]->colour, 16);
    EXPECT_EQ(lines[1]->lineNo, 0u);
    QzPart* block = lines[1]->part;
    EXPECT_EQ(block->name, "QzTransf0");
    EXPECT_EQ(block->flags & (PF_INTERNAL | PF_READ | PF_RESOLVED),
              PF_INTERNAL | PF_READ | PF_RESOLVED);
    EXPECT_NEAR(QzLineMatrix(*lines[1]).m[0][2], 1, 1e-6);
    EXPECT_NEAR(QzLineMatrix(*lines[1]).m[2][0], -1, 1e-6);
    auto inner = Lines(block);
    ASSERT_EQ(inner.size(), 2u);
    EXPECT_EQ(inner[0]->lineNo, 2u);
    EXPECT_EQ(Text(lines[2]), "ROTATE END");
    EXPECT_EQ(lines[2]->lineNo, 4u);
    EXPECT_EQ(model.transfCounter, 1);

    // The counter runs on across loads.
    ClearLog();
    ASSERT_EQ(LoadText("0 SCALE 2\n0 SCALE END\n", "second.ldr"), 1);
    EXPECT_EQ(Lines(Main())[1]->part->name, "QzTransf1");
}

TEST_F(LineReader, MismatchedAndUnexpectedEnds) {
    ASSERT_EQ(LoadText("0 END\n0 SCALE END\n0 ROTATE 90 0 1 0\n0 SCALE END\n" + std::string(kRef) +
                       "\n0 ROTATE END\n0 ROTATE END\n"),
              1);
    EXPECT_EQ(model.inputLog, Skipping(2, "END not expected", "0 SCALE END") +
                                  Skipping(4, "ROTATE END expected", "0 SCALE END") +
                                  Skipping(7, "END not expected", "0 ROTATE END"));
    auto lines = Lines(Main());
    // "0 END" is a plain comment; the block holds the reference.
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(Text(lines[0]), "END");
    EXPECT_EQ(Lines(lines[2]->part).size(), 1u);
}

TEST_F(LineReader, NestedBlocksOpenAtEndOfFile) {
    ASSERT_EQ(LoadText("0 TRANSLATE 1 2 3\n0 SCALE 2\n" + std::string(kRef) + "\n"), 1);
    EXPECT_EQ(model.inputLog, "WARNING \"" + modelPath + "\": End-Of-File, SCALE END expected\r\n" +
                                  "WARNING \"" + modelPath +
                                  "\": End-Of-File, TRANSLATE END expected\r\n");
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 2u);
    QzPart* outer = lines[1]->part;
    auto outerLines = Lines(outer);
    ASSERT_EQ(outerLines.size(), 2u);
    EXPECT_EQ(outerLines[1]->part->flags & PF_READ, PF_READ);
    EXPECT_EQ(Lines(outerLines[1]->part).size(), 1u);
    // Bounds go through both blocks: brick edge (0..1) scaled by 2, moved by (1, 2, 3).
    EXPECT_FLOAT_EQ(model.Main().box.min.x, 1);
    EXPECT_FLOAT_EQ(model.Main().box.max.x, 3);
    EXPECT_FLOAT_EQ(model.Main().box.max.z, 5);
}

TEST_F(LineReader, FileLineClosesOpenBlocks) {
    ASSERT_EQ(LoadText("0 FILE main.ldr\n0 TRANSFORM 0 0 0 1 0 0 0 1 0 0 0 1\n0 TRANSLATE 0 0 0\n"
                       "0 FILE sub.ldr\n2 24 0 0 0 1 1 1\n",
                       "m.mpd"),
              1);
    EXPECT_EQ(model.inputLog, Warning(4, "TRANSLATE END expected", "0 FILE sub.ldr") +
                                  Warning(4, "TRANSFORM END expected", "0 FILE sub.ldr"));
    ASSERT_NE(FindEntry(model, "sub.ldr"), nullptr);
    EXPECT_EQ(Lines(FindEntry(model, "sub.ldr")).size(), 1u);
    EXPECT_EQ(Lines(Main()).size(), 3u);
}

TEST_F(LineReader, IllegalSyntaxIsStoredAsAPlainComment) {
    ASSERT_EQ(LoadText("0 TRANSLATE 1 2\n"), 1);
    EXPECT_EQ(model.inputLog, Skipping(1, "Illegal syntax", "0 TRANSLATE 1 2"));
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Text(lines[0]), "TRANSLATE 1 2");
    EXPECT_EQ(lines[0]->lineNo, 1u);
    EXPECT_EQ(model.modelTitle, "TRANSLATE 1 2");
}

TEST_F(LineReader, InvertNextMustPrecedeAReference) {
    ASSERT_EQ(
        LoadText("0 BFC INVERTNEXT\n\n0 BFC INVERTNEXT\n2 24 0 0 0 1 1 1\n0 BFC INVERTNEXT\n0 x\n"
                 "0 BFC INVERTNEXT\n" +
                 std::string(kRef) + "\n" + kRef + "\n"),
        1);
    EXPECT_EQ(model.inputLog,
              Warning(2, "Line type 1 must follow 0 BFC INVERTNEXT", "") +
                  Warning(4, "Line type 1 must follow 0 BFC INVERTNEXT", "2 24 0 0 0 1 1 1") +
                  Warning(6, "Line type 1 must follow 0 BFC INVERTNEXT", "0 x"));
    auto lines = Lines(Main());
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0]->bfc, BFC_INVERTNEXT);
    // The main model is certified from its start: culling goes on into references.
    EXPECT_EQ(lines[6]->bfc, LF_CULL | LF_INVERT);
    EXPECT_EQ(lines[7]->bfc, LF_CULL);
}

TEST_F(LineReader, InvertNextWarningComesBeforeTheLinesOwnMessages) {
    // Lines of type 1 to 5 warn once their type is known, before the count and colour
    // checks; unparsable lines and unknown types never get the warning; comments get it
    // before anything else.
    ASSERT_EQ(
        LoadText(std::string(kRef) +
                 "\n0 BFC INVERTNEXT\n2 24 0 0 0 1 1\n0 BFC INVERTNEXT\n3 x 0 0 0 1 0 0 0 1 0\n"
                 "0 BFC INVERTNEXT\n9 1\n0 BFC INVERTNEXT\nrubbish\n0 BFC INVERTNEXT\n0 BFC cw\n"
                 "0 BFC INVERTNEXT\n4 24 0 0 0 1 0 0 1 1 0 0 1 0\n0 BFC INVERTNEXT\n"
                 "1 16 0 0 0 0 0 0 0 0 0 0 0 0 3001.dat\n"),
        1);
    const std::string invert = "Line type 1 must follow 0 BFC INVERTNEXT";
    EXPECT_EQ(
        model.inputLog,
        Warning(3, invert, "2 24 0 0 0 1 1") +
            Skipping(3, "8 arguments expected", "2 24 0 0 0 1 1") +
            Warning(5, invert, "3 x 0 0 0 1 0 0 0 1 0") +
            Skipping(5, "Bad color", "3 x 0 0 0 1 0 0 0 1 0") +
            Skipping(7, "Unknown line type", "9 1") + Skipping(9, "Bad line", "rubbish") +
            Warning(11, invert, "0 BFC cw") + Skipping(11, "Illegal BFC option", "0 BFC cw") +
            Warning(13, invert, "4 24 0 0 0 1 0 0 1 1 0 0 1 0") +
            Warning(13, "Sorry, cannot handle color 24, using 16", "4 24 0 0 0 1 0 0 1 1 0 0 1 0") +
            Skipping(15, "Singular matrix", "1 16 0 0 0 0 0 0 0 0 0 0 0 0 3001.dat"));
}

TEST_F(LineReader, MissingColourRegistration) {
    ASSERT_EQ(LoadText("2 4 0 0 0 1 1 1\n2 24 0 0 0 1 1 1\n2 16 0 0 0 1 1 1\n"), 1);
    // 7 is registered by every load; 16 and 24 never.
    EXPECT_EQ(model.coloursUsed, (std::vector<int32_t>{7, 4}));
}

}  // namespace

namespace {

using reader_test::Lines;
using reader_test::ReaderTest;

class BlockDepth : public ReaderTest {};

TEST_F(BlockDepth, OpeningLinesBeyondTheLimitAreDropped) {
    std::string text;
    for (int i = 0; i < QZ_MAX_BLOCK_DEPTH + 2; ++i) text += "0 SCALE 1\n";
    text += "2 24 0 0 0 1 1 1\n";
    ASSERT_EQ(LoadText(text), 1);
    std::string expected =
        Skipping(QZ_MAX_BLOCK_DEPTH + 1, "Transform blocks nested too deeply", "0 SCALE 1") +
        Skipping(QZ_MAX_BLOCK_DEPTH + 2, "Transform blocks nested too deeply", "0 SCALE 1");
    for (int i = 0; i < QZ_MAX_BLOCK_DEPTH; ++i) {
        expected += "WARNING \"" + modelPath + "\": End-Of-File, SCALE END expected\r\n";
    }
    EXPECT_EQ(model.inputLog, expected);
    int depth = 0;
    const QzPart* part = Main();
    while (Lines(part).size() == 2 && Lines(part)[1]->type == 1) {
        part = Lines(part)[1]->part;
        ++depth;
    }
    EXPECT_EQ(depth, QZ_MAX_BLOCK_DEPTH);
    EXPECT_EQ(Lines(part).size(), 1u);
    EXPECT_EQ(model.Main().flags & PF_EMPTY, 0u);
}

TEST_F(BlockDepth, DeepChainOfSectionsResolves) {
    std::string text;
    for (int i = 0; i < 1500; ++i) {
        text += "0 FILE s" + std::to_string(i) + ".ldr\n1 16 0 0 1 1 0 0 0 1 0 0 0 1 s" +
                std::to_string(i + 1) + ".ldr\n";
    }
    text += "0 FILE s1500.ldr\n2 24 0 0 0 1 1 1\n";
    ASSERT_EQ(LoadText(text, "chain.mpd"), 1);
    EXPECT_EQ(model.inputLog, "");
    EXPECT_FLOAT_EQ(model.Main().box.max.z, 1500 + 1);
}

}  // namespace
