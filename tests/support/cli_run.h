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

// The program name is added in front of `args`.
inline CliRun RunZarvelCli(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"zarvel-cli"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status = cli::RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

}  // namespace testing_support
