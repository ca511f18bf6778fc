// Models that place more than a drawing can hold (a small file of many levels of many
// references places thousands of millions of parts): every drawing stops at its bound,
// in bounded time and memory, says so, and the commands write no file.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "cli_run.h"
#include "drawdata.h"
#include "drawlist.h"
#include "hqrender.h"
#include "loader.h"
#include "model.h"
#include "test_support.h"
#include "viewcore.h"

namespace {

namespace fs = std::filesystem;

// `levels` sections of `width` references each, the last placing `leaf`: width^levels
// placements of it.
std::string Nested(int levels, int width, const std::string& leaf) {
    std::ostringstream text;
    for (int level = 0; level < levels; ++level) {
        text << "0 FILE level" << level << ".ldr\n";
        for (int k = 0; k < width; ++k) {
            const std::string name =
                level + 1 < levels ? "level" + std::to_string(level + 1) + ".ldr" : leaf;
            text << "1 16 " << k * 20 << " 0 0 1 0 0 0 1 0 0 0 1 " << name << "\n";
        }
    }
    return text.str();
}

class Limits : public ::testing::Test {
  protected:
    void Load(const std::string& text) {
        QzLoadSettings settings;
        settings.ldrawDir = testing_support::ExamplesDir().string();
        ASSERT_EQ(QzReadModel(model, dir.Write("model.mpd", text), settings, view.State().palette),
                  1);
    }
    QzDrawJob Job(uint64_t maxPlacements) {
        QzDrawJob job;
        job.top = &model.Main();
        job.screen = view.State().ScreenMatrix(model, view.Image().width, view.Image().height);
        job.options = &view.State().options;
        job.palette = &view.State().palette;
        job.threads = 2;
        job.maxPlacements = maxPlacements;
        return job;
    }

    testing_support::ScopedMessageBox boxes;
    testing_support::TempDir dir;
    QzViewCore view;
    QzModel model;
};

TEST_F(Limits, EachDrawingStopsAtItsBound) {
    ASSERT_TRUE(view.Resize(64, 48));
    Load(Nested(10, 10, "zb1x1.dat"));
    for (bool high : {false, true}) {
        SCOPED_TRACE(high ? "high quality" : "normal");
        QzRenderer& renderer = *view.State().renderer;
        renderer.ClearImage(true);
        renderer.statistics = QzDrawStatistics{};
        const QzDrawJob job = Job(20000);
        QzHqRenderer hq;
        const QzDrawOutcome outcome =
            high ? hq.Draw(job, renderer.image, renderer.statistics) : QzDrawNormal(renderer, job);
        EXPECT_EQ(outcome, QzDrawOutcome::TooManyPlacements);
        // No more references were walked than the bound allows.
        EXPECT_LE(renderer.statistics.typeCount[1], high ? 20000 * 8 : 20000);
    }
    // Under the bound the same model draws whole.
    view.State().options.highQuality = false;
    Load(Nested(3, 10, "zb1x1.dat"));
    QzRenderer& renderer = *view.State().renderer;
    renderer.ClearImage(true);
    EXPECT_EQ(QzDrawNormal(renderer, Job(20000)), QzDrawOutcome::Drawn);
}

// References nested so deep that the figures below the top (lines, stud references and
// products, far past what a 64-bit count holds) are held at their bound: every drawing
// still stops at its own, at any number of threads.
TEST_F(Limits, FiguresOfAModelNestedPastEveryCountAreHeldAtTheirBound) {
    ASSERT_TRUE(view.Resize(64, 48));
    Load(Nested(22, 10, "zb1x1.dat"));
    ASSERT_TRUE(QzPrepareDrawData(&model.Main()));
    EXPECT_EQ(QzDrawWork(model.Main()), QZ_MAX_FIGURE);
    EXPECT_EQ(QzStudReferences(model.Main()), QZ_MAX_FIGURE);
    for (bool seams : {false, true})
        EXPECT_EQ(QzStudPassProducts(model.Main(), false, seams), QZ_MAX_FIGURE);
    for (int threads : {1, 2, 3})
        for (bool high : {false, true}) {
            SCOPED_TRACE(std::to_string(threads) + (high ? " threads, high quality" : " threads"));
            QzRenderer& renderer = *view.State().renderer;
            renderer.ClearImage(true);
            QzDrawJob job = Job(20000);
            job.threads = threads;
            QzHqRenderer hq;
            const QzDrawOutcome outcome = high ? hq.Draw(job, renderer.image, renderer.statistics)
                                               : QzDrawNormal(renderer, job);
            EXPECT_EQ(outcome, QzDrawOutcome::TooManyPlacements);
        }
}

// A part of the library that places too much to be held as one mesh is not drawn by the
// high-quality drawing: it stops, as for a model that places too much.
TEST_F(Limits, APartTooLargeForAMeshStopsTheHighQualityDrawing) {
    ASSERT_TRUE(view.Resize(64, 48));
    testing_support::TempDir library;
    // Three such parts, each a tower of its own, and a small one: the meshes are made
    // on two threads, and the drawing stops all the same.
    for (const char* tower : {"deep", "tall", "high"})
        for (int level = 0; level < 6; ++level) {
            std::ostringstream part;
            for (int k = 0; k < 10; ++k)
                part << "1 16 " << k << " 0 0 1 0 0 0 1 0 0 0 1 "
                     << (level < 5 ? tower + std::to_string(level + 1) + ".dat" : "leaf.dat")
                     << "\n";
            library.Write("parts/" + std::string(tower) + std::to_string(level) + ".dat",
                          part.str());
        }
    library.Write("parts/leaf.dat", "4 16 0 0 0 1 0 0 1 1 0 0 1 0\n");
    library.Write("p/stud.dat", "");
    QzLoadSettings settings;
    settings.ldrawDir = library.path().string();
    ASSERT_EQ(QzReadModel(model,
                          dir.Write("model.ldr",
                                    "1 4 0 0 0 1 0 0 0 1 0 0 0 1 leaf.dat\n"
                                    "1 4 0 0 0 1 0 0 0 1 0 0 0 1 deep0.dat\n"
                                    "1 4 0 0 0 1 0 0 0 1 0 0 0 1 tall0.dat\n"
                                    "1 4 0 0 0 1 0 0 0 1 0 0 0 1 high0.dat\n"),
                          settings, view.State().palette),
              1);
    QzRenderer& renderer = *view.State().renderer;
    renderer.ClearImage(true);
    QzHqRenderer hq;
    EXPECT_EQ(hq.Draw(Job(QZ_MAX_PLACEMENTS), renderer.image, renderer.statistics),
              QzDrawOutcome::TooManyPlacements);
    // And again, with what the first drawing kept.
    EXPECT_EQ(hq.Draw(Job(QZ_MAX_PLACEMENTS), renderer.image, renderer.statistics),
              QzDrawOutcome::TooManyPlacements);
}

// What a file manager meets: the thumbnailer on such a file ends with the message and
// status 2, in seconds, and leaves no file; render and stats alike.
TEST_F(Limits, CommandsWriteNothingForAModelTooLargeToDraw) {
    const std::string model = dir.Write("bomb.mpd", Nested(10, 10, "zb1x1.dat"));
    const std::string library = testing_support::ExamplesDir().string();
    const std::string message =
        "zarvel-cli: The model places more parts than a drawing can hold.\n";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* output;
    };
    const std::string picture = (dir.path() / "out.png").string();
    for (const Case& c :
         {Case{"render high",
               {"render", "--ldraw", library, model, "-o", picture, "--size", "64x48", "--quality",
                "high"},
               "out.png"},
          Case{"stats high",
               {"stats", "--ldraw", library, "--size", "64x48", "--quality", "high", model},
               nullptr}}) {
        SCOPED_TRACE(c.name);
        const testing_support::CliRun run = testing_support::RunZarvelCli(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        if (c.output) {
            EXPECT_FALSE(fs::exists(dir.path() / c.output));
        }
    }
}

}  // namespace
