// The command-line frame: help, version and errors come back as values.
#include <gtest/gtest.h>

#include <algorithm>
#include <any>
#include <sstream>
#include <string>
#include <vector>

#include "args.h"
#include "cli_run.h"
#include "cmd_check.h"
#include "cmd_export.h"
#include "cmd_parts.h"
#include "cmd_pov.h"
#include "cmd_render.h"
#include "cmd_stats.h"
#include "cmd_steps.h"
#include "cmd_thumbnail.h"
#include "cmd_tree.h"
#include "commands.h"
#include "test_support.h"
#include "version.h"

namespace {

cli::Invocation Parse(const std::vector<std::string>& args) {
    return testing_support::ParseCli(args);
}

TEST(CliFrame, VersionAndHelpFinishWithStatusZero) {
    cli::Invocation v = Parse({"--version"});
    EXPECT_TRUE(v.finished);
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "zarvel-cli " ZARVEL_VERSION "\n");

    cli::Invocation h = Parse({"--help"});
    EXPECT_TRUE(h.finished);
    EXPECT_EQ(h.status, 0);
    for (const char* sub : {"check", "render", "pov", "stats", "tree"})
        EXPECT_NE(h.out.find(sub), std::string::npos) << sub;
}

TEST(CliFrame, TheCommandsAreTheProgramsInHelpOrder) {
    EXPECT_EQ(cli::CommandNames(), (std::vector<std::string>{
                                       "check", "render", "pov", "export", "stats", "tree", "steps",
                                       "parts", "submodels", "instructions", "thumbnail"}));
}

TEST(CliFrame, EveryCommandHasItsOwnHelp) {
    const std::string help = Parse({"--help"}).out;
    size_t last = 0;
    for (const std::string& name : cli::CommandNames()) {
        // Listed in the program's help, in the table's order.
        const size_t at = help.find("\n  " + name + " ");
        EXPECT_NE(at, std::string::npos) << name;
        EXPECT_GT(at, last) << name;
        last = at;

        cli::Invocation inv = Parse({name, "--help"});
        EXPECT_TRUE(inv.finished) << name;
        EXPECT_EQ(inv.status, 0) << name;
        EXPECT_NE(inv.out.find("\nUsage: zarvel-cli " + name + " [OPTIONS]"), std::string::npos)
            << inv.out;
    }
}

// Each command line reaches the options of its own command, filled in by its row.
template <class Options>
std::string ModelOf(const cli::Invocation& inv) {
    return inv.OptionsOf<Options>().model;
}

TEST(CliFrame, EachCommandParsesIntoItsOwnOptions) {
    struct Case {
        std::vector<std::string> args;
        std::string (*model)(const cli::Invocation&);
    };
    const Case cases[] = {
        {{"render", "m.ldr", "-o", "m.png"}, ModelOf<cli::RenderOptions>},
        {{"pov", "m.ldr", "-o", "m.pov"}, ModelOf<cli::PovOptions>},
        {{"export", "m.ldr", "-o", "m.glb"}, ModelOf<cli::ExportOptions>},
        {{"stats", "m.ldr"}, ModelOf<cli::StatsOptions>},
        {{"tree", "m.ldr"}, ModelOf<cli::TreeOptions>},
        {{"steps", "m.ldr"}, ModelOf<cli::StepsOptions>},
        {{"parts", "m.ldr"}, ModelOf<cli::PartsOptions>},
    };
    for (const Case& c : cases) {
        cli::Invocation inv = Parse(c.args);
        ASSERT_FALSE(inv.finished) << inv.err;
        EXPECT_EQ(inv.command, c.args[0]);
        EXPECT_EQ(c.model(inv), "m.ldr") << c.args[0];
        // Another command's options are not there to be read by mistake.
        EXPECT_THROW(inv.OptionsOf<cli::CheckOptions>(), std::bad_any_cast) << c.args[0];
    }
    cli::Invocation check = Parse({"check", "a.ldr", "b.ldr"});
    EXPECT_EQ(check.OptionsOf<cli::CheckOptions>().models,
              (std::vector<std::string>{"a.ldr", "b.ldr"}));
    cli::Invocation thumbnail = Parse({"thumbnail", "-s", "64", "in.ldr", "out.png"});
    EXPECT_EQ(thumbnail.OptionsOf<cli::ThumbnailOptions>().input, "in.ldr");
    EXPECT_EQ(thumbnail.OptionsOf<cli::ThumbnailOptions>().size, 64);
}

TEST(CliFrame, RunCliRunsTheChosenCommand) {
    // steps of a file that does not exist: its own message and status, not another's.
    const testing_support::CliRun run =
        testing_support::RunZarvelCli({"steps", "--ldraw", ".", "/nonexistent/zarvel/m.ldr"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("could not load /nonexistent/zarvel/m.ldr"), std::string::npos)
        << run.err;
}

TEST(CliFrame, NoSubcommandIsAUsageErrorWithTheHelp) {
    cli::Invocation inv = Parse({});
    EXPECT_TRUE(inv.finished);
    EXPECT_EQ(inv.status, 2);
    EXPECT_EQ(inv.out, "");
    EXPECT_NE(inv.err.find("check"), std::string::npos);
}

TEST(CliFrame, UsageErrorsOfTheParserReadLikeOurs) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"frobnicate"}, "zarvel-cli: The following argument was not expected: frobnicate\n"},
        {{"--nonsense"}, "zarvel-cli: The following argument was not expected: --nonsense\n"},
        {{"check", "--ldraw"}, "zarvel-cli: --ldraw: 1 required TEXT missing\n"},
        {{"render", "m.ldr", "-o", "x.png", "--view", "-1"},
         "zarvel-cli: --view: Value -1 not in range 0 to 14\n"},
    };
    for (const auto& [args, message] : cases) {
        cli::Invocation inv = Parse(args);
        EXPECT_TRUE(inv.finished) << args[0];
        EXPECT_EQ(inv.status, 2) << args[0];
        EXPECT_EQ(inv.err, message + "Run with --help for more information.\n");
    }
}

TEST(CliFrame, SubcommandIsRecognised) {
    cli::Invocation inv = Parse({"check", "a.ldr"});
    EXPECT_FALSE(inv.finished);
    EXPECT_EQ(inv.command, "check");
}

TEST(CliFrame, RunCliWritesHelpToOut) {
    std::ostringstream out, err;
    const char* argv[] = {"zarvel-cli", "--version"};
    EXPECT_EQ(cli::RunCli(2, argv, out, err), 0);
    EXPECT_EQ(out.str(), "zarvel-cli " ZARVEL_VERSION "\n");
}

// ---- Numbers ----------------------------------------------------------------------

TEST(NumberOptions, ZeroPaddedNumbersAreReadAsDecimal) {
    struct Case {
        std::vector<std::string> args;
        int expected;
        int (*value)(const cli::Invocation&);
    };
    const Case cases[] = {
        {{"render", "m.ldr", "-o", "m.png", "--step", "010"},
         10,
         [](const cli::Invocation& i) { return *i.OptionsOf<cli::RenderOptions>().step; }},
        {{"stats", "--step", "08", "m.ldr"},
         8,
         [](const cli::Invocation& i) { return *i.OptionsOf<cli::StatsOptions>().step; }},
        {{"render", "m.ldr", "-o", "m.png", "--view", "010"},
         10,
         [](const cli::Invocation& i) { return i.OptionsOf<cli::RenderOptions>().view; }},
        {{"stats", "--view", "09", "m.ldr"},
         9,
         [](const cli::Invocation& i) { return i.OptionsOf<cli::StatsOptions>().view; }},
        {{"render", "m.ldr", "-o", "m.png", "--zoom", "0100"},
         100,
         [](const cli::Invocation& i) { return i.OptionsOf<cli::RenderOptions>().zoom; }},
        {{"render", "m.ldr", "-o", "m.png", "--zoom", "-050"},
         -50,
         [](const cli::Invocation& i) { return i.OptionsOf<cli::RenderOptions>().zoom; }},
        {{"check", "--scheme", "03", "m.ldr"},
         3,
         [](const cli::Invocation& i) { return i.OptionsOf<cli::CheckOptions>().scheme; }},
        {{"tree", "--depth", "010", "m.ldr"},
         10,
         [](const cli::Invocation& i) { return i.OptionsOf<cli::TreeOptions>().depth; }},
        {{"thumbnail", "-s", "010", "in.ldr", "out.png"},
         10,
         [](const cli::Invocation& i) { return i.OptionsOf<cli::ThumbnailOptions>().size; }},
        {{"thumbnail", "--cpu-limit", "010", "in.ldr", "out.png"},
         10,
         [](const cli::Invocation& i) { return i.OptionsOf<cli::ThumbnailOptions>().cpuLimit; }},
    };
    for (const Case& c : cases) {
        const cli::Invocation inv = Parse(c.args);
        ASSERT_FALSE(inv.finished) << inv.err;
        EXPECT_EQ(c.value(inv), c.expected) << ::testing::PrintToString(c.args);
    }
}

TEST(NumberOptions, EmptyOrMalformedNumberIsAUsageErrorNamingTheOption) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"render", "m.ldr", "-o", "m.png", "--step", ""}, "--step: the number is empty"},
        {{"render", "m.ldr", "-o", "m.png", "--step", "0x2"}, "--step: not a decimal number: 0x2"},
        {{"stats", "--step", "2.5", "m.ldr"}, "--step: not a decimal number: 2.5"},
        {{"stats", "--step", " 2", "m.ldr"}, "--step: not a decimal number:  2"},
        {{"stats", "--step", "+2", "m.ldr"}, "--step: not a decimal number: +2"},
        {{"render", "m.ldr", "-o", "m.png", "--view", "0x2"}, "--view: not a decimal number: 0x2"},
        {{"render", "m.ldr", "-o", "m.png", "--view", "015"},
         "--view: Value 015 not in range 0 to 14"},
        {{"render", "m.ldr", "-o", "m.png", "--zoom", ""}, "--zoom: the number is empty"},
        {{"render", "m.ldr", "-o", "m.png", "--zoom", "1e3"}, "--zoom: not a decimal number: 1e3"},
        {{"stats", "--view", "", "m.ldr"}, "--view: the number is empty"},
        {{"pov", "m.ldr", "-o", "m.pov", "--scheme", "0x1"}, "--scheme: not a decimal number: 0x1"},
        {{"tree", "--depth", "00", "m.ldr"}, "--depth: Value 00 not in range 1 to 2147483647"},
        {{"thumbnail", "-s", "", "in.ldr", "out.png"}, "--size: the number is empty"},
        {{"thumbnail", "-s", "010x", "in.ldr", "out.png"}, "--size: not a decimal number: 010x"},
        {{"stats", "--step", "99999999999", "m.ldr"},
         "--step: Value 99999999999 not in range -2147483648 to 2147483647"},
    };
    for (const auto& [args, message] : cases) {
        const cli::Invocation inv = Parse(args);
        EXPECT_TRUE(inv.finished) << ::testing::PrintToString(args);
        EXPECT_EQ(inv.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(inv.err, "zarvel-cli: " + message + "\nRun with --help for more information.\n");
    }
}

TEST(NumberOptions, HelpShowsEveryWholeNumberOptionAsDecimal) {
    // A number option added without the decimal check would show its type alone.
    for (const std::string& name : cli::CommandNames()) {
        const std::string help = Parse({name, "--help"}).out;
        for (size_t at = help.find(" INT"); at != std::string::npos; at = help.find(" INT", at + 1))
            EXPECT_EQ(help.compare(at, 13, " INT:decimal "), 0)
                << name << ": " << help.substr(at, help.find('\n', at) - at);
    }
}

TEST(NumberOptions, HexadecimalMatrixNumbersAreRefused) {
    const testing_support::CliRun run = testing_support::RunZarvelCli(
        {"render", "m.ldr", "-o", "m.png", "--matrix", "0x1p0 0 0 0 1 0 0 0 1"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "zarvel-cli: --matrix needs nine finite numbers: 0x1p0 0 0 0 1 0 0 0 1\n"
              "Run with --help for more information.\n");
}

TEST(CliFrame, AThreadCountOutsideOneToSixtyFourIsAWrongCall) {
    testing_support::ScopedEnv threads("ZARVEL_THREADS", "65");
    const testing_support::CliRun run =
        testing_support::RunZarvelCli({"steps", "/nonexistent/zarvel/m.ldr"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "zarvel-cli: ZARVEL_THREADS must be a whole number from 1 to 64: 65\n"
              "Run with --help for more information.\n");
    // Help still helps.
    EXPECT_EQ(testing_support::RunZarvelCli({"--help"}).status, 0);
}

// ---- Help -------------------------------------------------------------------------

// The options of a command's help, each with its description ("" when it has none): an
// option's text starts in the help's second column, on the option's line or the next.
std::vector<std::pair<std::string, std::string>> HelpOptions(const std::string& help) {
    constexpr size_t kColumn = 40;
    std::vector<std::pair<std::string, std::string>> options;
    std::istringstream in(help.substr(help.find("\nOptions:\n") + 10));
    for (std::string line; std::getline(in, line) && !line.empty();) {
        const std::string text = line.size() > kColumn ? line.substr(kColumn) : "";
        if (line.starts_with("  -")) {
            // The option and its type end before the column, with a blank to spare.
            EXPECT_TRUE(line.size() <= kColumn || line[kColumn - 1] == ' ') << line;
            options.emplace_back(line.substr(2, line.find(' ', 2) - 2), text);
        } else if (!options.empty() && options.back().second.empty()) {
            EXPECT_EQ(line.find_first_not_of(' '), kColumn) << line;
            options.back().second = text;
        }
    }
    return options;
}

TEST(Help, EveryOptionOfEveryCommandSaysWhatItDoes) {
    for (const std::string& name : cli::CommandNames()) {
        const auto options = HelpOptions(Parse({name, "--help"}).out);
        EXPECT_GT(options.size(), 1u) << name;
        for (const auto& [option, text] : options) {
            SCOPED_TRACE(name + " " + option);
            EXPECT_GT(text.size(), 10u) << text;
            EXPECT_NE(text.front(), ' ') << text;
        }
    }
    const auto stats = HelpOptions(Parse({"stats", "--help"}).out);
    const auto view =
        std::find_if(stats.begin(), stats.end(), [](const auto& o) { return o.first == "--view"; });
    ASSERT_NE(view, stats.end());
    EXPECT_NE(view->second.find("1 Front-Upper-Right, 2 Back-Upper-Right"), std::string::npos);
}

TEST(Help, TheLibraryFolderDefaultReadsTheSameEverywhereAndNamesLdrawIni) {
    const std::string expected =
        "LDraw library folder (default: $LDRAWDIR, else BaseDirectory in ldraw.ini, else "
        "/usr/share/ldraw)";
    int commands = 0;
    for (const std::string& name : cli::CommandNames()) {
        for (const auto& [option, text] : HelpOptions(Parse({name, "--help"}).out)) {
            if (option != "--ldraw") continue;
            EXPECT_EQ(text, expected) << name;
            ++commands;
        }
    }
    EXPECT_EQ(commands, static_cast<int>(cli::CommandNames().size()) - 1);  // all but thumbnail
}

TEST(Help, AnUnknownDrawingOptionIsAnsweredWithTheList) {
    const testing_support::CliRun run =
        testing_support::RunZarvelCli({"render", "m.ldr", "-o", "m.png", "--opt", "studs=on"});
    EXPECT_EQ(run.status, 2);
    std::string names;
    for (const std::string& name : QzOptionNames()) names += (names.empty() ? "" : ", ") + name;
    EXPECT_EQ(run.err, "zarvel-cli: unknown drawing option: studs (the options are " + names +
                           " and seamWidth)\nRun with --help for more information.\n");
    EXPECT_NE(names.find("bfc, shading, seams, "), std::string::npos) << names;
}

TEST(Help, TheReadmeAndTheManualListEveryDrawingOption) {
    // The README writes each name as code, the manual each in bold on a line of its own.
    const std::string readme =
        testing_support::Slurp((testing_support::SourceDir() / "README.md").string());
    const std::string manual =
        testing_support::Slurp((testing_support::SourceDir() / "man/zarvel-cli.1").string());
    ASSERT_FALSE(readme.empty());
    ASSERT_FALSE(manual.empty());
    for (const std::string& name : QzOptionNames()) {
        EXPECT_NE(readme.find("`" + name + "`"), std::string::npos) << name;
        EXPECT_TRUE(manual.find("\n.BR " + name + " ") != std::string::npos ||
                    manual.find("\n.BR " + name + "\n") != std::string::npos)
            << name;
    }
    EXPECT_NE(readme.find("`seamWidth=NUMBER`"), std::string::npos);
    EXPECT_NE(manual.find("\n.BI seamWidth= number\n"), std::string::npos);
}

}  // namespace
