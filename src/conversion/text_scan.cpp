// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_scan.h"

#include "text_scan_impl.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnimex {

namespace {

#if defined(__SSE2__)
struct Baseline {
    static constexpr std::size_t kWidth = 16;
    static __m128i Load(const unsigned char* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    static std::uint32_t EqualMask(__m128i v, unsigned char c) {
        return static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(c)))));
    }
    // As signed bytes, 0x80..0xFF are negative: one compare finds both kinds.
    static std::uint32_t OtherMask(__m128i v) {
        return static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20))));
    }
};
#else
struct Baseline {
    static constexpr std::size_t kWidth = 1;
    static unsigned char Load(const unsigned char* p) { return *p; }
    static std::uint32_t EqualMask(unsigned char v, unsigned char c) { return v == c; }
    static std::uint32_t OtherMask(unsigned char v) { return IsOtherByte(v); }
};
#endif

#if defined(TARNIMEX_HAVE_AVX2)
bool AskProcessor() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
const bool kUseAvx2 = AskProcessor();
#else
constexpr bool kUseAvx2 = false;
#endif

}  // namespace

namespace text_scan {

bool HasAvx2Scan() {
    return kUseAvx2;
}

std::size_t ScanPlainBaseline(const unsigned char* data, std::size_t begin, std::size_t end) {
    return ScanPlainWith<Baseline>(data, begin, end);
}

LinesPassed PassLinesBaseline(const unsigned char* data, std::size_t begin, std::size_t end,
                              const unsigned char* key, std::size_t keyLength,
                              std::size_t maxLines) {
    return PassLinesWith<Baseline>(data, begin, end, key, keyLength, maxLines);
}

#if !defined(TARNIMEX_HAVE_AVX2)
// Never called: HasAvx2Scan() is false in a build without the AVX2 unit.
std::size_t ScanPlainAvx2(const unsigned char* data, std::size_t begin, std::size_t end) {
    return ScanPlainBaseline(data, begin, end);
}
LinesPassed PassLinesAvx2(const unsigned char* data, std::size_t begin, std::size_t end,
                          const unsigned char* key, std::size_t keyLength, std::size_t maxLines) {
    return PassLinesBaseline(data, begin, end, key, keyLength, maxLines);
}
#endif

}  // namespace text_scan

std::size_t ScanPlain(const unsigned char* data, std::size_t begin, std::size_t end) {
    return kUseAvx2 ? text_scan::ScanPlainAvx2(data, begin, end)
                    : text_scan::ScanPlainBaseline(data, begin, end);
}

LinesPassed PassLinesWithout(const unsigned char* data, std::size_t begin, std::size_t end,
                             std::string_view key, std::size_t maxLines) {
    const auto* const keyBytes = reinterpret_cast<const unsigned char*>(key.data());
    return kUseAvx2
               ? text_scan::PassLinesAvx2(data, begin, end, keyBytes, key.size(), maxLines)
               : text_scan::PassLinesBaseline(data, begin, end, keyBytes, key.size(), maxLines);
}

}  // namespace tarnimex
