// SPDX-License-Identifier: GPL-3.0-or-later
// Every kernel this processor runs: the text scans against their definition
// byte by byte, over mixes of text, line ends, keys and other bytes, from every
// start; the other kernels against the scalar one. (The whole-run tests run
// again with each kernel forced.)
#include "conversion/simd/kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tarnimex {
namespace {

using Bytes = std::basic_string<unsigned char>;

bool Other(unsigned char b) {
    return b < 0x20 || b > 0x7F;
}
bool LineEnd(unsigned char b) {
    return b == '\r' || b == '\n';
}

std::size_t ScanPlainByBytes(const Bytes& data, std::size_t begin) {
    std::size_t i = begin;
    while (i < data.size() && !Other(data[i])) ++i;
    return i;
}

LinesPassed PassLinesByBytes(const Bytes& data, std::size_t begin, const std::string& key,
                             std::size_t maxLines) {
    LinesPassed passed;
    bool prevEnd = true;
    for (std::size_t i = begin; i < data.size() && passed.lines < maxLines; ++i) {
        const unsigned char b = data[i];
        const bool keyHere = !key.empty() && data.size() - i >= key.size() &&
                             std::memcmp(data.data() + i, key.data(), key.size()) == 0;
        if ((Other(b) && !LineEnd(b)) || keyHere) break;
        if (LineEnd(b) && !prevEnd) {
            ++passed.lines;
            passed.after = i + 1;
        }
        prevEnd = LineEnd(b);
    }
    return passed;
}

void ExpectAsByBytes(const Bytes& data, const std::string& key) {
    const auto* keyBytes = reinterpret_cast<const unsigned char*>(key.data());
    for (const Kernel* build : RunnableKernels()) {
        SCOPED_TRACE(build->name);
        for (std::size_t begin = 0; begin <= data.size(); ++begin) {
            ASSERT_EQ(build->scanPlain(data.data(), begin, data.size()),
                      ScanPlainByBytes(data, begin))
                << "from " << begin;
            for (const std::size_t maxLines :
                 {std::size_t{1}, std::size_t{2}, std::size_t{7}, SIZE_MAX}) {
                const LinesPassed expected = PassLinesByBytes(data, begin, key, maxLines);
                const LinesPassed got = build->passLines(data.data(), begin, data.size(), keyBytes,
                                                         key.size(), maxLines);
                ASSERT_EQ(got.lines, expected.lines)
                    << "from " << begin << ", at most " << maxLines;
                if (expected.lines > 0) {
                    ASSERT_EQ(got.after, expected.after) << "from " << begin;
                }
            }
        }
    }
}

Bytes AsBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(Kernels, TextScanCases) {
    const std::string longLine(70, 'x');
    const struct {
        const char* legend;
        std::string bytes;
        std::string key;
    } cases[] = {
        {"lines ending in CR LF, LF CR, CR CR and LF", "$GPGGA,1\r\n$GPRMC\n\r\rA\r\rB\n\n",
         "$GPTXT"},
        {"a key on the third line", "$GPGGA,1\r\n$GPRMC,2\r\n$GPTXT,01,RMC delay\r\n$GPVTG\r\n",
         "$GPTXT"},
        {"a key at a vector's last byte", std::string(31, 'a') + "$GPTXT" + longLine, "$GPTXT"},
        {"a key cut by the end of the bytes", longLine + "\r\n" + longLine + "\n$GPT", "$GPTXT"},
        {"an other byte before the key", longLine + "\n" + "ab\x01" + "c\n$GPTXT\n", "$GPTXT"},
        {"UBX sync bytes in a long text", longLine + "\r\n" + longLine + "\xB5" + "b\r\n",
         "$GPTXT"},
        {"0x7F is text, 0x80 is not", longLine + "\x7F\n" + longLine + "\x80\n", "$GPTXT"},
        {"a one-byte key", longLine + "\nab$c\n", "$"},
        {"no key at all", longLine + "\r\n" + longLine + "\r\n" + longLine + "\r\n", ""},
        {"more lines than the limit in one vector",
         "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk\nl\nm\n" + longLine, "$GPTXT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        ExpectAsByBytes(AsBytes(c.bytes), c.key);
    }
}

TEST(Kernels, TextScanRandomMixes) {
    std::mt19937 random(8122026);
    const std::string alphabet = "$GPTXT,\r\n  aaaaaaaaaaaa\x04\xB5\x7F\x80\xFF\x01";
    for (int round = 0; round < 200; ++round) {
        Bytes data(random() % 150, 'a');
        for (unsigned char& b : data) {
            // Mostly text, so that vectors run long before they meet an other byte.
            b = random() % 8 == 0 ? static_cast<unsigned char>(alphabet[random() % alphabet.size()])
                                  : static_cast<unsigned char>("ab,$GPTXT\r\n"[random() % 11]);
        }
        ExpectAsByBytes(data, std::string("$GPTXT").substr(0, random() % 7));
    }
}

// Fletcher sums, byte sums, mixed text, a line's bytes, key search and report
// marks over random lines and lengths that cross every vector width.
TEST(Kernels, AgreeWithScalar) {
    const std::vector<const Kernel*> kernels = RunnableKernels();
    const Kernel& scalar = *kernels.back();
    ASSERT_STREQ(scalar.name, "scalar");
    const std::string alphabet =
        std::string("$GPTXT,RMC delay*\r\n\x01\xFF\xA0\xA2\xB5\x04") + "ab";
    const SyncPairs pairs{{0xA0, 0xB5, 0x04}, {0xA2, 'b', '$'}};
    std::mt19937 random(9122026);
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 140, 'a');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        const std::string key = std::string("$GPTXT").substr(0, 1 + random() % 6);
        const std::size_t from = random() % (text.size() + 2);
        const std::size_t keyLength = random() % 8;
        const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
        const auto a0 = static_cast<std::uint8_t>(random()),
                   b0 = static_cast<std::uint8_t>(random());
        std::uint8_t expectedA = a0, expectedB = b0;
        scalar.fletcher(bytes, text.size(), &expectedA, &expectedB);
        ReportMarks expected;
        scalar.reportMarks(text.data(), text.size(), keyLength, &expected);
        const std::size_t begin = std::min(from, text.size());
        const auto prev = static_cast<unsigned char>(alphabet[random() % alphabet.size()]);
        std::string expectedKept(text.size(), '\0');
        const MixedText expectedMixed =
            scalar.takeMixed(bytes, begin, text.size(), prev, &pairs, expectedKept.data());
        expectedKept.resize(expectedMixed.kept);
        std::string expectedLine(text.size(), '\0');
        expectedLine.resize(scalar.keepLineBytes(bytes, begin, text.size(), expectedLine.data()));
        for (const Kernel* kernel : kernels) {
            SCOPED_TRACE(kernel->name);
            std::uint8_t a = a0, b = b0;
            kernel->fletcher(bytes, text.size(), &a, &b);
            ASSERT_EQ(a, expectedA);
            ASSERT_EQ(b, expectedB);
            ASSERT_EQ(kernel->byteSum(bytes, text.size()), scalar.byteSum(bytes, text.size()));
            std::string kept(text.size(), '\0');
            const MixedText mixed =
                kernel->takeMixed(bytes, begin, text.size(), prev, &pairs, kept.data());
            ASSERT_EQ(mixed.stop, expectedMixed.stop) << text;
            ASSERT_EQ(kept.substr(0, mixed.kept), expectedKept) << text;
            std::string line(text.size(), '\0');
            line.resize(kernel->keepLineBytes(bytes, begin, text.size(), line.data()));
            ASSERT_EQ(line, expectedLine) << text;
            ASSERT_EQ(kernel->findKey(text.data(), text.size(), key.data(), key.size(), from),
                      scalar.findKey(text.data(), text.size(), key.data(), key.size(), from))
                << text;
            ReportMarks got;
            kernel->reportMarks(text.data(), text.size(), keyLength, &got);
            ASSERT_EQ(got.stop, expected.stop) << text;
            ASSERT_EQ(got.commas, expected.commas) << text;
            for (std::size_t i = 0; i < got.commas; ++i) ASSERT_EQ(got.comma[i], expected.comma[i]);
        }
    }
}

// The forced runs (TARNIMEX_KERNEL) really use the kernel they name.
TEST(Kernels, TheEnvironmentChooses) {
    const char* forced = std::getenv("TARNIMEX_KERNEL");
    const std::vector<const Kernel*> kernels = RunnableKernels();
    const bool runnable = forced != nullptr &&
                          std::any_of(kernels.begin(), kernels.end(),
                                      [&](auto k) { return std::string_view(k->name) == forced; });
    EXPECT_STREQ(ActiveKernel().name, runnable ? forced : kernels.front()->name);
}

}  // namespace
}  // namespace tarnimex
