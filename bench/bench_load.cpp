// Loading the largest real model into an empty parts table, every file read afresh:
// as a reload does (the folder listings of the load before kept, each checked at
// every lookup), as the first load of a process does (every folder listed), and in a
// process of its own, whose memory is all new (as the command line's load is). Then
// parts of that work alone: reading the files it reads, and scanning their lines.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "colours.h"
#include "diagnostics.h"
#include "files.h"
#include "largepages.h"
#include "linereader.h"
#include "loader.h"
#include "messagebox.h"
#include "model.h"
#include "tokens.h"

namespace {

const std::filesystem::path kLdraw = ZARVEL_BENCH_SHARED_LDRAW;
const std::string kFalcon = (kLdraw / "models/10179-1 - Millennium Falcon - UCS.mpd").string();

class QuietBox : public plat::MessageBoxHandler {
  public:
    plat::MessageAnswer Show(const std::string&, plat::MessageKind) override {
        return plat::MessageAnswer::Ok;
    }
};

void LoadFalcon(benchmark::State& state, bool firstLoad) {
    if (!std::filesystem::exists(kFalcon)) {
        state.SkipWithError("shared LDraw library not present");
        return;
    }
    QuietBox box;
    plat::SetMessageBoxHandler(&box);
    // Bytes of every file a load opens.
    uint64_t bytesRead = 0;
    QzLoadSettings settings;
    settings.ldrawDir = kLdraw.string();
    settings.onFileOpened = [&bytesRead](const QzPart&, const std::string& path) {
        std::error_code ec;
        bytesRead += std::filesystem::file_size(path, ec);
    };
    QzPalette palette;
    int parts = 0;
    uint64_t bytes = 0;
    uint64_t listings = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QzModel model;
        bytesRead = 0;
        if (firstLoad) plat::ClearPathCache();
        plat::ResetPathLookupWork();
        state.ResumeTiming();
        if (QzReadModel(model, kFalcon, settings, palette) != 1) state.SkipWithError("load failed");
        parts = model.partCount;
        bytes = bytesRead;
        listings = plat::PathLookupWorkSinceClear().listings;
        state.PauseTiming();
        model = QzModel();
        state.ResumeTiming();
    }
    plat::SetMessageBoxHandler(nullptr);
    state.counters["parts"] = parts;
    state.counters["listings"] = static_cast<double>(listings);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}
void BM_LoadFalcon(benchmark::State& state) { LoadFalcon(state, false); }
void BM_LoadFalconFirst(benchmark::State& state) { LoadFalcon(state, true); }
BENCHMARK(BM_LoadFalcon)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadFalconFirst)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The load of the Falcon in this process, whose memory is new (bench_load
// --load-once): its time in milliseconds and the page faults it took, on one line.
int LoadOnce() {
    QuietBox box;
    plat::SetMessageBoxHandler(&box);
    QzLoadSettings settings;
    settings.ldrawDir = kLdraw.string();
    QzPalette palette;
    QzModel model;
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    const int loaded = QzLoadModel(model, kFalcon, settings, palette, false);
    const auto end = std::chrono::steady_clock::now();
    getrusage(RUSAGE_SELF, &after);
    plat::SetMessageBoxHandler(nullptr);
    std::printf("%.6f %ld\n", std::chrono::duration<double, std::milli>(end - start).count(),
                after.ru_minflt - before.ru_minflt);
    return loaded == 1 ? 0 : 1;
}

// The load as the command line's makes it: in a new process (this program again, with
// --load-once), timed there. Argument 1: the heap grown in large pages first, as the
// command line program does; 0: the heap as the C library sets it up.
void BM_LoadFalconNewProcess(benchmark::State& state) {
    const char* mode = state.range(0) ? "--load-once-large-heap" : "--load-once";
    if (!std::filesystem::exists(kFalcon)) {
        state.SkipWithError("shared LDraw library not present");
        return;
    }
    double faults = 0;
    for (auto _ : state) {
        int out[2];
        if (pipe(out) != 0) {
            state.SkipWithError("no pipe");
            return;
        }
        const pid_t child = fork();
        if (child == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            execl("/proc/self/exe", "bench_load", mode, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        char text[128] = {};
        size_t filled = 0;
        ssize_t n;
        while (filled + 1 < sizeof text &&
               (n = read(out[0], text + filled, sizeof text - 1 - filled)) > 0)
            filled += static_cast<size_t>(n);
        close(out[0]);
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || status != 0) {
            state.SkipWithError("the load in a new process failed");
            return;
        }
        double ms = 0;
        long childFaults = 0;
        if (std::sscanf(text, "%lf %ld", &ms, &childFaults) != 2) {
            state.SkipWithError("no time from the new process");
            return;
        }
        state.SetIterationTime(ms / 1000);
        faults = static_cast<double>(childFaults);
    }
    state.counters["faults"] = faults;
}
BENCHMARK(BM_LoadFalconNewProcess)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20);

// The files a load of the Falcon reads, as the file system names them, in the order
// they were opened.
const std::vector<std::string>& FalconFiles() {
    static const std::vector<std::string> files = [] {
        std::vector<std::string> paths;
        QuietBox box;
        plat::SetMessageBoxHandler(&box);
        QzLoadSettings settings;
        settings.ldrawDir = kLdraw.string();
        settings.onFileOpened = [&paths](const QzPart&, const std::string& path) {
            paths.push_back(path);
        };
        QzPalette palette;
        QzModel model;
        QzReadModel(model, kFalcon, settings, palette);
        plat::SetMessageBoxHandler(nullptr);
        return paths;
    }();
    return files;
}

// The part of a load that reads the files' lines: every file the Falcon reaches, opened
// and read into a fresh record of its own (lines, checks, the line store), without the
// lookups of the library folders or the bounds.
void BM_ReadFalconFiles(benchmark::State& state) {
    if (!std::filesystem::exists(kFalcon)) {
        state.SkipWithError("shared LDraw library not present");
        return;
    }
    const std::vector<std::string>& files = FalconFiles();
    QuietBox box;
    plat::SetMessageBoxHandler(&box);
    QzPalette palette;
    uint64_t lines = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QzModel model;
        QzLogContext log(model.inputLog, model.inputDiagnostics);
        QzReadContext context{model, log, palette, {}};
        state.ResumeTiming();
        lines = 0;
        for (const std::string& path : files) {
            plat::TextFile file;
            QzPart* part = QzFindPart(model, log, true, "file");
            if (!part || !file.Open(path)) continue;
            QzReadPartFile(context, file, part, nullptr, false);
            for (const QzLine* line = part->lines; line; line = line->next) ++lines;
            QzFreePart(part);
        }
        benchmark::DoNotOptimize(lines);
    }
    plat::SetMessageBoxHandler(nullptr);
    state.counters["files"] = static_cast<double>(files.size());
    state.counters["lines"] = static_cast<double>(lines);
    state.SetItemsProcessed(static_cast<int64_t>(lines) * state.iterations());
}
BENCHMARK(BM_ReadFalconFiles)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The line grammar's scanner alone, over the lines of types 1 to 5 of those files.
void BM_ScanFalconLines(benchmark::State& state) {
    if (!std::filesystem::exists(kFalcon)) {
        state.SkipWithError("shared LDraw library not present");
        return;
    }
    std::vector<std::string> lines;
    for (const std::string& path : FalconFiles()) {
        plat::TextFile file;
        if (!file.Open(path)) continue;
        std::string_view line;
        while (file.ReadLine(line, QZ_LINE_BUFFER)) {
            line = QzTrimLineEnd(line);
            const size_t start = line.find_first_not_of(" \t");
            if (start != std::string_view::npos && line[start] >= '1' && line[start] <= '5')
                lines.emplace_back(line.substr(start));
        }
    }
    uint64_t fields = 0;
    for (auto _ : state) {
        for (const std::string& line : lines) fields += QzScanLine(line).fields;
        benchmark::DoNotOptimize(fields);
    }
    state.counters["lines"] = static_cast<double>(lines.size());
    state.SetItemsProcessed(static_cast<int64_t>(lines.size()) * state.iterations());
}
BENCHMARK(BM_ScanFalconLines)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--load-once") == 0) return LoadOnce();
    if (argc == 2 && std::strcmp(argv[1], "--load-once-large-heap") == 0) {
        plat::GrowHeapInLargePages();
        return LoadOnce();
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
