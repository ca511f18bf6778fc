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
    void SetUp() override { testing_support::ResetModelInput(); }
    void TearDown() override { testing_support::ResetModelInput(); }
    testing_support::ScopedMessageBox boxes;
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
    QzLDrawDir = ldraw.string();
    auto models = FilesIn(ldraw / "models");
    ASSERT_FALSE(models.empty());
    for (int scheme : {0, QZ_SCHEME_LDCONFIG}) {
        QzSelectColourScheme(scheme);
        for (const auto& model : models) {
            QzClearInputLog();
            EXPECT_EQ(QzReadModel(model.string()), 1) << model;
            std::istringstream log(QzInputLog);
            std::string line;
            while (std::getline(log, line))
                EXPECT_TRUE(ExpectedKind(line, scheme)) << model << ": " << line;
            EXPECT_EQ(QzParts[0].flags & (PF_RESOLVED | PF_EMPTY | PF_BUSY), PF_RESOLVED) << model;
        }
        EXPECT_EQ(QzColourScheme, scheme);
    }
    EXPECT_TRUE(boxes.box.calls.empty());
}

TEST_F(RealLibrary, FalconSectionsWithBlanksResolve) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    QzLDrawDir = ldraw.string();
    ASSERT_EQ(QzReadModel((ldraw / "models/10179-1 - Millennium Falcon - UCS.mpd").string()), 1);
    EXPECT_EQ(QzInputLog.find("Recursive"), std::string::npos);
    EXPECT_EQ(QzInputLog.find("already read"), std::string::npos);
    int sections = 0;
    for (int i = 1; i < QzPartCount; ++i) {
        if (QzParts[i].name.rfind("10179 - ", 0) == 0) {
            ++sections;
            EXPECT_EQ(QzParts[i].flags & PF_READ, PF_READ) << QzParts[i].name;
            EXPECT_NE(QzParts[i].lines, nullptr) << QzParts[i].name;
        }
    }
    EXPECT_GT(sections, 200);
    EXPECT_EQ(QzModelAuthor, "Roland Dahl [RolandD]");
    EXPECT_EQ(QzModelTitle, "main");
}

TEST_F(RealLibrary, EveryLibraryFileLoadsAsAModel) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    QzLDrawDir = ldraw.string();
    size_t count = 0;
    for (const char* folder : {"parts", "p"}) {
        for (const auto& file : FilesIn(ldraw / folder)) {
            QzClearInputLog();
            EXPECT_EQ(QzReadModel(file.string()), 1) << file;
            ++count;
        }
    }
    EXPECT_GT(count, 900u);
    EXPECT_TRUE(boxes.box.calls.empty());
}

TEST_F(RealLibrary, SecondLoadReadsOnlyTheModel) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    QzLDrawDir = ldraw.string();
    std::string car = (ldraw / "models/car.ldr").string();
    ASSERT_EQ(QzReadModel(car), 1);
    int parts = QzPartCount;
    QzBox box = QzParts[0].box;
    int opens = 0;
    QzFileObserverList::Scoped count(QzFileObservers,
                                     [&](const QzPart&, const std::string&) { ++opens; });
    ASSERT_EQ(QzReadModel(car), 1);
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(QzPartCount, parts);
    EXPECT_EQ(QzParts[0].box.min.x, box.min.x);
    EXPECT_EQ(QzParts[0].box.max.z, box.max.z);
}

}  // namespace
