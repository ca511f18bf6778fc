// The bundled example library must load without a single message, with every
// reference found through the library layout whatever its letter case.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "colours.h"
#include "diagnostics.h"
#include "loader.h"
#include "model.h"
#include "test_support.h"

namespace {

class Examples : public ::testing::Test {
  protected:
    void SetUp() override {
        testing_support::ResetModelInput();
        QzLDrawDir = testing_support::ExamplesDir().string();
        QzWarningLevel = 3;  // the pedantic checks too
    }
    void TearDown() override {
        QzResetReaderState();
        testing_support::ResetModelInput();
    }
    const QzPart* Find(const std::string& name) {
        for (int i = 0; i < QzPartCount; ++i) {
            if (QzParts[i].name == name) return &QzParts[i];
        }
        return nullptr;
    }
    testing_support::ScopedMessageBox boxes;
};

std::set<int32_t> ColoursInUse() {
    std::set<int32_t> used;
    for (int i = 0; i < QzColoursUsedCount; ++i) used.insert(QzColoursUsed[i].colour);
    return used;
}

void ExpectBox(const QzBox& box, QzVector min, QzVector max) {
    EXPECT_EQ(box.min.x, min.x);
    EXPECT_EQ(box.min.y, min.y);
    EXPECT_EQ(box.min.z, min.z);
    EXPECT_EQ(box.max.x, max.x);
    EXPECT_EQ(box.max.y, max.y);
    EXPECT_EQ(box.max.z, max.z);
}

TEST_F(Examples, HouseLoadsCleanly) {
    ASSERT_EQ(QzReadModel("house.mpd"), 1);
    EXPECT_EQ(QzInputLog, "");
    EXPECT_TRUE(boxes.box.calls.empty());
    EXPECT_EQ(QzParts[0].flags & (PF_READ | PF_RESOLVED | PF_EMPTY | PF_TRANSPARENT),
              PF_READ | PF_RESOLVED | PF_TRANSPARENT);
    ExpectBox(QzParts[0].box, {-40, -132, -40}, {40, 0, 40});

    const uint32_t parts = PF_READ | PF_RESOLVED | PF_PARTS_DIR;
    const uint32_t prims = PF_READ | PF_RESOLVED | PF_PRIM_DIR;
    for (const char* name : {"zp2x4.dat", "zb1x1.dat", "zb1x2.dat", "zb2x2.dat", "zs2x2.dat",
                             "s\\zb1x2s01.dat", "s\\zb2x2s01.dat"}) {
        const QzPart* part = Find(name);
        ASSERT_NE(part, nullptr) << name;
        EXPECT_EQ(part->flags, parts) << name;
    }
    const QzPart* stud = Find("stud.dat");
    ASSERT_NE(stud, nullptr);
    EXPECT_EQ(stud->flags, prims | PF_STUD);
    ExpectBox(stud->box, {-6, -4, -6}, {6, 0, 6});
    ASSERT_NE(Find("box5.dat"), nullptr);
    ASSERT_NE(Find("4-4edge.dat"), nullptr);
    ASSERT_NE(Find("walls.ldr"), nullptr);
    ASSERT_NE(Find("roof-half.ldr"), nullptr);
    EXPECT_EQ(QzPartCount, 13);

    // A brick without its studs is the bare body.
    const QzPart* brick = Find("zb1x2.dat");
    ExpectBox(brick->box, {-20, -4, -10}, {20, 24, 10});
    ExpectBox(brick->boxNoStuds, {-20, 0, -10}, {20, 24, 10});

    EXPECT_EQ(ColoursInUse(), (std::set<int32_t>{1, 2, 4, 7, 14, 15, 47}));
}

TEST_F(Examples, CarLoadsCleanly) {
    ASSERT_EQ(QzReadModel("car.ldr"), 1);
    EXPECT_EQ(QzInputLog, "");
    EXPECT_TRUE(boxes.box.calls.empty());
    ExpectBox(QzParts[0].box, {-40, -84, -20}, {40, 0, 20});
    EXPECT_TRUE(QzParts[0].flags & PF_TRANSPARENT);
    EXPECT_EQ(ColoursInUse(), (std::set<int32_t>{0, 1, 4, 7, 15, 47}));
}

}  // namespace
