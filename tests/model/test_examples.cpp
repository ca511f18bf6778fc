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
        settings.ldrawDir = testing_support::ExamplesDir().string();
        settings.warningLevel = 3;  // the pedantic checks too
    }
    int Read(const std::string& path) { return QzReadModel(model, path, settings, palette); }
    const QzPart* Find(const std::string& name) {
        for (int i = 0; i < model.partCount; ++i) {
            if (model.parts[i].name == name) return &model.parts[i];
        }
        return nullptr;
    }
    std::set<int32_t> ColoursInUse() const {
        return std::set<int32_t>(model.coloursUsed.begin(), model.coloursUsed.end());
    }
    testing_support::ScopedMessageBox boxes;
    QzModel model;
    QzPalette palette;
    QzLoadSettings settings;
};

void ExpectBox(const QzBox& box, QzVector min, QzVector max) {
    EXPECT_EQ(box.min.x, min.x);
    EXPECT_EQ(box.min.y, min.y);
    EXPECT_EQ(box.min.z, min.z);
    EXPECT_EQ(box.max.x, max.x);
    EXPECT_EQ(box.max.y, max.y);
    EXPECT_EQ(box.max.z, max.z);
}

TEST_F(Examples, HouseLoadsCleanly) {
    ASSERT_EQ(Read("house.mpd"), 1);
    EXPECT_EQ(model.inputLog, "");
    EXPECT_TRUE(boxes.box.calls.empty());
    EXPECT_EQ(model.Main().flags & (PF_READ | PF_RESOLVED | PF_EMPTY | PF_TRANSPARENT),
              PF_READ | PF_RESOLVED | PF_TRANSPARENT);
    ExpectBox(model.Main().box, {-40, -132, -40}, {40, 0, 40});

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
    EXPECT_EQ(model.partCount, 13);

    // A brick without its studs is the bare body.
    const QzPart* brick = Find("zb1x2.dat");
    ExpectBox(brick->box, {-20, -4, -10}, {20, 24, 10});
    ExpectBox(brick->boxNoStuds, {-20, 0, -10}, {20, 24, 10});

    EXPECT_EQ(ColoursInUse(), (std::set<int32_t>{1, 2, 4, 7, 14, 15, 47}));
}

TEST_F(Examples, CarLoadsCleanly) {
    ASSERT_EQ(Read("car.ldr"), 1);
    EXPECT_EQ(model.inputLog, "");
    EXPECT_TRUE(boxes.box.calls.empty());
    ExpectBox(model.Main().box, {-40, -84, -20}, {40, 0, 20});
    EXPECT_TRUE(model.Main().flags & PF_TRANSPARENT);
    EXPECT_EQ(ColoursInUse(), (std::set<int32_t>{0, 1, 4, 7, 15, 47}));
}

}  // namespace
