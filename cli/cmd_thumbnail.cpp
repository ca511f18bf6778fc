#include "cmd_thumbnail.h"

#include <limits.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <ostream>
#include <string_view>

#include "files.h"
#include "ldrawdir.h"
#include "loadmodel.h"
#include "model.h"
#include "numbers.h"
#include "output.h"
#include "pngfile.h"
#include "viewcore.h"

namespace cli {

namespace {

// The ways a thumbnail finds the library (it takes no --ldraw: file managers give none).
constexpr const char* kThumbnailLibraryHint =
    "zarvel-cli: thumbnail: no LDraw library folder: choose one in the desktop program "
    "(Edit > Set LDrawDir...), set LDRAWDIR, name it as BaseDirectory in ldraw.ini, or "
    "install it in /usr/share/ldraw\n";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithIgnoringCase(const std::string& text, std::string_view start) {
    if (text.size() < start.size()) return false;
    for (size_t i = 0; i < start.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != start[i]) return false;
    return true;
}

// Whether the host of a file URI is this machine: none, "localhost", or the machine's
// own name (host names are compared without their letter case).
bool IsThisMachine(const std::string& host) {
    if (host.empty() || plat::SameIgnoringCase(host, "localhost")) return true;
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return false;
    return plat::SameIgnoringCase(host, name);
}

// Past the processor-time limit: the command ends at once. No temporary file exists
// while this can run (the limit's signal is ignored from before the output file is
// made), so there is nothing to remove.
void OnCpuLimit(int) {
    static const char kMessage[] = "zarvel-cli: thumbnail: processor time limit reached\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    _exit(1);
}

// Limits the process to `seconds` more of processor time (all threads together).
void LimitProcessorTime(int seconds) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const rlim_t used = static_cast<rlim_t>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec);
    rlimit limit{};
    getrlimit(RLIMIT_CPU, &limit);
    // The soft limit sends SIGXCPU; the hard one, a few seconds on, ends the process for
    // good should the handler not have run.
    const rlim_t soft = used + static_cast<rlim_t>(seconds);
    if (limit.rlim_max == RLIM_INFINITY || soft + 5 <= limit.rlim_max) limit.rlim_max = soft + 5;
    limit.rlim_cur = std::min(soft, limit.rlim_max);
    struct sigaction action {};
    action.sa_handler = OnCpuLimit;
    sigemptyset(&action.sa_mask);
    sigaction(SIGXCPU, &action, nullptr);
    setrlimit(RLIMIT_CPU, &limit);
}

}  // namespace

std::optional<std::string> ThumbnailInputPath(const std::string& input) {
    if (!StartsWithIgnoringCase(input, "file:")) return input;
    std::string rest = input.substr(5);
    if (rest.starts_with("//")) {
        // The authority: none or this machine.
        const size_t slash = rest.find('/', 2);
        if (slash == std::string::npos) return std::nullopt;
        if (!IsThisMachine(rest.substr(2, slash - 2))) return std::nullopt;
        rest.erase(0, slash);
    }
    if (!rest.starts_with("/") || rest.find('#') != std::string::npos) return std::nullopt;
    std::string path;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            path += rest[i];
            continue;
        }
        const int high = i + 2 < rest.size() ? HexDigit(rest[i + 1]) : -1;
        const int low = i + 2 < rest.size() ? HexDigit(rest[i + 2]) : -1;
        // A name holds neither a NUL nor a "/": an escaped one names no file (it must not
        // become a separator between folders).
        const int byte = high * 16 + low;
        if (high < 0 || low < 0 || byte == 0 || byte == '/') return std::nullopt;
        path += static_cast<char>(byte);
        i += 2;
    }
    return path;
}

void SetUpThumbnailDrawing(QzViewCore& view) {
    view.SetColourScheme(QZ_SCHEME_LDCONFIG);
    view.State().SetStandardView(1);
    // Anti-aliased, lit and with blended glass: at thumbnail size the normal drawing's
    // hard edge lines cover most of a large model.
    view.State().options.highQuality = true;
}

std::vector<uint8_t> DrawThumbnail(QzViewCore& view, const QzModel& model) {
    view.FitCentred(model);
    view.Draw(model);
    return view.RgbaPixels();
}

void AddThumbnailOptions(CLI::App& command, ThumbnailOptions& options) {
    command
        .add_option("-s,--size", options.size,
                    "Width and height in pixels (default " + std::to_string(kThumbnailSize) + ")")
        ->transform(Decimal(1, kMaxThumbnailSize));
    command.add_option("input", options.input, "Model file or file:// URI")->required();
    command.add_option("output", options.output, "PNG file to write")->required();
    AddSubmodelOption(command, options.submodel);
    // For the tests: a shorter limit, or none when they run the command in-process.
    command.add_option("--cpu-limit", options.cpuLimit)->transform(Decimal(0, 3600))->group("");
}

int RunThumbnail(const ThumbnailOptions& options, std::ostream&, std::ostream& err) {
    if (options.cpuLimit > 0) LimitProcessorTime(options.cpuLimit);
    const std::optional<std::string> path = ThumbnailInputPath(options.input);
    if (!path) {
        err << "zarvel-cli: thumbnail: not a local file: " << options.input << "\n";
        return 2;
    }
    if (!CheckOutputPath(options.output, *path, err)) return 2;

    QzViewCore view;
    SetUpThumbnailDrawing(view);
    if (!view.Resize(options.size, options.size)) {
        err << "zarvel-cli: thumbnail: not enough memory for the image\n";
        return 1;
    }
    // The library folder as the desktop program finds it, else the system's; nothing is
    // stored.
    std::string library = QzFindLDrawDir(QzStoredLDrawDir(QzDesktopSettingsPath()), nullptr);
    if (library.empty()) library = QzSystemLDrawDir();
    QzModel model;
    const LoadResult load = LoadModelForCli(model, view.State().palette, library, *path, false, err,
                                            {}, kThumbnailLibraryHint);
    if (!load.loaded) {
        if (!load.libraryNotFound) err << "zarvel-cli: could not load " << *path << "\n";
        return 2;
    }
    if (!ChooseSubmodel(model, view.State().palette, library, options.submodel, err)) return 2;
    view.State().submodel = options.submodel;
    const std::vector<uint8_t> rgba = DrawThumbnail(view, model);
    if (!DrawnWhole(view, err)) return 2;
    if (rgba.empty()) {
        err << "zarvel-cli: thumbnail: the model draws nothing: " << *path << "\n";
        return 1;
    }

    // The picture is complete: from here on the limit no longer ends the command, so no
    // temporary file can be left behind.
    if (options.cpuLimit > 0) signal(SIGXCPU, SIG_IGN);
    std::string error;
    if (!QzWritePng(options.output, options.size, options.size, 4, rgba.data(), error)) {
        err << "zarvel-cli: cannot write " << options.output << ": " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace cli
