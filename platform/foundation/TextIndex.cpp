#include "foundation/TextIndex.h"

#include <cstring>
#include <random>

namespace ns {

namespace {

// The hash is a polynomial in a secret point modulo the prime 2^61 - 1, over
// the key's length and its bytes four at a time: two distinct keys of n
// bytes meet with a chance of about n / 2^63 whatever their text, since the
// point is drawn once per process and no text can know it.
constexpr std::uint64_t kPrime = (std::uint64_t{1} << 61) - 1;

// a * b modulo the prime, for a below 2^62 and b below it; the result is
// below 2^61 + 4, kept so rather than reduced further.
std::uint64_t mulmod(std::uint64_t a, std::uint64_t b) {
    const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    const std::uint64_t sum = (static_cast<std::uint64_t>(product) & kPrime) + static_cast<std::uint64_t>(product >> 61);
    return (sum & kPrime) + (sum >> 61);
}

std::uint64_t secretPoint() {
    static const std::uint64_t point = [] {
        std::random_device device;
        const std::uint64_t drawn = (std::uint64_t{device()} << 32) ^ device();
        return drawn % (kPrime - 2) + 2;
    }();
    return point;
}

}  // namespace

std::uint32_t TextIndex::hashOf(std::string_view key) {
    const std::uint64_t point = secretPoint();
    const auto* p = reinterpret_cast<const unsigned char*>(key.data());
    const std::size_t n = key.size();
    std::uint64_t h = n + 1;
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        std::uint32_t word;
        std::memcpy(&word, p + i, 4);
        h = mulmod(h, point) + word;
    }
    if (i < n) {
        std::uint32_t word = 0;
        std::memcpy(&word, p + i, n - i);
        h = mulmod(h, point) + word;
    }
    h = mulmod(h, point);
    // Spread into the low bits, which place the key.
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h);
}

}  // namespace ns
