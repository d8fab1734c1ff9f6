#include "reader/literalsearch.h"

#include <emmintrin.h>

#include "base/ascii.h"

namespace quill {
namespace {

bool sameFrom(const char* at, std::string_view needle, bool foldCase) {
    for (std::size_t i = 0; i < needle.size(); ++i) {
        char c = foldCase ? toLower(at[i]) : at[i];
        if (c != needle[i]) return false;
    }
    return true;
}

// A letter matches either case when its 0x20 bit is forced on; other bytes
// only match themselves. Forcing the bit on other haystack bytes only makes
// false candidates, which the whole comparison throws out.
__m128i foldMask(char c, bool foldCase) { return _mm_set1_epi8(foldCase && isAlpha(c) ? 0x20 : 0); }

}  // namespace

std::string literalNeedle(std::string_view text, bool foldCase) {
    return foldCase ? lowercased(text) : std::string(text);
}

std::size_t findLiteral(std::string_view haystack, std::string_view needle, bool foldCase) {
    const std::size_t n = needle.size();
    if (n == 0) return 0;
    if (haystack.size() < n) return std::string_view::npos;
    const char* h = haystack.data();
    const std::size_t last = haystack.size() - n;  // the last start position
    const __m128i first = _mm_set1_epi8(needle.front());
    const __m128i final = _mm_set1_epi8(needle.back());
    const __m128i firstFold = foldMask(needle.front(), foldCase);
    const __m128i finalFold = foldMask(needle.back(), foldCase);
    std::size_t i = 0;
    for (; i + 16 <= last + 1; i += 16) {
        __m128i a =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i)), firstFold);
        __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + n - 1)),
                                 finalFold);
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, final))));
        while (mask) {
            std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (sameFrom(h + at, needle, foldCase)) return at;
            mask &= mask - 1;
        }
    }
    for (; i <= last; ++i)
        if (sameFrom(h + i, needle, foldCase)) return i;
    return std::string_view::npos;
}

}  // namespace quill
