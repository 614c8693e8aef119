// SPDX-License-Identifier: GPL-3.0-or-later
// The bulk text moves 32 bytes at a time; this file alone is built for AVX2 and
// is only called after the processor has been asked.
#include <immintrin.h>

#include "text_scan_impl.h"

namespace tarnimex {

namespace {

struct Avx2 {
    static constexpr std::size_t kWidth = 32;
    static __m256i Load(const unsigned char* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    static std::uint32_t EqualMask(__m256i v, unsigned char c) {
        return static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(c)))));
    }
    // As signed bytes, 0x80..0xFF are negative: one compare finds both kinds.
    static std::uint32_t OtherMask(__m256i v) {
        return static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpgt_epi8(_mm256_set1_epi8(0x20), v)));
    }
};

}  // namespace

namespace text_scan {

std::size_t ScanPlainAvx2(const unsigned char* data, std::size_t begin, std::size_t end) {
    return ScanPlainWith<Avx2>(data, begin, end);
}

LinesPassed PassLinesAvx2(const unsigned char* data, std::size_t begin, std::size_t end,
                          const unsigned char* key, std::size_t keyLength, std::size_t maxLines) {
    return PassLinesWith<Avx2>(data, begin, end, key, keyLength, maxLines);
}

}  // namespace text_scan

}  // namespace tarnimex
