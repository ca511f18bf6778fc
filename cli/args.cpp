#include "args.h"

#include <CLI/CLI.hpp>
#include <new>
#include <ostream>
#include <sstream>

#include "version.h"

namespace cli {

namespace {

constexpr const char* kVersion = "zarvel-cli " ZARVEL_VERSION;

}  // namespace

Invocation ParseArgs(int argc, const char* const argv[]) {
    Invocation inv;
    CLI::App app{"Zarvel: checks, draws and exports LDraw models.", "zarvel-cli"};
    app.set_version_flag("--version", kVersion);
    app.require_subcommand(0, 1);
    // The parser's own usage errors read like the commands' (UsageError).
    app.failure_message([](const CLI::App* failed, const CLI::Error& e) {
        return "zarvel-cli: " + CLI::FailureMessage::simple(failed, e);
    });

    CLI::App* check = AddCheckCommand(app, inv.check);
    CLI::App* render = AddRenderCommand(app, inv.render);
    CLI::App* pov = AddPovCommand(app, inv.pov);
    CLI::App* stats = AddStatsCommand(app, inv.stats);
    CLI::App* tree = AddTreeCommand(app, inv.tree);
    CLI::App* steps = AddStepsCommand(app, inv.steps);
    CLI::App* parts = AddPartsCommand(app, inv.parts);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        std::ostringstream out, err;
        inv.finished = true;
        // Help and version finish with 0; every usage error with 2, whatever CLI11's own
        // code for it, so that scripts see one status for a wrong call.
        inv.status = app.exit(e, out, err) == 0 ? 0 : 2;
        inv.out = out.str();
        inv.err = err.str();
        return inv;
    }

    for (CLI::App* sub : {check, render, pov, stats, tree, steps, parts}) {
        if (sub->parsed()) inv.command = sub->get_name();
    }
    if (inv.command.empty()) {
        // No command is a wrong call like any other.
        inv.finished = true;
        inv.status = 2;
        inv.err = app.help();
    }
    return inv;
}

namespace {

int RunCommand(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
    Invocation inv = ParseArgs(argc, argv);
    if (inv.finished) {
        out << inv.out;
        err << inv.err;
        return inv.status;
    }
    if (inv.command == "check") return RunCheck(inv.check, out, err);
    if (inv.command == "render") return RunRender(inv.render, out, err);
    if (inv.command == "pov") return RunPov(inv.pov, out, err);
    if (inv.command == "stats") return RunStats(inv.stats, out, err);
    if (inv.command == "tree") return RunTree(inv.tree, out, err);
    if (inv.command == "steps") return RunSteps(inv.steps, out, err);
    if (inv.command == "parts") return RunParts(inv.parts, out, err);
    return 2;
}

}  // namespace

int RunCli(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
    try {
        return RunCommand(argc, argv, out, err);
    } catch (const std::bad_alloc&) {
        // Whatever ran out of memory, the command ends with a message, not an abort.
        out.flush();
        err << "zarvel-cli: out of memory\n";
        return 1;
    }
}

}  // namespace cli
