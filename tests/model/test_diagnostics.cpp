#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "clock.h"
#include "diagnostics.h"
#include "files.h"
#include "loader.h"
#include "model.h"
#include "test_support.h"

namespace {

using testing_support::ScopedMessageBox;

class Diagnostics : public ::testing::Test {
  protected:
    void SetUp() override {
        log.currentFile = "parts\\3001.dat";
        log.currentLine = 7;
        log.currentLineText = "2 99 0 0 0 1 1 1";
    }
    void ClearLog() {
        inputLog.clear();
        diagnostics.clear();
    }
    std::string inputLog;
    std::vector<QzDiagnostic> diagnostics;
    QzLogContext log{inputLog, diagnostics};
};

TEST_F(Diagnostics, WarningLine) {
    QzWarn(log, 0, QZ_WARNING, "Unknown color, using %d", 7);
    EXPECT_EQ(inputLog,
              "WARNING \"parts\\3001.dat\" Line 7: Unknown color, using 7: 2 99 0 0 0 1 1 1\r\n");
}

TEST_F(Diagnostics, SkippingAndAsIsAccumulateInOrder) {
    QzWarn(log, 0, QZ_SKIPPING, "Bad line");
    log.currentLine = 4000000000u;
    log.currentLineText = "";
    QzWarn(log, 0, QZ_WARNING, "%s", "Odd");
    QzWarn(log, 0, QZ_ASIS, "Could not find %s", "x.dat");
    EXPECT_EQ(inputLog,
              "SKIPPING \"parts\\3001.dat\" Line 7: Bad line: 2 99 0 0 0 1 1 1\r\n"
              "WARNING \"parts\\3001.dat\" Line 4000000000: Odd: \r\n"
              "Could not find x.dat\r\n");
}

TEST_F(Diagnostics, LevelsAboveWarningLevelAreDropped) {
    QzWarn(log, 1, QZ_WARNING, "Identical vertices");
    QzWarn(log, 3, QZ_ASIS, "pedantic");
    EXPECT_EQ(inputLog, "");
    log.warningLevel = 1;
    QzWarn(log, 1, QZ_ASIS, "Identical vertices");
    QzWarn(log, 2, QZ_ASIS, "not yet");
    EXPECT_EQ(inputLog, "Identical vertices\r\n");
}

TEST_F(Diagnostics, NumbersUseThreeDigitExponents) {
    QzWarn(log, 0, QZ_ASIS, "%g %e", 1e-5, 1.5e10);
    EXPECT_EQ(inputLog, "1e-005 1.500000e+010\r\n");
}

TEST_F(Diagnostics, LongEntryIsCutTo1999Characters) {
    log.currentLineText = std::string(3000, 'L');
    QzWarn(log, 0, QZ_WARNING, "Bad");
    const std::string head = "WARNING \"parts\\3001.dat\" Line 7: Bad: ";
    ASSERT_EQ(inputLog.size(), 1999u + 2u);
    EXPECT_EQ(inputLog.substr(0, head.size()), head);
    EXPECT_EQ(inputLog.substr(head.size()), std::string(1999 - head.size(), 'L') + "\r\n");

    ClearLog();
    QzWarn(log, 0, QZ_ASIS, "%s", std::string(1999, 'a').c_str());
    EXPECT_EQ(inputLog, std::string(1999, 'a') + "\r\n");
    ClearLog();
    QzWarn(log, 0, QZ_ASIS, "%s", std::string(2000, 'a').c_str());
    EXPECT_EQ(inputLog, std::string(1999, 'a') + "\r\n");
}

TEST_F(Diagnostics, CutNeverSplitsACharacter) {
    // 1998 ASCII bytes and a two-byte character: the character does not fit whole.
    QzWarn(log, 0, QZ_ASIS, "%s\xC3\xA9x", std::string(1998, 'a').c_str());
    EXPECT_EQ(inputLog, std::string(1998, 'a') + "\r\n");
}

TEST_F(Diagnostics, CutOfTextThatIsNotUtf8KeepsEverythingThatFits) {
    // Latin-1 symbols such as the copyright sign (0xA9) look like UTF-8 continuation
    // bytes; a long run of them must not make the entry lose what came before.
    QzWarn(log, 0, QZ_ASIS, "(c) %s", std::string(3000, '\xA9').c_str());
    EXPECT_EQ(inputLog, "(c) " + std::string(1995, '\xA9') + "\r\n");
    // Four-byte characters are still kept whole or dropped whole.
    ClearLog();
    QzWarn(log, 0, QZ_ASIS, "%s\xF0\x9F\x98\x80", std::string(1996, 'a').c_str());
    EXPECT_EQ(inputLog, std::string(1996, 'a') + "\r\n");
    ClearLog();
    QzWarn(log, 0, QZ_ASIS, "%s\xF0\x9F\x98\x80", std::string(1995, 'a').c_str());
    EXPECT_EQ(inputLog, std::string(1995, 'a') + "\xF0\x9F\x98\x80\r\n");
}

TEST_F(Diagnostics, ComposeStaysInWorkingBuffer) {
    EXPECT_EQ(QzCompose("Could not find %s\nReferenced by %s", "a.dat", "main.ldr"),
              "Could not find a.dat\nReferenced by main.ldr");
    const std::string name(300, 'n');
    const std::string composed =
        QzCompose("Could not find %s\nReferenced by %s", name.c_str(), name.c_str());
    EXPECT_EQ(composed, ("Could not find " + name + "\nReferenced by " + name).substr(0, 399));
    EXPECT_EQ(QzCompose("%s", std::string(399, 'x').c_str()).size(), 399u);
    // A three-byte character straddling the limit is dropped whole.
    EXPECT_EQ(QzCompose("%s\xE2\x82\xAC", std::string(397, 'x').c_str()), std::string(397, 'x'));
    EXPECT_EQ(QzCompose("%s\xE2\x82\xAC", std::string(396, 'x').c_str()),
              std::string(396, 'x') + "\xE2\x82\xAC");
}

TEST_F(Diagnostics, ErrorShowsStopBoxAndLeavesLog) {
    ScopedMessageBox boxes;
    inputLog = "kept\r\n";
    QzError("Sorry, max 2000 parts.");
    ASSERT_EQ(boxes.box.calls.size(), 1u);
    EXPECT_EQ(boxes.box.calls[0].text, "Sorry, max 2000 parts.");
    EXPECT_EQ(boxes.box.calls[0].kind, plat::MessageKind::Stop);
    EXPECT_EQ(inputLog, "kept\r\n");
}

TEST_F(Diagnostics, LoadEmptiesLogTitleAndAuthor) {
    ScopedMessageBox boxes;
    testing_support::TempDir dir;
    QzModel model;
    QzLogContext modelLog(model.inputLog, model.inputDiagnostics);
    QzWarn(modelLog, 0, QZ_ASIS, "x");
    model.modelTitle = "House";
    model.modelAuthor = "Zarvel team";
    QzPalette palette;
    QzLoadSettings settings;
    settings.ldrawDir = dir.path().string();
    // A model that cannot be found adds nothing of its own to the log.
    EXPECT_EQ(QzLoadModel(model, (dir.path() / "none.ldr").string(), settings, palette, true), 0);
    EXPECT_EQ(model.inputLog, "");
    EXPECT_TRUE(model.inputDiagnostics.empty());
    EXPECT_EQ(model.modelTitle, "");
    EXPECT_EQ(model.modelAuthor, "");
}

std::time_t FixedTime() { return 1765153845; }

class DebugLog : public Diagnostics {
  protected:
    void SetUp() override {
        Diagnostics::SetUp();
        const char* old = std::getenv("TMPDIR");
        if (old) savedTmp_ = old;
        hadTmp_ = old != nullptr;
        setenv("TMPDIR", dir_.path().c_str(), 1);
        plat::SetTimeSource(FixedTime);
        QzDebugEnabled = false;
    }
    void TearDown() override {
        QzDebugEnabled = false;
        plat::SetTimeSource(nullptr);
        if (hadTmp_) {
            setenv("TMPDIR", savedTmp_.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }
    std::string ReadLog() {
        std::ifstream in(plat::DebugLogPath(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    testing_support::TempDir dir_;
    std::string savedTmp_;
    bool hadTmp_ = false;
};

// Checks one debug line: time of day, blank, tick count right-aligned in nine places,
// blank, text.
void ExpectDebugLine(const std::string& line, const std::string& text) {
    const std::string time = plat::TimeOfDay();
    ASSERT_EQ(line.size(), time.size() + 1 + 9 + 1 + text.size()) << line;
    EXPECT_EQ(line.substr(0, time.size() + 1), time + " ");
    const std::string tick = line.substr(time.size() + 1, 9);
    const size_t digits = tick.find_first_not_of(' ');
    ASSERT_NE(digits, std::string::npos);
    EXPECT_EQ(tick.find_first_not_of("0123456789", digits), std::string::npos) << tick;
    EXPECT_EQ(line.substr(time.size() + 10), " " + text);
}

TEST_F(DebugLog, NothingWhenDisabled) {
    QzDebugLog("RedrawModel()\n");
    EXPECT_FALSE(std::ifstream(plat::DebugLogPath()).good());
}

TEST_F(DebugLog, EachCallAppendsOneLine) {
    EXPECT_EQ(plat::DebugLogPath().rfind(dir_.path().string(), 0), 0u);
    { std::ofstream(plat::DebugLogPath(), std::ios::binary) << "earlier run\n"; }
    QzDebugEnabled = true;
    QzDebugLog("LoadModel: %d (%d %d)\n", 1, 2, 3);
    QzDebugLog("RedrawModel()\n");
    const std::string log = ReadLog();
    ASSERT_EQ(log.rfind("earlier run\n", 0), 0u);
    std::istringstream lines(log.substr(12));
    std::string first, second, extra;
    ASSERT_TRUE(std::getline(lines, first));
    ASSERT_TRUE(std::getline(lines, second));
    EXPECT_FALSE(std::getline(lines, extra));
    ExpectDebugLine(first, "LoadModel: 1 (2 3)");
    ExpectDebugLine(second, "RedrawModel()");
}

}  // namespace
