// SPDX-License-Identifier: GPL-3.0-or-later
// Equality of a few bytes, inline. The key is compared on every line that may
// hold it, the second key and the date on every report: there a call to
// memcmp costs more than the compare, which takes two loads a side. Internal
// to each translation unit: the kernels' units are built for other
// instruction sets, and must not lend their copy to the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tarnimex {
namespace {

namespace same_bytes {
template <class Word>
Word Load(const unsigned char* p) {
    Word word;
    std::memcpy(&word, p, sizeof word);
    return word;
}
// The first and last sizeof(Word) bytes of n, overlapping when n is shorter
// than two words.
template <class Word>
bool Ends(const unsigned char* a, const unsigned char* b, std::size_t n) {
    return Load<Word>(a) == Load<Word>(b) &&
           Load<Word>(a + n - sizeof(Word)) == Load<Word>(b + n - sizeof(Word));
}
}  // namespace same_bytes

inline bool SameBytes(const void* a, const void* b, std::size_t n) {
    const auto* p = static_cast<const unsigned char*>(a);
    const auto* q = static_cast<const unsigned char*>(b);
    if (n > 16) return std::memcmp(p, q, n) == 0;
    if (n >= 8) return same_bytes::Ends<std::uint64_t>(p, q, n);
    if (n >= 4) return same_bytes::Ends<std::uint32_t>(p, q, n);
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] != q[i]) return false;
    }
    return true;
}

}  // namespace
}  // namespace tarnimex
