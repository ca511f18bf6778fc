// The command-line frame: help, version and errors come back as values.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "args.h"
#include "cli_run.h"
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

}  // namespace
