// What a reader of data that others wrote may build from it.
//
// Every reader of others' data (property lists in each form, keyed
// archives, boards and pasteboards, JSON replies, SOAP envelopes, XML
// documents, zip archives) counts what it makes of its input here: bytes it
// copies out, references and values it holds, entries it adds. The
// allowance follows the input's size, so whatever the layout (bodies laid
// over one another, containers reading one run of references again, a key
// copied into many dictionaries, attributes compared with each other) a
// read costs memory in proportion to what it was given, and a reader that
// does linear work per unit spent costs time in the same proportion. Once
// the allowance is spent the reader refuses the input, as beyond its bounds
// rather than damaged.
//
//   ns::ReadBudget budget(text.size());
//   if (!budget.spendValues(1) || !budget.spendCopy(s.size())) return refuse(budget.reason());
//
// The allowance is kBytesPerInputByte for each byte of input plus
// kBaseBytes, in bytes of memory as the costs below estimate them. What our
// own writers and the usual peers write stays within it: the densest form
// that exists, one byte of a binary list's reference for each value of an
// array, builds one Value (kValueBytes) for each byte.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "foundation/TextIndex.h"
#include "foundation/Value.h"

namespace ns {

class ReadBudget {
public:
    // Bytes of memory a read may build for each byte of its input, and for
    // any input however small.
    static constexpr std::size_t kBytesPerInputByte = 32;
    static constexpr std::size_t kBaseBytes = std::size_t{16} << 20;

    // What the common things a reader builds cost, in bytes: a value held
    // in an array, a dictionary or a reader's own list; a container's own
    // storage (its control block and first allocation); a string's or
    // data's shared holder (the same for its text or bytes); an entry of a
    // dictionary beside its value, and its share of the dictionary's index
    // (a dictionary of a few entries has none, but counts it all the same);
    // what the allocator keeps for each block.
    static constexpr std::size_t kValueBytes = sizeof(Value);
    static constexpr std::size_t kAllocationBytes = 16;
    static constexpr std::size_t kContainerBytes = 64;
    static constexpr std::size_t kHolderBytes = 64;
    static constexpr std::size_t kEntryBytes = sizeof(std::pair<std::string, Value>) - sizeof(Value);
    static constexpr std::size_t kIndexBytes = TextIndex::kMostBytesPerPlace;
    // Text or data up to this many bytes lives inside its holder.
    static constexpr std::size_t kInlineBytes = 15;

    // The allowance for an input of that many bytes.
    explicit ReadBudget(std::size_t inputBytes);
    // An allowance of its own, for a reader that works it out otherwise.
    static ReadBudget withAllowance(std::size_t bytes);

    // Each spends and answers false once the allowance is gone; from then
    // on every spend answers false. Counts that would overflow spend all.
    [[nodiscard]] bool spend(std::size_t bytes);
    // `count` values held where they are read.
    [[nodiscard]] bool spendValues(std::size_t count);
    // A body of `bytes` copied out (a string's or data's own buffer; text
    // short enough to live inside its holder costs nothing beyond it).
    [[nodiscard]] bool spendCopy(std::size_t bytes);
    // A container of `items` values, or of `items` entries for a
    // dictionary, with the value that holds it.
    [[nodiscard]] bool spendArray(std::size_t items);
    [[nodiscard]] bool spendDictionary(std::size_t entries);
    // For a reader that builds a container as it goes: one entry more, its
    // key of `keyBytes` (the dictionary's own storage is spendDictionary(0);
    // an array's item is spendValues(1)).
    [[nodiscard]] bool spendEntry(std::size_t keyBytes);
    // A string or data value made of `bytes` of its own: its holder and its
    // body (the value that holds it is counted where it is held).
    [[nodiscard]] bool spendText(std::size_t bytes);

    bool exhausted() const { return exhausted_; }
    std::size_t spent() const { return spent_; }
    std::size_t allowance() const { return allowance_; }

    // The reason a reader gives when it refuses an input for this.
    static constexpr const char* kReason = "builds more than its size allows";

private:
    struct Exact {};
    ReadBudget(Exact, std::size_t allowance) : allowance_(allowance) {}

    std::size_t allowance_;
    std::size_t spent_ = 0;
    bool exhausted_ = false;
};

}  // namespace ns
