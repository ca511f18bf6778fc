// zarvel-cli check: standard output is exactly the input log, boxes go to standard
// error after the caption "Zarvel: ", the exit status tells what happened, and --gnu
// points editors at lines.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "args.h"
#include "cli_run.h"
#include "cmd_check.h"
#include "diagnostics.h"
#include "loader.h"
#include "test_support.h"

namespace {

using CheckRun = testing_support::CliRun;

class CheckCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        library = (dir.path() / "ldraw").string();
        dir.Write("ldraw/parts/brick.dat", "0 Brick\n2 24 0 0 0 1 1 1\n");
    }
    CheckRun Check(std::vector<std::string> args) {
        args.insert(args.begin(), "check");
        return testing_support::RunZarvelCli(args);
    }

    testing_support::TempDir dir;
    std::string library;
    testing_support::ScopedEnv keep{"LDRAWDIR", std::getenv("LDRAWDIR")};
};

TEST_F(CheckCommand, CleanModelPrintsNothing) {
    std::string model = dir.Write("good.ldr", "0 Good\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n");
    CheckRun r = Check({"--ldraw", library, model});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST_F(CheckCommand, LogLinesGoToStandardOutput) {
    std::string model = dir.Write("bad.ldr", "1 99 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\nrubbish\n");
    CheckRun r = Check({"--ldraw", library, model});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "WARNING \"" + model +
                  "\" Line 1: Unknown color, using 7: 1 99 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
                  "SKIPPING \"" +
                  model + "\" Line 2: Bad line: rubbish\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CheckCommand, BoxesGoToStandardError) {
    std::string model = dir.Write("m.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 gone.dat\n");
    CheckRun r = Check({"--ldraw", library, model});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Zarvel: Could not find gone.dat\nReferenced by " + model + "\n");
}

TEST_F(CheckCommand, FailedLoadAndTheModelsAfterIt) {
    std::string good = dir.Write("good.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n");
    std::string missing = (dir.path() / "missing.ldr").string();
    CheckRun r = Check({"--ldraw", library, missing, good});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Zarvel: Could not find " + missing + "\nReferenced by *\n");
    EXPECT_EQ(r.out, "");
}

// A model far over the size limit is refused with its size; the next model is read.
TEST_F(CheckCommand, ModelOverTheSizeLimit) {
    const std::string huge = dir.Write("huge.ldr", "");
    ASSERT_EQ(truncate(huge.c_str(), off_t{1} << 40), 0);
    std::string good = dir.Write("good.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n");
    CheckRun r = Check({"--ldraw", library, huge, good});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Zarvel: " + huge +
                         " is too large to read: 1099511627776 bytes, more than the 256 MB a "
                         "file may have\nReferenced by *\n");
}

// A file within the limit that does not fit the memory there is: the command ends
// with a message and status 1, not an abort. Run in a child process whose address
// space is cut to a little more than it uses. Not built under AddressSanitizer, which
// reserves more address space than any such limit allows.
#if !defined(__SANITIZE_ADDRESS__)
TEST_F(CheckCommand, OutOfMemoryEndsTheCommandWithAMessage) {
    const std::string model = dir.Write("big.ldr", "");
    ASSERT_EQ(truncate(model.c_str(), off_t{200} << 20), 0);
    auto checkWithLittleMemory = [&] {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max =
            static_cast<rlim_t>(pages) * static_cast<rlim_t>(getpagesize()) + (rlim_t{64} << 20);
        setrlimit(RLIMIT_AS, &limit);
        const CheckRun r = Check({"--ldraw", library, model});
        std::fputs(r.err.c_str(), stderr);
        std::_Exit(r.status);
    };
    EXPECT_EXIT(checkWithLittleMemory(), ::testing::ExitedWithCode(1),
                "^zarvel-cli: out of memory\n$");
}
#endif

TEST_F(CheckCommand, LibraryFromTheEnvironmentOrNowhere) {
    std::string model = dir.Write("good.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n");
    setenv("LDRAWDIR", (library + "/").c_str(), 1);
    CheckRun r = Check({model});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");

    unsetenv("LDRAWDIR");
    r = Check({model});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "Zarvel: LDRAWDIR not set.\nSpecify directory in the Edit menu.\n"
              "zarvel-cli: give the library folder with --ldraw DIR or set LDRAWDIR\n");
    EXPECT_EQ(r.out, "");
}

// A library folder that is not there would report every part missing: a usage error.
TEST_F(CheckCommand, LibraryFolderNotFound) {
    std::string model = dir.Write("good.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n");
    std::string file = dir.Write("plain.txt", "not a folder\n");
    std::string missing = (dir.path() / "nowhere").string();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--ldraw", missing, model, model}, missing},
        {{"--ldraw", file, model}, file},
    };
    for (const auto& [args, folder] : cases) {
        CheckRun r = Check(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "zarvel-cli: LDraw library folder not found: " + folder +
                             "\nRun with --help for more information.\n");
        EXPECT_EQ(r.out, "");
    }
    setenv("LDRAWDIR", missing.c_str(), 1);
    for (const char* command : {"render", "pov", "stats", "tree"}) {
        std::vector<std::string> args{command, model};
        if (std::string(command) == "render" || std::string(command) == "pov")
            args.insert(args.end(), {"-o", (dir.path() / "out").string()});
        CheckRun r = testing_support::RunZarvelCli(args);
        EXPECT_EQ(r.status, 2) << command;
        EXPECT_EQ(r.err.rfind("zarvel-cli: LDraw library folder not found: " + missing, 0), 0u)
            << command << r.err;
        EXPECT_EQ(r.out, "") << command;
    }
}

TEST_F(CheckCommand, CacheStaysOnBetweenModelsUnlessAskedNot) {
    // A part with a faulty line is reported when it is read: once with the cache, once
    // per model without it.
    dir.Write("ldraw/parts/odd.dat", "0 Odd part\n2 24 0 0 0 1 1 1\n9 bad\n");
    const std::string first = dir.Write("a.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 odd.dat\n");
    const std::string second = dir.Write("b.ldr", "1 1 0 0 0 1 0 0 0 1 0 0 0 1 odd.dat\n");
    const std::string entry = "SKIPPING \"odd.dat\" Line 3: Unknown line type: 9 bad\n";
    CheckRun r = Check({"--ldraw", library, first, second});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, entry);

    r = Check({"--ldraw", library, "--no-cache", first, second});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, entry + entry);
}

// The sections of a model's own file are that file's content: a second check of the
// same file reads them again instead of reporting them as already read.
TEST_F(CheckCommand, SectionsOfTheSameFileAreReadAgain) {
    std::string mpd = dir.Write("m.mpd",
                                "0 FILE main.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 sub.ldr\n"
                                "0 FILE sub.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n");
    for (const char* cache : {"", "--no-cache"}) {
        std::vector<std::string> args{"--ldraw", library, mpd, mpd};
        if (*cache) args.insert(args.begin(), cache);
        CheckRun r = Check(args);
        EXPECT_EQ(r.status, 0) << cache;
        EXPECT_EQ(r.out, "") << cache;
    }
}

TEST_F(CheckCommand, GnuFormat) {
    dir.Write("ldraw/parts/odd.dat", "0 Odd part\n2 24 0 0 0 1 1 1\n3 24 0 0 0 1 0 0 0 1 0\n");
    std::string model = dir.Write("g.ldr",
                                  "0 ~Moved to x\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 ODD.DAT\n"
                                  "0 BFC certify\n0 ROTATE 90 0 1 0\n");
    CheckRun r = Check({"--gnu", "--ldraw", library, model});
    EXPECT_EQ(r.status, 1);
    std::string odd = library + "/parts/odd.dat";
    EXPECT_EQ(r.out, "NOTABENE \"" + model + "\" Line 1: 0 ~Moved to x\n" + model +
                         ":3: error: Illegal BFC option\n" + model +
                         ":4: warning: End-Of-File, ROTATE END expected\n" + odd +
                         ":3: warning: Sorry, cannot handle color 24, using 16\n");
}

TEST(GnuLogLine, BuiltFromTheEntryNotFromItsText) {
    std::vector<std::pair<std::string, std::string>> files{{"a.dat", "/no/such/a.dat"}};
    const std::pair<QzDiagnostic, std::string> cases[] = {
        // The line text may end like the message; only the value tells them apart.
        {{QZ_WARNING, "a.dat", 7, "Bad vertex sequence, 0132 used", "4 16 x: y"},
         "/no/such/a.dat:7: warning: Bad vertex sequence, 0132 used"},
        {{QZ_SKIPPING, "b.dat", 2, "Bad line: x", "x"}, "b.dat:2: error: Bad line: x"},
        {{QZ_WARNING, "a.dat", 9, "End-Of-File, SCALE END expected", ""},
         "/no/such/a.dat:9: warning: End-Of-File, SCALE END expected"},
        {{QZ_ASIS, "", 0, "referenced by a.dat line 3", ""}, "referenced by a.dat line 3"},
    };
    for (const auto& [entry, line] : cases) EXPECT_EQ(cli::GnuLogLine(entry, files), line);
}

TEST_F(CheckCommand, GnuLinesCarryTheFilesOwnLineNumbers) {
    std::string part = dir.Write("ldraw/parts/long.dat",
                                 "0 " + std::string(1500, 'x') + "\n3 24 0 0 0 1 0 0 0 1 0\n");
    std::string model = dir.Write("m.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 long.dat\n");
    CheckRun r = Check({"--gnu", "--ldraw", library, model});
    // The tail of the long line is read on its own but keeps its number; the next line
    // is line 2.
    EXPECT_EQ(r.out, part + ":1: error: Bad line\n" + part +
                         ":2: warning: Sorry, cannot handle color 24, using 16\n");
}

TEST_F(CheckCommand, RealModels) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    CheckRun r = Check({"--ldraw", ldraw.string(), (ldraw / "models/car.ldr").string(),
                        (ldraw / "models/10156-1 - LEGO Truck.mpd").string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");

    r = Check({"--ldraw", ldraw.string(), "--gnu",
               (ldraw / "models/6235 - Buried Treasure.mpd").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    std::istringstream lines(r.out);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("NOTABENE \"", 0) == 0) continue;
        ++count;
        EXPECT_EQ(line.rfind(ldraw.string() + "/parts/", 0), 0u) << line;
        EXPECT_NE(line.find(": warning: Unknown color, using 7"), std::string::npos) << line;
        EXPECT_EQ(line.find("\r"), std::string::npos);
    }
    EXPECT_GT(count, 0);
}

// ---- --scheme: every command that loads a model ----

class SchemeOption : public CheckCommand {
  protected:
    void SetUp() override {
        CheckCommand::SetUp();
        dir.Write("ldraw/LDConfig.ldr", testing_support::kTestLDConfig);
        dir.Write("ldraw/parts/tile.dat", "3 16 0 0 0 10 0 0 0 0 10\n");
        model = dir.Write("grey.ldr", "1 71 0 0 0 1 0 0 0 1 0 0 0 1 tile.dat\n");
    }
    // The command with its arguments, the scheme, the library and the model.
    CheckRun Run(std::vector<std::string> args, const std::string& scheme) {
        const std::string scene = (dir.path() / "out.pov").string();
        const std::string picture = (dir.path() / "out.png").string();
        if (args[0] == "pov") args.insert(args.end(), {"-o", scene});
        if (args[0] == "render") args.insert(args.end(), {"-o", picture, "--size", "40x30"});
        args.insert(args.end(), {"--scheme", scheme, "--ldraw", library, model});
        return testing_support::RunZarvelCli(args);
    }
    std::string model;
};

TEST_F(SchemeOption, ChoosesTheColoursOfLDConfigForEveryCommand) {
    for (const char* command : {"check", "render", "pov", "stats", "tree"}) {
        CheckRun r = Run({command}, "0");
        EXPECT_NE((r.out + r.err).find("Unknown color, using 7"), std::string::npos) << command;
        r = Run({command}, "3");
        EXPECT_LE(r.status, 1) << command << r.err;
        EXPECT_EQ((r.out + r.err).find("Unknown color"), std::string::npos) << command;
        EXPECT_NE((r.out + r.err).find("Line 9: Bad color definition"), std::string::npos)
            << command;
        EXPECT_EQ(Run({command}, "4").status, 2) << command;
    }
    // The scene declares the colour as the file defines it.
    ASSERT_EQ(Run({"pov"}, "3").status, 0);
    std::ifstream in(dir.path() / "out.pov");
    const std::string scene(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(scene.find("#declare Color71 = "), std::string::npos);
    EXPECT_NE(scene.find("pigment { rgb <0.533333,0.6,0.666667> }"), std::string::npos);
}

}  // namespace
