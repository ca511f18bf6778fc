// The one form of every usage error of zarvel-cli, whoever finds it: the program's
// name, the message, and a pointer to --help.
#pragma once

#include <string>

namespace cli {

inline constexpr const char* kHelpPointer = "Run with --help for more information.\n";

inline std::string UsageError(const std::string& message) {
    return "zarvel-cli: " + message + "\n" + kHelpPointer;
}

}  // namespace cli
