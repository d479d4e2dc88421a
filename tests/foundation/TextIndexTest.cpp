#include "foundation/TextIndex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using ns::TextIndex;

// A list of texts with its index, as a dictionary keeps them: new texts at
// the end, taken out of the middle, each found at its place.
struct IndexedList {
    std::uint32_t (*hash)(const std::string&);
    std::vector<std::string> texts;
    TextIndex index;
    mutable std::size_t comparisons = 0;  // texts the index asked for

    std::string_view operator()(std::size_t place) const {
        ++comparisons;
        return texts[place];
    }
    std::ptrdiff_t find(const std::string& text) { return index.find(text, hash(text), *this); }
    bool add(const std::string& text) {
        if (index.findOrAdd(text, hash(text), texts.size(), *this) >= 0) return false;
        texts.push_back(text);
        return true;
    }
    void erase(std::size_t place) {
        index.eraseAndClose(texts[place], hash(texts[place]), place, *this);
        texts.erase(texts.begin() + static_cast<std::ptrdiff_t>(place));
    }
};

}  // namespace

// Hashes that collide, that all fall in one run and that wrap around the end
// of the slots make long runs of taken slots: each text is still found at
// its place after others went from the middle and the slots grew.
TEST(TextIndex, FindsEveryTextAtItsPlaceThroughAddsAndRemovals) {
    struct Case {
        const char* name;
        std::uint32_t (*hash)(const std::string&);
    };
    const Case cases[] = {
        {"real hashes", [](const std::string& t) { return TextIndex::hashOf(t); }},
        {"one hash for all", [](const std::string&) { return std::uint32_t{7}; }},
        {"four hashes", [](const std::string& t) { return static_cast<std::uint32_t>(t.size() % 4); }},
        {"at the end of the slots", [](const std::string& t) { return static_cast<std::uint32_t>(0xFFFFFFFF - t.size() % 3); }},
    };
    for (const Case& c : cases) {
        IndexedList list{c.hash, {}, TextIndex(), 0};
        std::mt19937 random(45);
        for (int round = 0; round < 600; ++round) {
            const std::string text = "t" + std::to_string(random() % 400);
            const std::ptrdiff_t before = list.find(text);
            EXPECT_EQ(list.add(text), before < 0) << c.name;
            if (round % 3 == 2 && !list.texts.empty()) list.erase(random() % list.texts.size());
        }
        ASSERT_EQ(list.index.size(), list.texts.size()) << c.name;
        for (std::size_t place = 0; place < list.texts.size(); ++place)
            ASSERT_EQ(list.find(list.texts[place]), static_cast<std::ptrdiff_t>(place)) << c.name << " " << list.texts[place];
        for (int i = 400; i < 420; ++i) EXPECT_LT(list.find("t" + std::to_string(i)), 0) << c.name;
    }
}

// Adding texts one by one compares a text only where the hashes agree, not
// with the texts added before: the work follows the count.
TEST(TextIndex, AddsAndFindsWithoutComparingTheTextsBefore) {
    IndexedList list{[](const std::string& t) { return TextIndex::hashOf(t); }, {}, TextIndex(), 0};
    constexpr std::size_t kTexts = 200000;
    for (std::size_t i = 0; i < kTexts; ++i) ASSERT_TRUE(list.add("key" + std::to_string(i)));
    EXPECT_LT(list.comparisons, kTexts / 1000) << "only texts of equal 32-bit hashes";
    list.comparisons = 0;
    for (std::size_t i = 0; i < kTexts; ++i) ASSERT_EQ(list.find("key" + std::to_string(i)), static_cast<std::ptrdiff_t>(i));
    EXPECT_LT(list.comparisons, kTexts + kTexts / 1000);
}
