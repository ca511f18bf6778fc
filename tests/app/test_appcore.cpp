// The desktop program's logic without windows: switches, the document's loading and
// polling, the command table, the LDraw directory search and the frame's texts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "clock.h"
#include "commandids.h"
#include "commands.h"
#include "diagnostics.h"
#include "doccore.h"
#include "files.h"
#include "frametexts.h"
#include "ldrawdir.h"
#include "loader.h"
#include "measurements.h"
#include "model.h"
#include "modelexport.h"
#include "switches.h"
#include "test_support.h"
#include "viewtransform.h"

namespace {

using testing_support::ScopedMessageBox;
using testing_support::TempDir;
using Args = std::vector<std::string>;

// ---- Switches ----

TEST(Switches, OnlyADashStartsOne) {
    EXPECT_TRUE(QzIsSwitch("-PollSilent"));
    EXPECT_TRUE(QzIsSwitch("--help"));
    EXPECT_FALSE(QzIsSwitch("/home/user/models/house.mpd"));
    EXPECT_FALSE(QzIsSwitch("house.mpd"));
    EXPECT_FALSE(QzIsSwitch(""));
}

TEST(Switches, StandardIntegerConversion) {
    const std::pair<const char*, int> cases[] = {{"250abc", 250},
                                                 {"abc", 0},
                                                 {"-50", -50},
                                                 {"  +7", 7},
                                                 {"", 0},
                                                 {"- 5", 0},
                                                 {"4.9", 4},
                                                 {"99999999999", 2147483647},
                                                 {"-99999999999", -2147483647 - 1}};
    for (const auto& [text, value] : cases) EXPECT_EQ(QzStandardToInt(text), value) << text;
}

TEST(Switches, CommandLineNamesTheFileAndWhatToDoWithIt) {
    struct Case {
        Args args;
        QzCommandLineInfo::Command command;
        std::string file;
    };
    const Case cases[] = {
        {{}, QzCommandLineInfo::FileNew, ""},
        {{"-PollSilent", "-v4"}, QzCommandLineInfo::FileNew, ""},
        {{"/abs/house.mpd"}, QzCommandLineInfo::FileOpen, "/abs/house.mpd"},
        {{"-NoCache", "a.ldr", "b.ldr"}, QzCommandLineInfo::FileOpen, "a.ldr"},
        {{"-p", "a.ldr"}, QzCommandLineInfo::FilePrint, "a.ldr"},
        {{"-pt", "a.ldr", "printer", "driver", "port"}, QzCommandLineInfo::FilePrintTo, "a.ldr"},
        // Unquoted numbers of an "a" switch: the first loose number is taken for the file.
        {{"-a1", "0", "0"}, QzCommandLineInfo::FileOpen, "0"},
    };
    for (const Case& c : cases) {
        const QzCommandLineInfo info = QzParseCommandLine(c.args);
        EXPECT_EQ(info.command, c.command) << ::testing::PrintToString(c.args);
        EXPECT_EQ(info.fileName, c.file) << ::testing::PrintToString(c.args);
    }
}

TEST(Switches, WindowSizes) {
    using Size = std::optional<std::pair<int, int>>;
    const std::pair<Args, Size> cases[] = {
        {{"-v4"}, std::pair{800, 600}},
        {{"-V6"}, std::pair{1280, 1024}},
        {{"-v"}, std::pair{320, 200}},
        {{"-vx"}, std::pair{320, 200}},
        {{"-v9"}, std::nullopt},
        {{"-v5", "-v9"}, std::pair{1024, 768}},
        {{"/v4"}, std::nullopt},
        {{"house.mpd"}, std::nullopt},
        // Decimal, leading zeros and all: 010 is ten, no size; 0x2 is 0.
        {{"-v03"}, std::pair{640, 480}},
        {{"-v010"}, std::nullopt},
        {{"-v0x2"}, std::pair{320, 200}},
    };
    for (const auto& [args, size] : cases)
        EXPECT_EQ(QzFrameSizeSwitch(args), size) << ::testing::PrintToString(args);
}

TEST(Switches, ViewMatrixSwitches) {
    QzNullSink sink;
    QzRenderState state(&sink);
    QzApplyViewSwitches({"-a0,0,1,0,1,0,-1,0,0", "-A1 0 0 0 1 0 0 0 1", "-a1,2,3"}, state);
    const std::array<float, 16> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(state.GetViewMatrix(), identity);
    EXPECT_TRUE(state.skewView);
}

// ---- The document ----

class RecordingHost : public QzDocumentHost {
  public:
    QzPalette& Palette() override { return palette; }
    void ShowInputLog() override { logs.push_back(model ? model->inputLog : std::string()); }
    void UpdateAllViews(int hint) override { hints.push_back(hint); }
    uint32_t StartTimer(int intervalMs) override {
        EXPECT_EQ(intervalMs, 500);
        running = true;
        return ++timers;
    }
    void StopTimer(uint32_t) override { running = false; }
    void FileOpened(const QzPart& part, const std::string& path) override {
        if (opened) opened(part, path);
    }
    void ModelFileMissing(bool now, const std::string& path) override {
        missing.push_back(now ? path : "");
    }
    uint32_t ClockMs() override { return clock; }
    std::function<void(const QzPart&, const std::string&)> opened;
    // What the status bar was told about the model file: its path while it is missing,
    // "" once it is back.
    std::vector<std::string> missing;
    uint32_t clock = 4000000000u;  // wraps during the tests
    // The model whose log is shown.
    const QzModel* model = nullptr;
    QzPalette palette;
    std::vector<std::string> logs;
    std::vector<int> hints;
    bool running = false;
    uint32_t timers = 0;
};

class Document : public ::testing::Test {
  protected:
    void SetUp() override {
        doc.settings.ldrawDir = testing_support::ExamplesDir().string();
        host.model = &doc.model;
        model = dir.Write("model.ldr", "0 Title\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
    }
    // Rewrites the model with a new last-write time.
    void Rewrite(const std::string& text) {
        std::ofstream(model) << text;
        const auto now = std::filesystem::file_time_type::clock::now();
        std::filesystem::last_write_time(model, now + std::chrono::seconds(++touches));
        plat::ClearPathCache();
    }
    TempDir dir;
    std::string model;
    ScopedMessageBox boxes;
    RecordingHost host;
    QzDocument doc{host};
    int touches = 0;
};

TEST_F(Document, OpenLoadsShowsTheLogAndTellsTheViews) {
    ASSERT_TRUE(doc.OpenDocument(model));
    EXPECT_EQ(doc.pathName, model);
    EXPECT_EQ(doc.model.modelTitle, "Title");
    EXPECT_EQ(host.logs, std::vector<std::string>{""});
    EXPECT_EQ(host.hints, std::vector<int>{HINT_MODEL_LOADED});
    plat::FileTime onDisk;
    ASSERT_TRUE(plat::GetLastWriteTime(model, onDisk));
    EXPECT_EQ(doc.fileTime, onDisk);

    // A file that does not open keeps the previous document.
    EXPECT_FALSE(doc.OpenDocument(dir.path().string() + "/missing.ldr"));
    EXPECT_EQ(doc.pathName, model);
    ASSERT_EQ(boxes.box.calls.size(), 1u);
    EXPECT_EQ(boxes.box.calls[0].text, "Failed to open document.");
}

TEST_F(Document, FailedLoadStillShowsTheLogAndTellsTheViews) {
    doc.pollMode = QzCmd::PollSilent;
    const std::string first = dir.Write("first.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 second.ldr\n");
    dir.Write("second.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 first.ldr\n");
    EXPECT_FALSE(doc.OpenDocument(first));
    EXPECT_EQ(doc.pathName, "");
    ASSERT_EQ(host.logs.size(), 1u);
    EXPECT_EQ(host.logs[0].rfind("Recursive references: ", 0), 0u) << host.logs[0];
    EXPECT_EQ(host.hints, std::vector<int>{HINT_MODEL_LOADED_SILENT});
    EXPECT_FALSE(host.running);
}

TEST_F(Document, SwitchesSetPollModeAndCache) {
    const std::pair<Args, QzCmd> modes[] = {
        {{"-PollActivate"}, QzCmd::PollActivate}, {{"-PollSilent"}, QzCmd::PollSilent},
        {{"-PollOff"}, QzCmd::PollOff},           {{"-PollSilent", "-PollAsk"}, QzCmd::PollAsk},
        {{"-pollsilent"}, QzCmd::PollAsk},        {{"/PollSilent"}, QzCmd::PollAsk},
    };
    for (const auto& [args, mode] : modes) {
        QzDocument d(host);
        d.ReadSwitches(args);
        EXPECT_TRUE(d.pollMode == mode) << args[0];
        EXPECT_TRUE(d.cacheSubfiles);
    }
    QzDocument d(host);
    d.ReadSwitches({"-NoCache"});
    EXPECT_FALSE(d.cacheSubfiles);
}

TEST_F(Document, PollingReloadsAChangedFileWithoutAsking) {
    doc.SetPollMode(QzCmd::PollSilent);
    EXPECT_TRUE(host.running);
    ASSERT_TRUE(doc.OpenDocument(model));
    doc.OnPollTimer();
    EXPECT_EQ(host.logs.size(), 1u) << "unchanged file reloaded";
    Rewrite("0 Second title\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
    doc.OnPollTimer();
    EXPECT_EQ(host.logs.size(), 2u);
    EXPECT_EQ(doc.model.modelTitle, "Second title");
    EXPECT_TRUE(boxes.box.calls.empty());

    // Choosing the other poll mode keeps the running timer.
    const uint32_t timer = doc.pollTimer;
    doc.SetPollMode(QzCmd::PollActivate);
    EXPECT_EQ(doc.pollTimer, timer);
}

// Editors that save by renaming the old file away and writing a new one: the model file
// is missing for a moment. Each way of checking waits for it quietly, tells the status
// bar, and reloads once it is back; only a file missing for longer than a few seconds is
// reported, in one box.
struct MissingCase {
    QzCmd mode;
    const char* name;
};

void PrintTo(const MissingCase& c, std::ostream* out) { *out << c.name; }

class MissingModelFile : public Document, public ::testing::WithParamInterface<MissingCase> {
  protected:
    void SetUp() override {
        Document::SetUp();
        doc.SetPollMode(GetParam().mode);
        ASSERT_TRUE(doc.OpenDocument(model));
        host.missing.clear();
    }
    // A check as the mode makes it: a tick of the timer, or the window activated.
    void Check(uint32_t atMs) {
        host.clock = start + atMs;
        if (GetParam().mode == QzCmd::PollAsk)
            doc.OnViewActivated();
        else
            doc.OnPollTimer();
    }
    void MoveAway() { std::filesystem::rename(model, model + "~"); }
    const uint32_t start = 4294965000u;
};

TEST_P(MissingModelFile, ASaveByRenameIsWaitedForAndReloaded) {
    boxes.box.answer = plat::MessageAnswer::Yes;  // PollAsk: reload
    for (int save = 1; save <= 3; ++save) {
        MoveAway();
        Check(0);
        Check(600);
        EXPECT_TRUE(boxes.box.calls.empty()) << boxes.box.calls[0].text;
        EXPECT_TRUE(doc.ModelFileMissing());
        EXPECT_EQ(host.missing, std::vector<std::string>{model});
        const std::string title = "Save " + std::to_string(save);
        Rewrite("0 " + title + "\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        Check(1100);
        EXPECT_EQ(doc.model.modelTitle, title);
        EXPECT_FALSE(doc.ModelFileMissing());
        EXPECT_EQ(host.missing, (std::vector<std::string>{model, ""}));
        EXPECT_EQ(host.running, GetParam().mode != QzCmd::PollAsk);
        host.missing.clear();
        if (GetParam().mode == QzCmd::PollAsk) boxes.box.calls.clear();  // the question
    }
    EXPECT_TRUE(boxes.box.calls.empty());
}

TEST_P(MissingModelFile, AFileGoneForGoodGivesOneBox) {
    MoveAway();
    for (uint32_t at = 0; at <= QzDocument::kMissingReportMs; at += 500) Check(at);
    EXPECT_TRUE(boxes.box.calls.empty()) << "reported within the grace time";
    for (uint32_t at = QzDocument::kMissingReportMs + 1; at < 20000; at += 500) Check(at);
    ASSERT_EQ(boxes.box.calls.size(), 1u);
    EXPECT_EQ(boxes.box.calls[0].text, "Failed read timestamp of '" + model + "'.");
    EXPECT_EQ(boxes.box.calls[0].kind, plat::MessageKind::Stop);
    EXPECT_EQ(host.missing, std::vector<std::string>{model});
    EXPECT_EQ(host.running, GetParam().mode != QzCmd::PollAsk);
    EXPECT_EQ(host.logs.size(), 1u);

    // Back much later: the checks went on, and a changed file is read.
    boxes.box.answer = plat::MessageAnswer::Yes;
    Rewrite("0 Back\n");
    Check(60000);
    EXPECT_EQ(doc.model.modelTitle, "Back");
    EXPECT_EQ(host.missing, (std::vector<std::string>{model, ""}));
    // Missing again: a new absence, with its own grace time and box.
    boxes.box.calls.clear();
    MoveAway();
    Check(70000);
    EXPECT_TRUE(boxes.box.calls.empty());
    Check(70000 + QzDocument::kMissingReportMs + 1);
    EXPECT_EQ(boxes.box.calls.size(), 1u);
}

TEST_P(MissingModelFile, TheSameFileBackUnchangedIsNotReloaded) {
    MoveAway();
    Check(0);
    std::filesystem::rename(model + "~", model);
    Check(500);
    EXPECT_EQ(host.logs.size(), 1u);
    EXPECT_TRUE(boxes.box.calls.empty());
    EXPECT_EQ(host.missing, (std::vector<std::string>{model, ""}));
}

INSTANTIATE_TEST_SUITE_P(PollModes, MissingModelFile,
                         ::testing::Values(MissingCase{QzCmd::PollSilent, "PollSilent"},
                                           MissingCase{QzCmd::PollActivate, "PollActivate"},
                                           MissingCase{QzCmd::PollAsk, "PollAsk"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The status bar says the file is waited for only while something checks for it: not
// after Manual reload is chosen, nor after a reload failed and stopped the timer.
TEST_F(Document, NothingWaitsForAMissingFileWhenNothingChecks) {
    for (const bool manual : {true, false}) {
        SCOPED_TRACE(manual ? "manual reload" : "failed reload");
        doc.SetPollMode(QzCmd::PollSilent);
        ASSERT_TRUE(doc.OpenDocument(model));
        host.missing.clear();
        std::filesystem::rename(model, model + "~");
        doc.OnPollTimer();
        ASSERT_TRUE(doc.ModelFileMissing());
        if (manual)
            doc.SetPollMode(QzCmd::PollOff);
        else
            doc.Reload();
        EXPECT_FALSE(host.running);
        EXPECT_FALSE(doc.ModelFileMissing());
        EXPECT_EQ(host.missing, (std::vector<std::string>{model, ""}));
        std::filesystem::rename(model + "~", model);
    }
    // In "Ask on activate" the activations go on checking.
    doc.SetPollMode(QzCmd::PollAsk);
    std::filesystem::rename(model, model + "~");
    doc.OnViewActivated();
    doc.SetPollMode(QzCmd::PollAsk);
    EXPECT_TRUE(doc.ModelFileMissing());
}

TEST_F(Document, AChangeWhileTheFileLoadsIsSeenByTheNextCheck) {
    doc.SetPollMode(QzCmd::PollSilent);
    // The editor saves again between the time stamp and the reading of the file.
    host.opened = [this](const QzPart& part, const std::string&) {
        if (part.name != model) return;
        host.opened = nullptr;
        Rewrite("0 Saved during the load\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
    };
    ASSERT_TRUE(doc.OpenDocument(model));
    EXPECT_EQ(doc.model.modelTitle, "Title");  // the file as it was opened
    // The time stamp is older than the file: the check reads it again, once.
    doc.OnPollTimer();
    EXPECT_EQ(host.logs.size(), 2u);
    EXPECT_EQ(doc.model.modelTitle, "Saved during the load");
    doc.OnPollTimer();
    EXPECT_EQ(host.logs.size(), 2u);
}

TEST_F(Document, AskOnActivateAsksOncePerChange) {
    ASSERT_TRUE(doc.OpenDocument(model));
    Rewrite("0 Changed\n");
    boxes.box.answer = plat::MessageAnswer::No;
    doc.OnViewActivated();
    doc.OnViewActivated();
    ASSERT_EQ(boxes.box.calls.size(), 1u);
    EXPECT_EQ(boxes.box.calls[0].text,
              "The model '" + model + "' has been modified.\nDo you want to reload?");
    EXPECT_EQ(boxes.box.calls[0].kind, plat::MessageKind::Question);
    EXPECT_EQ(host.logs.size(), 1u);

    Rewrite("0 Changed again\n");
    boxes.box.answer = plat::MessageAnswer::Yes;
    doc.OnViewActivated();
    EXPECT_EQ(boxes.box.calls.size(), 2u);
    EXPECT_EQ(host.logs.size(), 2u);
    EXPECT_EQ(doc.model.modelTitle, "Changed again");
}

TEST_F(Document, GuardsAgainstChecksInsideLoadsAndQuestions) {
    ASSERT_TRUE(doc.OpenDocument(model));
    Rewrite("0 Changed\n");
    doc.loading = true;
    doc.OnViewActivated();
    doc.loading = false;
    doc.asking = true;
    doc.OnViewActivated();
    doc.asking = false;
    EXPECT_TRUE(boxes.box.calls.empty());
    EXPECT_EQ(host.logs.size(), 1u);
}

TEST_F(Document, ChecksWaitWhileAWindowShowsModelData) {
    doc.SetPollMode(QzCmd::PollSilent);
    ASSERT_TRUE(doc.OpenDocument(model));
    const QzLine* shown = doc.model.parts[0].lines;
    {
        QzDocument::ReloadHold tree(&doc);
        {
            QzDocument::ReloadHold box(&doc);
            Rewrite("0 Changed\n");
            doc.OnPollTimer();
            doc.OnPollTimer();
        }
        EXPECT_EQ(host.logs.size(), 1u);
        EXPECT_EQ(doc.model.parts[0].lines, shown) << "lines the window shows were freed";
    }
    // Once the last window has closed, the check runs once.
    EXPECT_EQ(host.logs.size(), 2u);
    EXPECT_EQ(doc.model.modelTitle, "Changed");
}

TEST_F(Document, NoFileOpenNothingHappens) {
    doc.Reload();
    doc.OnViewActivated();
    doc.SetPollMode(QzCmd::PollActivate);
    EXPECT_TRUE(host.running);
    doc.OnPollTimer();
    EXPECT_TRUE(host.logs.empty());
    EXPECT_TRUE(boxes.box.calls.empty());
}

TEST_F(Document, ReloadShowsTheEditOfAnMpdSectionWithTheCacheOn) {
    model = dir.Write("m.mpd",
                      "0 FILE m.mpd\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 sub.ldr\n"
                      "0 FILE sub.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
    ASSERT_TRUE(doc.cacheSubfiles);
    ASSERT_TRUE(doc.OpenDocument(model));
    Rewrite(
        "0 FILE m.mpd\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 sub.ldr\n"
        "0 FILE sub.ldr\n1 2 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
    doc.Reload();
    EXPECT_EQ(host.logs.back(), "");  // no "FILE sub.ldr already read"
    const QzLine* reference = doc.model.Main().lines;
    while (reference && reference->type != 1) reference = reference->next;
    ASSERT_NE(reference, nullptr);
    const QzLine* line = reference->part->lines;
    while (line && line->type != 1) line = line->next;
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->colour, 2);
}

TEST_F(Document, WithoutTheCacheEveryLoadRereadsTheSubfiles) {
    const std::string part = dir.Write("zlocal.dat", "0 Local part\n2 24 0 0 0 1 1 1\n");
    model = dir.Write("model.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zlocal.dat\n");
    for (bool cache : {true, false}) {
        doc.cacheSubfiles = cache;
        ASSERT_TRUE(doc.OpenDocument(model));
        std::ofstream(part) << "0 Local part\n2 24 0 0 0 1 1 1\n2 24 0 0 0 2 2 2\n";
        plat::ClearPathCache();
        doc.Reload();
        const QzPart* sub = doc.model.parts[0].lines->part;
        int lines = 0;
        for (const QzLine* l = sub->lines; l; l = l->next) ++lines;
        EXPECT_EQ(lines, cache ? 2 : 3) << "cache " << cache;
        doc.model = QzModel();
        std::ofstream(part) << "0 Local part\n2 24 0 0 0 1 1 1\n";
    }
}

// ---- File > Export ----

TEST(ExportDialog, TheNameFollowsTheTypeChosenAndGetsItsExtension) {
    struct Case {
        std::string chosen;
        int filter;
        std::string path;       // written for the name chosen under the filter
        std::string following;  // shown when the filter is chosen
    };
    for (const Case& c : {Case{"/m/house.glb", 2, "/m/house.glb", "/m/house.stl"},
                          Case{"/m/house", 2, "/m/house.stl", "/m/house.stl"},
                          Case{"/m/house.OBJ", 0, "/m/house.OBJ", "/m/house.glb"},
                          Case{"/m/v1.2", 1, "/m/v1.2.gltf", "/m/v1.2.gltf"},
                          Case{"/m/house.ldr", 3, "/m/house.ldr.obj", "/m/house.ldr.obj"},
                          Case{"house", 7, "house.glb", "house.glb"}}) {
        EXPECT_EQ(QzExportPath(c.chosen, c.filter), c.path) << c.chosen;
        EXPECT_EQ(QzExportNameForFilter(c.chosen, c.filter), c.following) << c.chosen;
    }
    EXPECT_EQ(QzExportFilters(),
              (std::vector<std::string>{"glTF binary (*.glb)", "glTF with its .bin (*.gltf)",
                                        "STL (*.stl)", "OBJ with its .mtl (*.obj)"}));
}

// ---- The command table ----

TEST(CommandTable, IdentifiersAreUniqueAndEveryMenuCommandHasItsTexts) {
    std::set<int> ids;
    for (int i = 0; i < QZ_COMMAND_COUNT; ++i) {
        const QzCommand& c = QzCommandOf(static_cast<QzCmd>(i));
        EXPECT_TRUE(ids.insert(c.id).second) << c.id;
        EXPECT_EQ(QzFindCommand(c.id), &c) << c.id;
        if (c.option) {
            EXPECT_TRUE(c.run && c.checked) << c.id;
        }
    }
    for (int v = 0; v < 15; ++v) EXPECT_NE(QzCommandOf(QzViewCommand(v)).run, nullptr) << v;
    const QzCommand& logging = QzCommandOf(QzCmd::Logging);
    EXPECT_EQ(QzCommandStatusTip(logging), "Log debug info to file (" + plat::DebugLogPath() + ")");
    const QzCommand& shading = QzCommandOf(QzCmd::Shading);
    EXPECT_EQ(QzCommandStatusTip(shading), "Turn shading on or off");
    EXPECT_EQ(QzCommandToolTip(shading), "Shading");
    EXPECT_EQ(QzCommandToolTip(QzCommandOf(QzCmd::Bfc)), "");
}

TEST(CommandTable, KeepsTheCommandNumbersAndMenuTexts) {
    // Hints, settings and the toolbar's images refer to these numbers.
    EXPECT_EQ(QzCommandOf(QzCmd::FileOpen).id, 57601);
    EXPECT_EQ(QzCommandOf(QzCmd::PollAsk).id, 32865);
    EXPECT_EQ(QzCommandOf(QzViewCommand(0)).id, 32857);
    EXPECT_EQ(QzCommandOf(QzCmd::Export).id, 32880);
    EXPECT_STREQ(QzCommandOf(QzCmd::Export).menuText, "&Export...");
    EXPECT_EQ(QzCommandOf(QzViewCommand(14)).id, 32792);
    EXPECT_EQ(QzCommandOf(QzSchemeCommand(3)).id, 32869);
    EXPECT_EQ(QzCommandOf(QzRendererCommand(3)).id, 32799);
    EXPECT_EQ(QzCommandMenuText(QzCommandOf(QzCmd::FileOpen)), "&Open...\tCtrl+O");
    EXPECT_EQ(QzCommandMenuText(QzCommandOf(QzCmd::Reload)), "&Reload model\tF5");
    EXPECT_EQ(QzCommandMenuText(QzCommandOf(QzCmd::Shading)), "S&hading");
    EXPECT_EQ(QzCommandMenuText(QzCommandOf(QzCmd::PartsList)), "Parts List...");
    EXPECT_EQ(QzCommandMenuText(QzCommandOf(QzCmd::FirstStep)), "First Step\tHome");
    EXPECT_EQ(QzCommandMenuText(QzCommandOf(QzCmd::PreviousStep)), "Previous Step\tPgUp");
    EXPECT_EQ(QzCommandMenuText(QzCommandOf(QzCmd::NextStep)), "Next Step\tPgDown");
    EXPECT_EQ(QzCommandMenuText(QzCommandOf(QzCmd::LastStep)), "Last Step\tEnd");
    // Commands with nothing behind them are disabled.
    EXPECT_FALSE(QzCommandEnabled(QzCommandOf(QzCmd::EditCopy)));
    EXPECT_FALSE(QzCommandEnabled(QzCommandOf(QzCmd::FileStatistics)));
    EXPECT_TRUE(QzCommandEnabled(QzCommandOf(QzCmd::AppAbout)));
}

// A drawing state and a model as the commands see them.
class Commands : public ::testing::Test, public QzCommandTarget {
  protected:
    QzRenderState& State() override { return state; }
    QzModel& Model() override { return model; }
    void Run(QzCmd cmd) {
        const QzCommand& c = QzCommandOf(cmd);
        ASSERT_NE(c.run, nullptr);
        c.run(*this);
    }
    bool Checked(QzCmd cmd) { return QzCommandOf(cmd).checked(*this); }
    void RememberHighQuality(bool on) override { remembered.push_back(on); }
    std::vector<bool> remembered;
    QzNullSink sink;
    QzRenderState state{&sink};
    QzModel model;
    ScopedMessageBox boxes;
};

TEST_F(Commands, SeamsOverwriteTheLineTypes) {
    QzRenderOptions& o = state.options;
    Run(QzCmd::Seams);
    EXPECT_TRUE(o.seams && !o.showType2 && o.showType3 && o.showType4 && !o.showType5);
    Run(QzCmd::ShowType2);
    Run(QzCmd::Seams);
    EXPECT_TRUE(!o.seams && o.showType2 && o.showType3 && o.showType4 && o.showType5);
}

TEST_F(Commands, HighQualityIsADrawingSwitchTheProgramKeeps) {
    const QzCommand& c = QzCommandOf(QzCmd::HighQuality);
    EXPECT_EQ(c.id, 32876);
    EXPECT_EQ(QzCommandMenuText(c), "High &Quality");
    EXPECT_EQ(QzCommandToolTip(c), "High Quality");
    EXPECT_EQ(c.kind, QzCommandKind::Drawing);
    EXPECT_FALSE(Checked(QzCmd::HighQuality));
    Run(QzCmd::HighQuality);
    EXPECT_TRUE(state.options.highQuality && Checked(QzCmd::HighQuality));
    Run(QzCmd::HighQuality);
    EXPECT_FALSE(state.options.highQuality);
    EXPECT_EQ(remembered, (std::vector<bool>{true, false}));
}

TEST_F(Commands, RefreshAfterEachPartTurnsStudsLastOver) {
    Run(QzCmd::RefreshEachPart);
    EXPECT_TRUE(Checked(QzCmd::RefreshEachPart));
    EXPECT_FALSE(Checked(QzCmd::StudsLast));
    Run(QzCmd::RefreshEachPart);
    EXPECT_TRUE(Checked(QzCmd::StudsLast));
    Run(QzCmd::StudsLast);
    EXPECT_FALSE(Checked(QzCmd::RefreshEachPart));
}

TEST_F(Commands, OnlyRendererThreeIsChosen) {
    Run(QzRendererCommand(1));
    ASSERT_EQ(boxes.box.calls.size(), 1u);
    EXPECT_EQ(boxes.box.calls[0].text, "Renderer type 1 needs to be implemented...");
    EXPECT_EQ(boxes.box.calls[0].kind, plat::MessageKind::Stop);
    EXPECT_TRUE(Checked(QzRendererCommand(3)));
    EXPECT_FALSE(Checked(QzRendererCommand(1)));
    Run(QzCmd::RefreshDisplay);
    EXPECT_EQ(boxes.box.calls.back().text, "Refresh: needs implementation...");
    EXPECT_EQ(boxes.box.calls.back().kind, plat::MessageKind::Exclamation);
}

TEST_F(Commands, LoggingWritesItsTwoLines) {
    TempDir tmp;
    const std::optional<std::string> oldTmp = plat::GetEnv("TMPDIR");
    setenv("TMPDIR", tmp.path().c_str(), 1);
    plat::SetTimeSource([] { return std::time_t{1796725821}; });
    Run(QzCmd::Logging);
    EXPECT_TRUE(Checked(QzCmd::Logging));
    Run(QzCmd::Logging);
    EXPECT_FALSE(Checked(QzCmd::Logging));
    plat::SetTimeSource(nullptr);
    std::ifstream in(tmp.path() / "QzDebug.txt");
    std::string enabled, rule, disabled;
    std::getline(in, enabled);
    std::getline(in, rule);
    std::getline(in, disabled);
    const std::string date = plat::DateText(std::time_t{1796725821});
    ASSERT_EQ(date.size(), 24u);
    EXPECT_EQ(enabled.substr(enabled.find("Qz ")), "Qz logging enabled " + date);
    EXPECT_EQ(rule, "---------------------");
    EXPECT_EQ(disabled.substr(disabled.find("Qz ")), "Qz logging disabled " + date);
    if (oldTmp)
        setenv("TMPDIR", oldTmp->c_str(), 1);
    else
        unsetenv("TMPDIR");
}

TEST_F(Commands, SchemesAndStandardViews) {
    Run(QzSchemeCommand(2));
    EXPECT_EQ(state.palette.scheme, 2);
    EXPECT_TRUE(Checked(QzSchemeCommand(2)));
    Run(QzViewCommand(9));
    const std::array<float, 16> front = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(state.GetViewMatrix(), front);
    state.zoom = 250;
    Run(QzViewCommand(1));
    EXPECT_EQ(state.zoom, 250);
}

TEST_F(Commands, CommandLineSwitchesGoThroughTheCommands) {
    EXPECT_TRUE(QzSetOption(state, model, "seams", true));
    EXPECT_FALSE(state.options.showType2);
    EXPECT_TRUE(QzSetOption(state, model, "seams", true));  // already on: nothing changes
    EXPECT_TRUE(state.options.seams);
    EXPECT_TRUE(QzSetOption(state, model, "showAxes", true));
    EXPECT_TRUE(state.showAxes);
    EXPECT_TRUE(QzSetOption(state, model, "randomColours", false));
    EXPECT_FALSE(state.options.randomColours);
    EXPECT_FALSE(QzSetOption(state, model, "sparkle", true));
    EXPECT_FALSE(QzIsOption("seamWidth"));
}

// The Test menu's two switches: named on the command line for what they do, the names
// scripts may have used before still taken; their menu texts as they always were.
TEST_F(Commands, TestMenuSwitchesByTheirNamesAndTheirFormerOnes) {
    struct Case {
        const char* name;
        bool QzRenderOptions::*field;
        QzCmd command;
        const char* menuText;
    };
    for (const Case& c : {
             Case{"bfcTestColours", &QzRenderOptions::bfcTestColours, QzCmd::BfcTestColours,
                  "mytest&6"},
             Case{"mytest6", &QzRenderOptions::bfcTestColours, QzCmd::BfcTestColours, "mytest&6"},
             Case{"flushAfterEveryPart", &QzRenderOptions::flushAfterEveryPart,
                  QzCmd::FlushAfterEveryPart, "mytest&5"},
             Case{"mytest5", &QzRenderOptions::flushAfterEveryPart, QzCmd::FlushAfterEveryPart,
                  "mytest&5"},
         }) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(QzIsOption(c.name));
        state.options.*c.field = false;
        EXPECT_TRUE(QzSetOption(state, model, c.name, true));
        EXPECT_TRUE(state.options.*c.field);
        EXPECT_TRUE(QzSetOption(state, model, c.name, false));
        EXPECT_FALSE(state.options.*c.field);
        const QzCommand& command = QzCommandOf(c.command);
        EXPECT_STREQ(command.menuText, c.menuText);
        EXPECT_GT(QzCommandStatusTip(command).size(), 20u);  // says what it does
    }
    EXPECT_EQ(QzCommandStatusTip(QzCommandOf(QzCmd::VertexLists)).find("NOT IMPLEMENTED"),
              std::string::npos);
}

// ---- LDraw directory ----

class LDrawDirSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        saved = plat::GetEnv("LDRAWDIR");
        savedConfig = plat::GetEnv("XDG_CONFIG_HOME");
        setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        unsetenv("LDRAWDIR");
    }
    void TearDown() override {
        if (saved)
            setenv("LDRAWDIR", saved->c_str(), 1);
        else
            unsetenv("LDRAWDIR");
        setenv("XDG_CONFIG_HOME", savedConfig->c_str(), 1);
    }
    std::string Find(const std::string& stored) {
        stores.clear();
        return QzFindLDrawDir(stored, [this](const std::string& d) { stores.push_back(d); });
    }
    TempDir config;
    std::optional<std::string> saved, savedConfig;
    std::vector<std::string> stores;
};

TEST_F(LDrawDirSearch, StoredThenEnvironmentThenIni) {
    config.Write("ldraw.ini",
                 "; comment\n[other]\nBaseDirectory=/wrong\n[LDRAW]\n"
                 "  basedirectory = \"/from/ini//\"  \n");
    EXPECT_EQ(Find(""), "/from/ini");
    EXPECT_EQ(stores, std::vector<std::string>{"/from/ini"});

    setenv("LDRAWDIR", "/from/env\\\\", 1);
    EXPECT_EQ(Find(""), "/from/env");
    EXPECT_EQ(stores, std::vector<std::string>{"/from/env"});

    // A stored value is used as it is; nothing else is consulted or stored.
    EXPECT_EQ(Find("/stored/\\"), "/stored/\\");
    EXPECT_TRUE(stores.empty());

    // LDRAWDIR defined but empty ends the search.
    setenv("LDRAWDIR", "", 1);
    EXPECT_EQ(Find(""), "");
    EXPECT_EQ(stores, std::vector<std::string>{""});
}

// A byte-order mark before the first section, CR LF line ends; a file of a size no
// settings file has (sparse: no room, no time) is not read.
TEST_F(LDrawDirSearch, IniWithByteOrderMarkAndIniTooLargeToRead) {
    config.Write("ldraw.ini", "\xEF\xBB\xBF[LDraw]\r\nBaseDirectory=/with/bom\r\n");
    EXPECT_EQ(Find(""), "/with/bom");
    const std::string ini = config.Write("ldraw.ini", "[LDraw]\nBaseDirectory=/huge\n");
    ASSERT_EQ(truncate(ini.c_str(), off_t{64} << 30), 0);
    EXPECT_EQ(Find(""), "");
    EXPECT_TRUE(stores.empty());
}

TEST_F(LDrawDirSearch, NothingAnywhere) {
    EXPECT_EQ(Find(""), "");
    EXPECT_TRUE(stores.empty());
    config.Write("ldraw.ini", "[LDraw]\nBaseDirectory=\n");
    EXPECT_EQ(Find(""), "");
}

TEST(ExpandLongPath, TakesTheNamesAsStoredOnDisk) {
    TempDir dir;
    dir.Write("Models/House.MPD", "0\n");
    std::string out = "unchanged";
    const std::string base = dir.path().string();
    EXPECT_EQ(ExpandLongPath(base + "/models/house.mpd", out), 0);
    EXPECT_EQ(out, base + "/Models/House.MPD");
    out = "unchanged";
    EXPECT_EQ(ExpandLongPath(base + "/models/none.mpd", out), -1);
    EXPECT_EQ(ExpandLongPath("relative/house.mpd", out), -1);
    EXPECT_EQ(out, "unchanged");
}

// ---- Frame texts ----

TEST(FrameTexts, Goodbye) {
    EXPECT_EQ(QzGoodbyeText(0), "Thank you for using Zarvel (0:00)");
    EXPECT_EQ(QzGoodbyeText(3599), "Thank you for using Zarvel (59:59)");
    EXPECT_EQ(QzGoodbyeText(3600), "Thank you for using Zarvel (1:00:00)");
    EXPECT_EQ(QzGoodbyeText(14401), "Thank you for using Zarvel (4:00:01)");
}

TEST(FrameTexts, StepText) {
    EXPECT_EQ(QzStepText(3, 31), "Step 3/31");
    EXPECT_EQ(QzStepText(0, 0), "");
    EXPECT_EQ(QzMissingModelText("/models/m.ldr"),
              "Model file not found: m.ldr; waiting for it to come back");
    EXPECT_EQ(QzMissingModelText("caf\xe9.ldr"),
              "Model file not found: caf\xe9.ldr; waiting for it to come back");
}

TEST(FrameTexts, ProposedFileName) {
    EXPECT_EQ(QzProposedFileName("/models/car.v2.ldr", ".png"), "car.v2.png");
    EXPECT_EQ(QzProposedFileName("/models/caf\xe9", ".csv"), "caf\xe9.csv");
    EXPECT_EQ(QzProposedFileName("/models/.hidden", ".png"), ".hidden.png");
    EXPECT_EQ(QzProposedFileName("", ".png"), "Untitled.png");
}

TEST(FrameTexts, CaptionWithTitleAndAuthor) {
    EXPECT_EQ(QzComposeCaption("house.mpd - Zarvel", "Little House", "Zarvel team"),
              "house.mpd - Zarvel  \"Little House\"  Author: Zarvel team");
    EXPECT_EQ(QzComposeCaption("a.ldr - Zarvel", "", "Me"), "a.ldr - Zarvel  Author: Me");
    EXPECT_EQ(QzComposeCaption("a.ldr - Zarvel", "", ""), "a.ldr - Zarvel");
    EXPECT_EQ(QzComposeCaption("a - Zarvel", std::string(3000, 't'), "x").size(), QZ_MAX_CAPTION);
}

TEST(FrameTexts, TheCaptionNamesTheSubmodelShown) {
    EXPECT_EQ(QzFrameworkCaption("house.mpd", ""), "house.mpd - Zarvel");
    EXPECT_EQ(QzFrameworkCaption("house.mpd", "Walls.ldr"), "house.mpd [Walls.ldr] - Zarvel");
}

TEST(FrameTexts, BuildLine) {
    std::tm built{};
    ASSERT_TRUE(QzParseBuildTime("Dec  8 2026", "06:33:26", built));
    EXPECT_EQ(QzBuildLine(&built), "Release version built 2026.12.08 06:33");
    EXPECT_EQ(QzBuildLine(nullptr), "Release version");
    EXPECT_FALSE(QzParseBuildTime("??? ?? ????", "??:??:??", built));
}

TEST(FrameTexts, ColourDepth) {
    EXPECT_EQ(QzColourDepthWarning(16),
              "Your display currently only has 65536 colors.\nFor the best drawings you should "
              "use true color (24/32 bit)");
    EXPECT_NE(QzColourDepthWarning(8).find(" 256 colors."), std::string::npos);
    EXPECT_EQ(QzColourDepthWarning(24), "");
    EXPECT_EQ(QzColourDepthWarning(32), "");
}

TEST(FrameTexts, WheelZoom) {
    EXPECT_EQ(QzWheelZoom(100, 1), 110);
    EXPECT_EQ(QzWheelZoom(25, 1), 28);  // 27.5 rounds up, not down to 27
    EXPECT_EQ(QzWheelZoom(100, 2), 121);
    EXPECT_EQ(QzWheelZoom(110, -1), 100);
    EXPECT_EQ(QzWheelZoom(5, 1), 6);  // at least one step
    EXPECT_EQ(QzWheelZoom(5, -1), 4);
    EXPECT_EQ(QzWheelZoom(1, -3), 1);  // never below 1
    EXPECT_EQ(QzWheelZoom(2147483600, 1), 2147483647);
}

}  // namespace
