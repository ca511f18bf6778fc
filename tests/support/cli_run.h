// Runs zarvel-cli in-process, for the tests of its commands (which link the CLI library).
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "args.h"

namespace testing_support {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

// Parses a command line without running it; the program name is added in front.
inline cli::Invocation ParseCli(std::vector<std::string> args) {
    args.insert(args.begin(), "zarvel-cli");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    return cli::ParseArgs(static_cast<int>(argv.size()), argv.data());
}

// The program name is added in front of `args`.
inline CliRun RunZarvelCli(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"zarvel-cli"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status = cli::RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

}  // namespace testing_support
