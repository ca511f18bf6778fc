// A scratch library and model folder for reader tests, with helpers to load a model
// and look at what was stored.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diagnostics.h"
#include "loader.h"
#include "model.h"
#include "test_support.h"

namespace reader_test {

class ReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing_support::ResetModelInput();
        library = (dir.path() / "ldraw").string();
        std::filesystem::create_directories(dir.path() / "ldraw");
        QzLDrawDir = library;
    }
    void TearDown() override { testing_support::ResetModelInput(); }

    // Writes a file below the scratch folder and returns its full path.
    std::string Write(const std::string& relative, const std::string& content) {
        return dir.Write(relative, content);
    }
    // Writes a model file and loads it; returns QzReadModel's result.
    int LoadText(const std::string& content, const std::string& name = "model.ldr") {
        modelPath = Write(name, content);
        return QzReadModel(modelPath);
    }
    int Load(const std::string& path) {
        modelPath = path;
        return QzReadModel(path);
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

    testing_support::TempDir dir;
    testing_support::ScopedMessageBox boxes;
    std::string library;
    std::string modelPath;
};

// The stored lines of a part, in order.
inline std::vector<const QzLine*> Lines(const QzPart* part) {
    std::vector<const QzLine*> lines;
    for (const QzLine* line = part ? part->lines : nullptr; line; line = line->next)
        lines.push_back(line);
    return lines;
}

// The table entry with exactly this name, or null.
inline QzPart* FindEntry(const std::string& name) {
    for (int i = 0; i < QzPartCount; ++i) {
        if (QzParts[i].name == name) return &QzParts[i];
    }
    return nullptr;
}

// A type-0 line's text.
inline std::string Text(const QzLine* line) { return line->text ? line->text : ""; }

}  // namespace reader_test
