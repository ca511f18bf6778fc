// The desktop program on the largest real model, offscreen, in a 1024 x 768 view: the
// pieces of the time from the start of the process to the first complete picture, a
// reload of the unchanged model, and one step of a drag with the wire preview, repaint
// included.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <filesystem>
#include <memory>

#include "app.h"
#include "document.h"
#include "mainframe.h"
#include "modal.h"
#include "model.h"
#include "view.h"

namespace {

const std::filesystem::path kLdraw = ZARVEL_BENCH_SHARED_LDRAW;
const std::filesystem::path kFalcon = kLdraw / "models" / "10179-1 - Millennium Falcon - UCS.mpd";

// The program with no model, its view made 1024 x 768.
std::unique_ptr<CQzApp> StartEmpty() {
    auto app = std::make_unique<CQzApp>(QStringList{"-PollOff"});
    app->InitInstance();
    CMainFrame* frame = app->Frame();
    frame->resize(frame->size() + QSize(1024, 768) - app->View()->size());
    QCoreApplication::processEvents();
    return app;
}

// An empty parts cache for the next open.
void FreeModel(CQzApp& app) { app.Document()->Model() = QzModel(); }

// Creating the main window, showing it and drawing the empty view.
void BM_StartWithoutModel(benchmark::State& st) {
    for (auto _ : st) {
        auto app = StartEmpty();
        benchmark::DoNotOptimize(app.get());
        st.PauseTiming();
        app.reset();
        st.ResumeTiming();
    }
}

// Opening the model in the shown window: load, log window, full picture on screen.
void BM_OpenFalcon(benchmark::State& st) {
    if (!std::filesystem::exists(kFalcon))
        return st.SkipWithError("shared LDraw library not present");
    auto app = StartEmpty();
    if (app->View()->size() != QSize(1024, 768)) return st.SkipWithError("view not 1024 x 768");
    for (auto _ : st) {
        st.PauseTiming();
        FreeModel(*app);
        st.ResumeTiming();
        app->OpenDocumentFile(QString::fromStdString(kFalcon.string()));
    }
}

// File > Reload (F5) of the unchanged model: the parts cache kept, the model's own file
// and sections read again, the full picture on screen.
void BM_ReloadFalcon(benchmark::State& st) {
    if (!std::filesystem::exists(kFalcon))
        return st.SkipWithError("shared LDraw library not present");
    auto app = StartEmpty();
    app->OpenDocumentFile(QString::fromStdString(kFalcon.string()));
    for (auto _ : st) {
        app->Reload();
        QCoreApplication::processEvents();
    }
}

// One mouse movement of a drag without keys: turn, wire preview, repaint of the image.
void BM_WireDragStep(benchmark::State& st) {
    if (!std::filesystem::exists(kFalcon))
        return st.SkipWithError("shared LDraw library not present");
    auto app = StartEmpty();
    app->OpenDocumentFile(QString::fromStdString(kFalcon.string()));
    CQzView* view = app->View();
    auto send = [view](QEvent::Type type, QPoint at) {
        QMouseEvent event(type, at, view->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(view, &event);
    };
    const QPoint start(500, 400);
    send(QEvent::MouseButtonPress, start);
    int step = 0;
    for (auto _ : st) {
        ++step;
        send(QEvent::MouseMove, start + QPoint(step % 40, step % 17));
    }
    send(QEvent::MouseButtonRelease, start);
}

BENCHMARK(BM_StartWithoutModel)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenFalcon)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReloadFalcon)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WireDragStep)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config, runtime;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    qputenv("LDRAWDIR", kLdraw.string().c_str());
    QElapsedTimer clock;
    clock.start();
    QApplication application(argc, argv);
    std::printf("QApplication: %lld ms\n", static_cast<long long>(clock.elapsed()));
    // Every log window and box is closed at once.
    app::SetModalHandler([](QDialog&) { return int(QDialog::Rejected); });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
