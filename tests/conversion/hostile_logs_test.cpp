// SPDX-License-Identifier: GPL-3.0-or-later
// Logs made to hurt: lines of megabytes without a line end, nothing but frame
// sync bytes. Both reader modes agree, no line is longer than the input, the
// lines together never hold more bytes than the input, and whole conversions
// of such logs finish.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "conversion/conversion_run.h"
#include "conversion/input/log_reader.h"
#include "support/fake_host.h"

namespace tarnimex {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMegabytes = 4 << 20;

std::string Repeated(const std::string& piece, std::size_t size) {
    std::string out;
    out.reserve(size + piece.size());
    while (out.size() < size) out += piece;
    return out;
}

std::vector<std::string> ReadAll(const std::string& bytes, LogReader::Mode mode) {
    LogReader reader(mode);
    reader.Open(std::make_unique<MemorySource>(bytes), static_cast<std::int64_t>(bytes.size()));
    std::vector<std::string> lines;
    for (std::string_view line; !(line = reader.ReadLogLine()).empty();) lines.emplace_back(line);
    EXPECT_EQ(reader.BytesRead(), static_cast<std::int64_t>(bytes.size()));
    return lines;
}

const std::string kReport = "$GPTXT,01,01,02,RMC delay,2023/07/05 12:00:00.250,0.5*00";

TEST(HostileLogs, LinesStayWithinTheInput) {
    const std::string reports = Repeated(kReport, kMegabytes);
    // Legend: the log; the number of lines and the longest line expected, when known.
    const struct {
        const char* legend;
        std::string bytes;
        std::optional<std::size_t> lines;
        std::optional<std::size_t> longest;
    } cases[] = {
        {"megabytes of text without a line end", std::string(kMegabytes, 'A'), 0, 0},
        {"megabytes of text, then CR LF", std::string(kMegabytes, 'A') + "\r\n", 1, kMegabytes},
        // Frames of 2048 bytes that never check out: only "b" or "$" stays of each pair.
        {"UBX sync pairs only", Repeated("\xB5\x62", kMegabytes) + "\r\n", 1, kMegabytes / 2},
        {"SiRF sync pairs only", Repeated("\xA0\xA2", kMegabytes) + "\r\n", 0, 0},
        {"MediaTek sync pairs only", Repeated(std::string("\x04\x24", 2), kMegabytes) + "\r\n", 1,
         kMegabytes / 2},
        {"all sync pairs with line ends between",
         Repeated(std::string("\xB5\x62\r\n\xA0\xA2\n\x04$\r", 10), kMegabytes),
         {},
         {}},
        {"reports back to back without line ends", reports + "\r\n", 1, reports.size()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        const std::vector<std::string> reference = ReadAll(c.bytes, LogReader::Mode::Reference);
        EXPECT_EQ(ReadAll(c.bytes, LogReader::Mode::Fast), reference);
        std::size_t total = 0;
        std::size_t longest = 0;
        for (const std::string& line : reference) {
            total += line.size();
            longest = std::max(longest, line.size());
        }
        EXPECT_LE(total, c.bytes.size()) << "no input byte is in two lines";
        EXPECT_EQ(reference.size(), c.lines.value_or(reference.size()));
        EXPECT_EQ(longest, c.longest.value_or(longest));
    }
}

TEST(HostileLogs, WholeConversionsFinish) {
    const fs::path dir =
        fs::path(::testing::TempDir()) / ("tarnimex-hostile-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // Legend: the log; the data rows expected (0: no CSV); the key sentence searched.
    const struct {
        const char* legend;
        std::string bytes;
        std::size_t rows;
        std::string key = "$GPTXT";
    } cases[] = {
        {"megabytes of text without a line end", std::string(kMegabytes, 'A'), 0},
        {"a line of megabytes of keys without fields", Repeated("$GPTXT", kMegabytes) + "\r\n", 0},
        {"a line of megabytes of near keys", Repeated("$GPTX", kMegabytes) + "\n", 0},
        {"a key, then megabytes of commas", "$GPTXT" + std::string(kMegabytes, ',') + "\r\n", 0},
        {"a line of megabytes of reports", Repeated(kReport, kMegabytes) + "\r\n",
         (kMegabytes + kReport.size() - 1) / kReport.size()},
        {"sync pairs only", Repeated(std::string("\xB5\x62\xA0\xA2\x04$", 6), kMegabytes), 0},
        {"a line of megabytes of a key without \"$\"", Repeated("GPTXT", kMegabytes) + "\r\n", 0,
         "GPTXT"},
        {"a line of megabytes of such keys and commas", Repeated("GPTXT,", kMegabytes) + "\r\n", 0,
         "GPTXT"},
    };
    for (const auto& c : cases) {
        for (const auto mode : {LogReader::Mode::Fast, LogReader::Mode::Reference}) {
            SCOPED_TRACE(std::string(c.legend) +
                         (mode == LogReader::Mode::Fast ? ", fast" : ", reference"));
            const fs::path log = dir / "hostile.nmea";
            std::ofstream(log, std::ios::binary) << c.bytes;
            fs::remove(dir / "hostile.csv");
            test::FakeHost host;
            host.fields[HostField::Key] = c.key;
            Converter converter(host, RegionalFormat{}, TextEncoding{"UTF-8", true}, mode);
            converter.ConvertFiles(log.string());
            if (c.rows == 0) {
                EXPECT_EQ(host.statuses.back(), "No effective data.");
            } else {
                EXPECT_EQ(host.statuses.back().rfind("Completed:", 0), 0u) << host.statuses.back();
                EXPECT_NE(host.statuses.back().find("Output=" + std::to_string(c.rows) + "/"),
                          std::string::npos)
                    << host.statuses.back();
            }
        }
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tarnimex
