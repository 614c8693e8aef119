// SPDX-License-Identifier: GPL-3.0-or-later
// A conversion only ever reads its logs: every real capture keeps its bytes
// and its modification time, and a log that is its own CSV under another name
// is refused rather than overwritten.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "conversion/conversion_run.h"
#include "support/conversion_test.h"

namespace tarnimex {
namespace {

const std::string kReport = test::ReportLine("2023/07/05 12:34:56.000", "0.123");

class InputUntouched : public test::ScratchFolderTest {
  protected:
};

TEST_F(InputUntouched, RealCapturesKeepTheirBytesAndTimes) {
    // Copies, so that the CSV files are written beside them; a time well in the
    // past, so that any write would show; whole seconds, which every file system keeps.
    const auto past = std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now() -
                                                               std::chrono::hours(24 * 400));
    std::vector<fs::path> logs;
    std::string list;
    for (const auto& entry : fs::directory_iterator(TARNIMEX_REAL_LOGS)) {
        if (entry.path().extension() != ".log") continue;
        const fs::path log = dir_ / entry.path().filename();
        fs::copy_file(entry.path(), log);
        fs::last_write_time(log, past);
        logs.push_back(log);
        list += log.string() + ";";
    }
    ASSERT_GE(logs.size(), 19u) << "captures missing from " << TARNIMEX_REAL_LOGS;
    for (const auto mode : {LogReader::Mode::Fast, LogReader::Mode::Reference}) {
        FakeHost host;
        // Every sentence beginning "$G" is a report, so that most captures give a CSV.
        host.fields[HostField::Key] = "$G";
        host.fields[HostField::SecKey] = "";
        Converter converter(host, RegionalFormat{}, TextEncoding{"UTF-8", true}, mode);
        converter.ConvertFiles(list);
        EXPECT_TRUE(host.errors.empty());
    }
    std::size_t csvFiles = 0;
    for (const fs::path& log : logs) {
        SCOPED_TRACE(log.filename().string());
        EXPECT_EQ(ReadFile(log), ReadFile(fs::path(TARNIMEX_REAL_LOGS) / log.filename()));
        EXPECT_EQ(fs::last_write_time(log), past);
        csvFiles += fs::exists(fs::path(log).replace_extension(".csv"));
    }
    EXPECT_GE(csvFiles, 12u) << "too few captures converted to show anything";
}

#ifdef _WIN32
constexpr bool kNamesIgnoreCase = true;  // "a.CSV" and "a.csv" name one file
#else
constexpr bool kNamesIgnoreCase = false;
#endif

TEST_F(InputUntouched, ALogThatIsItsOwnCsvIsRefused) {
    // Legend: how the log and its CSV's name are made; the reason when the log
    // is refused ("Can not Convert: "), none when converted beside itself.
    const std::string itself = "\" is the log itself; it would be overwritten.";
    const struct {
        const char* legend;
        std::function<fs::path(const fs::path& dir)> make;  // returns the log's name
        std::string refusal;
    } cases[] = {
        {"a log named .csv",
         [](const fs::path& dir) {
             WriteFile(dir / "self.csv", kReport);
             return dir / "self.csv";
         },
         "The log has the extension .csv; its output would overwrite it."},
#ifndef _WIN32  // symbolic links need a privilege on Windows
        {"a log that is a symbolic link to its CSV's name",
         [](const fs::path& dir) {
             WriteFile(dir / "link.csv", kReport);
             fs::create_symlink(dir / "link.csv", dir / "link.nmea");
             return dir / "link.nmea";
         },
         "Its CSV \"" + (dir_ / "link.csv").string() + itself},
#endif
        {"a log whose CSV's name is a second name of it",
         [](const fs::path& dir) {
             WriteFile(dir / "hard.nmea", kReport);
             fs::create_hard_link(dir / "hard.nmea", dir / "hard.csv");
             return dir / "hard.nmea";
         },
         "Its CSV \"" + (dir_ / "hard.csv").string() + itself},
        {"a log named .CSV is its .csv only where names ignore case",
         [](const fs::path& dir) {
             WriteFile(dir / "upper.CSV", kReport);
             return dir / "upper.CSV";
         },
         kNamesIgnoreCase ? "Its CSV \"" + (dir_ / "upper.csv").string() + itself : ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        const fs::path log = c.make(dir_);
        const std::string next = (dir_ / "next.nmea").string();
        WriteFile(next, kReport);
        fs::remove(dir_ / "next.csv");
        FakeHost host;
        Converter converter(host, RegionalFormat{}, TextEncoding{"UTF-8", true});
        converter.ConvertFiles(log.string() + ";" + next);
        EXPECT_EQ(ReadFile(log), kReport);
        EXPECT_TRUE(fs::exists(dir_ / "next.csv")) << "the run goes on";
        if (!c.refusal.empty()) {
            EXPECT_EQ(host.errors, std::vector<std::string>{"Can not Convert: " + log.string()});
            EXPECT_EQ(host.details, std::vector<std::string>{c.refusal});
            EXPECT_EQ(converter.FailedEntries(), 1);
        } else {
            EXPECT_TRUE(host.errors.empty());
            EXPECT_EQ(ReadFile(CsvFileName(log.string())).substr(3, 8), "RMC time");
        }
    }
}

}  // namespace
}  // namespace tarnimex
