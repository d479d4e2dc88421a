// What a piece of work allocates, counted as it allocates it: for tests that
// bound what a read of others' data costs, each case on its own. Resident
// memory cannot tell: memory that earlier work freed is still resident, and
// work that reuses it seems to cost nothing. Linking kl_allocationcount
// replaces the program's operator new and delete with ones that count what
// each thread allocates while it has a scope open (the allocator's own
// bookkeeping included, as ns::ReadBudget reckons it).
//
//   const auto used = testsupport::allocationPeak([&] { v = read(bytes); });
//   EXPECT_LT(used.peak, 16u << 20);
//   // With a cap, an allocation that would pass it throws std::bad_alloc,
//   // which ends the work and is told in `capped`:
//   EXPECT_FALSE(testsupport::allocationPeak([&] { v = read(bytes); }, 1u << 30).capped);
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace testsupport {

// Counts what the calling thread allocates (through operator new) from its
// making to its end, less what it frees of that; an inner scope counts alone.
class AllocationScope {
public:
    explicit AllocationScope(std::size_t cap = SIZE_MAX);
    ~AllocationScope();
    AllocationScope(const AllocationScope&) = delete;
    AllocationScope& operator=(const AllocationScope&) = delete;

    // The most bytes held at once.
    std::size_t peak() const { return peak_; }
    // An allocation was refused for passing the cap.
    bool capped() const { return capped_; }

    // For the allocator (AllocationCount.cpp): whether a block of `bytes`
    // may be had, counting it when it may.
    bool take(std::size_t bytes);
    void give(std::size_t bytes) { held_ -= bytes; }
    std::uint64_t id() const { return id_; }

private:
    std::uint64_t id_;
    std::size_t cap_;
    std::size_t held_ = 0, peak_ = 0;
    bool capped_ = false;
    AllocationScope* outer_;
};

struct Allocation {
    std::size_t peak = 0;  // bytes
    bool capped = false;
};

// Runs `work` in a scope of its own.
template <class Work>
Allocation allocationPeak(Work work, std::size_t cap = SIZE_MAX) {
    AllocationScope scope(cap);
    try {
        work();
    } catch (const std::bad_alloc&) {
        if (!scope.capped()) throw;
    }
    return {scope.peak(), scope.capped()};
}

}  // namespace testsupport
