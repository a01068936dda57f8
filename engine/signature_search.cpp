#include "engine/signature_search.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool MatchesAt(const unsigned char* p, const std::array<unsigned char, 4>& signature) {
    return p[0] == signature[0] && p[1] == signature[1] && p[2] == signature[2] &&
           p[3] == signature[3];
}

} // namespace

std::size_t FindSignature(const unsigned char* data, std::size_t size,
                          const std::array<unsigned char, 4>& signature) {
    if (size < 4)
        return size;
    const std::size_t last = size - 4; // last index where a whole signature fits
    std::size_t i = 0;
#if defined(__SSE2__)
    // Test the first two bytes at 16 positions at once; in compressed data
    // the pair meets about once in 64 KiB, so the full test rarely runs.
    const __m128i first = _mm_set1_epi8(static_cast<char>(signature[0]));
    const __m128i second = _mm_set1_epi8(static_cast<char>(signature[1]));
    while (i + 17 <= size) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 1));
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second))));
        while (mask != 0) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (at <= last && MatchesAt(data + at, signature))
                return at;
            mask &= mask - 1;
        }
        i += 16;
    }
#endif
    for (; i <= last; ++i) {
        if (data[i] == signature[0] && MatchesAt(data + i, signature))
            return i;
    }
    return size;
}
