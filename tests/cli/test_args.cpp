// The command-line frame: help, version and errors come back as values.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "args.h"

namespace {

cli::Invocation Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "zarvel-cli");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    return cli::ParseArgs(static_cast<int>(argv.size()), argv.data());
}

TEST(CliFrame, VersionAndHelpFinishWithStatusZero) {
    cli::Invocation v = Parse({"--version"});
    EXPECT_TRUE(v.finished);
    EXPECT_EQ(v.status, 0);
    EXPECT_NE(v.out.find("zarvel-cli 0.1.0"), std::string::npos);

    cli::Invocation h = Parse({"--help"});
    EXPECT_TRUE(h.finished);
    EXPECT_EQ(h.status, 0);
    for (const char* sub : {"check", "render", "pov", "stats", "tree"})
        EXPECT_NE(h.out.find(sub), std::string::npos) << sub;
}

TEST(CliFrame, NoSubcommandPrintsHelp) {
    cli::Invocation inv = Parse({});
    EXPECT_TRUE(inv.finished);
    EXPECT_EQ(inv.status, 0);
    EXPECT_NE(inv.out.find("check"), std::string::npos);
}

TEST(CliFrame, UnknownArgumentsAreErrorsNotCrashes) {
    for (std::vector<std::string> args :
         {std::vector<std::string>{"frobnicate"}, {"--nonsense"}, {"check", "--ldraw"}}) {
        cli::Invocation inv = Parse(args);
        EXPECT_TRUE(inv.finished) << args[0];
        EXPECT_EQ(inv.status, 2) << args[0];
        EXPECT_FALSE(inv.err.empty()) << args[0];
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
    EXPECT_NE(out.str().find("0.1.0"), std::string::npos);
}

}  // namespace
