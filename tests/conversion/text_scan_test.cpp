// SPDX-License-Identifier: GPL-3.0-or-later
// The vector builds of the text scans against their definition byte by byte,
// over mixes of text, line ends, keys and other bytes, from every start.
#include "text_scan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
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

struct Build {
    const char* name;
    std::size_t (*scanPlain)(const unsigned char*, std::size_t, std::size_t);
    LinesPassed (*passLines)(const unsigned char*, std::size_t, std::size_t, const unsigned char*,
                             std::size_t, std::size_t);
};

std::vector<Build> Builds() {
    std::vector<Build> builds = {
        {"baseline", text_scan::ScanPlainBaseline, text_scan::PassLinesBaseline}};
    if (text_scan::HasAvx2Scan())
        builds.push_back({"AVX2", text_scan::ScanPlainAvx2, text_scan::PassLinesAvx2});
    return builds;
}

void ExpectAsByBytes(const Bytes& data, const std::string& key) {
    const auto* keyBytes = reinterpret_cast<const unsigned char*>(key.data());
    for (const Build& build : Builds()) {
        SCOPED_TRACE(build.name);
        for (std::size_t begin = 0; begin <= data.size(); ++begin) {
            ASSERT_EQ(build.scanPlain(data.data(), begin, data.size()),
                      ScanPlainByBytes(data, begin))
                << "from " << begin;
            for (const std::size_t maxLines :
                 {std::size_t{1}, std::size_t{2}, std::size_t{7}, SIZE_MAX}) {
                const LinesPassed expected = PassLinesByBytes(data, begin, key, maxLines);
                const LinesPassed got = build.passLines(data.data(), begin, data.size(), keyBytes,
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

TEST(TextScan, Cases) {
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

TEST(TextScan, RandomMixes) {
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

}  // namespace
}  // namespace tarnimex
