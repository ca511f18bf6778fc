#include "args.h"

#include <CLI/CLI.hpp>
#include <iterator>
#include <new>
#include <ostream>
#include <sstream>

#include "cmd_check.h"
#include "cmd_export.h"
#include "cmd_instructions.h"
#include "cmd_parts.h"
#include "cmd_pov.h"
#include "cmd_render.h"
#include "cmd_stats.h"
#include "cmd_steps.h"
#include "cmd_submodels.h"
#include "cmd_thumbnail.h"
#include "cmd_tree.h"
#include "process.h"
#include "usage.h"
#include "version.h"

namespace cli {

namespace {

constexpr const char* kVersion = "zarvel-cli " ZARVEL_VERSION;
constexpr size_t kHelpColumn = 40;

// One command of the program: its name and the line --help shows for it, the function
// that gives its subcommand the options (bound to the command's options struct) and the
// function that runs it with what was parsed. Parsing, dispatch and --help are all
// driven from the table below.
struct CommandRow {
    const char* name;
    const char* summary;
    // The command's options with their defaults, held in a std::any of their own type.
    std::any (*makeOptions)();
    void (*addOptions)(CLI::App& command, std::any& options);
    int (*run)(const std::any& options, std::ostream& out, std::ostream& err);
};

// A row from a command's typed functions:
//   void AddXOptions(CLI::App& command, XOptions& options);
//   int RunX(const XOptions& options, std::ostream& out, std::ostream& err);
template <class Options, void (*Add)(CLI::App&, Options&),
          int (*Run)(const Options&, std::ostream&, std::ostream&)>
constexpr CommandRow Row(const char* name, const char* summary) {
    return {name, summary, [] { return std::any(Options{}); },
            [](CLI::App& command, std::any& options) {
                Add(command, *std::any_cast<Options>(&options));
            },
            [](const std::any& options, std::ostream& out, std::ostream& err) {
                return Run(std::any_cast<const Options&>(options), out, err);
            }};
}

// One row per command; a new command is one more row.
// clang-format off
constexpr CommandRow kCommands[] = {
    Row<CheckOptions, AddCheckOptions, RunCheck>("check", "Load models and print what the reader reports."),
    Row<RenderOptions, AddRenderOptions, RunRender>("render", "Draw a model once, as the view would, into a PNG file."),
    Row<PovOptions, AddPovOptions, RunPov>("pov", "Write the model as a POV-Ray scene."),
    Row<ExportOptions, AddExportOptions, RunExport>("export", "Write the model for other programs: glTF 2.0 (.glb, .gltf), STL or OBJ."),
    Row<StatsOptions, AddStatsOptions, RunStats>("stats", "Load a model, draw it once as the view would and print its statistics."),
    Row<TreeOptions, AddTreeOptions, RunTree>("tree", "Print the model's lines as the tree view shows them, opened to a depth."),
    Row<StepsOptions, AddStepsOptions, RunSteps>("steps", "Print the number of building steps of a model."),
    Row<PartsOptions, AddPartsOptions, RunParts>("parts", "List the parts of a model by colour with their quantities."),
    Row<SubmodelsOptions, AddSubmodelsOptions, RunSubmodels>("submodels", "List the submodels of a model file with their steps and how often the model places each."),
    Row<InstructionsOptions, AddInstructionsOptions, RunInstructions>("instructions", "Write a model's building instructions as a web page with a picture of every step."),
    Row<ThumbnailOptions, AddThumbnailOptions, RunThumbnail>("thumbnail", "Write a file manager's thumbnail of a model: a square PNG with alpha."),
};
// clang-format on

const CommandRow* FindCommand(const std::string& name) {
    for (const CommandRow& row : kCommands)
        if (name == row.name) return &row;
    return nullptr;
}

}  // namespace

std::vector<std::string> CommandNames() {
    std::vector<std::string> names;
    for (const CommandRow& row : kCommands) names.emplace_back(row.name);
    return names;
}

Invocation ParseArgs(int argc, const char* const argv[]) {
    Invocation inv;
    CLI::App app{"Zarvel: checks, draws and exports LDraw models.", "zarvel-cli"};
    app.set_version_flag("--version", kVersion);
    app.require_subcommand(0, 1);
    // Room for an option and its type ("--view INT:decimal 0 to 14") before its text.
    app.get_formatter()->column_width(kHelpColumn);
    // The parser's own usage errors read like the commands' (UsageError).
    app.failure_message([](const CLI::App* failed, const CLI::Error& e) {
        return "zarvel-cli: " + CLI::FailureMessage::simple(failed, e);
    });

    // Every command's options exist while parsing (the parser writes into them); the
    // chosen command's are kept.
    constexpr size_t kCount = std::size(kCommands);
    std::any options[kCount];
    CLI::App* commands[kCount];
    for (size_t i = 0; i < kCount; ++i) {
        options[i] = kCommands[i].makeOptions();
        commands[i] = app.add_subcommand(kCommands[i].name, kCommands[i].summary);
        kCommands[i].addOptions(*commands[i], options[i]);
    }

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

    for (size_t i = 0; i < kCount; ++i) {
        if (!commands[i]->parsed()) continue;
        inv.command = kCommands[i].name;
        inv.options = std::move(options[i]);
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
    const Invocation inv = ParseArgs(argc, argv);
    if (inv.finished) {
        out << inv.out;
        err << inv.err;
        return inv.status;
    }
    // A thread count outside 1 to 64 is a wrong call, not one quietly ignored.
    if (const std::string problem = plat::DrawThreadsProblem(); !problem.empty()) {
        err << UsageError(problem);
        return 2;
    }
    const CommandRow* row = FindCommand(inv.command);
    return row ? row->run(inv.options, out, err) : 2;
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
