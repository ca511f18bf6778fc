#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "clock.h"
#include "largepages.h"
#include "messagebox.h"
#include "process.h"
#include "random.h"
#include "test_support.h"

namespace {

TEST(Random, ClassicSequenceForSeedOne) {
    plat::RandomGenerator random;
    std::vector<int> values;
    for (int i = 0; i < 5; ++i) values.push_back(random.Next());
    EXPECT_EQ(values, (std::vector<int>{41, 18467, 6334, 26500, 19169}));
}

TEST(Random, SeedZeroAndReseeding) {
    plat::RandomGenerator zero(0);
    EXPECT_EQ(zero.Next(), 38);
    EXPECT_EQ(zero.Next(), 7719);
    plat::RandomGenerator one(1);
    EXPECT_EQ(one.Next(), 41);
}

TEST(Random, StaysInRangeAndCoversIt) {
    plat::RandomGenerator random(12345);
    int low = plat::kRandomMax;
    int high = 0;
    for (int i = 0; i < 100000; ++i) {
        int value = random.Next();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, plat::kRandomMax);
        low = std::min(low, value);
        high = std::max(high, value);
    }
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, plat::kRandomMax);
}

// ---------------------------------------------------------------------------------

// Runs the clock texts in UTC with a fixed current time.
class ClockTest : public testing::Test {
  protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) oldTz = tz;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        plat::SetTimeSource(nullptr);
        if (oldTz)
            setenv("TZ", oldTz->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::optional<std::string> oldTz;
};

std::time_t FixedNow() { return 1796689821; }  // 2026-12-08 00:30:21 UTC

TEST_F(ClockTest, DateTextLikeAsctime) {
    EXPECT_EQ(plat::DateText(1796689821), "Tue Dec 08 00:30:21 2026");
    EXPECT_EQ(plat::DateText(0), "Thu Jan 01 00:00:00 1970");
    EXPECT_EQ(plat::DateText(951782400), "Tue Feb 29 00:00:00 2000");
    EXPECT_EQ(plat::DateText(1700000000), "Tue Nov 14 22:13:20 2023");
    EXPECT_EQ(plat::DateText(1796689821).size(), 24u);
}

TEST_F(ClockTest, TimeSourceDrivesTheCurrentTexts) {
    plat::SetTimeSource(&FixedNow);
    EXPECT_EQ(plat::DateText(), "Tue Dec 08 00:30:21 2026");
    EXPECT_EQ(plat::TimeOfDay(), "00:30:21");
}

TEST_F(ClockTest, SystemClockTexts) {
    plat::SetTimeSource(nullptr);
    std::string time = plat::TimeOfDay();
    ASSERT_EQ(time.size(), 8u);
    EXPECT_EQ(time[2], ':');
    EXPECT_EQ(time[5], ':');
    std::string date = plat::DateText();
    ASSERT_EQ(date.size(), 24u);
    EXPECT_EQ(date[3], ' ');
    EXPECT_EQ(date[7], ' ');
    EXPECT_EQ(date[10], ' ');
    EXPECT_EQ(date[13], ':');
    EXPECT_EQ(date[19], ' ');
}

TEST(Clock, TickCountMovesForward) {
    uint32_t first = plat::TickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    uint32_t second = plat::TickCount();
    // A clock that stands still, or runs in anything but milliseconds, fails here.
    EXPECT_GE(static_cast<uint32_t>(second - first), 25u);
    EXPECT_LT(static_cast<uint32_t>(second - first), 60000u);
}

// ---------------------------------------------------------------------------------

TEST(DrawThreads, ZarvelThreadsTakesOneToSixtyFourAndNothingElse) {
    const int machine = [] {
        testing_support::ScopedEnv unset("ZARVEL_THREADS", nullptr);
        EXPECT_EQ(plat::DrawThreadsProblem(), "");
        return plat::DrawThreads();
    }();
    EXPECT_GE(machine, 1);
    EXPECT_LE(machine, 64);
    const std::pair<const char*, int> right[] = {{"1", 1}, {"64", 64}, {"08", 8}, {"", machine}};
    for (const auto& [value, threads] : right) {
        testing_support::ScopedEnv set("ZARVEL_THREADS", value);
        EXPECT_EQ(plat::DrawThreads(), threads) << value;
        EXPECT_EQ(plat::DrawThreadsProblem(), "") << value;
    }
    for (const char* value : {"65", "0", "-1", "0x2", "2 ", "two", "99999999999"}) {
        testing_support::ScopedEnv set("ZARVEL_THREADS", value);
        EXPECT_EQ(plat::DrawThreads(), machine) << value;
        EXPECT_EQ(plat::DrawThreadsProblem(),
                  std::string("ZARVEL_THREADS must be a whole number from 1 to 64: ") + value);
    }
}

TEST(MessageBox, StandardErrorWritesTitleAndText) {
    plat::StderrMessageBox box;
    testing::internal::CaptureStderr();
    plat::MessageAnswer stop =
        box.Show("Could not find 3001.dat\nReferenced by car.ldr", plat::MessageKind::Stop);
    plat::MessageAnswer question =
        box.Show("Register the file types?", plat::MessageKind::Question);
    plat::MessageAnswer note = box.Show("Done", plat::MessageKind::Information);
    std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(written,
              "Zarvel: Could not find 3001.dat\nReferenced by car.ldr\n"
              "Zarvel: Register the file types?\n"
              "Zarvel: Done\n");
    EXPECT_EQ(stop, plat::MessageAnswer::Ok);
    EXPECT_EQ(question, plat::MessageAnswer::No);
    EXPECT_EQ(note, plat::MessageAnswer::Ok);
}

TEST(MessageBox, ShowMessageGoesToTheInstalledHandler) {
    {
        testing_support::ScopedMessageBox recorder;
        recorder.box.answer = plat::MessageAnswer::Yes;
        EXPECT_EQ(plat::ShowMessage("Exit?", plat::MessageKind::Question),
                  plat::MessageAnswer::Yes);
        EXPECT_EQ(plat::ShowMessage("Careful", plat::MessageKind::Exclamation),
                  plat::MessageAnswer::Ok);
        ASSERT_EQ(recorder.box.calls.size(), 2u);
        EXPECT_EQ(recorder.box.calls[0].text, "Exit?");
        EXPECT_EQ(recorder.box.calls[0].kind, plat::MessageKind::Question);
        EXPECT_EQ(recorder.box.calls[1].kind, plat::MessageKind::Exclamation);
    }
    // Uninstalled: back to standard error.
    testing::internal::CaptureStderr();
    EXPECT_EQ(plat::ShowMessage("Again?", plat::MessageKind::Question), plat::MessageAnswer::No);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Zarvel: Again?\n");
}

}  // namespace

TEST(LargePages, BlocksOfWholeLargePagesAlignedAndZeroed) {
    const struct {
        size_t asked;
        size_t given;
    } cases[] = {{0, plat::kLargePageBytes},
                 {1, plat::kLargePageBytes},
                 {plat::kLargePageBytes, plat::kLargePageBytes},
                 {plat::kLargePageBytes + 1, 2 * plat::kLargePageBytes},
                 {5 * plat::kLargePageBytes - 7, 5 * plat::kLargePageBytes}};
    for (const auto& c : cases) {
        EXPECT_EQ(plat::LargePagesFor(c.asked == 0 ? 1 : c.asked), c.given) << c.asked;
        char* block = static_cast<char*>(plat::AllocateLargePages(c.asked));
        ASSERT_NE(block, nullptr) << c.asked;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % plat::kLargePageBytes, 0u) << c.asked;
        // Every byte of the whole block is there, zero, and may be written.
        for (size_t at = 0; at < c.given; at += 4096) {
            EXPECT_EQ(block[at], 0);
            block[at] = 1;
        }
        EXPECT_EQ(block[c.given - 1], 0);
        block[c.given - 1] = 1;
        plat::FreeLargePages(block, c.asked);
    }
    // A size no system can give.
    EXPECT_EQ(plat::LargePagesFor(SIZE_MAX), 0u);
    EXPECT_EQ(plat::AllocateLargePages(SIZE_MAX), nullptr);
    EXPECT_EQ(plat::AllocateLargePages(SIZE_MAX - plat::kLargePageBytes), nullptr);
}

TEST(ByteBuffer, GrowsKeepingItsBytesFromTheHeapThenLargePages) {
    plat::ByteBuffer buffer;
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(buffer.capacity(), 0u);
    const size_t large = plat::ByteBuffer::kLargeBufferBytes;
    const struct {
        size_t size;
        size_t leastCapacity;
    } steps[] = {{10, 10},           {11, 20},       {1000, 1000},          {large - 1, large - 1},
                 {large, 2 * large}, {5, 2 * large}, {3 * large, 4 * large}};
    size_t written = 0;
    for (const auto& step : steps) {
        ASSERT_TRUE(buffer.Resize(step.size)) << step.size;
        EXPECT_EQ(buffer.size(), step.size);
        EXPECT_GE(buffer.capacity(), step.leastCapacity) << step.size;
        // Large buffers come in whole large pages.
        if (buffer.capacity() >= large) {
            EXPECT_EQ(buffer.capacity() % plat::kLargePageBytes, 0u) << step.size;
        }
        // The bytes kept are those written before.
        const size_t kept = std::min(written, step.size);
        for (size_t i = 0; i < kept; ++i)
            ASSERT_EQ(buffer.data()[i], static_cast<char>(i * 7)) << step.size << " at " << i;
        for (size_t i = kept; i < step.size; ++i) buffer.data()[i] = static_cast<char>(i * 7);
        written = step.size;
    }
    const size_t capacity = buffer.capacity();
    buffer.Clear();
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(buffer.capacity(), capacity);
    // More than memory holds changes nothing.
    EXPECT_FALSE(buffer.Resize(SIZE_MAX));
    EXPECT_EQ(buffer.capacity(), capacity);
    buffer.Release();
    EXPECT_EQ(buffer.capacity(), 0u);
    EXPECT_EQ(buffer.data(), nullptr);
}

// The heap asked to grow in large pages: the step after the program break is marked
// for large pages (where the C library's allocator is the one in use and the system
// has them), and the heap hands out and takes back memory as before, asked twice too.
TEST(LargePages, HeapGrowsInLargePagesAndStillAllocates) {
    plat::GrowHeapInLargePages();
    plat::GrowHeapInLargePages();
    std::vector<std::unique_ptr<char[]>> blocks;
    for (size_t i = 0; i < 20000; ++i) {
        const size_t size = 16 + i % 500;
        blocks.emplace_back(new char[size]);
        std::memset(blocks.back().get(), static_cast<int>(i & 0x7f), size);
    }
    for (size_t i = 0; i < blocks.size(); ++i)
        ASSERT_EQ(blocks[i][15], static_cast<char>(i & 0x7f)) << i;
    blocks.clear();
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled")) return;
    std::ifstream maps("/proc/self/smaps");
    std::string line;
    bool heap = false, marked = false;
    while (std::getline(maps, line)) {
        // A mapping's first line starts with its range ("lo-hi perms ..."); its flags
        // come last.
        if (line.find('-') < line.find(' ') && line.find(':') > line.find(' '))
            heap = line.size() >= 6 && line.compare(line.size() - 6, 6, "[heap]") == 0;
        if (heap && line.rfind("VmFlags:", 0) == 0 && line.find(" hg") != std::string::npos)
            marked = true;
    }
    EXPECT_TRUE(marked) << "no part of the heap is marked for large pages";
#endif
}
