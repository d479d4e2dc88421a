// Operator new and delete that count what the open AllocationScope of the
// calling thread allocates. Each block carries a header with its size and
// the scope that counted it, so a block freed in that scope is taken off
// again and one made before it, or in another scope, is not. The aligned
// forms are left as they are: a block they make is freed by them alone.
#include "support/AllocationCount.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "foundation/ReadBudget.h"

namespace testsupport {

namespace {

// What the allocator keeps for each block beside what was asked for, as the
// readers' budget reckons it.
constexpr std::size_t kBlockBytes = ns::ReadBudget::kAllocationBytes;

struct alignas(__STDCPP_DEFAULT_NEW_ALIGNMENT__) Header {
    std::size_t size;
    std::uint64_t scope;  // 0: counted by none
};

constinit thread_local AllocationScope* current = nullptr;
std::atomic<std::uint64_t> scopes{0};

void* allocate(std::size_t size) noexcept {
    if (size > SIZE_MAX - sizeof(Header) - kBlockBytes) return nullptr;
    std::uint64_t scope = 0;
    if (AllocationScope* open = current) {
        if (!open->take(size + kBlockBytes)) return nullptr;
        scope = open->id();
    }
    void* block = std::malloc(sizeof(Header) + size);
    if (!block) {
        if (scope) current->give(size + kBlockBytes);
        return nullptr;
    }
    auto* header = static_cast<Header*>(block);
    *header = {size, scope};
    return header + 1;
}

void release(void* p) noexcept {
    if (!p) return;
    Header* header = static_cast<Header*>(p) - 1;
    if (AllocationScope* open = current; open && header->scope == open->id()) open->give(header->size + kBlockBytes);
    std::free(header);
}

void* allocateOrThrow(std::size_t size) {
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}

}  // namespace

AllocationScope::AllocationScope(std::size_t cap) : id_(++scopes), cap_(cap), outer_(current) { current = this; }

AllocationScope::~AllocationScope() { current = outer_; }

bool AllocationScope::take(std::size_t bytes) {
    if (bytes > cap_ - held_ || held_ > cap_) {
        capped_ = true;
        return false;
    }
    held_ += bytes;
    if (held_ > peak_) peak_ = held_;
    return true;
}

}  // namespace testsupport

void* operator new(std::size_t size) { return testsupport::allocateOrThrow(size); }
void* operator new[](std::size_t size) { return testsupport::allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return testsupport::allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return testsupport::allocate(size); }
void operator delete(void* p) noexcept { testsupport::release(p); }
void operator delete[](void* p) noexcept { testsupport::release(p); }
void operator delete(void* p, std::size_t) noexcept { testsupport::release(p); }
void operator delete[](void* p, std::size_t) noexcept { testsupport::release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { testsupport::release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { testsupport::release(p); }
