// Loading the largest real model into an empty parts table, every file read afresh:
// as a reload does (the folder listings of the load before kept, each checked at
// every lookup), and as the first load of a process does (every folder listed).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "colours.h"
#include "diagnostics.h"
#include "files.h"
#include "loader.h"
#include "messagebox.h"
#include "model.h"

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

}  // namespace

BENCHMARK_MAIN();
