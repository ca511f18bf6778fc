#include "cmd_check.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <map>
#include <ostream>
#include <string_view>

#include "clock.h"
#include "diagnostics.h"
#include "files.h"
#include "linereader.h"
#include "loader.h"
#include "loadmodel.h"

namespace cli {

namespace {

// Loads shorter than this show no progress; after that it is redrawn at most this often.
constexpr uint32_t kProgressDelayMs = 1000;
constexpr uint32_t kProgressIntervalMs = 100;

// What the file hook of one load records: the files read, for the GNU form, and the
// progress shown on a terminal.
struct LoadWatch {
    std::vector<std::pair<std::string, std::string>> files;
    std::ostream* progress = nullptr;
    std::string model;
    uint32_t start = 0;
    uint32_t lastShown = 0;
    bool shown = false;
};
LoadWatch* watch = nullptr;

void OnFileOpened(const QzPart& part, const std::string& path) {
    if (!watch) return;
    watch->files.emplace_back(part.name, path);
    uint32_t now = plat::TickCount();
    if (watch->progress && now - watch->start > kProgressDelayMs &&
        (!watch->shown || now - watch->lastShown >= kProgressIntervalMs)) {
        watch->lastShown = now;
        *watch->progress << "\rzarvel-cli: loading " << watch->model << ": " << watch->files.size()
                         << " files read" << std::flush;
        watch->shown = true;
    }
}

// Physical line n (from 1) of a file as the reader saw it: split at the reader's
// buffer size, trailing blanks and line ends removed.
class LineSource {
  public:
    const std::string* Line(const std::string& path, uint32_t n) {
        const std::vector<std::string>& lines = Lines(path);
        if (n == 0 || n > lines.size()) return nullptr;
        return &lines[n - 1];
    }
    // The number of the file's last line: where the reader stood at its end.
    size_t LastLine(const std::string& path) { return Lines(path).size(); }

  private:
    const std::vector<std::string>& Lines(const std::string& path) {
        auto it = files_.find(path);
        if (it == files_.end()) {
            std::vector<std::string> lines;
            plat::TextFile file;
            if (file.Open(path)) {
                std::string_view raw;
                while (file.ReadLine(raw, QZ_LINE_BUFFER)) lines.emplace_back(QzTrimLineEnd(raw));
            }
            it = files_.emplace(path, std::move(lines)).first;
        }
        return it->second;
    }

    std::map<std::string, std::vector<std::string>> files_;
};

LineSource* lineSource = nullptr;

const std::string* PathOf(const std::string& name,
                          const std::vector<std::pair<std::string, std::string>>& files) {
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        if (it->first == name) return &it->second;
    }
    return nullptr;
}

bool ConsumePrefix(std::string_view& text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) return false;
    text.remove_prefix(prefix.size());
    return true;
}

}  // namespace

std::string GnuLogLine(const std::string& line,
                       const std::vector<std::pair<std::string, std::string>>& files) {
    std::string_view rest = line;
    const char* severity;
    if (ConsumePrefix(rest, "WARNING \"")) {
        severity = "warning";
    } else if (ConsumePrefix(rest, "SKIPPING \"")) {
        severity = "error";
    } else {
        return line;
    }

    // "NAME" Line N: MESSAGE: LINE TEXT
    size_t mark = rest.find("\" Line ");
    if (mark != std::string_view::npos) {
        std::string name(rest.substr(0, mark));
        std::string_view tail = rest.substr(mark + 7);
        uint32_t number = 0;
        size_t digits = 0;
        while (digits < tail.size() && tail[digits] >= '0' && tail[digits] <= '9') {
            number = number * 10 + static_cast<uint32_t>(tail[digits] - '0');
            ++digits;
        }
        std::string_view message = tail.substr(digits);
        if (digits > 0 && ConsumePrefix(message, ": ")) {
            const std::string* path = PathOf(name, files);
            std::string file = path ? *path : name;
            // The log repeats the line's text after the message; the editor shows it.
            if (path && lineSource) {
                const std::string* text = lineSource->Line(*path, number);
                if (text) {
                    std::string suffix = ": " + *text;
                    if (message.size() >= suffix.size() &&
                        message.substr(message.size() - suffix.size()) == suffix) {
                        message.remove_suffix(suffix.size());
                    }
                }
            }
            return file + ":" + std::to_string(number) + ": " + severity + ": " +
                   std::string(message);
        }
    }
    // "NAME": End-Of-File, ...: placed on the file's last line when the file is known.
    mark = rest.find("\": ");
    if (mark != std::string_view::npos) {
        std::string name(rest.substr(0, mark));
        const std::string* path = PathOf(name, files);
        std::string where = path ? *path : name;
        if (path && lineSource && lineSource->LastLine(*path) > 0) {
            where += ":" + std::to_string(lineSource->LastLine(*path));
        }
        return where + ": " + severity + ": " + std::string(rest.substr(mark + 3));
    }
    return line;
}

CLI::App* AddCheckCommand(CLI::App& app, CheckOptions& options) {
    CLI::App* sub = app.add_subcommand("check", "Load models and print what the reader reports.");
    sub->add_option("--ldraw", options.ldraw, "LDraw library directory (default: $LDRAWDIR)");
    sub->add_flag("--no-cache", options.noCache, "Read every subfile again for each model");
    sub->add_flag("--gnu", options.gnu, "Report as PATH:LINE: warning|error: MESSAGE");
    sub->add_option("models", options.models, "Model files (.dat, .ldr, .mpd)")->required();
    return sub;
}

int RunCheck(const CheckOptions& options, std::ostream& out, std::ostream& err) {
    bool failed = false;
    bool reported = false;
    bool terminal = &err == &std::cerr && isatty(STDERR_FILENO);
    LineSource lines;
    lineSource = &lines;

    for (const std::string& model : options.models) {
        LoadWatch load;
        load.model = model;
        load.progress = terminal ? &err : nullptr;
        load.start = plat::TickCount();
        watch = &load;
        QzFileHook = OnFileOpened;
        LoadResult result = LoadModelForCli(options.ldraw, model, !options.noCache, err);
        QzFileHook = nullptr;
        watch = nullptr;
        if (load.shown) err << "\r\033[K" << std::flush;

        if (!result.loaded) failed = true;
        if (result.boxes > 0 || !QzInputLog.empty()) reported = true;

        std::string_view log = QzInputLog;
        while (!log.empty()) {
            size_t end = log.find("\r\n");
            std::string entry(log.substr(0, end));
            log.remove_prefix(end == std::string_view::npos ? log.size() : end + 2);
            out << (options.gnu ? GnuLogLine(entry, load.files) : entry) << '\n';
        }
    }
    lineSource = nullptr;
    out.flush();
    return failed ? 2 : reported ? 1 : 0;
}

}  // namespace cli
