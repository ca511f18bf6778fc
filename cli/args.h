// Command-line parsing of zarvel-cli. Parsing never prints or exits: it returns what
// to print and the exit status, so every option can be tested.
#pragma once

#include <string>
#include <vector>

#include "cmd_check.h"
#include "cmd_parts.h"
#include "cmd_pov.h"
#include "cmd_render.h"
#include "cmd_stats.h"
#include "cmd_steps.h"
#include "cmd_tree.h"

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

    CheckOptions check;
    RenderOptions render;
    PovOptions pov;
    StatsOptions stats;
    StepsOptions steps;
    PartsOptions parts;
    TreeOptions tree;
};

Invocation ParseArgs(int argc, const char* const argv[]);

// Parses and runs; returns the exit status. An allocation that fails anywhere below
// ends the command with "zarvel-cli: out of memory" on err and status 1, not an abort.
int RunCli(int argc, const char* const argv[], std::ostream& out, std::ostream& err);

}  // namespace cli
