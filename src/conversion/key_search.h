// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the key sentence's address in a line. Most lines hold a "$" at their
// start but not the key, so candidates are found sixteen at a time by the key's
// first and last characters together, and only those are compared in full.
#pragma once

#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnimex {

inline std::size_t FindKey(std::string_view text, std::string_view key, std::size_t from) {
    const std::size_t k = key.size();
    if (k == 0 || from > text.size() || text.size() - from < k) return std::string_view::npos;
    const char* const data = text.data();
    const std::size_t last = text.size() - k;  // the last possible start
    std::size_t i = from;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(key.front());
    const __m128i final = _mm_set1_epi8(key.back());
    for (; i + 16 <= last + 1; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + k - 1));
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, final))));
        while (mask != 0) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (std::memcmp(data + at + 1, key.data() + 1, k - 1) == 0) return at;
            mask &= mask - 1;
        }
    }
#endif
    for (; i <= last; ++i) {
        if (data[i] == key.front() && data[i + k - 1] == key.back() &&
            std::memcmp(data + i + 1, key.data() + 1, k - 1) == 0) {
            return i;
        }
    }
    return std::string_view::npos;
}

}  // namespace tarnimex
