// The real library subset and its models, when present beside the project.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "colours.h"
#include "reader_fixture.h"

namespace {

using reader_test::Lines;

class RealLibrary : public ::testing::Test {
  protected:
    int Read(const std::string& path) { return QzReadModel(model, path, settings, palette); }
    // Empties the log, title and author, keeping the parts cache.
    void ClearLog() {
        model.inputLog.clear();
        model.inputDiagnostics.clear();
        model.modelTitle.clear();
        model.modelAuthor.clear();
    }
    testing_support::ScopedMessageBox boxes;
    QzModel model;
    QzPalette palette;
    QzLoadSettings settings;
};

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Every log line of a real model is one of the kinds the library and models are
// known to produce: the library's moved-part notices, and under the table's schemes
// colours newer than the table.
bool ExpectedKind(const std::string& line, int scheme) {
    return line.rfind("NOTABENE \"", 0) == 0 ||
           (scheme != QZ_SCHEME_LDCONFIG && line.rfind("WARNING \"", 0) == 0 &&
            line.find(": Unknown color, using 7: ") != std::string::npos);
}

TEST_F(RealLibrary, EveryModelLoads) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    settings.ldrawDir = ldraw.string();
    auto models = FilesIn(ldraw / "models");
    ASSERT_FALSE(models.empty());
    for (int scheme : {0, QZ_SCHEME_LDCONFIG}) {
        QzSelectColourScheme(palette, scheme);
        for (const auto& file : models) {
            ClearLog();
            EXPECT_EQ(Read(file.string()), 1) << file;
            std::istringstream log(model.inputLog);
            std::string line;
            while (std::getline(log, line))
                EXPECT_TRUE(ExpectedKind(line, scheme)) << file << ": " << line;
            EXPECT_EQ(model.parts[0].flags & (PF_RESOLVED | PF_EMPTY | PF_BUSY), PF_RESOLVED)
                << file;
        }
        EXPECT_EQ(palette.scheme, scheme);
    }
    EXPECT_TRUE(boxes.box.calls.empty());
}

TEST_F(RealLibrary, FalconSectionsWithBlanksResolve) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    settings.ldrawDir = ldraw.string();
    ASSERT_EQ(Read((ldraw / "models/10179-1 - Millennium Falcon - UCS.mpd").string()), 1);
    EXPECT_EQ(model.inputLog.find("Recursive"), std::string::npos);
    EXPECT_EQ(model.inputLog.find("already read"), std::string::npos);
    int sections = 0;
    for (int i = 1; i < model.partCount; ++i) {
        if (model.parts[i].name.rfind("10179 - ", 0) == 0) {
            ++sections;
            EXPECT_EQ(model.parts[i].flags & PF_READ, PF_READ) << model.parts[i].name;
            EXPECT_NE(model.parts[i].lines, nullptr) << model.parts[i].name;
        }
    }
    EXPECT_GT(sections, 200);
    EXPECT_EQ(model.modelAuthor, "Roland Dahl [RolandD]");
    EXPECT_EQ(model.modelTitle, "main");
}

TEST_F(RealLibrary, EveryLibraryFileLoadsAsAModel) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    settings.ldrawDir = ldraw.string();
    size_t count = 0;
    for (const char* folder : {"parts", "p"}) {
        for (const auto& file : FilesIn(ldraw / folder)) {
            ClearLog();
            EXPECT_EQ(Read(file.string()), 1) << file;
            ++count;
        }
    }
    EXPECT_GT(count, 900u);
    EXPECT_TRUE(boxes.box.calls.empty());
}

TEST_F(RealLibrary, SecondLoadReadsOnlyTheModel) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    settings.ldrawDir = ldraw.string();
    std::string car = (ldraw / "models/car.ldr").string();
    ASSERT_EQ(Read(car), 1);
    int parts = model.partCount;
    QzBox box = model.parts[0].box;
    int opens = 0;
    settings.onFileOpened = [&](const QzPart&, const std::string&) { ++opens; };
    ASSERT_EQ(Read(car), 1);
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(model.partCount, parts);
    EXPECT_EQ(model.parts[0].box.min.x, box.min.x);
    EXPECT_EQ(model.parts[0].box.max.z, box.max.z);
}

}  // namespace
