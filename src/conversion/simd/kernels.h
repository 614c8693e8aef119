// SPDX-License-Identifier: GPL-3.0-or-later
// The byte loops that run on vectors, as one table of kernels: one row per
// instruction set (kernel_<set>.cpp, each built for its own set from
// kernel_impl.h over vector_ops.h), listed once in kernels.cpp and chosen once,
// at first use: the best this processor runs, unless the environment variable
// TARNIMEX_KERNEL names another (scalar, sse2, avx2), as the tests do to run
// every kernel end to end. Only plain pointers and plain structs cross into a
// kernel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnimex {

struct LinesPassed {
    std::size_t lines = 0;  // lines completed
    std::size_t after = 0;  // just past the line end that completed the last of them
};

// The commas of a key sentence that separate its first fields, and its end.
constexpr std::size_t kReportCommas = 9;
struct ReportMarks {
    std::size_t stop = 0;    // the first CR, LF or "$" from keyLength on, or the text's size
    std::size_t commas = 0;  // commas before stop, at most kReportCommas
    std::size_t comma[kReportCommas] = {};  // their positions
};

// The two sync bytes of each binary frame kind: where a byte follows the
// first of a pair and is its second, a frame starts.
constexpr std::size_t kSyncPairCount = 3;
struct SyncPairs {
    unsigned char first[kSyncPairCount];
    unsigned char second[kSyncPairCount];
};

// Where text mixed with other bytes stops, and how many plain bytes it kept.
struct MixedText {
    std::size_t stop = 0;
    std::size_t kept = 0;
};

struct Kernel {
    const char* name;
    // Index of the first byte in [begin, end) outside 0x20..0x7F, or end.
    std::size_t (*scanPlain)(const unsigned char* data, std::size_t begin, std::size_t end);
    // Passes whole lines of plain text from begin, where a line starts empty, up
    // to the first byte that is neither plain text nor a line end, or the first
    // occurrence of the key lying wholly before end, whichever comes first; at
    // most maxLines lines. A line is complete at a CR or LF that follows a text
    // byte.
    LinesPassed (*passLines)(const unsigned char* data, std::size_t begin, std::size_t end,
                             const unsigned char* key, std::size_t keyLength, std::size_t maxLines);
    // Adds count bytes to the two 8-bit Fletcher sums *a and *b (at most a
    // frame's 2048 bytes at once).
    void (*fletcher)(const unsigned char* data, std::size_t count, std::uint8_t* a,
                     std::uint8_t* b);
    // The sum of count bytes (at most a frame's 2048 at once), for SiRF's check.
    std::uint32_t (*byteSum)(const unsigned char* data, std::size_t count);
    // Text mixed with other bytes from begin, where the byte before is prev:
    // stops at the first CR or LF, or the first byte that completes a sync
    // pair, or at end; the plain bytes (0x20..0x7F) before the stop are copied
    // to out, which has room for end - begin.
    MixedText (*takeMixed)(const unsigned char* data, std::size_t begin, std::size_t end,
                           unsigned char prev, const SyncPairs* pairs, char* out);
    // The bytes of [begin, end) a line keeps (CR, LF, 0x20..0x7F) copied to out,
    // which has room for end - begin; returns how many.
    std::size_t (*keepLineBytes)(const unsigned char* data, std::size_t begin, std::size_t end,
                                 char* out);
    // Where the key (keyLength > 0) first lies wholly in [from, size), or SIZE_MAX.
    std::size_t (*findKey)(const char* text, std::size_t size, const char* key,
                           std::size_t keyLength, std::size_t from);
    // The report at the front of text: its commas and its end.
    void (*reportMarks)(const char* text, std::size_t size, std::size_t keyLength,
                        ReportMarks* marks);
};

// The kernel in use, chosen at the first call.
const Kernel& ActiveKernel();

// Every kernel this processor runs, best first: for tests.
std::vector<const Kernel*> RunnableKernels();

}  // namespace tarnimex
