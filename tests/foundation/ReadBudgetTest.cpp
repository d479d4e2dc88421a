#include "foundation/ReadBudget.h"

#include <cstddef>
#include <limits>

#include <gtest/gtest.h>

namespace {

using ns::ReadBudget;

constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();

TEST(ReadBudget, TheAllowanceFollowsTheInputAndHoldsAtTheTopOfTheRange) {
    EXPECT_EQ(ReadBudget(0).allowance(), ReadBudget::kBaseBytes);
    EXPECT_EQ(ReadBudget(1000).allowance(), 1000 * ReadBudget::kBytesPerInputByte + ReadBudget::kBaseBytes);
    EXPECT_EQ(ReadBudget(kMax / 2).allowance(), kMax);
    EXPECT_EQ(ReadBudget::withAllowance(7).allowance(), 7u);
}

TEST(ReadBudget, OnceSpentEverySpendAnswersNo) {
    ReadBudget budget = ReadBudget::withAllowance(100);
    EXPECT_TRUE(budget.spend(60));
    EXPECT_TRUE(budget.spend(40));
    EXPECT_FALSE(budget.exhausted());
    EXPECT_FALSE(budget.spend(1));
    EXPECT_TRUE(budget.exhausted());
    // Nothing is free any more, not even what costs nothing of its own.
    EXPECT_FALSE(budget.spend(0));
    EXPECT_FALSE(budget.spendCopy(1));
}

TEST(ReadBudget, CountsThatWouldOverflowSpendEverything) {
    struct Case {
        const char* what;
        bool (*spend)(ReadBudget&);
    };
    const Case cases[] = {
        {"values", [](ReadBudget& b) { return b.spendValues(kMax / 2); }},
        {"copy", [](ReadBudget& b) { return b.spendCopy(kMax); }},
        {"array", [](ReadBudget& b) { return b.spendArray(kMax / 3); }},
        {"dictionary", [](ReadBudget& b) { return b.spendDictionary(kMax / 5); }},
        {"entry", [](ReadBudget& b) { return b.spendEntry(kMax); }},
        {"text", [](ReadBudget& b) { return b.spendText(kMax); }},
        {"bytes", [](ReadBudget& b) { return b.spend(kMax); }},
    };
    for (const Case& c : cases) {
        ReadBudget budget = ReadBudget::withAllowance(kMax - 1);
        EXPECT_FALSE(c.spend(budget)) << c.what;
        EXPECT_TRUE(budget.exhausted()) << c.what;
    }
}

TEST(ReadBudget, TheDensestListOurWriterMakesFitsItsOwnSize) {
    // A binary list whose one array refers to one object by one-byte
    // references builds a value for each byte of its input.
    const std::size_t references = std::size_t{32} << 20;
    ReadBudget budget(references + 64);
    EXPECT_TRUE(budget.spendArray(references));
    // A dictionary's entry takes two references, of two bytes once it has
    // more keys than one byte names.
    ReadBudget entries(references + 64);
    EXPECT_TRUE(entries.spendDictionary(references / 4));
    // Short text lives inside its holder; longer text costs its bytes.
    ReadBudget small = ReadBudget::withAllowance(ReadBudget::kAllocationBytes + 16);
    EXPECT_TRUE(small.spendCopy(ReadBudget::kInlineBytes));
    EXPECT_EQ(small.spent(), 0u);
    EXPECT_TRUE(small.spendCopy(16));
    EXPECT_FALSE(small.spendCopy(16));
}

}  // namespace
