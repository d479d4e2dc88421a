#include "foundation/ReadBudget.h"

#include <limits>

namespace ns {

namespace {

constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();

// a * b + c, held at kMax rather than wrapping.
std::size_t saturating(std::size_t a, std::size_t b, std::size_t c) {
    if (b != 0 && a > kMax / b) return kMax;
    std::size_t product = a * b;
    return product > kMax - c ? kMax : product + c;
}

}  // namespace

ReadBudget::ReadBudget(std::size_t inputBytes)
    : allowance_(saturating(inputBytes, kBytesPerInputByte, kBaseBytes)) {}

ReadBudget ReadBudget::withAllowance(std::size_t bytes) { return ReadBudget(Exact{}, bytes); }

bool ReadBudget::spend(std::size_t bytes) {
    if (exhausted_) return false;
    if (bytes > allowance_ - spent_) {
        spent_ = allowance_;
        exhausted_ = true;
        return false;
    }
    spent_ += bytes;
    return true;
}

bool ReadBudget::spendValues(std::size_t count) { return spend(saturating(count, kValueBytes, 0)); }

bool ReadBudget::spendCopy(std::size_t bytes) {
    if (bytes <= kInlineBytes) return !exhausted_;
    return spend(saturating(bytes, 1, kAllocationBytes));
}

bool ReadBudget::spendArray(std::size_t items) {
    return spend(saturating(items, kValueBytes, kValueBytes + kContainerBytes + kAllocationBytes));
}

bool ReadBudget::spendDictionary(std::size_t entries) {
    return spend(saturating(entries, kValueBytes + kEntryBytes + kIndexBytes,
                            kValueBytes + kContainerBytes + kAllocationBytes));
}

bool ReadBudget::spendEntry(std::size_t keyBytes) {
    return spend(kValueBytes + kEntryBytes + kIndexBytes) && spendCopy(keyBytes);
}

bool ReadBudget::spendText(std::size_t bytes) { return spend(kHolderBytes) && spendCopy(bytes); }

}  // namespace ns
