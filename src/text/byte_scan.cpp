#include "text/byte_scan.h"

#include <algorithm>
#include <cstdlib>

#if defined(__x86_64__)
#include <immintrin.h>
#define LANQUE_VECTOR_SCAN 1
#endif

namespace lanque {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool PairAt(const char* p, const BytePair& pair) {
    const char a = pair.foldFirst ? static_cast<char>(p[0] | 0x20) : p[0];
    const char b = pair.foldSecond ? static_cast<char>(p[pair.gap] | 0x20) : p[pair.gap];
    return a == pair.first && b == pair.second;
}

std::size_t ScalarScan(const char* text, std::size_t from, std::size_t last, const BytePair& pair) {
    for (std::size_t i = from; i <= last; ++i) {
        if (PairAt(text + i, pair)) {
            return i;
        }
    }
    return kNone;
}

std::size_t ScalarEitherScan(std::string_view text, std::size_t from, const BytePair& a, const BytePair& b) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if ((i + a.gap < text.size() && PairAt(text.data() + i, a)) ||
            (i + b.gap < text.size() && PairAt(text.data() + i, b))) {
            return i;
        }
    }
    return kNone;
}

bool IsLead(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

#if LANQUE_VECTOR_SCAN
// Bit i set when byte i of the 16 is a lead byte: after flipping the top bit, leads are 1-126 signed.
unsigned LeadMask16(const char* p) {
    const __m128i x = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8(char(0x80)));
    const __m128i lead = _mm_andnot_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(127)), _mm_cmpgt_epi8(x, _mm_setzero_si128()));
    return static_cast<unsigned>(_mm_movemask_epi8(lead));
}

// OR-ing 0x20 maps "A"-"Z" onto "a"-"z" and nothing else onto a lower-case letter, so it folds exactly.
std::size_t Sse2Scan(const char* text, std::size_t from, std::size_t last, const BytePair& pair) {
    const __m128i first = _mm_set1_epi8(pair.first);
    const __m128i second = _mm_set1_epi8(pair.second);
    const __m128i foldFirst = _mm_set1_epi8(pair.foldFirst ? 0x20 : 0);
    const __m128i foldSecond = _mm_set1_epi8(pair.foldSecond ? 0x20 : 0);
    std::size_t i = from;
    for (; i + 15 <= last; i += 16) {
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)), foldFirst);
        const __m128i b =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + pair.gap)), foldSecond);
        const int mask = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second)));
        if (mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        }
    }
    return i <= last ? ScalarScan(text, i, last, pair) : kNone;
}

__attribute__((target("avx2"))) std::size_t Avx2Scan(const char* text, std::size_t from, std::size_t last,
                                                     const BytePair& pair) {
    const __m256i first = _mm256_set1_epi8(pair.first);
    const __m256i second = _mm256_set1_epi8(pair.second);
    const __m256i foldFirst = _mm256_set1_epi8(pair.foldFirst ? 0x20 : 0);
    const __m256i foldSecond = _mm256_set1_epi8(pair.foldSecond ? 0x20 : 0);
    std::size_t i = from;
    for (; i + 31 <= last; i += 32) {
        const __m256i a =
            _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i)), foldFirst);
        const __m256i b =
            _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + pair.gap)), foldSecond);
        const unsigned mask = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, second))));
        if (mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(mask));
        }
    }
    return i <= last ? Sse2Scan(text, i, last, pair) : kNone;
}

__attribute__((target("avx2"))) __m256i PairMask32(const char* p, const BytePair& pair) {
    const __m256i a = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                                      _mm256_set1_epi8(pair.foldFirst ? 0x20 : 0));
    const __m256i b = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + pair.gap)),
                                      _mm256_set1_epi8(pair.foldSecond ? 0x20 : 0));
    return _mm256_and_si256(_mm256_cmpeq_epi8(a, _mm256_set1_epi8(pair.first)),
                            _mm256_cmpeq_epi8(b, _mm256_set1_epi8(pair.second)));
}

__m128i PairMask16(const char* p, const BytePair& pair) {
    const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                   _mm_set1_epi8(pair.foldFirst ? 0x20 : 0));
    const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + pair.gap)),
                                   _mm_set1_epi8(pair.foldSecond ? 0x20 : 0));
    return _mm_and_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8(pair.first)), _mm_cmpeq_epi8(b, _mm_set1_epi8(pair.second)));
}

__attribute__((target("avx2"))) std::size_t Avx2EitherScan(std::string_view text, std::size_t from,
                                                           const BytePair& a, const BytePair& b) {
    const std::size_t reach = 32 + std::max(a.gap, b.gap);
    std::size_t i = from;
    for (; i + reach <= text.size(); i += 32) {
        const unsigned mask = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_or_si256(PairMask32(text.data() + i, a), PairMask32(text.data() + i, b))));
        if (mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(mask));
        }
    }
    return ScalarEitherScan(text, i, a, b);
}

std::size_t Sse2EitherScan(std::string_view text, std::size_t from, const BytePair& a, const BytePair& b) {
    const std::size_t reach = 16 + std::max(a.gap, b.gap);
    std::size_t i = from;
    for (; i + reach <= text.size(); i += 16) {
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(PairMask16(text.data() + i, a), PairMask16(text.data() + i, b)));
        if (mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        }
    }
    return ScalarEitherScan(text, i, a, b);
}

// LANQUE_SCAN_NO_AVX2 set in the environment keeps to the 16-byte scans (the tests run both).
const bool kHasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0 && std::getenv("LANQUE_SCAN_NO_AVX2") == nullptr;
}();

// Scans 32 offsets at a time from i while a vector stays inside the text; returns where it stopped,
// with mask set when that window holds a candidate.
__attribute__((target("avx2"), always_inline)) inline __m256i load(const char* p, __m256i fold) {
    return _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), fold);
}

__attribute__((target("avx2"))) std::size_t Avx2EitherWindow(std::string_view text, std::size_t i, std::size_t reach,
                                                             const BytePair& a, const BytePair& b, std::uint32_t& mask) {
    const __m256i aFirst = _mm256_set1_epi8(a.first), aSecond = _mm256_set1_epi8(a.second);
    const __m256i bFirst = _mm256_set1_epi8(b.first), bSecond = _mm256_set1_epi8(b.second);
    const __m256i aFoldFirst = _mm256_set1_epi8(a.foldFirst ? 0x20 : 0);
    const __m256i aFoldSecond = _mm256_set1_epi8(a.foldSecond ? 0x20 : 0);
    const __m256i bFoldFirst = _mm256_set1_epi8(b.foldFirst ? 0x20 : 0);
    const __m256i bFoldSecond = _mm256_set1_epi8(b.foldSecond ? 0x20 : 0);
    const char* data = text.data();
    if (a.first == b.first && a.foldFirst == b.foldFirst) {
        // The two markers begin with the same byte (as "<div" and "</div>"): compare it once.
        for (; i + reach <= text.size(); i += 32) {
            const __m256i first = _mm256_cmpeq_epi8(load(data + i, aFoldFirst), aFirst);
            const __m256i seconds = _mm256_or_si256(_mm256_cmpeq_epi8(load(data + i + a.gap, aFoldSecond), aSecond),
                                                    _mm256_cmpeq_epi8(load(data + i + b.gap, bFoldSecond), bSecond));
            mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(first, seconds)));
            if (mask != 0) {
                return i;
            }
        }
        return i;
    }
    for (; i + reach <= text.size(); i += 32) {
        const __m256i matchA = _mm256_and_si256(_mm256_cmpeq_epi8(load(data + i, aFoldFirst), aFirst),
                                                _mm256_cmpeq_epi8(load(data + i + a.gap, aFoldSecond), aSecond));
        const __m256i matchB = _mm256_and_si256(_mm256_cmpeq_epi8(load(data + i, bFoldFirst), bFirst),
                                                _mm256_cmpeq_epi8(load(data + i + b.gap, bFoldSecond), bSecond));
        mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(matchA, matchB)));
        if (mask != 0) {
            return i;
        }
    }
    return i;
}

// Bit i set when byte i of the 32 is a lead byte.
__attribute__((target("avx2"))) std::uint32_t LeadMask32(const char* p) {
    const __m256i x =
        _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), _mm256_set1_epi8(char(0x80)));
    const __m256i lead = _mm256_andnot_si256(_mm256_cmpeq_epi8(x, _mm256_set1_epi8(127)),
                                             _mm256_cmpgt_epi8(x, _mm256_setzero_si256()));
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(lead));
}
#endif

}  // namespace

std::size_t LeadRunStart(std::string_view text, std::size_t floor, std::size_t pos) {
    const char* data = text.data();
#if LANQUE_VECTOR_SCAN
    // 32 or 16 bytes at a time while they are all lead bytes.
    while (kHasAvx2 && pos >= floor + 32) {
        const std::uint32_t mask = LeadMask32(data + pos - 32);
        if (mask != 0xFFFFFFFFu) {
            return pos - 32 + static_cast<std::size_t>(31 - __builtin_clz(~mask)) + 1;
        }
        pos -= 32;
    }
    while (pos >= floor + 16) {
        const unsigned mask = LeadMask16(data + pos - 16);
        if (mask != 0xFFFF) {
            // The highest non-lead byte of the block ends the run.
            const unsigned nonLead = ~mask & 0xFFFF;
            return pos - 16 + static_cast<std::size_t>(31 - __builtin_clz(nonLead)) + 1;
        }
        pos -= 16;
    }
#endif
    while (pos > floor && IsLead(data[pos - 1])) {
        --pos;
    }
    return pos;
}

std::size_t FindEitherPairWindow(std::string_view text, std::size_t from, const BytePair& a, const BytePair& b,
                                 std::uint32_t& mask) {
    mask = 0;
    std::size_t i = from;
#if LANQUE_VECTOR_SCAN
    const std::size_t reach = 32 + std::max(a.gap, b.gap);
    if (kHasAvx2) {
        i = Avx2EitherWindow(text, i, reach, a, b, mask);
        if (mask != 0) {
            return i;
        }
    } else {
        for (; i + reach <= text.size(); i += 32) {
            const auto low = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_or_si128(PairMask16(text.data() + i, a), PairMask16(text.data() + i, b))));
            const auto high = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_or_si128(PairMask16(text.data() + i + 16, a), PairMask16(text.data() + i + 16, b))));
            mask = low | (high << 16);
            if (mask != 0) {
                return i;
            }
        }
    }
#endif
    // The last bytes, where a vector would read past the text.
    for (; i < text.size(); i += 32) {
        for (std::size_t k = 0; k < 32 && i + k < text.size(); ++k) {
            const char* p = text.data() + i + k;
            if ((i + k + a.gap < text.size() && PairAt(p, a)) || (i + k + b.gap < text.size() && PairAt(p, b))) {
                mask |= 1u << k;
            }
        }
        if (mask != 0) {
            return i;
        }
    }
    return kNone;
}

std::size_t FindEitherBytePair(std::string_view text, std::size_t from, const BytePair& a, const BytePair& b) {
    if (from >= text.size()) {
        return kNone;
    }
#if LANQUE_VECTOR_SCAN
    return kHasAvx2 ? Avx2EitherScan(text, from, a, b) : Sse2EitherScan(text, from, a, b);
#else
    return ScalarEitherScan(text, from, a, b);
#endif
}

std::size_t FindBytePair(std::string_view text, std::size_t from, std::size_t last, const BytePair& pair) {
    if (from > last || last + pair.gap >= text.size()) {
        return kNone;
    }
#if LANQUE_VECTOR_SCAN
    return kHasAvx2 ? Avx2Scan(text.data(), from, last, pair) : Sse2Scan(text.data(), from, last, pair);
#else
    return ScalarScan(text.data(), from, last, pair);
#endif
}

}  // namespace lanque
