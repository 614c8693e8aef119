// SPDX-License-Identifier: GPL-3.0-or-later
// The log reader on arbitrary bytes handed out in arbitrary pieces: fast mode,
// with and without passing over plain lines in bulk, must return exactly the
// lines and BytesRead of the byte-at-a-time reference, and no line may break
// the reader's promises (never empty, only LF, CR and 0x20..0x7F, never longer
// than the input).
//
// Input: byte 0 the piece size of the source, byte 1 the fast block size and
// the key passed over, then the log.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/input/log_reader.h"

namespace {

using tarnimex::LogReader;
using tarnimex::MemorySource;

[[noreturn]] void Fail(const char* what, std::size_t line) {
    std::fprintf(stderr, "log reader disagreement: %s at line %zu\n", what, line);
    std::abort();
}

std::size_t PieceSize(unsigned char b) {
    // Small pieces split frames everywhere; large ones keep whole blocks.
    return b < 128 ? std::size_t{b} + 1 : std::size_t{b - 127u} * 64;
}

void CheckLine(std::string_view line, std::size_t inputSize, std::size_t index) {
    if (line.size() > inputSize) Fail("line longer than the input", index);
    for (unsigned char c : line) {
        if (c != 0x0A && c != 0x0D && (c < 0x20 || c > 0x7F))
            Fail("byte outside the line set", index);
    }
}

// Reads the log with the byte-at-a-time reference in whole blocks and with
// fast mode in pieces of the given size. BytesRead is compared only when the
// pieces are whole blocks, as a file gives them: a short read counts less.
void Compare(std::string_view log, std::size_t piece, std::size_t fastBlock, std::string_view key,
             bool skip) {
    const auto logSize = static_cast<std::int64_t>(log.size());
    const bool wholeBlocks = piece == SIZE_MAX;
    LogReader reference(LogReader::Mode::Reference);
    reference.Open(std::make_unique<MemorySource>(log), logSize);
    LogReader fast(LogReader::Mode::Fast, fastBlock);
    fast.Open(std::make_unique<MemorySource>(log, piece), logSize);

    std::string expected;
    for (std::size_t index = 0;; ++index) {
        if (skip) {
            // As the conversion does: plain lines without the key are only counted.
            const std::size_t maxLines = 1 + index % 7;
            const std::size_t passed = fast.SkipLinesWithout(key, maxLines);
            if (passed > maxLines) Fail("passed more lines than asked", index);
            for (std::size_t k = 0; k < passed; ++k, ++index) {
                expected.assign(reference.ReadLogLine());
                if (expected.empty()) Fail("passed a line past the end", index);
                if (expected.find(key) != std::string::npos)
                    Fail("passed a line holding the key", index);
            }
            if (wholeBlocks && fast.BytesRead() != reference.BytesRead())
                Fail("BytesRead after a pass", index);
        }
        expected.assign(reference.ReadLogLine());
        const std::string_view line = fast.ReadLogLine();
        if (line != expected) Fail("lines differ", index);
        if (wholeBlocks && fast.BytesRead() != reference.BytesRead())
            Fail("BytesRead differs", index);
        if (fast.EndOfLog() != reference.EndOfLog()) Fail("EndOfLog differs", index);
        if (line.empty()) {
            if (!fast.EndOfLog()) Fail("an empty line before the end", index);
            if (fast.BytesRead() != logSize) Fail("BytesRead at the end is not the size", index);
            break;
        }
        CheckLine(line, log.size(), index);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t piece = PieceSize(data[0]);
    const std::size_t fastBlock = std::size_t{(data[1] & 3u) + 1} * LogReader::kBlockSize;
    static const char* const kKeys[] = {"$GPTXT", "$G", "b", "$"};
    const std::string_view key = kKeys[(data[1] >> 2) & 3u];
    const bool skip = (data[1] & 0x10) != 0;
    const std::string_view log(reinterpret_cast<const char*>(data) + 2, size - 2);
    Compare(log, piece, fastBlock, key, skip);
    Compare(log, SIZE_MAX, fastBlock, key, skip);
    return 0;
}
