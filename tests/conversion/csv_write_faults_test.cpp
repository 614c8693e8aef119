// SPDX-License-Identifier: GPL-3.0-or-later
// A CSV that cannot be written: the run ends with an error that names the CSV
// and the system's reason, the status line keeps "Output..", the previous CSV
// is intact, no temporary file is left and no later log is converted. Each
// fault happens in a child process: as nobody (root ignores permission bits)
// or with a limit on file sizes standing for a disk that fills.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include "conversion/conversion_run.h"
#include "platform/system_error.h"
#include "support/child_process.h"
#include "support/conversion_test.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tarnimex {
namespace {

using test::ChildLimits;
using test::RunInChild;

class CsvWriteFaults : public test::ScratchFolderTest {
  protected:
    void SetUp() override {
        ScratchFolderTest::SetUp();
        fs::create_directories(dir_ / "next");
        // Open to everyone, so that a run that went on could write here even as nobody.
        fs::permissions(dir_ / "next", fs::perms::all);
        WriteFile(dir_ / "next" / "next.nmea", Reports(0, 1, "0.123"));
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_ / "logs", fs::perms::owner_all, fs::perm_options::add, ec);
        ScratchFolderTest::TearDown();
    }
};

// The system's error for a file it will not replace, and for a name a folder holds.
#ifdef _WIN32
constexpr int kAccessDenied = ERROR_ACCESS_DENIED;
constexpr int kNameIsAFolder = ERROR_ACCESS_DENIED;
#else
constexpr int kAccessDenied = EACCES;
constexpr int kNameIsAFolder = EISDIR;
#endif

TEST_F(CsvWriteFaults, TheRunEndsAndNothingIsLost) {
    // Legend: reports in the log, how the child runs, the fault set up before
    // the run and while it reads, the system's reason expected, whether an
    // earlier CSV file is there to be kept.
    struct Case {
        const char* legend;
        int reports;
        ChildLimits limits;
        std::function<void(const fs::path& folder, const fs::path& csv)> before;
        bool removeFolderWhileReading;
        int error;  // whose reason the system gives
        bool earlierCsv;
    };
    [[maybe_unused]] const auto noFault = [](const fs::path&, const fs::path&) {};
    const Case cases[] = {
#ifndef _WIN32  // a folder's read-only attribute does not stop writes on Windows
        {"the CSV's folder may not be written",
         10,
         {true, 0},
         [](const fs::path& folder, const fs::path&) {
             fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec |
                                         fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
         },
         false,
         EACCES,
         true},
#endif
        {"the earlier CSV is write-protected, its folder is not",
         10,
         {true, 0},
         [](const fs::path& folder, const fs::path& csv) {
             fs::permissions(folder, fs::perms::all);
             fs::permissions(
                 csv, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
#ifndef _WIN32
             if (chown(csv.c_str(), 65534, 65534) != 0) ADD_FAILURE() << "chown";
#endif
         },
         false,
         kAccessDenied,
         true},
#ifndef _WIN32  // no file size limits on Windows
        {"the disk fills before the CSV is closed", 10, {false, 100}, noFault, false, EFBIG, true},
        {"the disk fills while rows are written",
         40000,
         {false, 1 << 20},
         noFault,
         false,
         EFBIG,
         true},
#endif
        {"the CSV's name is taken by a folder",
         10,
         {},
         [](const fs::path&, const fs::path& csv) {
             fs::remove(csv);
             fs::create_directory(csv);
         },
         false,
         kNameIsAFolder,
         false},
#ifndef _WIN32  // Windows does not remove a folder while a file in it is open
        {"the log's folder is removed while the log is read", 10, {}, noFault, true, ENOENT, false},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const fs::path folder = dir_ / "logs";
        std::error_code ec;
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::permissions(folder / "log.csv", fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(folder);
        fs::create_directories(folder);
        const fs::path log = folder / "log.nmea";
        const fs::path csv = folder / "log.csv";
        const fs::path next = dir_ / "next" / "next.nmea";
        WriteFile(log, Reports(0, c.reports, "0.123"));
        WriteFile(csv, "earlier");
        fs::remove(dir_ / "next" / "next.csv");
        c.before(folder, csv);

        const std::string result = RunInChild(c.limits, [&] {
            FakeHost host;
            if (c.removeFolderWhileReading) {
                host.onEvents = [&](const std::string& status) {
                    if (status == log.string()) fs::remove_all(folder);
                };
            }
            Converter converter(host, RegionalFormat{}, TextEncoding{"UTF-8", true});
            std::string outcome = "no error";
            try {
                converter.ConvertFiles(log.string() + ";" + next.string());
            } catch (const IoError& e) {
                outcome = e.what();
            }
            return outcome + "\n" + host.statuses.back() + "\nbusy " + std::to_string(host.busy);
        });

        EXPECT_EQ(result, "Cannot create file \"" + csv.string() + "\". " + SystemReason(c.error) +
                              "\nOutput..\nbusy 0");
        EXPECT_FALSE(fs::exists(dir_ / "next" / "next.csv")) << "the run went on";
        if (c.earlierCsv) {
            EXPECT_EQ(ReadFile(csv), "earlier");
        }
        if (fs::exists(folder)) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
                    << "left behind: " << entry.path();
            }
        }
    }
}

}  // namespace
}  // namespace tarnimex
