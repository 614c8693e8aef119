// SPDX-License-Identifier: GPL-3.0-or-later
// The bulk text moves written once over a vector type; each translation unit
// that includes this gets its own copy, built for its own instruction set. Only
// plain pointers cross between them, so no inline library code built for AVX2
// can be picked for the other.
#pragma once

#include <cstdint>
#include <cstring>

#include "text_scan.h"

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

// Vec supplies kWidth, Load, and the masks (one bit per byte) of bytes equal to
// a value and of bytes below 0x20 or above 0x7F.
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
    auto keyAt = [&](std::size_t j) {
        return end - j >= k && std::memcmp(data + j, keyBytes, k) == 0;
    };
    std::uint32_t previousEnd = 1;  // the line is empty at begin: as if after a line end
    std::size_t i = begin;
    const std::size_t width = Vec::kWidth;
    // The key's last byte is compared k - 1 bytes further on, within end.
    for (; i + width + (k > 0 ? k - 1 : 0) <= end; i += width) {
        const auto v = Vec::Load(data + i);
        std::uint32_t ends = Vec::EqualMask(v, kScanCR) | Vec::EqualMask(v, kScanLF);
        std::uint32_t stop = Vec::OtherMask(v) & ~ends;
        if (k > 0) {
            std::uint32_t candidates = Vec::EqualMask(v, keyBytes[0]) &
                                       Vec::EqualMask(Vec::Load(data + i + k - 1), keyBytes[k - 1]);
            // Only a candidate before the first other byte matters.
            if (stop != 0) candidates &= (stop ^ (stop - 1)) >> 1;
            for (; candidates != 0; candidates &= candidates - 1) {
                const unsigned bit = static_cast<unsigned>(__builtin_ctz(candidates));
                if (std::memcmp(data + i + bit + 1, keyBytes + 1, k - 1) == 0) {
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

}  // namespace
}  // namespace tarnimex
