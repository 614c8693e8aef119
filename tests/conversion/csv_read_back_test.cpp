// SPDX-License-Identifier: GPL-3.0-or-later
// The chart reads back every CSV the conversion writes: each regional format,
// with and without the byte-order mark, alarm marks on the first row or later.
#include "conversion/output/csv_read_back.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "conversion/conversion_run.h"
#include "conversion/reports/time_stamp.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/frames.h"

namespace tarnimex {
namespace {

namespace fs = std::filesystem;

std::string Report(int second, const char* delay) {
    return test::ReportLine(test::ReportTime(12 * 3600 + second, ".250"), delay);
}

TEST(CsvRows, WhatTheConversionWrites) {
    const fs::path dir =
        fs::path(::testing::TempDir()) / ("tarnimex-csv-rows-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // An alarm on the first row (its mark stands before the summary), a
    // delay that is no number, an alarm stretch later.
    const std::string log = (dir / "r.nmea").string();
    test::WriteFile(log, Report(0, "60") + Report(1, "0.5") + Report(2, "x") + Report(3, "-70") +
                             Report(4, "-80") + Report(5, "1"));
    const double second = 1.0 / 86400;
    const double first = DaysFromCivil(2023, 7, 5) + 0.5 + 0.25 * second;
    const std::vector<CsvRow> expected = {{first, 60, true},
                                          {first + 1 * second, 0.5, false},
                                          {first + 2 * second, 0, false},
                                          {first + 3 * second, -70, true},
                                          {first + 4 * second, -80, true},
                                          {first + 5 * second, 1, false}};
    // legend: regional format of the CSV, whether it has the byte-order mark
    const std::pair<RegionalFormat, bool> formats[] = {
        {{DateOrder::YMD, "/", ":", "."}, true},
        {{DateOrder::DMY, ". ", "h", ","}, false},
        {{DateOrder::YMD, "\xE5\xB9\xB4", ".", ","}, true},
    };
    for (const auto& [regional, mark] : formats) {
        test::FakeHost host;
        host.fields[HostField::SecDec] = "3";
        Converter(host, regional, TextEncoding{mark ? "UTF-8" : "ANSI_X3.4-1968", mark})
            .ConvertFiles(log);
        CsvRows read;
        std::string error;
        ASSERT_TRUE(ReadCsvFile((dir / "r.csv").string(), read, error)) << error;
        ASSERT_EQ(read.rows.size(), expected.size()) << regional.dateSeparator;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(read.rows[i].time, expected[i].time, 1e-9) << i;
            EXPECT_EQ(read.rows[i].delay, expected[i].delay) << i;
            EXPECT_EQ(read.rows[i].alarm, expected[i].alarm) << i;
        }
    }
    fs::remove_all(dir);
}

TEST(CsvRows, WhatIsNotSuchACsvNamesItsLine) {
    const std::string header = "RMC time,UTC time,Time error,Count,Max,Min\r\n";
    const std::string row = "2023/07/05 12:00:00,2023/07/05 11:59:59,1,1,1,1\r\n";
    // legend: bytes -> the error, or empty when they read
    const std::pair<std::string, std::string> cases[] = {
        {header + row, ""},
        {header + ",,0.5\r\n" + row, ""},  // a date-time beyond the calendar is left out
        {"", "line 1: empty, not a Tarnimex CSV"},
        {"a,b,c\r\n", "line 1: not a Tarnimex CSV"},
        {header + "2023/07/05 12:00:00,1\r\n", "line 2: fewer than three columns"},
        {header + row + "12:00:00,x,1\r\n", "line 3: \"12:00:00\" is not a date-time"},
        {header + "2023/13/05 12:00:00,x,1\r\n", "line 2: \"2023/13/05 12:00:00\""},
    };
    for (const auto& [bytes, message] : cases) {
        CsvRows read;
        std::string error;
        EXPECT_EQ(ReadCsvRows(bytes, read, error), message.empty()) << bytes;
        EXPECT_EQ(error.rfind(message, 0), 0u) << error;
    }
    CsvRows read;
    std::string error;
    EXPECT_FALSE(ReadCsvFile("/nonexistent/x.csv", read, error));
    EXPECT_EQ(error, "Cannot read \"/nonexistent/x.csv\". No such file or directory");
}

}  // namespace
}  // namespace tarnimex
