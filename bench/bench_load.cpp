// Loading the largest real model into an empty parts table, every file read afresh.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "colours.h"
#include "diagnostics.h"
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

void BM_LoadFalcon(benchmark::State& state) {
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
    for (auto _ : state) {
        state.PauseTiming();
        QzModel model;
        bytesRead = 0;
        state.ResumeTiming();
        if (QzReadModel(model, kFalcon, settings, palette) != 1) state.SkipWithError("load failed");
        parts = model.partCount;
        bytes = bytesRead;
        state.PauseTiming();
        model = QzModel();
        state.ResumeTiming();
    }
    plat::SetMessageBoxHandler(nullptr);
    state.counters["parts"] = parts;
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}
BENCHMARK(BM_LoadFalcon)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
