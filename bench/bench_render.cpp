// Drawing the largest real model at 1024 x 768 in view 1 with the fitted zoom: a full
// redraw as after a resize, the redraw after a view command, and the drag previews; the
// first full drawing after a load (the parts' drawing forms made first, as a command
// line render does). Full
// redraws run with one thread and with two (the argument), and for the Tower Bridge, the
// Cafe Corner and a generated flat model of 200,000 bricks too; the Falcon's full redraw
// in the high-quality mode with one and two threads beside them.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>

#include "atomicfile.h"
#include "diagnostics.h"
#include "drawpass.h"
#include "loader.h"
#include "messagebox.h"
#include "model.h"
#include "partmesh.h"
#include "viewcore.h"
#include "walk.h"

namespace {

const std::filesystem::path kLdraw = ZARVEL_BENCH_SHARED_LDRAW;

class QuietBox : public plat::MessageBoxHandler {
  public:
    plat::MessageAnswer Show(const std::string&, plat::MessageKind) override {
        return plat::MessageAnswer::Ok;
    }
};

// One loaded model and one view for all benchmarks of a model.
struct Scene {
    std::string loaded;
    QzModel model;
    QzViewCore view;
};

// A flat model of 200,000 2 x 4 bricks of six colours laid in a square, written once to
// a temporary folder.
struct TempFolder {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("zarvel-bench-" + std::to_string(static_cast<long>(getpid())));
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

std::string FlatModel() {
    static std::string path;
    if (!path.empty()) return path;
    static TempFolder folder;
    const std::filesystem::path& dir = folder.dir;
    std::filesystem::create_directories(dir);
    path = (dir / "flat200k.ldr").string();
    std::ostringstream text;
    text << "0 Flat plate of 200000 bricks\n";
    const int side = 448;
    for (int i = 0; i < 200000; ++i) {
        const int x = i % side, z = i / side;
        text << "1 " << (1 + i % 6) << ' ' << x * 80 << " 0 " << z * 40
             << " 1 0 0 0 1 0 0 0 1 3001.dat\n";
    }
    std::string error;
    if (!plat::WriteFileAtomically(path, text.str(), error)) path.clear();
    return path;
}

const char* const kFlat = "flat200k";

Scene& SceneFor(const std::string& name) {
    static Scene scene;
    if (scene.loaded != name) {
        static QuietBox box;
        plat::SetMessageBoxHandler(&box);
        scene.model = QzModel();
        QzLoadSettings settings;
        settings.ldrawDir = kLdraw.string();
        const std::string path = name == kFlat ? FlatModel() : (kLdraw / "models" / name).string();
        scene.loaded =
            QzReadModel(scene.model, path, settings, scene.view.State().palette) == 1 ? name : "";
        scene.view.Resize(1024, 768);
        scene.view.State().SetStandardView(1);
        scene.view.State().zoom = scene.view.FitZoom(scene.model);
        scene.view.State().dragging = false;
    }
    return scene;
}

// Everything: a full redraw that draws the files lying behind what is drawn already too.
// First: a full redraw after the parts' drawing forms were let go, as after a load.
// The high-quality drawing likewise: redrawn, the first after a load (its meshes made),
// and leaving out nothing.
enum class Kind {
    Full,
    Everything,
    First,
    Partial,
    Wire,
    Solid,
    HighQuality,
    HighQualityFirst,
    HighQualityEverything
};

const char* const kFalcon = "10179-1 - Millennium Falcon - UCS.mpd";

void Redraw(benchmark::State& st, const std::string& model, Kind kind) {
    if (!std::filesystem::exists(kLdraw / "models" / kFalcon)) {
        st.SkipWithError("shared LDraw library not present");
        return;
    }
    Scene& scene = SceneFor(model);
    if (scene.loaded.empty()) {
        st.SkipWithError("model did not load");
        return;
    }
    QzRenderState& rs = scene.view.State();
    rs.dragging = kind == Kind::Wire || kind == Kind::Solid;
    rs.dragMode = kind == Kind::Solid ? 2 : 3;
    const bool high = kind == Kind::HighQuality || kind == Kind::HighQualityFirst ||
                      kind == Kind::HighQualityEverything;
    const bool first = kind == Kind::First || kind == Kind::HighQualityFirst;
    const bool full = high || first || kind == Kind::Full || kind == Kind::Everything;
    rs.threads = full ? static_cast<int>(st.range(0)) : 0;
    rs.options.highQuality = high;
    rs.options.skipHidden = kind != Kind::Everything && kind != Kind::HighQualityEverything;
    // Warm up (the high-quality drawing builds its meshes), and leave a drawn area for
    // partial clears.
    scene.view.Draw(scene.model);
    for (auto _ : st) {
        if (first) {
            st.PauseTiming();
            for (int i = 0; i < scene.model.partCount; ++i) QzFreeDrawData(scene.model.parts[i]);
            st.ResumeTiming();
        }
        scene.view.Redraw(scene.model, full);
    }
    rs.dragging = false;
    rs.options.highQuality = false;
    rs.options.skipHidden = true;
    const QzDrawStatistics& s = scene.view.Statistics();
    const double faces = s.typeCount[3] + s.typeCount[4];
    const double lines = s.typeCount[2] + s.typeCount[5];
    st.counters["zoom"] = rs.zoom;
    st.counters["faces"] = faces;
    st.counters["lines"] = lines;
    if (!rs.dragging && kind != Kind::Wire && kind != Kind::Solid) {
        st.counters["faces/s"] =
            benchmark::Counter(faces, benchmark::Counter::kIsIterationInvariantRate);
    }
}

const char* const kBridge = "10214-1 - Tower Bridge.mpd";
const char* const kCafe = "10182-1 - Cafe Corner.mpd";

void BM_FalconFullRedraw(benchmark::State& st) { Redraw(st, kFalcon, Kind::Full); }
void BM_FalconFullRedrawEverything(benchmark::State& st) { Redraw(st, kFalcon, Kind::Everything); }
void BM_FalconFirstFullRedraw(benchmark::State& st) { Redraw(st, kFalcon, Kind::First); }
void BM_FalconRedraw(benchmark::State& st) { Redraw(st, kFalcon, Kind::Partial); }
void BM_FalconWirePreview(benchmark::State& st) { Redraw(st, kFalcon, Kind::Wire); }
void BM_FalconSolidPreview(benchmark::State& st) { Redraw(st, kFalcon, Kind::Solid); }
void BM_BridgeFullRedraw(benchmark::State& st) { Redraw(st, kBridge, Kind::Full); }
void BM_CafeFullRedraw(benchmark::State& st) { Redraw(st, kCafe, Kind::Full); }
void BM_FlatFullRedraw(benchmark::State& st) { Redraw(st, kFlat, Kind::Full); }
void BM_FalconHighQualityRedraw(benchmark::State& st) { Redraw(st, kFalcon, Kind::HighQuality); }
void BM_FalconHighQualityFirstRedraw(benchmark::State& st) {
    Redraw(st, kFalcon, Kind::HighQualityFirst);
}
void BM_FalconHighQualityRedrawEverything(benchmark::State& st) {
    Redraw(st, kFalcon, Kind::HighQualityEverything);
}

BENCHMARK(BM_FalconFullRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_FalconFullRedrawEverything)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);
BENCHMARK(BM_FalconFirstFullRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_FalconRedraw)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FalconWirePreview)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FalconSolidPreview)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BridgeFullRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CafeFullRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FlatFullRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FalconHighQualityRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_FalconHighQualityFirstRedraw)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);
BENCHMARK(BM_FalconHighQualityRedrawEverything)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

// The meshes of every library part the Falcon places, made one after another on one
// thread (the work of the first high-quality drawing after a load, before it draws).
class LibraryParts {
  public:
    using Frame = int;
    Frame Place(const Frame&, const QzPlaced&) { return 0; }
    bool Enter(const QzPlaced& placed, const Frame&, const QzDrawItem*, const QzDrawItem*) {
        const QzPart& part = *placed.part;
        if (std::find(parts.begin(), parts.end(), &part) != parts.end()) return false;
        if (!(part.flags & (PF_PARTS_DIR | PF_PRIM_DIR))) return true;
        parts.push_back(&part);
        return false;
    }
    void Run(const QzPlaced&, const Frame&, const QzDrawItem*, const QzDrawItem*) {}
    void Leave(const QzPlaced&, const Frame&) {}
    void Passed(const QzPlaced&) {}
    bool Full() const { return false; }
    std::vector<const QzPart*> parts;
};

void BM_FalconPartMeshes(benchmark::State& st) {
    if (!std::filesystem::exists(kLdraw / "models" / kFalcon)) {
        st.SkipWithError("shared LDraw library not present");
        return;
    }
    Scene& scene = SceneFor(kFalcon);
    if (scene.loaded.empty()) {
        st.SkipWithError("model did not load");
        return;
    }
    LibraryParts finder;
    QzWalkRules rules;
    rules.palette = &scene.view.State().palette;
    rules.textures = true;
    if (!QzPrepareDrawData(&scene.model.Main())) {
        st.SkipWithError("no memory");
        return;
    }
    QzWalk(rules, scene.model.Main(), nullptr, 7, true, 0, finder);
    size_t triangles = 0;
    for (auto _ : st) {
        triangles = 0;
        for (const QzPart* part : finder.parts) {
            QzPartMesh mesh = QzBuildPartMesh(*part, true);
            triangles += mesh.triangles.size();
            benchmark::DoNotOptimize(mesh.positions.data());
        }
    }
    st.counters["parts"] = static_cast<double>(finder.parts.size());
    st.counters["triangles"] = static_cast<double>(triangles);
}
BENCHMARK(BM_FalconPartMeshes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
