// Item texts and lazy filling of the model tree, on parts built by hand.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "loader.h"
#include "model.h"
#include "test_support.h"
#include "treeview.h"

using inspect::ComposeItemText;
using inspect::kTextBfc;
using inspect::kTextBoundingBox;
using inspect::kTextNormal;
using inspect::TreeModel;

namespace {

// Owns hand-built lines and parts; the parts are in no model's table.
class Builder {
  public:
    QzLine& Comment(const std::string& text, uint32_t bfc = 0, uint32_t lineNo = 1) {
        texts.push_back(text);
        QzLine& line = NewLine(0, 0, lineNo);
        line.text = texts.back().data();
        line.bfc = bfc;
        return line;
    }
    // "1 colour x y z a b c d e f g h i part"
    QzLine& Ref(int32_t colour, const float f[12], QzPart* part, uint32_t bfc = 0,
                uint32_t lineNo = 1) {
        QzLine& line = NewLine(1, colour, lineNo);
        QzMatrix& m = QzLineMatrix(line);
        m = QzMatrix{{{f[3], f[4], f[5], f[0]},
                      {f[6], f[7], f[8], f[1]},
                      {f[9], f[10], f[11], f[2]},
                      {0, 0, 0, 1}}};
        line.part = part;
        line.bfc = bfc;
        return line;
    }
    QzLine& Poly(int32_t type, int32_t colour, std::vector<QzVector> points, uint32_t bfc = 0,
                 uint32_t lineNo = 1) {
        QzLine& line = NewLine(type, colour, lineNo);
        for (size_t i = 0; i < points.size() && i < 4; ++i) {
            line.p[i] = {points[i].x, points[i].y, points[i].z, 1.0f};
        }
        line.bfc = bfc;
        return line;
    }
    QzLine& NewLine(int32_t type, int32_t colour, uint32_t lineNo) {
        QzLine& line = lines.emplace_back();
        line = QzLine{};
        line.type = type;
        line.colour = colour;
        line.lineNo = lineNo;
        return line;
    }
    QzPart& Part(const std::string& name, std::vector<QzLine*> partLines, QzBox box = {}) {
        QzPart& part = parts.emplace_back();
        part.name = name;
        part.box = box;
        for (size_t i = 0; i + 1 < partLines.size(); ++i) partLines[i]->next = partLines[i + 1];
        if (!partLines.empty()) partLines.back()->next = nullptr;
        part.lines = partLines.empty() ? nullptr : partLines.front();
        return part;
    }

  private:
    std::deque<QzLine> lines;
    std::deque<QzPart> parts;
    std::deque<std::string> texts;
};

const float kIdentityAt[12] = {10, -8, 20, 1, 0, 0, 0, 1, 0, 0, 0, 1};
const float kCounting[12] = {10, 20, 30, 1, 2, 3, 4, 5, 6, 7, 8, 9};

// ---- Texts of single lines -------------------------------------------------------

struct TextCase {
    const char* name;
    int textMode;
    bool lineNumbers;
    const char* expected;
};

class ItemTextTest : public ::testing::TestWithParam<TextCase> {
  protected:
    ItemTextTest() { brick = &b.Part("3001.dat", {}, QzBox{{-40, -24, -20}, {40, 0, 20}}); }
    // The line under test for a case name.
    const QzLine& LineFor(const std::string& name) {
        if (name.starts_with("comment")) return b.Comment("Brick 2 x 4", 0, 1);
        if (name.starts_with("bfcstatement")) return b.Comment("BFC CERTIFY CCW", 0x21, 2);
        if (name.starts_with("ref_cull_invert"))
            return b.Ref(16, kIdentityAt, brick, LF_CULL | LF_INVERT, 12);
        if (name.starts_with("ref_cull_mirror"))
            return b.Ref(16, kIdentityAt, brick, LF_CULL | LF_MIRROR, 12);
        if (name.starts_with("ref_invert_only"))
            return b.Ref(16, kIdentityAt, brick, LF_INVERT, 12);
        if (name.starts_with("ref_direct")) return b.Ref(0x2FF0000, kCounting, brick, 0, 3);
        if (name.starts_with("ref_generated")) return b.Ref(4, kCounting, brick, 0, 0);
        if (name.starts_with("edge"))
            return b.Poly(2, 24, {{0, 0, 0}, {1.5f, -2.25f, 1e-7f}}, 0, 4);
        if (name.starts_with("tri_cull"))
            return b.Poly(3, 4, {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}}, LF_CULL, 5);
        if (name.starts_with("tri_plain"))
            return b.Poly(3, 4, {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}}, 0, 5);
        if (name.starts_with("quad_cull"))
            return b.Poly(4, 0x2000000, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, LF_CULL, 6);
        if (name.starts_with("optional"))
            return b.Poly(5, 24, {{0, 0, 0}, {0, -4, 0}, {1, 0, 0}, {-1, 0, 0}}, 0, 7);
        return b.NewLine(7, 0, 8);
    }
    Builder b;
    QzPart* brick;
};

TEST_P(ItemTextTest, ComposesLikeTheLdrawLine) {
    const TextCase& c = GetParam();
    EXPECT_EQ(ComposeItemText(LineFor(c.name), c.lineNumbers, c.textMode), c.expected);
}

const TextCase kTextCases[] = {
    // Normal mode: the line as written, numbers as stored.
    {"comment_normal", kTextNormal, false, "0 Brick 2 x 4"},
    {"ref_direct_normal", kTextNormal, false,
     "1 0x2FF0000  10 20 30  1 2 3  4 5 6  7 8 9  3001.dat"},
    {"ref_cull_invert_normal", kTextNormal, false, "1 16  10 -8 20  1 0 0  0 1 0  0 0 1  3001.dat"},
    {"edge_normal", kTextNormal, false, "2 24  0 0 0  1.5 -2.25 1e-007"},
    {"tri_cull_normal", kTextNormal, false, "3 4  0 0 0  10 0 0  0 10 0"},
    {"quad_cull_normal", kTextNormal, false, "4 0x2000000  0 0 0  1 0 0  1 1 0  0 1 0"},
    {"optional_normal", kTextNormal, false, "5 24  0 0 0  0 -4 0  1 0 0  -1 0 0"},
    {"unknown_normal", kTextNormal, false, "Unknown linetype: 7"},
    // Line numbers: number, colon, blank; generated lines show 0.
    {"ref_cull_invert_numbers", kTextNormal, true,
     "12: 1 16  10 -8 20  1 0 0  0 1 0  0 0 1  3001.dat"},
    {"ref_generated_numbers", kTextNormal, true, "0: 1 4  10 20 30  1 2 3  4 5 6  7 8 9  3001.dat"},
    {"unknown_numbers", kTextNormal, true, "8: Unknown linetype: 7"},
    // BFC mode: flag text after the number, before the line.
    {"comment_bfc", kTextBfc, false, "0x0 0 Brick 2 x 4"},
    {"bfcstatement_bfc", kTextBfc, false, "0x21 0 BFC CERTIFY CCW"},
    {"bfcstatement_bfc_numbers", kTextBfc, true, "2: 0x21 0 BFC CERTIFY CCW"},
    {"ref_cull_invert_bfc", kTextBfc, false,
     "CLIP INVERT 1 16  10 -8 20  1 0 0  0 1 0  0 0 1  3001.dat"},
    {"ref_cull_mirror_bfc", kTextBfc, true,
     "12: CLIP 1 16  10 -8 20  1 0 0  0 1 0  0 0 1  3001.dat"},
    {"ref_invert_only_bfc", kTextBfc, false, "1 16  10 -8 20  1 0 0  0 1 0  0 0 1  3001.dat"},
    {"edge_bfc", kTextBfc, false, "2 24  0 0 0  1.5 -2.25 1e-007"},
    {"tri_cull_bfc", kTextBfc, false, "CLIP 3 4  0 0 0  10 0 0  0 10 0"},
    {"tri_plain_bfc", kTextBfc, false, "3 4  0 0 0  10 0 0  0 10 0"},
    {"quad_cull_bfc", kTextBfc, true, "6: CLIP 4 0x2000000  0 0 0  1 0 0  1 1 0  0 1 0"},
    {"optional_bfc", kTextBfc, false, "5 24  0 0 0  0 -4 0  1 0 0  -1 0 0"},
    {"unknown_bfc", kTextBfc, false, "Unknown linetype: 7"},
    // Bounding-box mode: only references change, to the referenced part's own box.
    {"ref_cull_invert_bbox", kTextBoundingBox, false, "1 16  <-40,-24,-20> <40,0,20>  3001.dat"},
    {"ref_direct_bbox", kTextBoundingBox, true,
     "3: 1 0x2FF0000  <-40,-24,-20> <40,0,20>  3001.dat"},
    {"comment_bbox", kTextBoundingBox, false, "0 Brick 2 x 4"},
    {"bfcstatement_bbox", kTextBoundingBox, false, "0 BFC CERTIFY CCW"},
    {"edge_bbox", kTextBoundingBox, false, "2 24  0 0 0  1.5 -2.25 1e-007"},
    {"tri_cull_bbox", kTextBoundingBox, false, "3 4  0 0 0  10 0 0  0 10 0"},
    {"quad_cull_bbox", kTextBoundingBox, false, "4 0x2000000  0 0 0  1 0 0  1 1 0  0 1 0"},
    {"optional_bbox", kTextBoundingBox, false, "5 24  0 0 0  0 -4 0  1 0 0  -1 0 0"},
    {"unknown_bbox", kTextBoundingBox, false, "Unknown linetype: 7"},
};

INSTANTIATE_TEST_SUITE_P(Lines, ItemTextTest, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ItemText, ColourJustOutsideTheDirectRangeIsDecimal) {
    Builder b;
    QzPart& part = b.Part("a.dat", {});
    EXPECT_EQ(ComposeItemText(b.Ref(0x1FFFFFF, kCounting, &part), false, kTextBoundingBox),
              "1 33554431  <0,0,0> <0,0,0>  a.dat");
    EXPECT_EQ(ComposeItemText(b.Ref(0x8000000, kCounting, &part), false, kTextBoundingBox),
              "1 134217728  <0,0,0> <0,0,0>  a.dat");
    EXPECT_EQ(ComposeItemText(b.Ref(0x7FFFFFF, kCounting, &part), false, kTextBoundingBox),
              "1 0x7FFFFFF  <0,0,0> <0,0,0>  a.dat");
}

TEST(ItemText, EmptyPartBoxShowsItsResetBounds) {
    Builder b;
    QzPart& part = b.Part("empty.dat", {}, QzBox{{1e16f, 1e16f, 1e16f}, {-1e16f, -1e16f, -1e16f}});
    EXPECT_EQ(ComposeItemText(b.Ref(16, kCounting, &part), false, kTextBoundingBox),
              "1 16  <1e+016,1e+016,1e+016> <-1e+016,-1e+016,-1e+016>  empty.dat");
}

// Texts longer than the old fixed work buffers come out whole.
TEST(ItemText, LongCommentsAndNamesAreNotCut) {
    Builder b;
    const std::string comment = "Long " + std::string(990, 'c') + " end";
    EXPECT_EQ(ComposeItemText(b.Comment(comment, 0, 123456), true, kTextBfc),
              "123456: 0x0 0 " + comment);
    const std::string name = std::string(250, 'n') + ".dat";
    QzPart& part = b.Part(name, {});
    const float big[12] = {-1.23457e+10f, 1e-30f, 123456789.0f, 1, 0, 0, 0, 1, 0, 0, 0, 1};
    EXPECT_EQ(
        ComposeItemText(b.Ref(0x7ABCDEF, big, &part, LF_CULL | LF_INVERT, 99999), true, kTextBfc),
        "99999: CLIP INVERT 1 0x7ABCDEF  -1.23457e+010 1e-030 1.23457e+008  1 0 0  0 1 0  "
        "0 0 1  " +
            name);
}

// ---- The tree ----------------------------------------------------------------

class TreeTest : public ::testing::Test {
  protected:
    std::vector<std::string> Texts(TreeModel& tree, TreeModel::ItemId parent) {
        std::vector<std::string> texts;
        for (TreeModel::ItemId child : tree.Children(parent)) {
            texts.push_back(tree.OnGetItemText(child));
        }
        return texts;
    }
    Builder b;
};

TEST_F(TreeTest, ThreeLinesGiveThreeTopItemsAndOnlyTheReferenceCanOpen) {
    QzPart& brick = b.Part("3001.dat", {&b.Poly(2, 24, {{0, 0, 0}, {1, 0, 0}})});
    QzPart& model =
        b.Part("model.ldr", {&b.Comment("Model", 0, 1), &b.Ref(4, kIdentityAt, &brick, 0, 2),
                             &b.Poly(3, 1, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, 0, 3)});
    TreeModel tree;
    tree.Open(&model);
    const auto& top = tree.Children(TreeModel::kRoot);
    ASSERT_EQ(top.size(), 3u);
    EXPECT_FALSE(tree.HasExpandButton(top[0]));
    EXPECT_TRUE(tree.HasExpandButton(top[1]));
    EXPECT_FALSE(tree.HasExpandButton(top[2]));
    EXPECT_TRUE(tree.IsPlaceholder(tree.Children(top[1]).front()));
    EXPECT_EQ(tree.OnGetItemText(tree.Children(top[1]).front()), "");
    EXPECT_EQ(Texts(tree, TreeModel::kRoot),
              (std::vector<std::string>{"0 Model", "1 4  10 -8 20  1 0 0  0 1 0  0 0 1  3001.dat",
                                        "3 1  0 0 0  1 0 0  0 1 0"}));
    EXPECT_EQ(tree.LiveItemCount(), 4u);
}

TEST_F(TreeTest, OpeningFillsOnceAndNeverTwice) {
    QzPart& stud = b.Part("stud.dat", {&b.Poly(2, 24, {{0, 0, 0}, {0, -4, 0}}, 0, 1)});
    QzPart& brick =
        b.Part("3001.dat", {&b.Comment("Brick", 0, 1), &b.Ref(16, kIdentityAt, &stud, LF_CULL, 2)});
    QzPart& model = b.Part("model.ldr", {&b.Ref(4, kIdentityAt, &brick, 0, 1)});
    TreeModel tree;
    tree.Open(&model);
    const TreeModel::ItemId ref = tree.Children(TreeModel::kRoot).front();
    EXPECT_TRUE(tree.OnItemExpanding(ref));  // open
    EXPECT_EQ(Texts(tree, ref), (std::vector<std::string>{
                                    "0 Brick", "1 16  10 -8 20  1 0 0  0 1 0  0 0 1  stud.dat"}));
    EXPECT_TRUE(tree.OnItemExpanding(ref));  // close
    EXPECT_TRUE(tree.OnItemExpanding(ref));  // open again
    ASSERT_EQ(tree.Children(ref).size(), 2u);
    // The nested reference is filled the same way, to any depth.
    const TreeModel::ItemId studRef = tree.Children(ref)[1];
    EXPECT_EQ(tree.Parent(studRef), ref);
    tree.OnItemExpanding(studRef);
    tree.OnItemExpanding(studRef);
    EXPECT_EQ(Texts(tree, studRef), (std::vector<std::string>{"2 24  0 0 0  0 -4 0"}));
    EXPECT_EQ(tree.LiveItemCount(), 4u);
}

TEST_F(TreeTest, PartWithoutLinesLosesItsButtonAndStaysEmpty) {
    QzPart& empty = b.Part("empty.dat", {});
    QzPart& model = b.Part("model.ldr", {&b.Ref(4, kIdentityAt, &empty, 0, 1)});
    TreeModel tree;
    tree.Open(&model);
    const TreeModel::ItemId ref = tree.Children(TreeModel::kRoot).front();
    const TreeModel::ItemId placeholder = tree.Children(ref).front();
    EXPECT_TRUE(tree.OnItemExpanding(ref));
    EXPECT_FALSE(tree.HasExpandButton(ref));
    EXPECT_FALSE(tree.IsValid(placeholder));
    // Another opening notification for the childless item changes nothing.
    EXPECT_TRUE(tree.OnItemExpanding(ref));
    EXPECT_TRUE(tree.Children(ref).empty());
    EXPECT_EQ(tree.LiveItemCount(), 1u);
}

TEST_F(TreeTest, TextsFollowTheOptionsAndOpeningStartsFresh) {
    QzPart& brick = b.Part("3001.dat", {}, QzBox{{-40, -24, -20}, {40, 0, 20}});
    QzPart& model = b.Part("model.ldr", {&b.Ref(4, kIdentityAt, &brick, LF_CULL | LF_INVERT, 7)});
    TreeModel tree;
    tree.Open(&model);
    const TreeModel::ItemId ref = tree.Children(TreeModel::kRoot).front();
    tree.SetShowLineNumbers(true);
    tree.SetTextMode(kTextBfc);
    EXPECT_EQ(tree.OnGetItemText(ref),
              "7: CLIP INVERT 1 4  10 -8 20  1 0 0  0 1 0  0 0 1  3001.dat");
    tree.SetTextMode(kTextBoundingBox);
    EXPECT_EQ(tree.OnGetItemText(ref), "7: 1 4  <-40,-24,-20> <40,0,20>  3001.dat");
    tree.Open(&model);
    EXPECT_FALSE(tree.ShowLineNumbers());
    EXPECT_EQ(tree.TextMode(), kTextNormal);
    EXPECT_EQ(tree.OnGetItemText(tree.Children(TreeModel::kRoot).front()),
              "1 4  10 -8 20  1 0 0  0 1 0  0 0 1  3001.dat");
}

TEST_F(TreeTest, TheTwoPreviousTextsStayValid) {
    QzPart& model = b.Part("model.ldr", {&b.Comment("one"), &b.Comment("two"), &b.Comment("three"),
                                         &b.Comment("four")});
    TreeModel tree;
    tree.Open(&model);
    const auto& top = tree.Children(TreeModel::kRoot);
    const std::string& first = tree.OnGetItemText(top[0]);
    const std::string& second = tree.OnGetItemText(top[1]);
    const std::string& third = tree.OnGetItemText(top[2]);
    EXPECT_EQ(first, "0 one");
    EXPECT_EQ(second, "0 two");
    EXPECT_EQ(third, "0 three");
    EXPECT_EQ(tree.OnGetItemText(top[3]), "0 four");
    EXPECT_EQ(second, "0 two");
    EXPECT_EQ(third, "0 three");
}

TEST_F(TreeTest, NoModelGivesAnEmptyTree) {
    TreeModel tree;
    tree.Open(nullptr);
    EXPECT_TRUE(tree.Children(TreeModel::kRoot).empty());
    QzPart& noLines = b.Part("model.ldr", {});
    tree.Open(&noLines);
    EXPECT_TRUE(tree.Children(TreeModel::kRoot).empty());
    EXPECT_TRUE(tree.OnItemExpanding(TreeModel::kRoot));
    EXPECT_TRUE(tree.OnItemExpanding(12345));
    EXPECT_EQ(tree.OnGetItemText(12345), "");
}

// ---- A model read from files --------------------------------------------------

class ReadTreeTest : public ::testing::Test {
  protected:
    // Every item below `parent` opened, depth first, each text indented by level.
    void Collect(TreeModel& tree, TreeModel::ItemId parent, int level, std::string& out) {
        const std::vector<TreeModel::ItemId> children = tree.Children(parent);
        for (TreeModel::ItemId item : children) {
            out += std::string(2 * level, ' ') + tree.OnGetItemText(item) + "\n";
            tree.OnItemExpanding(item);
            Collect(tree, item, level + 1, out);
        }
    }
};

// Transform blocks show as the lines the reader generated (number 0) with the block's
// lines below them; an unknown line type never reaches the tree from a file.
TEST_F(ReadTreeTest, ReaderLinesWithNumbersAndFlags) {
    testing_support::ScopedMessageBox boxes;
    testing_support::TempDir dir;
    dir.Write("parts/edge.dat", "2 24 0 0 0 1 0 0\n");
    const std::string model = dir.Write("m.ldr",
                                        "0 Blocks\n"
                                        "0 TRANSLATE 10 0 0\n"
                                        "2 24 0 0 0 1 0 0\n"
                                        "0 TRANSLATE END\n"
                                        "0 ROTATE 90 0 1 0\n"
                                        "1 16 0 0 0 1 0 0 0 1 0 0 0 1 edge.dat\n"
                                        "0 ROTATE END\n"
                                        "0 // comment\n"
                                        "\n"
                                        "0 BFC INVERTNEXT\n"
                                        "1 0x2FF0000 0 0 0 1 0 0 0 1 0 0 0 1 edge.dat\n"
                                        "1 16 0 0 0 -1 0 0 0 1 0 0 0 1 edge.dat\n"
                                        "7 0 this line has an unknown type\n");
    QzModel loaded;
    QzPalette palette;
    QzLoadSettings settings;
    settings.ldrawDir = dir.path().string();
    ASSERT_EQ(QzReadModel(loaded, model, settings, palette), 1);
    EXPECT_TRUE(boxes.box.calls.empty());
    EXPECT_NE(loaded.inputLog.find("Unknown line type"), std::string::npos) << loaded.inputLog;

    TreeModel tree;
    tree.Open(&loaded.Main());
    tree.SetShowLineNumbers(true);
    tree.SetTextMode(kTextBfc);
    std::string out;
    Collect(tree, TreeModel::kRoot, 0, out);
    EXPECT_EQ(out,
              "1: 0x0 0 Blocks\n"
              "2: 0x0 0 TRANSLATE 10 0 0\n"
              "0: 1 16  10 0 0  1 0 0  0 1 0  0 0 1  QzTransf0\n"
              "  3: 2 24  0 0 0  1 0 0\n"
              "4: 0x0 0 TRANSLATE END\n"
              "5: 0x0 0 ROTATE 90 0 1 0\n"
              "0: 1 16  0 0 0  6.12323e-017 0 1  0 1 0  -1 0 6.12323e-017  QzTransf1\n"
              "  6: CLIP 1 16  0 0 0  1 0 0  0 1 0  0 0 1  edge.dat\n"
              "    1: 2 24  0 0 0  1 0 0\n"
              "7: 0x0 0 ROTATE END\n"
              "8: 0x0 0 // comment\n"
              "10: 0x80 0 BFC INVERTNEXT\n"
              "11: CLIP INVERT 1 0x2FF0000  0 0 0  1 0 0  0 1 0  0 0 1  edge.dat\n"
              "  1: 2 24  0 0 0  1 0 0\n"
              "12: CLIP INVERT 1 16  0 0 0  -1 0 0  0 1 0  0 0 1  edge.dat\n"
              "  1: 2 24  0 0 0  1 0 0\n");

    // Bounding-box mode changes the references only.
    tree.SetShowLineNumbers(false);
    tree.SetTextMode(kTextBoundingBox);
    const auto& top = tree.Children(TreeModel::kRoot);
    ASSERT_EQ(top.size(), 11u);
    EXPECT_EQ(tree.OnGetItemText(top[2]), "1 16  <0,0,0> <1,0,0>  QzTransf0");
    EXPECT_EQ(tree.OnGetItemText(top[3]), "0 TRANSLATE END");
    EXPECT_EQ(tree.OnGetItemText(top[9]), "1 0x2FF0000  <0,0,0> <1,0,0>  edge.dat");
    EXPECT_EQ(tree.OnGetItemText(top[8]), "0 BFC INVERTNEXT");
}

}  // namespace
