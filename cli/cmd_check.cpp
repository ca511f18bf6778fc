#include "cmd_check.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <ostream>
#include <string_view>

#include "clock.h"
#include "colours.h"
#include "diagnostics.h"
#include "files.h"
#include "loader.h"
#include "loadmodel.h"

namespace cli {

namespace {

// Loads shorter than this show no progress; after that it is redrawn at most this often.
constexpr uint32_t kProgressDelayMs = 1000;
constexpr uint32_t kProgressIntervalMs = 100;

// Where each part of one load was read from, for the GNU form, and the progress shown
// on a terminal while it loads.
struct LoadWatch {
    std::vector<std::pair<std::string, std::string>> files;
    std::ostream* progress = nullptr;
    std::string model;
    uint32_t start = 0;
    uint32_t lastShown = 0;
    bool shown = false;

    void FileOpened(const QzPart& part, const std::string& path) {
        files.emplace_back(part.name, path);
        const uint32_t now = plat::TickCount();
        if (progress && now - start > kProgressDelayMs &&
            (!shown || now - lastShown >= kProgressIntervalMs)) {
            lastShown = now;
            *progress << "\rzarvel-cli: loading " << model << ": " << files.size() << " files read"
                      << std::flush;
            shown = true;
        }
    }
};

const std::string* PathOf(const std::string& name,
                          const std::vector<std::pair<std::string, std::string>>& files) {
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        if (it->first == name) return &it->second;
    }
    return nullptr;
}

}  // namespace

std::string GnuLogLine(const QzDiagnostic& entry,
                       const std::vector<std::pair<std::string, std::string>>& files) {
    if (entry.kind != QZ_WARNING && entry.kind != QZ_SKIPPING) return entry.message;
    const std::string* path = PathOf(entry.file, files);
    return (path ? *path : entry.file) + ":" + std::to_string(entry.lineNo) + ": " +
           (entry.kind == QZ_WARNING ? "warning" : "error") + ": " + entry.message;
}

void AddCheckOptions(CLI::App& command, CheckOptions& options) {
    AddLdrawOption(command, options.ldraw);
    command.add_flag("--no-cache", options.noCache, "Read every subfile again for each model");
    command.add_flag("--gnu", options.gnu, "Report as PATH:LINE: warning|error: MESSAGE");
    AddSchemeOption(command, options.scheme);
    command.add_option("models", options.models, "Model files (.dat, .ldr, .mpd)")->required();
}

int RunCheck(const CheckOptions& options, std::ostream& out, std::ostream& err) {
    bool failed = false;
    bool reported = false;
    bool terminal = &err == &std::cerr && isatty(STDERR_FILENO);
    QzPalette palette;
    QzSelectColourScheme(palette, options.scheme);
    // One model for all: the parts read for one model are the cache of the next.
    QzModel loaded;

    for (const std::string& model : options.models) {
        LoadWatch load;
        load.model = model;
        load.progress = terminal ? &err : nullptr;
        load.start = plat::TickCount();
        const LoadResult result = LoadModelForCli(
            loaded, palette, options.ldraw, model, !options.noCache, err,
            [&load](const QzPart& part, const std::string& path) { load.FileOpened(part, path); });
        if (load.shown) err << "\r\033[K" << std::flush;
        if (result.libraryNotFound) return 2;

        if (!result.loaded) failed = true;
        if (result.boxes > 0 || !loaded.inputLog.empty()) reported = true;

        if (options.gnu) {
            for (const QzDiagnostic& entry : loaded.inputDiagnostics)
                out << GnuLogLine(entry, load.files) << '\n';
        } else {
            out << PlainLines(loaded.inputLog);
        }
    }
    out.flush();
    return failed ? 2 : reported ? 1 : 0;
}

}  // namespace cli
