// SPDX-License-Identifier: GPL-3.0-or-later
// Whole conversion runs against a recording host: rows, selection, alarms,
// status texts, the CSV bytes and what happens to files when things fail.
#include "conversion/conversion_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "conversion/input/chunked_log.h"
#include "conversion/reports/general_number.h"
#include "conversion/reports/sentence.h"
#include "conversion/reports/time_stamp.h"

#include "support/child_process.h"
#include "support/conversion_test.h"

namespace tarnimex {
namespace {

const RegionalFormat kYmd{DateOrder::YMD, "/", ":", "."};
const TextEncoding kAscii{"ANSI_X3.4-1968", false};
const TextEncoding kUtf8{"UTF-8", true};

std::string Report(int second, const std::string& delay) {
    return test::ReportLine(test::ReportTime(12 * 3600 + second), delay);
}

class ConversionRun : public test::ScratchFolderTest {
  protected:
    // The CSV's data rows, header and BOM left out.
    std::vector<std::string> Rows(const std::string& log) {
        std::string csv = ReadFile(CsvFileName(log));
        std::vector<std::string> rows;
        std::size_t pos = csv.find("\r\n") + 2;
        while (pos < csv.size()) {
            const std::size_t end = csv.find("\r\n", pos);
            rows.push_back(csv.substr(pos, end - pos));
            pos = end + 2;
        }
        return rows;
    }
    void Convert(const std::string& list, const TextEncoding& encoding = kAscii,
                 const RegionalFormat& regional = kYmd) {
        Converter converter(host_, regional, encoding);
        converter.ConvertFiles(list);
    }
    FakeHost host_;
};

TEST_F(ConversionRun, OneReportGivesTheWholeCsv) {
    const std::string log = Log("a.nmea", test::ReportLine("2023/07/05 12:34:56.000", "0.123"));
    Convert(log, kUtf8);
    EXPECT_EQ(ReadFile(dir_ / "a.csv"),
              "\xEF\xBB\xBFRMC time,UTC time,Time error,Count,Max,Min\r\n"
              "2023/07/05 12:34:56,2023/07/05 12:34:55.877,0.123,1,0.123,0.123\r\n");
    EXPECT_EQ(host_.statuses,
              (std::vector<std::string>{
                  log, "Output..", "Completed:  Max=0.123Sec.  Min=0.123Sec.  Output=1/2Lines"}));
    EXPECT_EQ(host_.busy, 0);
    EXPECT_EQ(host_.pauses, 1);
    Convert(log, kAscii);
    EXPECT_EQ(ReadFile(dir_ / "a.csv").substr(0, 3), "RMC") << "no byte-order mark outside UTF-8";
    // A separator beyond ASCII is written in the CSV's character set.
    Convert(log, {"CP1252", false}, {DateOrder::YMD, "\u00B7", ":", "."});
    EXPECT_EQ(ReadFile(dir_ / "a.csv").substr(44, 10),
              "2023\xB7"
              "07\xB7"
              "05");
}

TEST_F(ConversionRun, LimitingKeepsReportsAroundChanges) {
    std::string bytes;
    for (int s = 0; s <= 30; ++s) bytes += Report(s, s <= 14 ? "0.1" : "0.5");
    const std::string log = Log("lim.nmea", bytes);
    host_.limit = true;
    host_.fields[HostField::MaxStep] = "9.5";
    Convert(log);
    EXPECT_EQ(Rows(log), (std::vector<std::string>{
                             "2023/07/05 12:00:00,2023/07/05 11:59:59.9,0.1,5,0.5,0.1",
                             "2023/07/05 12:00:10,2023/07/05 12:00:09.9,0.1",
                             "2023/07/05 12:00:14,2023/07/05 12:00:13.9,0.1",
                             "2023/07/05 12:00:15,2023/07/05 12:00:14.5,0.5",
                             "2023/07/05 12:00:25,2023/07/05 12:00:24.5,0.5",
                         }));
}

TEST_F(ConversionRun, AlarmStretches) {
    struct Case {
        const char* legend;
        std::vector<std::string> delays;
        double alarmStep;
        std::string symbol;
        std::vector<std::string> marks;  // last column per row, "" when unmarked
    };
    const Case cases[] = {
        {"start and end of a stretch", {"10", "60", "70", "20"}, 50, "!!", {"", "!!", "!!", ""}},
        {"a delay at the step ends a stretch only as the previous one",
         {"10", "50", "10"},
         50,
         "!!",
         {"", "!!", ""}},
        {"negative delays count by magnitude", {"-10", "-60", "-5"}, 50, "!!", {"", "!!", ""}},
        {"alarm step 0 marks nothing", {"10", "60", "70", "20"}, 0, "!!", {"", "", "", ""}},
        {"negative alarm step marks nothing", {"10", "60", "20"}, -1, "!!", {"", "", ""}},
        {"an empty symbol leaves three columns", {"10", "60", "20"}, 50, "", {"", "", ""}},
        {"a marked first row", {"60", "10"}, 50, "*", {"*", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        std::string bytes;
        for (std::size_t i = 0; i < c.delays.size(); ++i)
            bytes += Report(static_cast<int>(i), c.delays[i]);
        const std::string log = Log("alarm.nmea", bytes);
        host_.alarmStep = c.alarmStep;
        host_.symbol = c.symbol;
        Convert(log);
        const std::vector<std::string> rows = Rows(log);
        ASSERT_EQ(rows.size(), c.marks.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            std::string row = rows[i];
            if (i == 0) {
                // The summary follows the first row's own columns.
                for (int k = 0; k < 3; ++k) row.erase(row.rfind(','));
            }
            const std::size_t commas =
                static_cast<std::size_t>(std::count(row.begin(), row.end(), ','));
            EXPECT_EQ(commas == 3 ? row.substr(row.rfind(',') + 1) : "", c.marks[i]) << rows[i];
            EXPECT_EQ(commas, c.marks[i].empty() ? 2u : 3u) << rows[i];
        }
    }
}

// The reports of a line as a plain search finds them: the key, its report up to
// the first CR, LF or "$" after the key, fields cut at commas (trimmed but the
// last, which loses its checksum), and the next search 7 characters on, or where
// the report ended when that is sooner.
std::vector<std::string> PlainRows(const std::vector<std::string>& lines, const std::string& key) {
    std::vector<std::string> rows;
    double maxDelay = -1e10;
    double minDelay = 1e10;
    const std::string_view format = TimeStampFormat(-1);
    auto trim = [](std::string_view t) {
        while (!t.empty() && static_cast<unsigned char>(t.front()) <= 32) t.remove_prefix(1);
        while (!t.empty() && static_cast<unsigned char>(t.back()) <= 32) t.remove_suffix(1);
        return t;
    };
    for (const std::string& line : lines) {
        std::size_t pos = key.empty() ? std::string::npos : line.find(key);
        while (pos != std::string::npos) {
            const std::string_view report = std::string_view(line).substr(pos);
            std::size_t stop = report.find_first_of("\r\n$", key.size());
            if (stop == std::string_view::npos) stop = report.size();
            std::vector<std::string_view> fields;
            std::size_t start = 0;
            for (std::size_t i = 0; i < stop && fields.size() < 9; ++i) {
                if (report[i] == ',') {
                    fields.push_back(trim(report.substr(start, i - start)));
                    start = i + 1;
                }
            }
            const std::string_view last = report.substr(start, stop - start);
            fields.push_back(last.substr(0, last.find('*')));
            fields.resize(10);
            const std::string_view delayText = fields[6];
            const double time = ParseTimeStamp(fields[5], kYmd);
            const double delay = ParseFloat(delayText);
            maxDelay = std::max(maxDelay, delay);
            minDelay = std::min(minDelay, delay);
            rows.push_back(FormatTimeStamp(time, format, kYmd) + "," +
                           FormatTimeStamp(time - delay / 86400.0, format, kYmd) + "," +
                           std::string(delayText));
            pos = pos + std::min<std::size_t>(stop, 7) >= line.size()
                      ? std::string::npos
                      : line.find(key, pos + std::min<std::size_t>(stop, 7));
        }
    }
    if (!rows.empty()) {
        rows[0] += "," + std::to_string(rows.size()) + "," + FormatGeneralNumber(maxDelay) + "," +
                   FormatGeneralNumber(minDelay);
    }
    return rows;
}

TEST_F(ConversionRun, ReportsAreFoundAsByAPlainSearch) {
    // Lines crowded with keys, commas, stars and "$", for keys with and without
    // "$", one of them "$" alone; every key sentence is a report.
    const std::string pieces[] = {"$GPTXT", "GPTXT", "T$T", ",",   ",", ",",
                                  "$",      "*",     "0.5", "-12", " ", "2023/07/05 12:34:56",
                                  "x"};
    std::mt19937 random(20261208);
    host_.fields[HostField::SecKey] = "";
    host_.alarmStep = 0;
    for (const std::string key : {"$GPTXT", "GPTXT", "$", "T$T", "T", ",", "$GPTXT,0"}) {
        SCOPED_TRACE(key);
        host_.fields[HostField::Key] = key;
        for (int round = 0; round < 10; ++round) {
            std::vector<std::string> lines(100);
            std::string bytes;
            for (std::string& line : lines) {
                const std::size_t n = 1 + random() % 40;
                for (std::size_t i = 0; i < n; ++i) line += pieces[random() % std::size(pieces)];
                bytes += line + "\r\n";
            }
            const std::string log = Log("plain.nmea", bytes);
            fs::remove(CsvFileName(log));
            Convert(log);
            const std::vector<std::string> expected = PlainRows(lines, key);
            ASSERT_EQ(expected.empty() ? std::vector<std::string>{} : Rows(log), expected);
        }
    }
}

TEST_F(ConversionRun, KeySentencesOnALine) {
    struct Case {
        const char* legend;
        std::string line;
        std::string key, secondKey;
        std::vector<std::string> delays;  // third column of each row
    };
    const std::string a = "$GPTXT,01,01,02,RMC delay,2023/07/05 12:00:01.000,0.1*55";
    const std::string b = "$GPTXT,01,01,02,RMC delay,2023/07/05 12:00:02.000,0.2*55";
    const Case cases[] = {
        {"two reports on one line both count, in order",
         a + b,
         "$GPTXT",
         "RMC delay",
         {"0.1", "0.2"}},
        {"text in front of the key is ignored", "garbage" + a, "$GPTXT", "RMC delay", {"0.1"}},
        {"a report ends at a line end left by a broken frame",
         a + "\r\nresidue",
         "$GPTXT",
         "RMC delay",
         {"0.1"}},
        {"a key right before another report", "$GPTXT" + b, "$GPTXT", "RMC delay", {"0.2"}},
        {"field 5 differing in case is not accepted",
         "$GPTXT,1,1,1,rmc delay,2023/07/05 12:00:01,0.1",
         "$GPTXT",
         "RMC delay",
         {}},
        {"field 5 with blanks around is accepted",
         "$GPTXT,1,1,1, RMC delay ,2023/07/05 12:00:01,0.1",
         "$GPTXT",
         "RMC delay",
         {"0.1"}},
        {"an empty second key accepts every key sentence",
         "$GPTXT,1,1,1,other,2023/07/05 12:00:01,0.3",
         "$GPTXT",
         "",
         {"0.3"}},
        {"keys are trimmed", a, " $GPTXT\t", " RMC delay ", {"0.1"}},
        {"another key",
         "$PXYZ,a,b,c,RMC delay,2023/07/05 12:00:01,7*00",
         "$PXYZ",
         "RMC delay",
         {"7"}},
        {"a missing delay gives an empty column",
         "$GPTXT,1,1,1,RMC delay,2023/07/05 12:00:01",
         "$GPTXT",
         "RMC delay",
         {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const std::string log = Log("keys.nmea", c.line + "\r\n");
        fs::remove(dir_ / "keys.csv");
        host_.fields[HostField::Key] = c.key;
        host_.fields[HostField::SecKey] = c.secondKey;
        Convert(log);
        if (c.delays.empty()) {
            EXPECT_EQ(host_.statuses.back(), "No effective data.");
            EXPECT_FALSE(fs::exists(dir_ / "keys.csv"));
            continue;
        }
        std::vector<std::string> delays;
        for (std::string row : Rows(log)) {
            if (delays.empty()) {
                for (int k = 0; k < 3; ++k) row.erase(row.rfind(','));
            }
            delays.push_back(row.substr(row.rfind(',') + 1));
        }
        EXPECT_EQ(delays, c.delays);
    }
}

TEST_F(ConversionRun, BadFieldsStillCount) {
    const std::string log =
        Log("bad.nmea", "$GPTXT,1,1,1,RMC delay,not a time,0.5\r\n$GPTXT,1,1,1,RMC delay\r\n");
    Convert(log);
    EXPECT_EQ(Rows(log),
              (std::vector<std::string>{"1899/12/30 00:00:00,1899/12/29 23:59:59.5,0.5,2,0.5,0",
                                        "1899/12/30 00:00:00,1899/12/30 00:00:00,"}));
}

TEST_F(ConversionRun, DelaysBeyondTheCalendarGiveEmptyTimes) {
    const std::string log = Log("huge.nmea", Report(1, "1e300") + Report(2, "-2e15"));
    host_.alarmStep = 0;
    Convert(log);
    EXPECT_EQ(Rows(log), (std::vector<std::string>{"2023/07/05 12:00:01,,1e300,2,1E300,-2E15",
                                                   "2023/07/05 12:00:02,,-2e15"}));
}

TEST_F(ConversionRun, SecondDecimalsFromTheListText) {
    const std::string log =
        Log("dec.nmea", "$GPTXT,1,1,1,RMC delay,2023/07/05 12:34:56.789,0.5\r\n");
    const std::pair<const char*, const char*> cases[] = {{"Auto", "2023/07/05 12:34:56.789"},
                                                         {"3", "2023/07/05 12:34:56.789"},
                                                         {"1", "2023/07/05 12:34:56.7"},
                                                         {"", "2023/07/05 12:34:56"},
                                                         {"0", "2023/07/05 12:34:56"}};
    for (const auto& [text, first] : cases) {
        host_.fields[HostField::SecDec] = text;
        Convert(log);
        const std::string row = Rows(log).front();
        EXPECT_EQ(row.substr(0, row.find(',')), first) << '"' << text << '"';
    }
}

TEST_F(ConversionRun, UnreadableThresholdsAreReplaced) {
    const std::string log = Log("x.nmea", Report(0, "0.1"));
    for (const char* text : {"0", "", "abc"}) {
        host_.fields[HostField::MaxStep] = text;
        host_.fields[HostField::TimeDiff] = "0";
        Convert(log);
        EXPECT_EQ(host_.fields[HostField::MaxStep], "0.2");
        EXPECT_EQ(host_.fields[HostField::TimeDiff], "1.0");
    }
    host_.fields[HostField::MaxStep] = "-5";
    Convert(log);
    EXPECT_EQ(host_.fields[HostField::MaxStep], "-5");
    // legend: typed text under a decimal comma -> the box afterwards (a number is kept)
    const RegionalFormat comma{DateOrder::YMD, "/", ":", ","};
    const std::pair<const char*, const char*> typed[] = {
        {"0.2", "0.2"}, {"0,3", "0,3"}, {"10.0", "10.0"}, {"0,0", "0.2"}, {"1.5,", "0.2"}};
    for (const auto& [text, after] : typed) {
        host_.fields[HostField::MaxStep] = text;
        Convert(log, kAscii, comma);
        EXPECT_EQ(host_.fields[HostField::MaxStep], after) << text;
    }
}

TEST_F(ConversionRun, ListEntries) {
    const std::string a = Log("a.nmea", Report(1, "0.1"));
    const std::string b = Log("b.log", Report(2, "0.2"));
    Convert(" " + a + " ;;" + b + ";");
    EXPECT_EQ(host_.errors, (std::vector<std::string>{"Can not Open: "}));
    EXPECT_TRUE(fs::exists(dir_ / "a.csv"));
    EXPECT_TRUE(fs::exists(dir_ / "b.csv"));
    EXPECT_EQ(std::count(host_.statuses.begin(), host_.statuses.end(), "Error!"), 1);
}

TEST_F(ConversionRun, AbortDuringTheSecondOfThreeLogs) {
    std::string many;
    for (int i = 0; i < 50000; ++i) many += Report(i % 60, "0.1");
    const std::string a = Log("a.nmea", Report(1, "0.1"));
    const std::string b = Log("b.nmea", many);
    const std::string c = Log("c.nmea", Report(1, "0.1"));
    host_.onEvents = [&](const std::string& status) {
        if (status.rfind(b + " (", 0) == 0) AbortRequested = true;
    };
    Convert(a + ";" + b + ";" + c);
    EXPECT_TRUE(fs::exists(dir_ / "a.csv"));
    EXPECT_FALSE(fs::exists(dir_ / "b.csv"));
    EXPECT_FALSE(fs::exists(dir_ / "c.csv"));
    EXPECT_EQ(host_.statuses.back(), "Aborted by user!");
    EXPECT_EQ(host_.busy, 0);
    host_.onEvents = nullptr;
    Convert(c);
    EXPECT_TRUE(fs::exists(dir_ / "c.csv")) << "a new run clears the flag";
}

TEST_F(ConversionRun, ProgressEvery20000Lines) {
    std::string bytes;
    for (int i = 0; i < 40001; ++i) bytes += i % 2 == 0 ? Report(i % 60, "0.1") : "$GPGGA,x\r\n";
    const std::string log = Log("p.nmea", bytes);
    Converter converter(host_, {DateOrder::YMD, "/", ":", ","}, kAscii);
    converter.ConvertFiles(log);
    ASSERT_GE(host_.statuses.size(), 3u);
    // Line 20000 ends within the first 2048-byte block past byte 20000 lines in.
    EXPECT_EQ(host_.statuses[1].substr(0, log.size()), log);
    EXPECT_EQ(
        host_.statuses[1].substr(log.size()),
        " (" + std::string(host_.statuses[1].substr(log.size() + 2, 4)) + "%  10000/20000Lines)");
    EXPECT_NE(host_.statuses[1].find(','), std::string::npos) << "the regional decimal separator";
    EXPECT_EQ(host_.statuses[2].substr(log.size()), " (100,0%  20000/40000Lines)");
    EXPECT_EQ(host_.statuses.back(),
              "Completed:  Max=0,1Sec.  Min=0,1Sec.  Output=20001/40002Lines");
    EXPECT_NE(ReadFile(dir_ / "p.csv").find(",20001,0.1,0.1\r\n"), std::string::npos)
        << "numbers in the CSV keep the point";
}

TEST_F(ConversionRun, ProgressAndEscapeWithinALineWithoutEnd) {
    const std::string log = Log("z.nmea", Report(1, "0.1") + std::string(24 << 20, '\0'));
    int shown = 0;
    host_.onEvents = [&](const std::string& status) {
        if (status.starts_with(log + " (") && ++shown == 2) AbortRequested = true;
    };
    Converter converter(host_, kYmd, kAscii);
    ChunkPlan oneReader;  // (readers of parts show no progress within a line)
    oneReader.threads = 1;
    converter.SplitLargeLogs(oneReader);
    converter.ConvertFiles(log);
    // Every 8 MB of the line the progress text, with the lines before it; an
    // Escape at the second stops the reading there.
    ASSERT_EQ(host_.statuses.size(), 4u);
    for (const std::string& progress : {host_.statuses[1], host_.statuses[2]}) {
        EXPECT_TRUE(progress.starts_with(log + " (") && progress.ends_with("%  1/1Lines)"))
            << progress;
    }
    EXPECT_LT(host_.statuses[1], host_.statuses[2]) << "the percentage grows";
    EXPECT_EQ(host_.statuses.back(), "Aborted by user!");
    EXPECT_FALSE(fs::exists(dir_ / "z.csv"));
    AbortRequested = false;
}

TEST_F(ConversionRun, NoDataKeepsAnEarlierCsv) {
    const std::string log = Log("n.nmea", "$GPGGA,1\r\n");
    WriteFile(dir_ / "n.csv", "earlier");
    Convert(log);
    EXPECT_EQ(host_.statuses.back(), "No effective data.");
    EXPECT_EQ(ReadFile(dir_ / "n.csv"), "earlier");
    host_.fields[HostField::Key] = "";
    Convert(Log("k.nmea", Report(1, "0.1")));
    EXPECT_EQ(host_.statuses.back(), "No effective data.") << "an empty key finds nothing";
}

TEST_F(ConversionRun, TwoLogsWithOneCsvAreNotBothWritten) {
    const std::string first = Log("rx.log", Report(1, "0.1"));
    const std::string second = Log("rx.nmea", Report(2, "0.2"));
    const std::string other = Log("other.nmea", Report(3, "0.3"));
    Convert(first + ";" + second + ";" + other);
    ASSERT_EQ(host_.errors, std::vector<std::string>{"Can not Convert: " + second});
    EXPECT_NE(host_.details[0].find("rx.csv"), std::string::npos);
    EXPECT_NE(host_.details[0].find(first), std::string::npos);
    EXPECT_EQ(Rows(first)[0].substr(0, 19), "2023/07/05 12:00:01") << "the first log's CSV stays";
    EXPECT_TRUE(fs::exists(dir_ / "other.csv")) << "the run goes on";
}

TEST_F(ConversionRun, AReplacedCsvKeepsItsPermissions) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no permission bits (a read-only CSV is refused instead)";
#endif
    const std::string log = Log("p.nmea", Report(1, "0.1"));
    WriteFile(dir_ / "p.csv", "earlier");
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(dir_ / "p.csv", mode);
    Convert(log);
    EXPECT_NE(ReadFile(dir_ / "p.csv"), "earlier");
    EXPECT_EQ(fs::status(dir_ / "p.csv").permissions(), mode);
}

TEST_F(ConversionRun, ALogNamedCsvIsRefusedNotOverwritten) {
    const std::string bytes = Report(1, "0.1");
    const std::string log = Log("self.csv", bytes);
    const std::string other = Log("other.nmea", bytes);
    Convert(log + ";" + other);
    EXPECT_EQ(ReadFile(log), bytes);
    ASSERT_EQ(host_.errors.size(), 1u);
    EXPECT_NE(host_.errors[0].find(log), std::string::npos);
    EXPECT_TRUE(fs::exists(dir_ / "other.csv")) << "the run goes on";
}

TEST_F(ConversionRun, AFailedWriteKeepsTheEarlierCsvAndEndsTheRun) {
    const std::string log = Log("w.nmea", Report(1, "0.1"));
    const std::string next = Log("next.nmea", Report(1, "0.1"));
    fs::create_directory(dir_ / "w.csv");  // the CSV's name is taken by a folder
    Converter converter(host_, kYmd, kAscii);
    try {
        converter.ConvertFiles(log + ";" + next);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_NE(std::string(e.what()).find((dir_ / "w.csv").string()), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(host_.statuses.back(), "Output..");
    EXPECT_EQ(host_.busy, 0);
    EXPECT_FALSE(fs::exists(dir_ / "next.csv"));
    EXPECT_TRUE(fs::is_directory(dir_ / "w.csv"));
    for (const auto& entry : fs::directory_iterator(dir_)) {
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos)
            << "left behind: " << entry.path();
    }
}

TEST_F(ConversionRun, InputLogIsNeverModified) {
    const std::string log = Log("keep.nmea", Report(1, "0.1") + test::Ubx(1, 7, "abc"));
    fs::permissions(log, fs::perms::owner_read);
    const auto before = fs::last_write_time(log);
    Convert(log);
    EXPECT_TRUE(fs::exists(dir_ / "keep.csv")) << "a read-only log converts";
    EXPECT_EQ(fs::last_write_time(log), before);
    EXPECT_EQ(ReadFile(log), Report(1, "0.1") + test::Ubx(1, 7, "abc"));
}

TEST(CsvFileName, Extensions) {
    const std::pair<const char*, const char*> cases[] = {
        {"/d/a.nmea", "/d/a.csv"},        {"/d/a.b.log", "/d/a.b.csv"},  {"/d/a", "/d/a.csv"},
        {"/d.x/a", "/d.x/a.csv"},         {"/d/.hidden", "/d/.csv"},     {"a.", "a.csv"},
#ifdef _WIN32
        {"C:\\x.y\\a", "C:\\x.y\\a.csv"}, {"C:/d/a.nmea", "C:/d/a.csv"},
#else
        {"C:\\x.y\\a", "C:\\x.csv"},  // "\\" is no separator
#endif
    };
    for (const auto& [log, csv] : cases) EXPECT_EQ(CsvFileName(log), csv) << log;
}

}  // namespace
}  // namespace tarnimex

namespace tarnimex {
namespace {

// The fast reader passes over plain lines in bulk, and a large log is read in
// chunks on several threads; whole runs must not differ from byte-at-a-time
// reading in any status or progress text, CSV byte, line or frame count.
class FastAndReference : public ConversionRun {
  protected:
    struct Outcome {
        std::vector<std::string> statuses;
        std::string csv;
        std::int64_t lines;
        FrameCounts frames;
        std::optional<TimingMetrics> metrics;
    };
    Outcome Run(const std::string& log, LogReader::Mode mode, const ChunkPlan& plan) {
        FakeHost host = host_;
        Converter converter(host, kYmd, kUtf8, mode);
        converter.SplitLargeLogs(plan);
        converter.CollectTimingMetrics(0);
        converter.ConvertFiles(log);
        const LogStatistics& s = converter.LastStatistics();
        Outcome outcome{host.statuses, ReadFile(CsvFileName(log)), s.lines, s.frames, s.metrics};
        fs::remove(CsvFileName(log));
        return outcome;
    }
    // Chunks of chunkBytes; every line end noted near the seams and
    // seamLines past them, the fewest that can join them, but no more than
    // overrunBytes past a chunk's end.
    static ChunkPlan Chunks(std::int64_t chunkBytes, std::int64_t seamLines = 16,
                            std::int64_t overrunBytes = 1 << 20) {
        return {2, chunkBytes, 0, seamLines, seamLines * 64, overrunBytes};
    }
    void ExpectOutcome(const Outcome& a, const Outcome& b) {
        EXPECT_EQ(a.statuses, b.statuses);
        EXPECT_EQ(a.csv, b.csv);
        EXPECT_EQ(a.lines, b.lines);
        EXPECT_TRUE(a.frames == b.frames);
        EXPECT_TRUE(a.metrics == b.metrics);
    }
    // Reference, fast, and fast in chunks at random seams; returns the CSV.
    std::string ExpectSame(const std::string& log) {
        const Outcome reference = Run(log, LogReader::Mode::Reference, {.threads = 1});
        ExpectOutcome(Run(log, LogReader::Mode::Fast, {.threads = 1}), reference);
        const auto chunkBytes =
            static_cast<std::int64_t>(fs::file_size(log) / 7 + seams_() % 4096 + 1);
        const std::int64_t seamLines = 1 + seams_() % 16;
        // Half the time readers stop short of the seam window: read again.
        const std::int64_t overrun = seams_() % 2 == 0 ? 1 << 20 : 1 + seams_() % 2048;
        SCOPED_TRACE("in chunks of " + std::to_string(chunkBytes) + ", overrun " +
                     std::to_string(overrun));
        ExpectOutcome(Run(log, LogReader::Mode::Fast, Chunks(chunkBytes, seamLines, overrun)),
                      reference);
        return reference.csv;
    }
    std::mt19937 seams_{11};
};

TEST_F(FastAndReference, RandomLogsWithReports) {
    std::mt19937 rng(7);
    const std::string pieces[] = {
        test::Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
        test::ReportLine("2023/07/05 12:34:56.5", "0.123"),
        test::ReportLine("2023/07/05 12:34:56.7", "n/a"),  // a delay that is no number
        "$GPTXT,01,01,02,RMC delay,2023/07/05 12:34:57,60.5*00",
        "$GPTXT$GPTXT,1,1,1,RMC delay,2023/07/05 12:34:58.25,-0.2\r",
        test::Ubx(1, 7, std::string(92, 'U')),
        test::Ubx(1, 7, "$GPTXT,01,01,02,RMC delay,2023/07/05 12:00:00,9", false),
        test::Sirf(std::string(40, 'S')),
        test::Mtk("abc"),
        test::Bytes({0x04, '$', 5, 0}),
        test::Bytes({0xB5}),
        "\r\n",
        "\n\r",
        "\x80\x01",
    };
    for (int round = 0; round < 6; ++round) {
        std::string bytes;
        const std::size_t size = round < 3 ? 20000 : 300000;
        while (bytes.size() < size * 10) bytes += pieces[rng() % std::size(pieces)];
        SCOPED_TRACE(round);
        host_.limit = round % 2 == 1;
        // An Escape at a progress step stops every reader after the same line.
        host_.onEvents = nullptr;
        if (round == 4) {
            host_.onEvents = [](const std::string& status) {
                if (status.ends_with("/20000Lines)")) AbortRequested = true;
            };
        }
        const std::string csv = ExpectSame(Log("r" + std::to_string(round) + ".nmea", bytes));
        EXPECT_EQ(csv.empty(), round == 4) << "only the aborted run leaves no CSV";
    }
}

TEST_F(FastAndReference, ChunksJoinAtEverySeam) {
    // Each kind of frame, whole and damaged, reports inside and outside them,
    // every way a line can end: a seam falls in each in turn.
    std::string bytes;
    for (int second = 0; second < 2; ++second) {
        bytes += test::Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") +
                 Report(second, "0.5") + test::Ubx(1, 7, std::string(60, 'U')) +
                 test::Ubx(1, 7, Report(10 + second, "9"), false) + Report(20 + second, "-0.25") +
                 test::Sirf(std::string(30, 'S')) + "\n\r" +
                 test::Sirf(Report(30 + second, "7"), false) + test::Mtk("abc") + "\x80\x01" +
                 test::Bytes({0xB5}) + Report(40 + second, "1.5");
    }
    const std::string log = Log("seams.nmea", bytes);
    const Outcome reference = Run(log, LogReader::Mode::Reference, {.threads = 1});
    ASSERT_GT(reference.csv.size(), 200u);
    for (std::int64_t chunk = 1; chunk < static_cast<std::int64_t>(bytes.size()); ++chunk) {
        SCOPED_TRACE("in chunks of " + std::to_string(chunk));
        ExpectOutcome(Run(log, LogReader::Mode::Fast, Chunks(chunk, 1)), reference);
        // Readers that stop just past their chunk's end: every seam is read again.
        ExpectOutcome(Run(log, LogReader::Mode::Fast, Chunks(chunk, 1, 1)), reference);
        if (HasFailure()) break;
    }
}

TEST_F(FastAndReference, ReadersAsTheChunksAndTheSystemAllow) {
    std::string bytes;
    for (int second = 0; second < 60; ++second) bytes += Report(second, "0.5");
    ChunkPlan plan = Chunks(1024);
    plan.threads = 64;
    const SeekableMemory memory(bytes);
    const ReportFinder finder("$GPTXT", "RMC delay", kYmd);
    EXPECT_EQ(ChunkedLog(memory, finder, plan, ChunkedLog::EvenSeams(3 * 1024, 1024)).Readers(), 3u)
        << "no more than there are chunks";
    // A system that starts no thread (a limit on processes): the log is read
    // by one reader, to the same CSV.
    fs::permissions(dir_, fs::perms::all);  // the CSV, written as nobody
    const std::string log = Log("refused.nmea", bytes);
    const std::string refused = test::RunInChild({.asNobody = true, .maxProcesses = 1}, [&] {
        return Run(log, LogReader::Mode::Fast, plan).csv;
    });
    EXPECT_EQ(refused, Run(log, LogReader::Mode::Reference, {.threads = 1}).csv);
}

TEST_F(FastAndReference, LongLinesAreReadAboutOnce) {
    // Lines of 512 KiB in chunks of 128 KiB: readers that read on until they
    // have seen 16 lines would read the log 64 times over.
    std::string bytes;
    for (int second = 0; second < 12; ++second)
        bytes += std::string(512 << 10, 'x') + Report(second, "0.5");
    struct CountedMemory : SeekableMemory {
        using SeekableMemory::SeekableMemory;
        std::unique_ptr<ByteSource> From(std::int64_t offset,
                                         std::span<unsigned char> block) const override {
            struct Counted : ByteSource {
                std::unique_ptr<ByteSource> source;
                std::atomic<std::int64_t>& taken;
                Counted(std::unique_ptr<ByteSource> s, std::atomic<std::int64_t>& t)
                    : source(std::move(s)), taken(t) {}
                std::span<const unsigned char> Next(std::size_t maxSize) override {
                    const auto next = source->Next(maxSize);
                    taken += static_cast<std::int64_t>(next.size());
                    return next;
                }
            };
            return std::make_unique<Counted>(SeekableMemory::From(offset, block), taken);
        }
        mutable std::atomic<std::int64_t> taken{0};
    } log(bytes);
    const ReportFinder finder("$GPTXT", "RMC delay", kYmd);
    ChunkedLog chunks(log, finder, Chunks(128 << 10, 16, 64 << 10),
                      ChunkedLog::EvenSeams(static_cast<std::int64_t>(bytes.size()), 128 << 10));
    std::size_t reports = 0;
    ChunkedLog::Stretch stretch;
    while (chunks.Next(stretch)) reports += stretch.reports.size();
    EXPECT_EQ(reports, 12u);
    EXPECT_EQ(stretch.lines, 12);
    EXPECT_LE(log.taken, 3 * static_cast<std::int64_t>(bytes.size()));
}

TEST_F(FastAndReference, GeneratorLogs) {
#ifndef TARNIMEX_GEN_LOG
    GTEST_SKIP() << "the log generator is built with the benchmarks";
#else
    // Legend: the generator's options; Limiting.
    const struct {
        const char* options;
        bool limit;
    } cases[] = {
        {"--days 0.05 --seed 3", false},
        {"--days 0.05 --seed 4", true},
        {"--days 0.03 --seed 5 --nmea-only", false},
        {"--days 0.02 --seed 6 --reports-every-line", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const fs::path log = dir_ / "generated.log";
        const std::string command =
            std::string(TARNIMEX_GEN_LOG) + " " + c.options + " -o " + log.string();
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        host_.limit = c.limit;
        EXPECT_GT(ExpectSame(log.string()).size(), 1000u) << "the reports became rows";
        fs::remove(CsvFileName(log.string()));
    }
#endif
}

TEST_F(FastAndReference, RealCaptures) {
    // Every "$G" sentence is a report: the captures have no delay reports of their own.
    host_.fields[HostField::Key] = "$G";
    host_.fields[HostField::SecKey] = "";
    std::size_t captures = 0;
    for (const auto& entry : fs::directory_iterator(TARNIMEX_REAL_LOGS)) {
        if (entry.path().extension() != ".log") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ExpectSame(Log(entry.path().filename().string(), ReadFile(entry.path())));
        ++captures;
    }
    EXPECT_GE(captures, 19u);
}

}  // namespace
}  // namespace tarnimex
