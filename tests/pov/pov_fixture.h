// Shared set-up of the POV export tests: a clean model state, a fixed clock for the
// "// Date:" line, and loading fixture models.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <sstream>
#include <string>

#include "clock.h"
#include "colours.h"
#include "loader.h"
#include "model.h"
#include "povwriter.h"
#include "test_support.h"

namespace povtest {

// A fixed clock for the "// Date:" line; tests take the expected text from
// plat::DateText for the same time.
inline std::time_t FixedTime() { return 1796689821; }

class PovTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing_support::ResetModelInput();
        PovResetState();
        QzSelectColourScheme(0);
        plat::SetTimeSource(FixedTime);
    }
    void TearDown() override {
        plat::SetTimeSource(nullptr);
        testing_support::ResetModelInput();
        PovResetState();
    }

    // Loads a model of the folder's models/ by its bare name, with the folder as the
    // LDraw library, so that the model's name and the input-file line are the name.
    bool Load(const std::string& model) {
        QzLDrawDir = dir.path().string();
        return QzReadModel(model) == 1;
    }
    std::string Export(int* result = nullptr) {
        std::ostringstream out;
        const int r = PovWriteScene(out, QzParts[0].name);
        if (result) *result = r;
        return out.str();
    }

    testing_support::TempDir dir;
    testing_support::ScopedMessageBox boxes;
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
