// SPDX-License-Identifier: GPL-3.0-or-later
// The kernels written once over the vector vocabulary (vector_ops.h); each
// translation unit that includes this gets its own copy, built for its own
// instruction set, and names its row of the table with MakeKernel. Only plain
// pointers cross between them, so no inline library code built for AVX2 can be
// picked for another set.
#pragma once

#include <cstdint>
#include <cstring>

#include "conversion/simd/kernels.h"
#include "conversion/simd/same_bytes.h"
#include "conversion/simd/vector_ops.h"

namespace tarnimex {
namespace {

constexpr unsigned char kScanCR = 0x0D;
constexpr unsigned char kScanLF = 0x0A;

bool IsOtherByte(unsigned char b) {
    return b < 0x20 || b > 0x7F;
}
bool IsLineEnd(unsigned char b) {
    return b == kScanCR || b == kScanLF;
}

template <class Vec>
std::size_t ScanPlainWith(const unsigned char* data, std::size_t begin, std::size_t end) {
    std::size_t i = begin;
    for (; i + Vec::kWidth <= end; i += Vec::kWidth) {
        const std::uint32_t other = Vec::OtherMask(Vec::Load(data + i));
        if (other != 0) return i + static_cast<std::size_t>(__builtin_ctz(other));
    }
    for (; i < end; ++i) {
        if (IsOtherByte(data[i])) return i;
    }
    return end;
}

// A mask with a bit for each byte of a vector.
template <class Vec>
constexpr std::uint32_t kWholeVector = Vec::kWidth == 32 ? ~0u : (1u << Vec::kWidth) - 1;

// The bytes of the vector v, loaded from data, that mask picks, written to out
// in order; returns how many. A vector kept whole is copied.
template <class Vec>
std::size_t KeepPicked(typename Vec::Vec v, std::uint32_t mask, const unsigned char* data,
                       char* out) {
    if (mask != kWholeVector<Vec>) return Vec::Pack(v, mask, out);
    std::memcpy(out, data, Vec::kWidth);
    return Vec::kWidth;
}

template <class Vec>
MixedText TakeMixedWith(const unsigned char* data, std::size_t begin, std::size_t end,
                        unsigned char prev, const SyncPairs* pairs, char* out) {
    auto stops = [pairs](unsigned char p, unsigned char c) {
        bool pair = false;
        for (std::size_t k = 0; k < kSyncPairCount; ++k)
            pair |= p == pairs->first[k] && c == pairs->second[k];
        return pair || IsLineEnd(c);
    };
    std::size_t n = 0;
    // Written always, counted when plain: no branch.
    auto keep = [&](unsigned char c) {
        out[n] = static_cast<char>(c);
        n += IsOtherByte(c) ? 0 : 1;
    };
    std::size_t i = begin;
    // The first byte pairs with prev; from the second on, a vector's bytes
    // pair with those one before them in data.
    if (i < end) {
        if (stops(prev, data[i])) return {i, 0};
        keep(data[i++]);
    }
    if constexpr (Vec::kWidth > 1) {
        for (; i + Vec::kWidth <= end; i += Vec::kWidth) {
            const auto v = Vec::Load(data + i);
            const auto before = Vec::Load(data + i - 1);
            std::uint32_t stop = Vec::EqualAnyMask(v, kScanCR, kScanLF);
            for (std::size_t k = 0; k < kSyncPairCount; ++k) {
                stop |= Vec::EqualAnyMask(before, pairs->first[k]) &
                        Vec::EqualAnyMask(v, pairs->second[k]);
            }
            std::uint32_t plain = ~Vec::OtherMask(v) & kWholeVector<Vec>;
            if (stop != 0) plain &= (1u << __builtin_ctz(stop)) - 1;
            n += KeepPicked<Vec>(v, plain, data + i, out + n);
            if (stop != 0) return {i + static_cast<std::size_t>(__builtin_ctz(stop)), n};
        }
    }
    for (; i < end; ++i) {
        if (stops(data[i - 1], data[i])) return {i, n};
        keep(data[i]);
    }
    return {end, n};
}

template <class Vec>
std::size_t KeepLineBytesWith(const unsigned char* data, std::size_t begin, std::size_t end,
                              char* out) {
    std::size_t n = 0;
    std::size_t i = begin;
    if constexpr (Vec::kWidth > 1) {
        for (; i + Vec::kWidth <= end; i += Vec::kWidth) {
            const auto v = Vec::Load(data + i);
            const std::uint32_t kept =
                (~Vec::OtherMask(v) | Vec::EqualAnyMask(v, kScanCR, kScanLF)) & kWholeVector<Vec>;
            n += KeepPicked<Vec>(v, kept, data + i, out + n);
        }
    }
    for (; i < end; ++i) {
        out[n] = static_cast<char>(data[i]);
        n += IsOtherByte(data[i]) && !IsLineEnd(data[i]) ? 0 : 1;
    }
    return n;
}

// Position of the n-th (from 1) set bit of mask.
unsigned NthBit(std::uint32_t mask, std::size_t n) {
    for (; n > 1; --n) mask &= mask - 1;
    return static_cast<unsigned>(__builtin_ctz(mask));
}

template <class Vec>
LinesPassed PassLinesWith(const unsigned char* data, std::size_t begin, std::size_t end,
                          const unsigned char* keyBytes, std::size_t k, std::size_t maxLines) {
    LinesPassed passed;
    if (maxLines == 0) return passed;
    auto keyAt = [&](std::size_t j) { return end - j >= k && SameBytes(data + j, keyBytes, k); };
    std::uint32_t previousEnd = 1;  // the line is empty at begin: as if after a line end
    std::size_t i = begin;
    const std::size_t width = Vec::kWidth;
    // The key's last byte is compared k - 1 bytes further on, within end.
    for (; i + width + (k > 0 ? k - 1 : 0) <= end; i += width) {
        const auto v = Vec::Load(data + i);
        std::uint32_t ends = Vec::EqualAnyMask(v, kScanCR, kScanLF);
        std::uint32_t stop = Vec::OtherMask(v) & ~ends;
        if (k > 0) {
            std::uint32_t candidates =
                Vec::EqualAnyMask(v, keyBytes[0]) &
                Vec::EqualAnyMask(Vec::Load(data + i + k - 1), keyBytes[k - 1]);
            // Only a candidate before the first other byte matters.
            if (stop != 0) candidates &= (stop ^ (stop - 1)) >> 1;
            for (; candidates != 0; candidates &= candidates - 1) {
                const unsigned bit = static_cast<unsigned>(__builtin_ctz(candidates));
                if (SameBytes(data + i + bit + 1, keyBytes + 1, k - 1)) {
                    stop = std::uint32_t{1} << bit;
                    break;
                }
            }
        }
        if (stop != 0) ends &= (stop ^ (stop - 1)) >> 1;
        const std::uint32_t completed = ends & ~((ends << 1) | previousEnd);
        if (completed != 0) {
            const auto count = static_cast<std::size_t>(__builtin_popcount(completed));
            if (passed.lines + count >= maxLines) {
                passed.after = i + NthBit(completed, maxLines - passed.lines) + 1;
                passed.lines = maxLines;
                return passed;
            }
            passed.lines += count;
            passed.after = i + static_cast<std::size_t>(31 - __builtin_clz(completed)) + 1;
        }
        if (stop != 0) return passed;
        previousEnd = ends >> (width - 1);
    }
    bool prevEnd = previousEnd != 0;
    for (; i < end; ++i) {
        const unsigned char b = data[i];
        const bool lineEnd = IsLineEnd(b);
        if ((!lineEnd && IsOtherByte(b)) || (k > 0 && b == keyBytes[0] && keyAt(i))) break;
        if (lineEnd && !prevEnd) {
            ++passed.lines;
            passed.after = i + 1;
            if (passed.lines == maxLines) break;
        }
        prevEnd = lineEnd;
    }
    return passed;
}

// Fletcher's sums over m bytes: A gains each byte, B gains A after each byte,
// so byte j of m adds (m - j) times its value to B, counting j from 0.
template <class Vec>
void FletcherWith(const unsigned char* data, std::size_t m, std::uint8_t* ckA, std::uint8_t* ckB) {
    std::uint32_t a = *ckA;
    std::uint32_t b = *ckB + static_cast<std::uint32_t>(m) * *ckA;
    std::size_t j = 0;
    if constexpr (Vec::kWidth > 1) {
        if (m >= Vec::kWidth) {
            typename Vec::Sums sums;
            for (; j + Vec::kWidth <= m; j += Vec::kWidth)
                Vec::AddFletcher(sums, Vec::Load(data + j), m - j);
            const ScalarOps::Sums total = Vec::Total(sums);
            a += total.a;
            b += total.b;
        }
    }
    for (; j < m; ++j) {
        a += data[j];
        b += static_cast<std::uint32_t>(m - j) * data[j];
    }
    *ckA = static_cast<std::uint8_t>(a);
    *ckB = static_cast<std::uint8_t>(b);
}

template <class Vec>
std::uint32_t ByteSumWith(const unsigned char* data, std::size_t m) {
    std::uint32_t sum = 0;
    std::size_t j = 0;
    if constexpr (Vec::kWidth > 1) {
        typename Vec::Sums sums;
        for (; j + Vec::kWidth <= m; j += Vec::kWidth) Vec::AddBytes(sums, Vec::Load(data + j));
        sum = Vec::Total(sums).a;
    }
    // The rest mostly 8 bytes at a time (a frame's last vector's worth is most
    // of a short frame): byte pairs summed into four 16-bit lanes, at most 510
    // each, and the lanes added in the top 16 bits by one multiply.
    constexpr std::uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
    constexpr std::uint64_t kAddLanes = 0x0001000100010001ull;
    for (; j + 8 <= m; j += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + j, sizeof word);
        const std::uint64_t lanes = (word & kLowBytes) + (word >> 8 & kLowBytes);
        sum += static_cast<std::uint32_t>(lanes * kAddLanes >> 48);
    }
    for (; j < m; ++j) sum += data[j];
    return sum;
}

// Candidates are found a vector at a time by the key's first and last
// characters together; only those are compared in full.
template <class Vec>
std::size_t FindKeyWith(const char* text, std::size_t size, const char* key, std::size_t k,
                        std::size_t from) {
    constexpr std::size_t kNone = SIZE_MAX;
    if (k == 0 || from > size || size - from < k) return kNone;
    const auto* const data = reinterpret_cast<const unsigned char*>(text);
    const auto first = static_cast<unsigned char>(key[0]);
    const auto final = static_cast<unsigned char>(key[k - 1]);
    const std::size_t last = size - k;  // the last possible start
    std::size_t i = from;
    if constexpr (Vec::kWidth > 1) {
        for (; i + Vec::kWidth <= last + 1; i += Vec::kWidth) {
            std::uint32_t mask = Vec::EqualAnyMask(Vec::Load(data + i), first) &
                                 Vec::EqualAnyMask(Vec::Load(data + i + k - 1), final);
            for (; mask != 0; mask &= mask - 1) {
                const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
                if (SameBytes(text + at + 1, key + 1, k - 1)) return at;
            }
        }
    }
    for (; i <= last; ++i) {
        if (data[i] == first && data[i + k - 1] == final &&
            SameBytes(text + i + 1, key + 1, k - 1)) {
            return i;
        }
    }
    return kNone;
}

// A report ends at the first CR, LF or "$" after its key; a "$" inside the
// key itself does not count.
template <class Vec>
void ReportMarksWith(const char* text, std::size_t size, std::size_t keyLength,
                     ReportMarks* marks) {
    const auto* const data = reinterpret_cast<const unsigned char*>(text);
    std::size_t commas = 0;
    std::size_t stop = size;
    // Handles one comma or end mark at j; false once the report has ended.
    auto mark = [&](std::size_t j) {
        if (data[j] == ',') {
            if (commas < kReportCommas) marks->comma[commas++] = j;
            return true;
        }
        if (j < keyLength) return true;
        stop = j;
        return false;
    };
    auto marksAt = [&](std::size_t at) {
        return Vec::EqualAnyMask(Vec::Load(data + at), ',', '$', kScanCR, kScanLF);
    };
    // Runs until the report's end or the text's.
    [&] {
        std::size_t i = 0;
        if constexpr (Vec::kWidth > 1) {
            for (; i + Vec::kWidth <= size; i += Vec::kWidth) {
                for (std::uint32_t m = marksAt(i); m != 0; m &= m - 1) {
                    if (!mark(i + static_cast<std::size_t>(__builtin_ctz(m)))) return;
                }
            }
            if (i < size && size >= Vec::kWidth) {
                // The last vector's bytes, less those already seen.
                const std::size_t base = size - Vec::kWidth;
                for (std::uint32_t m = marksAt(base) & (~std::uint32_t{0} << (i - base)); m != 0;
                     m &= m - 1) {
                    if (!mark(base + static_cast<std::size_t>(__builtin_ctz(m)))) return;
                }
                return;
            }
        }
        for (; i < size; ++i) {
            const unsigned char c = data[i];
            if ((c == ',' || c == '$' || c == kScanCR || c == kScanLF) && !mark(i)) return;
        }
    }();
    marks->stop = stop;
    marks->commas = commas;
}

template <class Vec>
constexpr Kernel MakeKernel(const char* name) {
    return {name,
            ScanPlainWith<Vec>,
            PassLinesWith<Vec>,
            FletcherWith<Vec>,
            ByteSumWith<Vec>,
            TakeMixedWith<Vec>,
            KeepLineBytesWith<Vec>,
            FindKeyWith<Vec>,
            ReportMarksWith<Vec>};
}

}  // namespace
}  // namespace tarnimex
