// An index of the distinct keys of a list that grows as a reader reads (a
// JSON object's members, a start tag's attributes), so that a key met again
// is told at once however many came before.
//
//   KeyIndex index;
//   std::size_t earlier = index.findOrAdd(key, list.size(), [&](std::size_t i) { return keyOf(list[i]); });
//   if (earlier != KeyIndex::npos) ... repeated ...
//
// The list stays the caller's; the index keeps positions in it by the key's
// hash and reads keys back through the caller's accessor. The hash is keyed
// with a secret of the process, so that no text can be written whose keys
// all fall on one place of the table and make each lookup a scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class KeyIndex {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    // The most positions an index holds.
    static constexpr std::size_t kMaxPositions = 0xFFFFFFFEu;

    // The position of an earlier key equal to `key`, or npos after noting
    // `position` (below kMaxPositions) for it. keyAt(i) gives the key at i.
    template <class KeyAt>
    std::size_t findOrAdd(std::string_view key, std::size_t position, KeyAt&& keyAt) {
        if (count_ + 1 > slots_.size() / 2) grow();
        const std::uint32_t h = hash(key);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = h & mask;; i = (i + 1) & mask) {
            Slot& s = slots_[i];
            if (s.place == 0) {
                s = Slot{h, static_cast<std::uint32_t>(position + 1)};
                ++count_;
                return npos;
            }
            if (s.hash == h && keyAt(std::size_t{s.place - 1}) == key) return s.place - 1;
        }
    }

    bool empty() const { return count_ == 0; }
    // The memory the table holds, in bytes.
    std::size_t bytes() const { return slots_.size() * sizeof(Slot); }

    // The keyed hash of a text (the low bits place it in the table).
    static std::uint32_t hash(std::string_view key);

private:
    struct Slot {
        std::uint32_t hash;
        std::uint32_t place;  // position + 1; 0: empty
    };
    void grow();

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};
