// SPDX-License-Identifier: GPL-3.0-or-later
// The reader's bulk moves over plain text, the bytes 0x20..0x7F with CR and LF
// between them. They run on whole vectors, 32 bytes at a time where the
// processor has AVX2 and 16 with SSE2, chosen once at run time.
#pragma once

#include <cstddef>
#include <string_view>

namespace tarnimex {

// Index of the first byte in [begin, end) outside 0x20..0x7F, or end.
std::size_t ScanPlain(const unsigned char* data, std::size_t begin, std::size_t end);

struct LinesPassed {
    std::size_t lines = 0;  // lines completed
    std::size_t after = 0;  // just past the line end that completed the last of them
};

// Passes whole lines of plain text from begin, where a line starts empty, up to
// the first byte that is neither plain text nor a line end, or the first
// occurrence of key lying wholly before end, whichever comes first; at most
// maxLines lines. A line is complete at a CR or LF that follows a text byte.
LinesPassed PassLinesWithout(const unsigned char* data, std::size_t begin, std::size_t end,
                             std::string_view key, std::size_t maxLines);

// The two builds behind the calls above, for tests: the baseline one runs
// everywhere; the AVX2 one only where HasAvx2Scan().
namespace text_scan {
bool HasAvx2Scan();
std::size_t ScanPlainBaseline(const unsigned char* data, std::size_t begin, std::size_t end);
std::size_t ScanPlainAvx2(const unsigned char* data, std::size_t begin, std::size_t end);
LinesPassed PassLinesBaseline(const unsigned char* data, std::size_t begin, std::size_t end,
                              const unsigned char* key, std::size_t keyLength,
                              std::size_t maxLines);
LinesPassed PassLinesAvx2(const unsigned char* data, std::size_t begin, std::size_t end,
                          const unsigned char* key, std::size_t keyLength, std::size_t maxLines);
}  // namespace text_scan

}  // namespace tarnimex
