// SPDX-License-Identifier: GPL-3.0-or-later
// The few vector operations the kernels (kernel_impl.h) are written in. Each
// instruction set gives one struct over its own vector type: kWidth bytes,
// Load, masks with one bit per byte (the first byte in bit 0), the two
// Fletcher sums, the first of them alone (a plain sum of bytes), and Pack, the
// bytes a mask picks, in order. A struct exists only where its instructions are
// enabled, and everything here is local to the file that includes it (see
// kernel_impl.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace tarnimex {
namespace {

// Plain text is 0x20..0x7F; as signed bytes, 0x80..0xFF are negative, so one
// signed compare with this finds every other byte.
constexpr char kFirstPlainByte = 0x20;

// One byte at a time: the reference the others must agree with.
struct ScalarOps {
    using Vec = unsigned char;
    static constexpr std::size_t kWidth = 1;
    static Vec Load(const unsigned char* p) { return *p; }
    template <class... C>
    static std::uint32_t EqualAnyMask(Vec v, C... c) {
        return ((v == static_cast<unsigned char>(c)) || ...);
    }
    static std::uint32_t OtherMask(Vec v) { return static_cast<signed char>(v) < kFirstPlainByte; }
    // Fletcher: a gains each byte, b each byte times (top - its index).
    struct Sums {
        std::uint32_t a = 0, b = 0;
    };
    static void AddFletcher(Sums& s, Vec v, std::size_t top) {
        s.a += v;
        s.b += static_cast<std::uint32_t>(top) * v;
    }
    static Sums Total(const Sums& s) { return s; }
};

#if defined(__SSE2__)
struct Sse2Ops {
    using Vec = __m128i;
    static constexpr std::size_t kWidth = 16;
    static Vec Load(const unsigned char* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    template <class... C>
    static std::uint32_t EqualAnyMask(Vec v, C... c) {
        const Vec any = (_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(c))) | ...);
        return static_cast<std::uint32_t>(_mm_movemask_epi8(any));
    }
    static std::uint32_t OtherMask(Vec v) {
        return static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(kFirstPlainByte))));
    }
    struct Sums {
        __m128i weighted = _mm_setzero_si128();  // four 32-bit partial sums of b
        __m128i bytes = _mm_setzero_si128();     // two 64-bit partial sums of a
    };
    // The bytes widen to 16 bits against their weights top - 0 .. top - 15
    // (top is at most the frame cap, so the weights fit).
    static void AddFletcher(Sums& s, Vec v, std::size_t top) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i stepLo = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
        const __m128i stepHi = _mm_setr_epi16(8, 9, 10, 11, 12, 13, 14, 15);
        const __m128i tops = _mm_set1_epi16(static_cast<short>(top));
        s.weighted = _mm_add_epi32(
            s.weighted, _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), _mm_sub_epi16(tops, stepLo)));
        s.weighted = _mm_add_epi32(
            s.weighted, _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), _mm_sub_epi16(tops, stepHi)));
        AddBytes(s, v);
    }
    static void AddBytes(Sums& s, Vec v) {
        s.bytes = _mm_add_epi64(s.bytes, _mm_sad_epu8(v, _mm_setzero_si128()));
    }
    // Writes the bytes of v whose mask bit is set to out; returns how many.
    static std::size_t Pack(Vec v, std::uint32_t mask, char* out) {
        alignas(16) char bytes[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(bytes), v);
        std::size_t n = 0;
        for (; mask != 0; mask &= mask - 1) out[n++] = bytes[__builtin_ctz(mask)];
        return n;
    }
    static ScalarOps::Sums Total(const Sums& s) {
        alignas(16) std::uint32_t w[4];
        alignas(16) std::uint64_t t[2];
        _mm_store_si128(reinterpret_cast<__m128i*>(w), s.weighted);
        _mm_store_si128(reinterpret_cast<__m128i*>(t), s.bytes);
        return {static_cast<std::uint32_t>(t[0] + t[1]), w[0] + w[1] + w[2] + w[3]};
    }
};
#endif

#if defined(__AVX2__)
// For each 8-bit mask, the indices of its set bits in order, one a byte: the
// shuffle that packs the bytes it picks from 8 to the front.
constexpr std::array<std::uint64_t, 256> kPackShuffles = [] {
    std::array<std::uint64_t, 256> shuffles{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        unsigned k = 0;
        for (unsigned bit = 0; bit < 8; ++bit) {
            if ((mask >> bit & 1) != 0) shuffles[mask] |= std::uint64_t{bit} << (8 * k++);
        }
    }
    return shuffles;
}();

struct Avx2Ops {
    using Vec = __m256i;
    static constexpr std::size_t kWidth = 32;
    static Vec Load(const unsigned char* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    template <class... C>
    static std::uint32_t EqualAnyMask(Vec v, C... c) {
        const Vec any = (_mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(c))) | ...);
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(any));
    }
    static std::uint32_t OtherMask(Vec v) {
        return static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpgt_epi8(_mm256_set1_epi8(kFirstPlainByte), v)));
    }
    struct Sums {
        __m256i weighted = _mm256_setzero_si256();  // eight 32-bit partial sums of b
        __m256i bytes = _mm256_setzero_si256();     // four 64-bit partial sums of a
    };
    // Each 16-byte half widens in order, against weights top - 0 .. top - 31.
    static void AddFletcher(Sums& s, Vec v, std::size_t top) {
        const __m256i stepLo =
            _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        const __m256i stepHi =
            _mm256_setr_epi16(16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
        const __m256i tops = _mm256_set1_epi16(static_cast<short>(top));
        const __m256i lo = _mm256_cvtepu8_epi16(_mm256_castsi256_si128(v));
        const __m256i hi = _mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1));
        s.weighted =
            _mm256_add_epi32(s.weighted, _mm256_madd_epi16(lo, _mm256_sub_epi16(tops, stepLo)));
        s.weighted =
            _mm256_add_epi32(s.weighted, _mm256_madd_epi16(hi, _mm256_sub_epi16(tops, stepHi)));
        AddBytes(s, v);
    }
    static void AddBytes(Sums& s, Vec v) {
        s.bytes = _mm256_add_epi64(s.bytes, _mm256_sad_epu8(v, _mm256_setzero_si256()));
    }
    // Eight bytes at a time by shuffle; each step writes 8 bytes at out + n,
    // so out needs room for the 32 however few are kept.
    static std::size_t Pack(Vec v, std::uint32_t mask, char* out) {
        const __m128i halves[2] = {_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)};
        std::size_t n = 0;
        for (unsigned group = 0; group < 4; ++group) {
            const unsigned bits = mask >> (8 * group) & 0xFF;
            const __m128i shuffle =
                _mm_add_epi8(_mm_cvtsi64_si128(static_cast<long long>(kPackShuffles[bits])),
                             _mm_set1_epi8(static_cast<char>(group % 2 * 8)));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + n),
                             _mm_shuffle_epi8(halves[group / 2], shuffle));
            n += static_cast<std::size_t>(__builtin_popcount(bits));
        }
        return n;
    }
    static ScalarOps::Sums Total(const Sums& s) {
        alignas(32) std::uint32_t w[8];
        alignas(32) std::uint64_t t[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(w), s.weighted);
        _mm256_store_si256(reinterpret_cast<__m256i*>(t), s.bytes);
        std::uint32_t b = 0;
        for (std::uint32_t x : w) b += x;
        return {static_cast<std::uint32_t>(t[0] + t[1] + t[2] + t[3]), b};
    }
};
#endif

}  // namespace
}  // namespace tarnimex
