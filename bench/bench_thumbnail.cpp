// A file manager's thumbnail of a real model, the whole command as the thumbnailer runs
// it (library folder from LDRAWDIR, load, fit, drawing, PNG with alpha) but in-process:
// the Falcon and the Cafe Corner at 256 pixels, the Falcon at 1024. Run as a program,
// the command adds its start (a few milliseconds).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "args.h"

namespace {

const std::filesystem::path kLdraw = ZARVEL_BENCH_SHARED_LDRAW;

void Thumbnail(benchmark::State& st, const std::string& model, int size) {
    const std::filesystem::path path = kLdraw / "models" / model;
    if (!std::filesystem::exists(path)) {
        st.SkipWithError("shared LDraw library not present");
        return;
    }
    // The library from LDRAWDIR; no stored setting of the desktop program is read.
    const std::filesystem::path config = std::filesystem::temp_directory_path() / "zarvel-bench";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("LDRAWDIR", kLdraw.c_str(), 1);
    const std::string output = (config / "thumbnail.png").string();
    std::filesystem::create_directories(config);
    const std::string sizeText = std::to_string(size);
    const std::vector<const char*> argv = {"zarvel-cli",     "thumbnail",  "--cpu-limit", "0", "-s",
                                           sizeText.c_str(), path.c_str(), output.c_str()};
    for (auto _ : st) {
        std::ostringstream out, err;
        if (cli::RunCli(static_cast<int>(argv.size()), argv.data(), out, err) != 0) {
            st.SkipWithError(("thumbnail failed: " + err.str()).c_str());
            break;
        }
    }
    std::filesystem::remove_all(config);
}

void BM_FalconThumbnail256(benchmark::State& st) {
    Thumbnail(st, "10179-1 - Millennium Falcon - UCS.mpd", 256);
}
void BM_FalconThumbnail1024(benchmark::State& st) {
    Thumbnail(st, "10179-1 - Millennium Falcon - UCS.mpd", 1024);
}
void BM_CafeCornerThumbnail256(benchmark::State& st) {
    Thumbnail(st, "10182-1 - Cafe Corner.mpd", 256);
}

}  // namespace

BENCHMARK(BM_FalconThumbnail256)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_FalconThumbnail1024)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CafeCornerThumbnail256)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
