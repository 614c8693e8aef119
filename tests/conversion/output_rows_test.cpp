// SPDX-License-Identifier: GPL-3.0-or-later
// Rows kept as values must come out as the text the CSV holds, whatever the
// length of the delay text and the mark, and a failing write must be reported.
#include "conversion/output/output_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnimex {
namespace {

const RegionalFormat kYmd{DateOrder::YMD, "/", ":", "."};

struct Row {
    double time;
    double delay;
    std::string text;
    std::string mark;
};

std::string Expected(const std::vector<Row>& rows, const std::string& summary, int decimals) {
    std::string csv = "RMC time,UTC time,Time error\r\n";
    const std::string_view format = TimeStampFormat(decimals);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        csv += FormatTimeStamp(row.time, format, kYmd) + "," +
               FormatTimeStamp(row.time - row.delay / 86400.0, format, kYmd) + "," + row.text;
        if (!row.mark.empty()) csv += "," + row.mark;
        if (i == 0) csv += summary;
        csv += "\r\n";
    }
    return csv;
}

std::string WriteAll(const OutputRows& rows, const std::string& summary, int decimals,
                     std::size_t* pieces = nullptr, int threads = 1) {
    std::string csv;
    TimeStampWriter times(kYmd, decimals);
    EXPECT_TRUE(rows.WriteAll(
        "RMC time,UTC time,Time error", summary, times,
        [&](std::string_view bytes) {
            csv += bytes;
            if (pieces != nullptr) ++*pieces;
            return true;
        },
        threads));
    return csv;
}

TEST(OutputRows, TextOfTheRows) {
    const double noon = 45112.5;  // 2023/07/05 12:00:00
    const struct {
        const char* legend;
        std::vector<Row> rows;
        int decimals;
    } cases[] = {
        {"one row: the summary follows it", {{noon, 0.25, "0.25", ""}}, -1},
        {"a mark after the delay text",
         {{noon, 0.25, "0.25", ""}, {noon + 1 / 86400.0, 60.5, "60.5", "!!"}},
         3},
        {"a delay text of 254, 255 and 256 bytes",
         {{noon, 1, std::string(254, '1'), ""},
          {noon, 1, std::string(255, '2'), "x"},
          {noon, 1, std::string(256, '3'), ""}},
         1},
        {"a mark of 300 bytes", {{noon, -0.5, "-0.5", std::string(300, '!')}}, 0},
        {"a missing delay text", {{noon, 0, "", ""}, {noon, 0, "", "!!"}}, 2},
        {"a delay text larger than the write buffer",
         {{noon, 2, std::string(600000, '7'), ""}, {noon, 2, "2", ""}},
         -1},
        {"a time that cannot be shown is empty", {{-1e9, 0.1, "0.1", ""}}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        OutputRows rows;
        for (const Row& row : c.rows) rows.Add(row.time, row.delay, row.text, row.mark);
        EXPECT_EQ(rows.Count(), static_cast<std::int64_t>(c.rows.size()));
        EXPECT_EQ(WriteAll(rows, ",1,2,3", c.decimals), Expected(c.rows, ",1,2,3", c.decimals));
    }
}

TEST(OutputRows, SeparatorsLongerThanTheWriteBuffer) {
    const std::string wide(300000, '/');
    const RegionalFormat regional{DateOrder::YMD, wide, wide, "."};
    OutputRows rows;
    rows.Add(45112.5, 0.25, "0.25", "");
    rows.Add(45112.5, 0.5, "0.5", "!!");
    TimeStampWriter times(regional, 3);
    std::string csv;
    EXPECT_TRUE(rows.WriteAll("h", ",2", times, [&](std::string_view bytes) {
        csv += bytes;
        return true;
    }));
    const std::string_view format = TimeStampFormat(3);
    EXPECT_EQ(csv, "h\r\n" + FormatTimeStamp(45112.5, format, regional) + "," +
                       FormatTimeStamp(45112.5 - 0.25 / 86400.0, format, regional) + ",0.25,2\r\n" +
                       FormatTimeStamp(45112.5, format, regional) + "," +
                       FormatTimeStamp(45112.5 - 0.5 / 86400.0, format, regional) + ",0.5,!!\r\n");
    EXPECT_EQ(FormatTimeStamp(45112.5, format, regional).size(), 4 * wide.size() + 19);
}

TEST(OutputRows, RowsAcrossChunksAndTakenBack) {
    // Enough rows to fill several chunks; every third one taken back at once.
    std::vector<Row> kept;
    OutputRows rows;
    for (int i = 0; i < 200000; ++i) {
        Row row{45112.0 + i / 86400.0, i * 0.001, std::to_string(i * 0.001),
                i % 1000 == 0 ? "!!" : ""};
        rows.Add(row.time, row.delay, row.text, row.mark);
        if (i % 3 == 2) {
            rows.RemoveLast();
        } else {
            kept.push_back(row);
        }
    }
    // Made on one thread, and on several, written in order.
    for (const int threads : {1, 3}) {
        std::size_t pieces = 0;
        EXPECT_EQ(WriteAll(rows, ",n", 3, &pieces, threads), Expected(kept, ",n", 3)) << threads;
        EXPECT_GT(pieces, 1u) << "the text goes out in pieces, not as one copy";
    }
}

TEST(OutputRows, AFailedWriteIsReported) {
    OutputRows rows;
    for (int i = 0; i < 100000; ++i) rows.Add(45112.0, 0.1, "0.1", "");
    TimeStampWriter times(kYmd, -1);
    for (const int threads : {1, 3}) {
        int calls = 0;
        EXPECT_FALSE(rows.WriteAll(
            "h", ",1", times, [&](std::string_view) { return ++calls < 3; }, threads));
        EXPECT_EQ(calls, 3) << "nothing is written after the failure, threads " << threads;
    }
}

}  // namespace
}  // namespace tarnimex
