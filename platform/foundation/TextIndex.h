// Places of texts found by their hash, for lists that keep their texts
// themselves (a dictionary's entries, a writer's objects): the index holds
// only each place beside 32 bits of its text's hash, and asks the list for
// a place's text when the hashes agree.
//
//   TextIndex index;
//   auto textAt = [&](std::size_t place) -> std::string_view { return names[place]; };
//   std::uint32_t hash = TextIndex::hashOf(name);
//   if (index.find(name, hash, textAt) < 0) { index.add(names.size(), hash); names.push_back(name); }
//
// Open addressing over a power of two slots, at most three quarters of them
// taken: a lookup or an addition is constant time on average, and the
// index grows without hashing any text again. Places are below
// kMostPlaces. The hash is keyed with a secret of the process, so that no
// input can be written whose texts all fall on one place of the table and
// make each lookup a scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ns {

class TextIndex {
public:
    static constexpr std::size_t kMostPlaces = UINT32_MAX - 1;
    // The most the index takes, in bytes for each place it holds.
    static constexpr std::size_t kMostBytesPerPlace = 22;

    // The keyed hash of a text (its low bits place it in the table).
    static std::uint32_t hashOf(std::string_view text);

    // Room for `places` without growing; an index made empty holds no
    // table until its first place comes (readers make one for every
    // container in case it grows large).
    TextIndex() = default;
    explicit TextIndex(std::size_t places) : slots_(slotsFor(places)) {}

    std::size_t size() const { return count_; }
    // The memory the table holds, in bytes.
    std::size_t bytes() const { return slots_.size() * sizeof(Slot); }

    // Room for `places` in all without growing.
    void reserve(std::size_t places) {
        if (places > slots_.size() / 4 * 3) rehash(slotsFor(places));
    }

    // Starts bringing in the slot where a lookup of this hash begins: a
    // loop over many texts asks for the one some turns ahead, so that it
    // does not wait for memory at each (an index of millions is far larger
    // than the caches).
    void prefetch(std::uint32_t hash) const {
        if (!slots_.empty()) __builtin_prefetch(&slots_[hash & mask()]);
    }

    // The place whose text is `text`, or -1.
    template <class TextAt>
    std::ptrdiff_t find(std::string_view text, std::uint32_t hash, const TextAt& textAt) const {
        if (slots_.empty()) return -1;
        return static_cast<std::ptrdiff_t>(slots_[probe(text, hash, textAt)].place) - 1;
    }

    // The place whose text is `text`; else -1, and `place` is added for it.
    template <class TextAt>
    std::ptrdiff_t findOrAdd(std::string_view text, std::uint32_t hash, std::size_t place, const TextAt& textAt) {
        if (slots_.empty()) rehash(slotsFor(1));
        std::size_t slot = probe(text, hash, textAt);
        if (slots_[slot].place != 0) return static_cast<std::ptrdiff_t>(slots_[slot].place) - 1;
        if (grow()) slot = freeSlot(hash);
        slots_[slot] = {static_cast<std::uint32_t>(place + 1), hash};
        ++count_;
        return -1;
    }

    // A place whose text no place has yet.
    void add(std::size_t place, std::uint32_t hash) {
        grow();
        slots_[freeSlot(hash)] = {static_cast<std::uint32_t>(place + 1), hash};
        ++count_;
    }

    // Takes out `place`, whose text is `text`, and moves every place after
    // it down by one (for a list that takes the place out of its middle).
    template <class TextAt>
    void eraseAndClose(std::string_view text, std::uint32_t hash, std::size_t place, const TextAt& textAt) {
        if (slots_.empty()) return;
        std::size_t hole = probe(text, hash, textAt);
        if (slots_[hole].place == 0) return;
        // The slots after it that probed past it move back, so that they
        // are still found.
        for (std::size_t j = next(hole); slots_[j].place != 0; j = next(j)) {
            const std::size_t home = slots_[j].hash & mask();
            if (((j - home) & mask()) >= ((j - hole) & mask())) {
                slots_[hole] = slots_[j];
                hole = j;
            }
        }
        slots_[hole] = Slot{};
        --count_;
        for (Slot& s : slots_)
            if (s.place > place + 1) --s.place;
    }

private:
    struct Slot {
        std::uint32_t place = 0;  // plus one: 0 is a free slot
        std::uint32_t hash = 0;
    };

    static std::size_t slotsFor(std::size_t places) {
        std::size_t n = 32;
        while (n / 4 * 3 < places) n *= 2;
        return n;
    }

    std::size_t mask() const { return slots_.size() - 1; }
    std::size_t next(std::size_t slot) const { return (slot + 1) & mask(); }

    // The slot of the text, or the free slot where it would go.
    template <class TextAt>
    std::size_t probe(std::string_view text, std::uint32_t hash, const TextAt& textAt) const {
        for (std::size_t i = hash & mask();; i = next(i)) {
            const Slot& s = slots_[i];
            if (s.place == 0 || (s.hash == hash && textAt(s.place - 1) == text)) return i;
        }
    }

    std::size_t freeSlot(std::uint32_t hash) const {
        std::size_t i = hash & mask();
        while (slots_[i].place != 0) i = next(i);
        return i;
    }

    // Room for one place more; true when the slots moved.
    bool grow() {
        if (count_ + 1 <= slots_.size() / 4 * 3) return false;
        rehash(slots_.empty() ? slotsFor(1) : slots_.size() * 2);
        return true;
    }

    void rehash(std::size_t slots) {
        std::vector<Slot> old(slots);
        old.swap(slots_);
        for (const Slot& s : old)
            if (s.place != 0) slots_[freeSlot(s.hash)] = s;
    }

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

// The keyed hash for the standard library's unordered containers of texts
// that others wrote (names, numbers, keys read from input).
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return TextIndex::hashOf(text); }
};

}  // namespace ns
