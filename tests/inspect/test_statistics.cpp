// The statistics report text, from a part table and measurements set by hand.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "diagnostics.h"
#include "loader.h"
#include "measurements.h"
#include "model.h"
#include "statistics.h"
#include "test_support.h"
#include "viewtransform.h"
#include "zimage.h"

using inspect::StatisticsText;

namespace {

// The orientation of the default view, as the view's state holds it.
constexpr std::array<float, 16> kView0 = {1, 0, 1, 0, 0.5f, 1, -0.5f, 0, -1, 0, 1, 0, 0, 0, 0, 1};

class StatisticsTest : public ::testing::Test {
  protected:
    QzPart& AddPart(const std::string& name, QzBox box, uint32_t flags) {
        QzLogContext log(model.inputLog, model.inputDiagnostics);
        QzPart* part = QzFindPart(model, log, false, name);
        EXPECT_NE(part, nullptr);
        part->box = box;
        part->flags |= flags;
        return *part;
    }
    std::string Report(const std::array<float, 16>& view) {
        return StatisticsText(model, drawing, view);
    }

    QzModel model;
    // The measurements of the last drawing.
    QzDrawStatistics drawing;
};

// A small model with every kind of part entry, and its report under view 0.
class WholeReport : public StatisticsTest {
  protected:
    void SetUp() override {
        StatisticsTest::SetUp();
        model.modelTitle = "Small house";
        model.modelAuthor = "A. Builder";
        AddPart("/models/house.ldr", QzBox{{-40, -48, -20}, {60, 0, 30}}, PF_READ);
        AddPart("3001.dat", QzBox{{-40, -24, -20}, {40, 0, 20}}, PF_READ | PF_PARTS_DIR);
        AddPart("stud.dat", QzBox{{-6, -4, -6}, {6, 0, 6}}, PF_READ | PF_PRIM_DIR);
        AddPart("missing.dat", QzBox{{0, 0, 0}, {0, 0, 0}}, PF_READ | PF_EMPTY);
        model.loadTimeMs = 125;
        drawing.drawTimeMs = 31;
        drawing.calcTimeMs = 7;
        drawing.typeCount[1] = 9;
        drawing.typeCount[2] = 120;
        drawing.typeCount[3] = 64;
        drawing.typeCount[4] = 300;
        drawing.typeCount[5] = 44;
    }

    const std::string expected =
        "Title:\tSmall house\r\n"
        "Author:\tA. Builder\r\n"
        "\r\n"
        "BoundingBox:\t<-40,-48,-20> <60,0,30>\r\n"
        "Center:\t<10,-24,5>\r\n"
        "Size:\t<100,48,50>\r\n"
        "\r\n"
        "Current view matrix one-liner for LDraw -a option: (except scaling):\r\n"
        "1,0,1,0.5,1,-0.5,-1,0,1\r\n"
        "\r\n"
        "Timing:\r\n"
        "\tLoad:\t125 ms\r\n"
        "\tDraw:\t31 ms\r\n"
        "\tCalc:\t7 ms (only in debug mode)\r\n"
        "\r\n"
        "LineTypes:\r\n"
        "\t1\t9\r\n"
        "\t2\t120\r\n"
        "\t3\t64\r\n"
        "\t4\t300\r\n"
        "\t5\t44\r\n"
        "\r\n"
        "DatName\tPARTS\tEmpty\tBoundingBox\r\n"
        "/models/house.ldr\t0\t0\t<-40,-48,-20> <60,0,30>\r\n"
        "3001.dat\t1\t0\t<-40,-24,-20> <40,0,20>\r\n"
        "stud.dat\t0\t0\t<-6,-4,-6> <6,0,6>\r\n"
        "missing.dat\t0\t1\t<0,0,0> <0,0,0>\r\n"
        "\r\n"
        "Current view matrix (except scaling and translation):\r\n"
        "1\t0\t1\t0\r\n"
        "0.5\t1\t-0.5\t0\r\n"
        "-1\t0\t1\t0\r\n"
        "0\t0\t0\t1\r\n"
        "\r\n"
        "Current view matrix one-liner for LDraw -a option: (except scaling):\r\n"
        "1,0,1,0.5,1,-0.5,-1,0,1\r\n";
};

TEST_F(WholeReport, MatchesTheFixedText) { EXPECT_EQ(Report(kView0), expected); }

// The desktop toolkit takes the locale from the environment; numbers in the report and
// the matrix text of view 0 must still use points.
TEST_F(WholeReport, IsTheSameUnderACommaLocale) {
    testing_support::ScopedCommaLocale comma;
    if (!comma.Active()) GTEST_SKIP() << "no German locale on this machine";
    QzNullSink sink;
    QzRenderState state(&sink);
    EXPECT_EQ(Report(state.GetViewMatrix()), expected);
}

TEST_F(StatisticsTest, NoModelLoaded) {
    const std::array<float, 16> front = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const std::string expected =
        "Title:\t\r\n"
        "Author:\t\r\n"
        "\r\n"
        "BoundingBox:\t<0,0,0> <0,0,0>\r\n"
        "Center:\t<0,0,0>\r\n"
        "Size:\t<0,0,0>\r\n"
        "\r\n"
        "Current view matrix one-liner for LDraw -a option: (except scaling):\r\n"
        "1,0,0,0,1,0,0,0,1\r\n"
        "\r\n"
        "Timing:\r\n"
        "\tLoad:\t0 ms\r\n"
        "\tDraw:\t0 ms\r\n"
        "\tCalc:\t0 ms (only in debug mode)\r\n"
        "\r\n"
        "LineTypes:\r\n"
        "\t1\t0\r\n"
        "\t2\t0\r\n"
        "\t3\t0\r\n"
        "\t4\t0\r\n"
        "\t5\t0\r\n"
        "\r\n"
        "DatName\tPARTS\tEmpty\tBoundingBox\r\n"
        "\r\n"
        "Current view matrix (except scaling and translation):\r\n"
        "1\t0\t0\t0\r\n"
        "0\t1\t0\t0\r\n"
        "0\t0\t1\t0\r\n"
        "0\t0\t0\t1\r\n"
        "\r\n"
        "Current view matrix one-liner for LDraw -a option: (except scaling):\r\n"
        "1,0,0,0,1,0,0,0,1\r\n";
    EXPECT_EQ(Report(front), expected);
}

// The one-liner holds only the 3x3 orientation, to four significant digits, and is
// written twice with the same numbers; the matrix block shows all sixteen with six.
TEST_F(StatisticsTest, OneLinerAndMatrixNumbers) {
    const std::array<float, 16> view = {
        0.70710677f, 0,     -0.70710677f, 11, 0.35355338f, 0.8660254f, 0.35355338f, 22,
        0.61237246f, -0.5f, 0.61237246f,  33, 1e-8f,       0,          0,           1};
    const std::string text = Report(view);
    const std::string oneLiner =
        "Current view matrix one-liner for LDraw -a option: (except scaling):\r\n"
        "0.7071,0,-0.7071,0.3536,0.866,0.3536,0.6124,-0.5,0.6124\r\n";
    const size_t first = text.find(oneLiner);
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_NE(text.find(oneLiner, first + 1), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\n\r\n" + oneLiner)) << text;
    EXPECT_NE(text.find("Current view matrix (except scaling and translation):\r\n"
                        "0.707107\t0\t-0.707107\t11\r\n"
                        "0.353553\t0.866025\t0.353553\t22\r\n"
                        "0.612372\t-0.5\t0.612372\t33\r\n"
                        "1e-008\t0\t0\t1\r\n"),
              std::string::npos)
        << text;
}

TEST_F(StatisticsTest, NumbersUseThreeDigitExponents) {
    AddPart("big.ldr", QzBox{{-1.5e7f, 0, 0}, {1.5e7f, 2e-5f, 1}}, 0);
    const std::string text = Report(kView0);
    EXPECT_NE(text.find("BoundingBox:\t<-1.5e+007,0,0> <1.5e+007,2e-005,1>\r\n"
                        "Center:\t<0,1e-005,0.5>\r\n"
                        "Size:\t<3e+007,2e-005,1>\r\n"),
              std::string::npos)
        << text;
}

// Texts longer than a line buffer of 400 characters come out whole.
TEST_F(StatisticsTest, LongTitleAuthorAndNamesAreNotCut) {
    model.modelTitle = std::string(399, 't');
    model.modelAuthor = std::string(399, 'a');
    const std::string name = std::string(255, 'n') + ".dat";
    AddPart("model.ldr", QzBox{}, 0);
    AddPart(name, QzBox{{-1.23457e10f, -1.23457e10f, -1.23457e10f}, {1e-30f, 1e-30f, 1e-30f}},
            PF_PARTS_DIR | PF_EMPTY);
    const std::string text = Report(kView0);
    EXPECT_TRUE(text.starts_with("Title:\t" + model.modelTitle + "\r\nAuthor:\t" +
                                 model.modelAuthor + "\r\n\r\n"));
    EXPECT_NE(text.find("\r\n" + name +
                        "\t1\t1\t<-1.23457e+010,-1.23457e+010,-1.23457e+010> "
                        "<1e-030,1e-030,1e-030>\r\n"),
              std::string::npos)
        << text;
}

// The text between the last one-liner header and the end: the nine numbers.
std::string LastOneLiner(const std::string& report) {
    const std::string header =
        "Current view matrix one-liner for LDraw -a option: (except scaling):\r\n";
    const size_t at = report.rfind(header);
    return at == std::string::npos ? std::string() : report.substr(at + header.size());
}

TEST_F(StatisticsTest, ViewStateGivesTheOneLinerOfItsStandardView) {
    QzNullSink sink;
    QzRenderState state(&sink);
    EXPECT_EQ(LastOneLiner(Report(state.GetViewMatrix())), "1,0,1,0.5,1,-0.5,-1,0,1\r\n");
    state.SetStandardView(9);
    EXPECT_EQ(LastOneLiner(Report(state.GetViewMatrix())), "1,0,0,0,1,0,0,0,1\r\n");
    state.SetStandardView(13);
    EXPECT_EQ(LastOneLiner(Report(state.GetViewMatrix())), "0,0,1,1,0,0,0,1,0\r\n");
}

// Passing the one-liner back as a view matrix restores the orientation, to the four
// digits it is written with.
TEST_F(StatisticsTest, OneLinerReadBackRestoresEveryStandardView) {
    QzNullSink sink;
    for (int number = 0; number < QZ_STANDARD_VIEWS; ++number) {
        QzRenderState state(&sink);
        state.SetStandardView(number);
        std::string oneLiner = LastOneLiner(Report(state.GetViewMatrix()));
        ASSERT_TRUE(oneLiner.ends_with("\r\n")) << number;
        oneLiner.resize(oneLiner.size() - 2);

        QzRenderState restored(&sink);
        restored.SetStandardView(11);
        ASSERT_TRUE(restored.SetViewMatrix(oneLiner.c_str(), true)) << oneLiner;
        const std::array<float, 16> a = state.GetViewMatrix();
        const std::array<float, 16> b = restored.GetViewMatrix();
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], 1e-4) << number << " " << i;
        EXPECT_EQ(LastOneLiner(Report(restored.GetViewMatrix())), oneLiner + "\r\n") << number;
    }
}

// With the parts cache, a second model's report lists the first model's parts too,
// where they stand in the table.
TEST_F(StatisticsTest, CachedPartsOfAnEarlierModelAreListed) {
    testing_support::ScopedMessageBox boxes;
    testing_support::TempDir dir;
    dir.Write("parts/a.dat", "2 24 0 0 0 1 0 0\n");
    dir.Write("parts/b.dat", "2 24 0 0 0 0 2 0\n");
    const std::string first = dir.Write("first.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 a.dat\n");
    const std::string second = dir.Write("second.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 b.dat\n");
    QzLoadSettings settings;
    settings.ldrawDir = dir.path().string();
    QzPalette palette;
    ASSERT_EQ(QzReadModel(model, first, settings, palette), 1);
    model.inputLog.clear();
    model.inputDiagnostics.clear();
    ASSERT_EQ(QzReadModel(model, second, settings, palette), 1);
    EXPECT_TRUE(boxes.box.calls.empty());
    const std::string text = Report(kView0);
    EXPECT_NE(text.find("DatName\tPARTS\tEmpty\tBoundingBox\r\n" + second +
                        "\t0\t0\t<0,0,0> <0,2,0>\r\n"
                        "a.dat\t1\t0\t<0,0,0> <1,0,0>\r\n"
                        "b.dat\t1\t0\t<0,0,0> <0,2,0>\r\n\r\n"),
              std::string::npos)
        << text;
}

}  // namespace
