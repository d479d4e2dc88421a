// Block-at-a-time steps over text that the service's readers (the JSON
// reader, the reply's result scanner) share: runs of plain ASCII sixteen
// bytes at a time (SSE2; eight with a portable word-at-a-time check
// elsewhere), and Chinese text five three-byte characters at a time,
// validated in the same step. Internal to kl_service.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textscan {

// Whether c is printable ASCII (0x20 to 0x7F) and none of the stop bytes.
template <char A, char B, char C>
constexpr bool isPlain(unsigned char c) {
    return c >= 0x20 && c < 0x80 && c != static_cast<unsigned char>(A) && c != static_cast<unsigned char>(B) &&
           c != static_cast<unsigned char>(C);
}

// plainASCII<A, B, C>(p): the length of the run of plain bytes (isPlain) at
// p, counted in blocks: at most kBlock bytes are looked at, and the answer is
// kBlock when all were plain. Needs kBlock readable bytes at p. A stop byte
// may be given twice when fewer are wanted.
#if defined(__SSE2__)
inline constexpr std::ptrdiff_t kBlock = 16;

template <char A, char B, char C>
inline std::ptrdiff_t plainASCII(const unsigned char* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // The comparison is signed: bytes from 0x80 count as below 0x20 too.
    const __m128i stop = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(A)), _mm_cmpeq_epi8(v, _mm_set1_epi8(B))),
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(C)), _mm_cmplt_epi8(v, _mm_set1_epi8(0x20))));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(stop));
    return mask ? std::countr_zero(mask) : kBlock;
}

// Five three-byte sequences in a row at p (15 bytes), none with a lead byte
// that limits its second byte (E0: no overlong form; ED: no surrogate). With
// kNoSpecials, none from U+FFC0 up either (EF BF: where the two
// non-characters U+FFFE and U+FFFF lie, which XML refuses). Needs 16
// readable bytes.
template <bool kNoSpecials = false>
inline bool fiveThreeByteSequences(const unsigned char* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i shape = _mm_setr_epi8(-16, -64, -64, -16, -64, -64, -16, -64, -64, -16, -64, -64, -16, -64, -64, 0);
    const __m128i bits =
        _mm_setr_epi8(-32, -128, -128, -32, -128, -128, -32, -128, -128, -32, -128, -128, -32, -128, -128, 0);
    const unsigned ok = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, shape), bits)));
    unsigned limited = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xE0))),
                                       _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xED))))));
    if constexpr (kNoSpecials) {
        const unsigned ef = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xEF)))));
        const unsigned bf = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xBF)))));
        limited |= ef & (bf >> 1);
    }
    return ok == 0xFFFF && !(limited & 0x1249);  // lead bytes at 0, 3, 6, 9, 12
}
#else
inline constexpr std::ptrdiff_t kBlock = 8;

template <char A, char B, char C>
inline std::ptrdiff_t plainASCII(const unsigned char* p) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    // The high bit of a byte is set when the byte is zero.
    auto zero = [](std::uint64_t x) { return (x - kOnes) & ~x; };
    const std::uint64_t a = w ^ (kOnes * static_cast<unsigned char>(A));
    const std::uint64_t b = w ^ (kOnes * static_cast<unsigned char>(B));
    const std::uint64_t c = w ^ (kOnes * static_cast<unsigned char>(C));
    // Set when the byte is below 0x20, a stop byte or not ASCII. Borrows can
    // flag a byte after a flagged one, never one before it.
    const std::uint64_t stop = (((w - kOnes * 0x20) & ~w) | zero(a) | zero(b) | zero(c) | w) & 0x8080808080808080ULL;
    if (!stop) return kBlock;
    if constexpr (std::endian::native == std::endian::little) return std::countr_zero(stop) >> 3;
    std::ptrdiff_t n = 0;
    while (isPlain<A, B, C>(p[n])) ++n;
    return n;
}

template <bool kNoSpecials = false>
inline bool fiveThreeByteSequences(const unsigned char*) {
    return false;
}
#endif

}  // namespace textscan
