// Command-line parsing of zarvel-cli. Parsing never prints or exits: it returns what
// to print and the exit status, so every option can be tested.
#pragma once

#include <any>
#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

struct Invocation {
    // The chosen subcommand ("check", "render", ...), empty when parsing finished the
    // job itself (help, version, errors).
    std::string command;
    // Set when parsing finished the job: print out/err and exit with status.
    bool finished = false;
    int status = 0;
    std::string out;
    std::string err;

    // The chosen command's options as parsed (its CheckOptions, RenderOptions, ...).
    std::any options;
    // The options as their own type; throws std::bad_any_cast for another command's.
    template <class Options>
    const Options& OptionsOf() const {
        return std::any_cast<const Options&>(options);
    }
};

Invocation ParseArgs(int argc, const char* const argv[]);

// The names of the commands, in the order --help lists them.
std::vector<std::string> CommandNames();

// Parses and runs; returns the exit status. An allocation that fails anywhere below
// ends the command with "zarvel-cli: out of memory" on err and status 1, not an abort.
int RunCli(int argc, const char* const argv[], std::ostream& out, std::ostream& err);

}  // namespace cli
