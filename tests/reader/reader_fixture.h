// A scratch library and model folder for reader tests, with helpers to load a model
// and look at what was stored.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "colours.h"
#include "diagnostics.h"
#include "loader.h"
#include "model.h"
#include "test_support.h"

namespace reader_test {

class ReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        library = (dir.path() / "ldraw").string();
        std::filesystem::create_directories(dir.path() / "ldraw");
        settings.ldrawDir = library;
    }

    // Writes a file below the scratch folder and returns its full path.
    std::string Write(const std::string& relative, const std::string& content) {
        return dir.Write(relative, content);
    }
    // Writes a model file and loads it; returns QzReadModel's result.
    int LoadText(const std::string& content, const std::string& name = "model.ldr") {
        modelPath = Write(name, content);
        return QzReadModel(model, modelPath, settings, palette);
    }
    int Load(const std::string& path) {
        modelPath = path;
        return QzReadModel(model, path, settings, palette);
    }
    // Empties the input log and its entries, the title and the author, keeping the
    // parts cache, before another load into the same model.
    void ClearLog() {
        model.inputLog.clear();
        model.inputDiagnostics.clear();
        model.modelTitle.clear();
        model.modelAuthor.clear();
    }
    // Starts again with an empty model and the default palette, as a fresh program.
    void FreshModel() {
        model = QzModel();
        palette = QzPalette();
    }

    // "KIND "model path" Line n: message: text" and the line end, as the log writes it.
    std::string Entry(const char* kind, unsigned line, const std::string& message,
                      const std::string& text, const std::string& file = "") const {
        return std::string(kind) + " \"" + (file.empty() ? modelPath : file) + "\" Line " +
               std::to_string(line) + ": " + message + ": " + text + "\r\n";
    }
    std::string Warning(unsigned line, const std::string& message, const std::string& text) const {
        return Entry("WARNING", line, message, text);
    }
    std::string Skipping(unsigned line, const std::string& message, const std::string& text) const {
        return Entry("SKIPPING", line, message, text);
    }

    std::vector<std::string> Boxes() const {
        std::vector<std::string> texts;
        for (const auto& call : boxes.box.calls) texts.push_back(call.text);
        return texts;
    }
    QzPart* Main() { return &model.Main(); }

    testing_support::TempDir dir;
    testing_support::ScopedMessageBox boxes;
    std::string library;
    std::string modelPath;
    QzModel model;
    QzPalette palette;
    QzLoadSettings settings;
};

// The stored lines of a part, in order.
inline std::vector<const QzLine*> Lines(const QzPart* part) {
    std::vector<const QzLine*> lines;
    for (const QzLine* line = part ? part->lines : nullptr; line; line = line->next)
        lines.push_back(line);
    return lines;
}

// The table entry of a model with exactly this name, or null.
inline QzPart* FindEntry(QzModel& model, const std::string& name) {
    for (int i = 0; i < model.partCount; ++i) {
        if (model.parts[i].name == name) return &model.parts[i];
    }
    return nullptr;
}

// A type-0 line's text.
inline std::string Text(const QzLine* line) { return line->text ? line->text : ""; }

}  // namespace reader_test
