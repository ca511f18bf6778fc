// Shared set-up of the POV export tests: a model, palette and export options of the
// test's own, a fixed clock for the "// Date:" line, and loading fixture models.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <sstream>
#include <string>

#include "clock.h"
#include "colours.h"
#include "loader.h"
#include "model.h"
#include "povparts.h"
#include "povwriter.h"
#include "test_support.h"

namespace povtest {

// A fixed clock for the "// Date:" line; tests take the expected text from
// plat::DateText for the same time.
inline std::time_t FixedTime() { return 1796689821; }

class PovTest : public ::testing::Test {
  protected:
    void SetUp() override { plat::SetTimeSource(FixedTime); }
    void TearDown() override { plat::SetTimeSource(nullptr); }

    // Loads a model of the folder's models/ by its bare name, with the folder as the
    // LDraw library, so that the model's name and the input-file line are the name.
    // Parts read by an earlier load stay in the model's cache.
    bool Load(const std::string& name) {
        settings.ldrawDir = dir.path().string();
        return QzReadModel(model, name, settings, palette) == 1;
    }
    // The scene of the loaded model; `exported` keeps what the export returned.
    std::string Export(int* result = nullptr) {
        std::ostringstream out;
        exported = PovWriteScene(out, model, palette, options, model.Main().name);
        if (result) *result = exported.result;
        return out.str();
    }
    // The figures the export's declaration pass gives a part of the loaded model.
    PovScene::PartFigures FiguresOf(const QzPart* part) {
        std::ostringstream out;
        PovScene scene(out, model, palette, options);
        PovDeclarePart(scene, &model.Main());
        return scene.Figures(part);
    }

    testing_support::TempDir dir;
    testing_support::ScopedMessageBox boxes;
    QzModel model;
    QzPalette palette;
    QzLoadSettings settings;
    PovExportOptions options = kPovDefaultOptions;
    ::PovExport exported;
};

// The text with every "\n" written as CR LF, as the scene file has it.
inline std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace povtest
