// SPDX-License-Identifier: GPL-3.0-or-later
// The log reader on byte-built logs, on random mixes (fast and reference modes
// must agree on every line and every BytesRead), and on real receiver captures.
#include "conversion/input/log_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "support/frames.h"

namespace tarnimex {
namespace {

using test::Bytes;
using test::Mtk;
using test::Nmea;
using test::Sirf;
using test::Ubx;

struct Read {
    std::vector<std::string> lines;
    std::vector<std::int64_t> bytesRead;  // after each line, the end included
    FrameCounts frames;
};

Read ReadAll(const std::string& bytes, LogReader::Mode mode, std::size_t piece = SIZE_MAX,
             std::size_t block = LogReader::kFastBlockSize) {
    LogReader reader(mode, block);
    reader.Open(std::make_unique<MemorySource>(bytes, piece),
                static_cast<std::int64_t>(bytes.size()));
    Read result;
    for (;;) {
        const std::string_view line = reader.ReadLogLine();
        result.bytesRead.push_back(reader.BytesRead());
        if (line.empty()) {
            EXPECT_TRUE(reader.EndOfLog());
            break;
        }
        result.lines.emplace_back(line);
    }
    result.frames = reader.Frames();
    return result;
}

// A live stream: the bytes come in pieces, each read as far as it goes.
std::vector<std::string> ReadLive(const std::string& bytes, std::size_t piece) {
    LogReader reader;
    auto owned = std::make_unique<LiveSource>();
    LiveSource& stream = *owned;
    reader.Open(std::move(owned), 0);
    std::vector<std::string> lines;
    for (std::size_t at = 0;; at += piece) {
        if (at < bytes.size())
            stream.Append(std::string_view(bytes).substr(at, piece));
        else
            stream.End();
        for (std::string_view line; !(line = reader.ReadLogLine()).empty();)
            lines.emplace_back(line);
        if (reader.EndOfLog()) return lines;
    }
}

// Both modes, whole blocks, short reads of several sizes and a live stream
// give the same lines.
std::vector<std::string> Lines(const std::string& bytes) {
    const Read reference = ReadAll(bytes, LogReader::Mode::Reference);
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{2047}, SIZE_MAX}) {
        EXPECT_EQ(ReadAll(bytes, LogReader::Mode::Fast, piece).lines, reference.lines)
            << "piece " << piece;
    }
    EXPECT_EQ(ReadLive(bytes, 5), reference.lines);
    EXPECT_EQ(ReadAll(bytes, LogReader::Mode::Fast).bytesRead, reference.bytesRead);
    return reference.lines;
}

std::string Printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == 0x0A || c == 0x0D || (c >= 0x20 && c <= 0x7F)) out += static_cast<char>(c);
    }
    return out;
}

std::string Payload(std::size_t size, unsigned seed = 1) {
    std::string out;
    for (std::size_t i = 0; i < size; ++i) out += static_cast<char>((i * 37 + seed) % 251);
    return out;
}

const std::string kGga = Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
const std::string kRmc = Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
std::string Line(const std::string& sentence) {
    return sentence.substr(0, sentence.size() - 2);
}

struct Case {
    const char* legend;
    std::string bytes;
    std::vector<std::string> lines;
};

TEST(LogReader, TextAndFrames) {
    const std::string badUbx = Ubx(1, 7, "xy\r\nz", false);
    const std::string ubx2040 = Ubx(2, 0x13, Payload(2040));
    const std::string ubx2041 = Ubx(2, 0x13, Payload(2041));
    const std::string sirf2040 = Sirf(Payload(2040, 5));
    const std::string sirf2041 = Sirf(Payload(2041, 5));
    const std::string mtk2048 = Mtk(Payload(2048 - 7, 9));
    const std::string mtk2049 = Mtk(Payload(2049 - 7, 9));
    const std::string sirfB0B3 = Sirf(std::string("AB\xB0\xB3XYZ"));
    const std::vector<Case> cases = {
        {"two sentences ended by CR LF", kGga + kRmc, {Line(kGga), Line(kRmc)}},
        {"blank lines, CR LF, LF CR, lone CR and lone LF",
         "\r\n\r\nA\n\rB\rC\nD\r\n\n",
         {"A", "B", "C", "D"}},
        {"a last line without line end is not returned", "A\r\nB", {"A"}},
        {"bytes outside the set vanish, 0x7F stays",
         Bytes({'A', 0, 0x80, 0x1F, 0x7F, 0xFF, 0x0B, 'B', 13, 10}),
         {"A\x7F"
          "B"}},
        {"a good UBX frame between sentences",
         kGga + Ubx(1, 7, Payload(92)) + kRmc,
         {Line(kGga), Line(kRmc)}},
        {"a good SiRF frame between sentences",
         kGga + Sirf(Payload(40)) + kRmc,
         {Line(kGga), Line(kRmc)}},
        {"a good MediaTek frame between sentences",
         kGga + Mtk(Payload(7)) + kRmc,
         {Line(kGga), Line(kRmc)}},
        {"a good frame mid-line drops the text before it",
         "abc" + Ubx(1, 7, "Q\r\n") + "def\r\n",
         {"def"}},
        {"a bad UBX frame leaves its printable bytes, the sentence follows on its line",
         kGga + badUbx + kRmc,
         {Line(kGga), "b" + Printable(badUbx.substr(2)) + Line(kRmc)}},
        {"a bad SiRF frame leaves its printable bytes",
         "X" + Sirf("Hi\r\n", false) + "Y\r\n",
         {"X" + Printable(Sirf("Hi\r\n", false).substr(2)) + "Y"}},
        {"a bad MediaTek frame leaves its printable bytes",
         "X" + Mtk("ok", false) + "Y\r\n",
         {"X$" + Printable(Mtk("ok", false).substr(2)) + "Y"}},
        {"SiRF B0 B3 inside the payload ends the frame there",
         sirfB0B3 + "\r\n",
         {"AB" + Printable(sirfB0B3.substr(sirfB0B3.find("XYZ")))}},
        {"UBX of payload 2040 (2048 bytes) checks out", "A" + ubx2040 + "B\r\n", {"B"}},
        {"UBX of payload 2041 is cut after byte 2048; its last byte is text",
         "A" + ubx2041 + "\r\n",
         {"Ab" + Printable(ubx2041.substr(2, 2046)) + Printable(ubx2041.substr(2048))}},
        {"SiRF of payload 2040 checks out", "A" + sirf2040 + "B\r\n", {"B"}},
        {"SiRF of payload 2041 does not check out",
         "A" + sirf2041 + "\r\n",
         {"A" + Printable(sirf2041.substr(2))}},
        {"MediaTek of 2048 bytes checks out", "A" + mtk2048 + "B\r\n", {"B"}},
        {"MediaTek of 2049 bytes is cut after byte 2048",
         "A" + mtk2049 + "\r\n",
         {"A$" + Printable(mtk2049.substr(2, 2046))}},  // its last byte, LF, ends the line
        {"MediaTek length 4 checks out at byte 4", "A" + Bytes({4, '$', 4, 0}) + "B\r\n", {"B"}},
        {"MediaTek length 5 checks out with no checksum",
         "A" + Bytes({4, '$', 5, 0, 0x99}) + "B\r\n",
         {"B"}},
        {"MediaTek length 3 ends at byte 4 without checking out",
         "A" + Bytes({4, '$', 3, 0}) + "B\r\n",
         {"A$B"}},
        {"0x04 before a sentence swallows the following 2046 bytes",
         Bytes({4}) + kGga + std::string(3000, 'x') + "\r\n",
         {Line(kGga) + "\r\n" + std::string(2046 - kGga.size(), 'x') +
          std::string(3000 - (2046 - kGga.size()), 'x')}},
        {"0x04 before a sentence at the end of input loses the frame", Bytes({4}) + kGga, {}},
        {"sync bytes split by other bytes start nothing",
         Bytes({0xB5, 0, 'b', 0xA0, 'x', 0xA2}) + "\r\n",
         {"bx"}},
        {"an empty input", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(Lines(c.bytes), c.lines);
    }
}

TEST(LogReader, FrameEndingWithSyncByteStartsNoFrame) {
    // A UBX frame whose second checksum byte is 0x04, then "$": no MediaTek frame.
    std::string frame;
    for (int v = 0; v < 65536 && (frame.empty() || frame.back() != 4); ++v) {
        frame = Ubx(1, 2, Bytes({v & 0xFF, v >> 8}));
    }
    ASSERT_EQ(frame.back(), 4);
    EXPECT_EQ(Lines(kGga + frame + kRmc), (std::vector<std::string>{Line(kGga), Line(kRmc)}));
}

TEST(LogReader, FramesAcrossEveryBlockBorder) {
    const std::string frames = Ubx(1, 7, Payload(92)) + Sirf(Payload(60)) + Mtk(Payload(20)) +
                               Ubx(1, 7, Payload(30), false) + Sirf(Payload(9), false) +
                               Mtk("ab", false);
    for (std::size_t pad = 2048 - frames.size() - 4; pad < 2048 + 4; ++pad) {
        SCOPED_TRACE(pad);
        Lines(std::string(pad, 'p') + "\r\n" + frames + kRmc + frames + std::string(pad, 'q') +
              "\n");
    }
}

TEST(LogReader, BytesReadAdvancesPerBlock) {
    const std::string bytes = std::string(3000, 'a') + "\n" + std::string(2000, 'b') + "\n";
    for (auto mode : {LogReader::Mode::Reference, LogReader::Mode::Fast}) {
        const Read read = ReadAll(bytes, mode);
        EXPECT_EQ(read.bytesRead, (std::vector<std::int64_t>{4096, 5002, 5002}));
    }
    EXPECT_EQ(ReadAll("", LogReader::Mode::Fast).bytesRead, (std::vector<std::int64_t>{0}));
}

TEST(LogReader, OpenFailures) {
    LogReader reader;
    std::string reason;
    EXPECT_FALSE(reader.OpenLogFile("", &reason));
    EXPECT_TRUE(reader.EndOfLog());
    EXPECT_TRUE(reader.ReadLogLine().empty());
    EXPECT_FALSE(reader.OpenLogFile("/nonexistent/log.nmea", &reason));
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_FALSE(reader.OpenLogFile(::testing::TempDir(), &reason)) << "a folder is no log";
}

// Random mixes of sentences, frames good and bad, and stray bytes.
std::string RandomLog(std::mt19937& rng, std::size_t pieces) {
    std::string out;
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (std::size_t i = 0; i < pieces; ++i) {
        const std::string payload = Payload(static_cast<std::size_t>(pick(120)), rng());
        switch (pick(10)) {
            case 0:
                out += Ubx(pick(256), pick(256), payload, pick(4) != 0);
                break;
            case 1: {
                // Now and then a trailer inside the payload, or a length that lies.
                std::string frame =
                    Sirf(pick(6) != 0 ? payload : payload + "\xB0\xB3" + payload, pick(4) != 0);
                if (pick(6) == 0) frame[2 + pick(2)] = static_cast<char>(rng());
                out += frame;
                break;
            }
            case 2:
                out += Mtk(payload, pick(4) != 0);
                break;
            case 3:
                for (int k = pick(8); k > 0; --k) out += static_cast<char>(rng());
                break;
            case 4:
                out += Bytes({"\x04\xB5\xA0"[pick(3)] & 0xFF}) + "$b\xA2"[pick(3)];
                break;
            case 5:
                out += "\r\n\n\r"[pick(4)];
                break;
            default:
                out += test::ReportLine("2023/07/05 12:34:56." + std::to_string(pick(1000)), "0.1");
        }
    }
    return out;
}

TEST(LogReader, FramesAreCountedByKindAndChecksum) {
    const std::string log = kGga + Ubx(1, 7, Payload(92)) + Ubx(1, 7, Payload(92), false) +
                            Sirf(Payload(30)) + Sirf(Payload(30), false) + Mtk(Payload(20)) +
                            Mtk(Payload(20)) + Mtk(Payload(20), false) + kRmc;
    const FrameCounts expected{{1, 1, 2}, {1, 1, 1}};
    for (auto mode : {LogReader::Mode::Reference, LogReader::Mode::Fast}) {
        for (std::size_t piece : {std::size_t{7}, SIZE_MAX}) {
            EXPECT_EQ(ReadAll(log, mode, piece).frames, expected) << "piece " << piece;
        }
    }
}

TEST(LogReader, FastAndReferenceAgreeOnRandomMixes) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 60; ++round) {
        const std::string log = RandomLog(rng, 50 + rng() % 400);
        SCOPED_TRACE(round);
        const Read reference = ReadAll(log, LogReader::Mode::Reference);
        EXPECT_EQ(ReadAll(log, LogReader::Mode::Fast).bytesRead, reference.bytesRead);
        const Read small = ReadAll(log, LogReader::Mode::Fast, SIZE_MAX, 2048);
        EXPECT_EQ(small.lines, reference.lines);
        EXPECT_EQ(small.bytesRead, reference.bytesRead);
        EXPECT_EQ(small.frames, reference.frames);
        EXPECT_EQ(ReadAll(log, LogReader::Mode::Fast).frames, reference.frames);
        EXPECT_EQ(ReadAll(log, LogReader::Mode::Fast, 1 + rng() % 5000).lines, reference.lines);
    }
}

// How a conversion reads: lines without the key passed over in bulk, at most
// up to the next multiple of every lines, the others read one by one.
struct Skimmed {
    std::vector<std::pair<std::size_t, std::string>> lines;  // number and text of each line read
    std::size_t count = 0;                                   // every line, the end included
    std::vector<std::int64_t> bytesRead;                     // at each multiple of every
};

Skimmed Skim(const std::string& bytes, const std::string& key, std::size_t block,
             std::size_t every) {
    LogReader reader(LogReader::Mode::Fast, block);
    reader.Open(std::make_unique<MemorySource>(bytes), static_cast<std::int64_t>(bytes.size()));
    Skimmed result;
    while (!reader.EndOfLog()) {
        const std::size_t passed = reader.SkipLinesWithout(key, every - result.count % every);
        if (passed > 0) {
            result.count += passed;
        } else {
            const std::string_view line = reader.ReadLogLine();
            ++result.count;
            if (!line.empty()) result.lines.emplace_back(result.count, line);
        }
        if (result.count % every == 0) result.bytesRead.push_back(reader.BytesRead());
    }
    return result;
}

TEST(LogReader, LinesPassedOverNeverHoldTheKey) {
    std::mt19937 rng(812);
    const std::string keys[] = {"$GPTXT",
                                "RMC delay",
                                "$",
                                "\xB5"
                                "b",
                                "\x04$",
                                "12:34"};
    for (int round = 0; round < 40; ++round) {
        const std::string log = RandomLog(rng, 100 + rng() % 600);
        const Read reference = ReadAll(log, LogReader::Mode::Reference);
        for (const std::string& key : keys) {
            for (const std::size_t block :
                 {std::size_t{2048}, std::size_t{4096 + 2048 * (rng() % 4)}}) {
                const std::size_t every = 1 + rng() % 30;
                SCOPED_TRACE("round " + std::to_string(round) + ", key " + key + ", block " +
                             std::to_string(block) + ", every " + std::to_string(every));
                const Skimmed skimmed = Skim(log, key, block, every);
                ASSERT_EQ(skimmed.count, reference.lines.size() + 1);
                std::size_t next = 0;  // the next line read
                for (std::size_t i = 0; i < reference.lines.size(); ++i) {
                    const bool read =
                        next < skimmed.lines.size() && skimmed.lines[next].first == i + 1;
                    if (read) {
                        ASSERT_EQ(skimmed.lines[next].second, reference.lines[i])
                            << "line " << i + 1;
                        ++next;
                    } else {
                        ASSERT_EQ(reference.lines[i].find(key), std::string::npos)
                            << "line " << i + 1 << " was passed over";
                    }
                }
                ASSERT_EQ(next, skimmed.lines.size());
                for (std::size_t k = 0; k < skimmed.bytesRead.size(); ++k) {
                    const std::size_t line =
                        (k + 1) * every;  // 1-based; the end read has the last value
                    ASSERT_EQ(skimmed.bytesRead[k],
                              reference.bytesRead[std::min(line, reference.bytesRead.size()) - 1])
                        << "after line " << line;
                }
            }
        }
    }
}

// What the real captures must give: lines, and lines that are exactly one
// valid NMEA sentence.
struct RealLog {
    const char* name;
    std::size_t lines;
    std::size_t okLines;
};

bool ValidSentence(const std::string& line) {
    if (line.size() < 6 || (line[0] != '$' && line[0] != '!')) return false;
    if (!std::isupper(static_cast<unsigned char>(line[1])) ||
        !std::isupper(static_cast<unsigned char>(line[2]))) {
        return false;
    }
    const std::size_t star = line.size() - 3;
    if (line[star] != '*') return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) {
        if (line[i] < 0x20 || line[i] > 0x7E || line[i] == '$' || line[i] == '*') return false;
        sum ^= static_cast<unsigned char>(line[i]);
    }
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", sum);
    return line.compare(star + 1, 2, hex) == 0;
}

TEST(LogReader, RealCaptures) {
    const RealLog logs[] = {
        {"sirf2.log", 12, 0},
        {"sirfstarv.log", 10, 0},
        {"ublox-sirf1.log", 10, 0},
        {"bu303-climbing.log", 10, 0},
        {"ublox-zed-f9r.log", 1157, 842},
        {"ublox-zed-f9p_hpg1.11.log", 2635, 2620},
        {"ublox-zed-f9t-ubx_nmea_l5.log", 265, 252},
        {"ublox8-uniqid-monhw.log", 64, 52},
        {"ublox-neo-m8l.log", 31, 14},
        {"ublox-x20p.log", 9, 0},
        {"ublox-zed-f9t-rtcm3.log", 285, 0},
        {"mtk-3301.log", 78, 56},
        {"quectel-L70.log", 127, 115},
        {"ublox-zed-f9p-nmea.log", 1027, 1015},
        {"bu353-glonass.log", 121, 112},
        {"ublox-8.log", 1019, 1007},
        {"gp-320fw-2019-04-07-coldboot.log", 154, 86},
        {"firefly-II.log", 74, 46},
        {"quectel-l76k-binary.log", 1140, 9},
    };
    for (const RealLog& log : logs) {
        SCOPED_TRACE(log.name);
        std::ifstream file(std::string(TARNIMEX_REAL_LOGS) + "/" + log.name, std::ios::binary);
        ASSERT_TRUE(file) << "missing capture";
        std::stringstream content;
        content << file.rdbuf();
        const std::string bytes = content.str();
        const Read reference = ReadAll(bytes, LogReader::Mode::Reference);
        const Read fast = ReadAll(bytes, LogReader::Mode::Fast);
        EXPECT_EQ(fast.lines, reference.lines);
        EXPECT_EQ(fast.bytesRead, reference.bytesRead);
        EXPECT_EQ(reference.bytesRead.back(), static_cast<std::int64_t>(bytes.size()));
        EXPECT_EQ(reference.lines.size(), log.lines);
        std::size_t ok = 0;
        for (const std::string& line : reference.lines) ok += ValidSentence(line);
        EXPECT_EQ(ok, log.okLines);
    }
}

}  // namespace
}  // namespace tarnimex
