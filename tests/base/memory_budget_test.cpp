#include "base/MemoryBudget.h"
#include "support/ScopedMemoryLimit.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace kavelin;

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

// Records what a watch hears.
class RecordingWatch : public MemoryWatch {
public:
    void onOverBudget(uint64_t limit) override { heard.push_back(limit); }
    void onOutOfMemory() override { heard.push_back(0); }
    std::vector<uint64_t> heard;
};

} // namespace

TEST(MemorySizeTest, ParsesBinaryUnitsAndRefusesTheRest) {
    const std::pair<const char*, uint64_t> good[] = {
        {"512M", 512 * kMiB},
        {"4G", 4096 * kMiB},
        {"65536K", 64 * kMiB},
        {"1t", kMiB * kMiB},
        {"123", 123},
        {"1k", 1024},
        {"16777215T", 16777215 * kMiB * kMiB},
    };
    for (const auto& [text, bytes] : good)
        EXPECT_EQ(parseMemorySize(text), bytes) << text;
    for (const char* text : {"", "0", "0M", "M", "12X", "1.5G", "-1", " 1", "1 M", "1MB", "1MiB",
                             "16777216T", "18446744073709551616", "4G "})
        EXPECT_EQ(parseMemorySize(text), std::nullopt) << text;
}

TEST(MemorySizeTest, FormatsInTheLargestUnitReached) {
    const std::pair<uint64_t, const char*> cases[] = {
        {512 * kMiB, "512 MiB"}, {4096 * kMiB, "4 GiB"},   {1536 * kMiB, "1.5 GiB"},
        {300, "300 bytes"},      {1024, "1 KiB"},          {1023 * 1024 + 512, "1023.5 KiB"},
        {kMiB * kMiB, "1 TiB"},  {UINT64_MAX, "16.0 EiB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(formatMemorySize(bytes), text) << bytes;
}

// A refusal is heard once, by the innermost watch of the thread that asked, unless quiet.
TEST(MemoryBudgetTest, RefusesWhatWouldPassTheLimitAndTellsTheWatchOnce) {
    MemoryBudget budget(100);
    RecordingWatch outer;
    EXPECT_TRUE(budget.take(60));
    EXPECT_TRUE(budget.take(40)); // exactly the limit
    EXPECT_FALSE(budget.take(1, true));
    std::thread([&] { EXPECT_FALSE(budget.take(1)); }).join();
    EXPECT_TRUE(outer.heard.empty());
    {
        RecordingWatch inner;
        EXPECT_FALSE(budget.take(UINT64_MAX));
        EXPECT_FALSE(budget.take(1));
        reportOutOfMemory();
        reportOutOfMemory();
        EXPECT_EQ(inner.heard, (std::vector<uint64_t>{100, 0}));
    }
    EXPECT_TRUE(outer.heard.empty());
    EXPECT_EQ(budget.used(), 100u);
    budget.give(50);
    EXPECT_TRUE(budget.take(50));
    // A lower limit refuses until enough is given back.
    budget.setLimit(80);
    EXPECT_FALSE(budget.take(1));
    budget.give(30);
    EXPECT_TRUE(budget.take(10));
    EXPECT_EQ(budget.used(), 80u);
    EXPECT_EQ(outer.heard, std::vector<uint64_t>{80});
    EXPECT_TRUE(outer.overBudget() && !outer.outOfMemory());
}

TEST(BudgetShareTest, GivesItsBytesBackWhenItGoesAndMovesWithoutCountingTwice) {
    MemoryBudget& budget = MemoryBudget::process();
    const uint64_t before = budget.used();
    const test::ScopedMemoryLimit limit(before + 1000);
    {
        BudgetShare share;
        EXPECT_TRUE(share.grow(600));
        EXPECT_FALSE(share.grow(600, true));
        EXPECT_TRUE(share.grow(400));
        EXPECT_EQ(share.bytes(), 1000u);
        BudgetShare moved = std::move(share);
        EXPECT_EQ(budget.used(), before + 1000);
        share = std::move(moved);
        EXPECT_EQ(share.bytes(), 1000u);
        share.reset();
        EXPECT_EQ(budget.used(), before);
        EXPECT_TRUE(share.grow(10));
    }
    EXPECT_EQ(budget.used(), before);
}
