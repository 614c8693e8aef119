// SPDX-License-Identifier: GPL-3.0-or-later
// Compressed logs convert to the very CSV of the plain log, progress counts the
// compressed bytes, and a damaged or truncated one writes nothing while the
// run goes on.
#include <gtest/gtest.h>

#include <filesystem>

#include "conversion/conversion_run.h"
#include "conversion/input/compressed_source.h"

#include "support/compress.h"
#include "support/conversion_test.h"

namespace tarnimex {
namespace {

using test::Compress;
using test::Extension;
using test::kPackings;

const RegionalFormat kYmd{DateOrder::YMD, "/", ":", "."};
const TextEncoding kAscii{"ANSI_X3.4-1968", false};

class CompressedLog : public test::ScratchFolderTest {
  protected:
    // The CSV of the log, removed after reading; empty when none was written.
    std::string Convert(const std::string& list) {
        Converter converter(host_, kYmd, kAscii);
        converter.ConvertFiles(list);
        const fs::path csv = dir_ / "day1.csv";
        std::string bytes = fs::exists(csv) ? ReadFile(csv) : std::string();
        fs::remove(csv);
        return bytes;
    }
    // Every format, one stream and two concatenated, gives the plain log's CSV,
    // which is returned.
    std::string ExpectRoundTrips(const std::string& plain) {
        const std::string expected = Convert(Log("day1.nmea", plain));
        fs::remove(dir_ / "day1.nmea");
        const std::size_t half = plain.size() / 2;
        for (const auto packing : kPackings) {
            SCOPED_TRACE(Extension(packing));
            const std::string name = std::string("day1.nmea") + Extension(packing);
            EXPECT_EQ(Convert(Log(name, Compress(packing, plain))), expected);
            const std::string two =
                Compress(packing, plain.substr(0, half)) + Compress(packing, plain.substr(half));
            EXPECT_EQ(Convert(Log(name, two)), expected) << "concatenated streams";
            // What the format allows around its streams: xz's padding between
            // them, zstd's skippable frames anywhere (magic 0x184D2A50 to 5F, then
            // a 32-bit length), as the zstd tool reads them.
            const std::string skippable[] = {std::string("\x5F\x2A\x4D\x18\x02\0\0\0ab", 10),
                                             std::string("\x50\x2A\x4D\x18\0\0\0\0", 8)};
            const std::string before = packing == test::Packing::Zstd ? skippable[0] : "";
            const std::string between = packing == test::Packing::Xz     ? std::string(4, '\0')
                                        : packing == test::Packing::Zstd ? skippable[1]
                                                                         : "";
            if (!between.empty()) {
                const std::string padded = before + Compress(packing, plain.substr(0, half)) +
                                           between + Compress(packing, plain.substr(half));
                EXPECT_EQ(Convert(Log(name, padded)), expected) << "padding, skippable frames";
            }
            fs::remove(dir_ / name);
        }
        return expected;
    }
    test::FakeHost host_;
};

std::string Report(int second, const std::string& delay) {
    return test::ReportLine("2023/07/05 12:" + std::to_string(10 + second / 60) + ":" +
                                std::to_string(10 + second % 50) + ".000",
                            delay);
}

// Reports between binary frames, long enough to span several decoded blocks.
std::string MixedLog() {
    std::string log;
    for (int i = 0; i < 40000; ++i) {
        log += Report(i % 3000, std::to_string(i % 7) + ".25");
        log += test::Ubx(1, 7, std::string(60, static_cast<char>('a' + i % 26)));
        if (i % 5 == 0) log += test::Sirf("payload");
    }
    return log;
}

TEST_F(CompressedLog, RoundTripsGiveThePlainCsv) {
    EXPECT_FALSE(ExpectRoundTrips(MixedLog()).empty());
    EXPECT_FALSE(
        ExpectRoundTrips(ReadFile(fs::path(TARNIMEX_SOURCE_DIR) / "examples/receiver-delay.nmea"))
            .empty());
}

TEST_F(CompressedLog, RoundTripsOfRealCaptures) {
    // The captures hold no delay reports: every "$G" sentence stands for one.
    host_.fields[HostField::Key] = "$G";
    host_.fields[HostField::SecKey] = "";
    int withRows = 0;
    for (const auto& entry : fs::directory_iterator(TARNIMEX_REAL_LOGS)) {
        if (entry.path().extension() != ".log") continue;
        SCOPED_TRACE(entry.path().filename().string());
        withRows += ExpectRoundTrips(ReadFile(entry.path())).empty() ? 0 : 1;
    }
    EXPECT_GT(withRows, 0);
}

TEST_F(CompressedLog, ProgressCountsCompressedBytes) {
    for (const auto packing : kPackings) {
        const std::string packed = Compress(packing, MixedLog());
        const std::string log = Log("day1.log", packed);
        LogReader reader;
        ASSERT_TRUE(reader.OpenLogFile(log));
        EXPECT_EQ(reader.LogFileSize(), static_cast<std::int64_t>(packed.size()));
        std::int64_t last = 0;
        while (!reader.ReadLogLine().empty()) {
            EXPECT_GE(reader.BytesRead(), last);
            last = reader.BytesRead();
        }
        EXPECT_EQ(reader.BytesRead(), static_cast<std::int64_t>(packed.size()))
            << Extension(packing);
    }
}

TEST_F(CompressedLog, ContentDecidesNotTheName) {
    const std::string plain = MixedLog().substr(0, 200000);
    const std::string expected = Convert(Log("day1.nmea", plain));
    EXPECT_EQ(Convert(Log("day1.gz", plain)), expected) << "a plain log named .gz";
    EXPECT_EQ(Convert(Log("day1.nmea", Compress(test::Packing::Xz, plain))), expected)
        << "an xz log without its extension";
}

// Legend: what is done to a good compressed log; every format must refuse it.
TEST_F(CompressedLog, DamagedOrTruncatedWritesNothingAndTheRunGoesOn) {
    const std::string plain = MixedLog();
    const std::string next = Log("next.nmea", Report(1, "0.5"));
    const struct {
        const char* harm;
        std::string (*apply)(std::string);
    } harms[] = {
        {"cut in half", [](std::string b) { return b.substr(0, b.size() / 2); }},
        {"last byte missing", [](std::string b) { return b.substr(0, b.size() - 1); }},
        {"byte in the middle flipped",
         [](std::string b) {
             b[b.size() / 2] ^= 0x10;
             return b;
         }},
        {"checksum flipped",
         [](std::string b) {
             b[b.size() - 5] ^= 0x01;
             return b;
         }},
        {"garbage after the stream", [](std::string b) { return b + "garbage"; }},
    };
    WriteFile(dir_ / "day1.csv", "earlier");
    for (const auto packing : kPackings) {
        for (const auto& harm : harms) {
            SCOPED_TRACE(std::string(Extension(packing)) + ", " + harm.harm);
            host_ = {};
            const std::string log = Log(std::string("day1.nmea") + Extension(packing),
                                        harm.apply(Compress(packing, plain)));
            Converter converter(host_, kYmd, kAscii);
            converter.ConvertFiles(log + ";" + next);
            EXPECT_EQ(ReadFile(dir_ / "day1.csv"), "earlier");
            ASSERT_EQ(host_.errors.size(), 1u);
            EXPECT_EQ(host_.errors[0], "Can not Open: " + log);
            EXPECT_FALSE(host_.details[0].empty());
            EXPECT_TRUE(fs::exists(dir_ / "next.csv")) << "the run went on";
            EXPECT_EQ(converter.FailedEntries(), 1);
            fs::remove(log);
            fs::remove(dir_ / "next.csv");
        }
    }
}

TEST(CompressedExtension, CsvNameIsThatOfTheUncompressedName) {
    const std::pair<const char*, const char*> cases[] = {
        {"/d/day1.nmea.gz", "/d/day1.csv"}, {"/d/a.log.XZ", "/d/a.csv"}, {"/d/a.zst", "/d/a.csv"},
        {"/d/a.b.bz2", "/d/a.csv"},         {"/d/a.tgz", "/d/a.csv"},    {"/d.gz/a", "/d.gz/a.csv"},
    };
    for (const auto& [log, csv] : cases) EXPECT_EQ(CsvFileName(log), csv) << log;
}

}  // namespace
}  // namespace tarnimex
