// Costs of the platform services the loader leans on: looking up file names in every
// letter case (mostly misses), reading whole text files line by line, and formatting.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files.h"
#include "format.h"

namespace {

namespace fs = std::filesystem;

const fs::path kLdraw = fs::path(ZARVEL_BENCH_SHARED_LDRAW);

std::vector<std::string> PartNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kLdraw / "parts", ec)) {
        if (entry.path().extension() == ".dat") names.push_back(entry.path().stem().string());
        if (names.size() == 500) break;
    }
    return names;
}

// Each name looked for the way the loader does: seven places, three extensions, with
// Windows separators and upper-case names, the cache cleared once per "load".
void BM_ResolveSearchOrder(benchmark::State& state) {
    std::vector<std::string> names = PartNames();
    if (names.empty()) {
        state.SkipWithError("shared LDraw library not present");
        return;
    }
    const std::string base = kLdraw.string();
    const char* places[] = {"\\BFC\\P\\", "\\BFC\\PARTS\\", "\\P\\", "\\PARTS\\", "\\MODELS\\",
                            "\\",         "\\MODELS\\SUB\\"};
    const char* extensions[] = {".DAT", ".LDR", ".MPD"};
    std::vector<std::string> queries;
    for (const std::string& name : names)
        for (const char* place : places)
            for (const char* extension : extensions)
                queries.push_back(base + place + name + extension);
    size_t found = 0;
    for (auto _ : state) {
        plat::ClearPathCache();
        for (const std::string& query : queries) found += plat::ResolvePath(query).has_value();
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * queries.size()));
}
BENCHMARK(BM_ResolveSearchOrder)->Unit(benchmark::kMillisecond);

void BM_ReadLargestModel(benchmark::State& state) {
    fs::path largest;
    uintmax_t size = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kLdraw / "models", ec)) {
        if (entry.file_size() > size) {
            size = entry.file_size();
            largest = entry.path();
        }
    }
    if (largest.empty()) {
        state.SkipWithError("shared LDraw library not present");
        return;
    }
    size_t lines = 0;
    for (auto _ : state) {
        plat::TextFile file;
        file.Open(largest.string());
        std::string_view line;
        while (file.ReadLine(line, 1000)) ++lines;
    }
    benchmark::DoNotOptimize(lines);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_ReadLargestModel)->Unit(benchmark::kMicrosecond);

void BM_FormatTypeOneLine(benchmark::State& state) {
    size_t total = 0;
    for (auto _ : state) {
        std::string text =
            plat::Format("%d %s  %g %g %g  %g %g %g  %g %g %g  %g %g %g  %s", 1, "4", 10.0, -24.0,
                         1e-5, 1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0, "3001.dat");
        total += text.size();
    }
    benchmark::DoNotOptimize(total);
}
BENCHMARK(BM_FormatTypeOneLine);

}  // namespace

BENCHMARK_MAIN();
