// What the memory bounds of the tests stand on: a scope counts what its own
// thread allocates and has not freed, whatever ran before it.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "support/AllocationCount.h"

using testsupport::allocationPeak;

TEST(AllocationCount, AScopeCountsWhatItsThreadHoldsAtOnceWhateverRanBefore) {
    constexpr std::size_t kBlock = 1u << 20;
    auto twoBlocksThenOne = [] {
        auto first = std::make_unique<char[]>(kBlock);
        { auto second = std::make_unique<char[]>(kBlock); }
        auto third = std::make_unique<char[]>(kBlock);
    };
    const std::size_t once = allocationPeak(twoBlocksThenOne).peak;
    EXPECT_GE(once, 2 * kBlock);
    EXPECT_LT(once, 2 * kBlock + 4096);
    // Memory freed just before is there to reuse: it counts all the same.
    EXPECT_EQ(allocationPeak(twoBlocksThenOne).peak, once);

    // Freeing what was made before the scope takes nothing off; what another
    // thread allocates meanwhile is not counted.
    auto before = std::make_unique<char[]>(kBlock);
    const std::size_t mixed = allocationPeak([&] {
                                  before.reset();
                                  std::thread([] { std::vector<char> other(8 * kBlock); }).join();
                                  auto own = std::make_unique<char[]>(kBlock);
                              }).peak;
    EXPECT_GE(mixed, kBlock);
    EXPECT_LT(mixed, kBlock + 64 * 1024);
}

TEST(AllocationCount, AnAllocationPastTheCapIsRefusedAndTold) {
    std::size_t made = 0;
    const auto capped = allocationPeak(
        [&] {
            std::vector<std::unique_ptr<char[]>> blocks;
            for (;;) {
                blocks.push_back(std::make_unique<char[]>(1u << 20));
                ++made;
            }
        },
        8u << 20);
    EXPECT_TRUE(capped.capped);
    EXPECT_LE(capped.peak, 8u << 20);
    EXPECT_GE(made, 6u);
    EXPECT_FALSE(allocationPeak([] { auto small = std::make_unique<char[]>(64); }, 8u << 20).capped);
}
