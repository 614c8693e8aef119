// SPDX-License-Identifier: GPL-3.0-or-later
// Logs that change under the reader or cannot be read: a log that shrinks,
// grows, disappears or is replaced once open or halfway through converts what
// the reader still finds, in both reader modes and read in chunks; a name that is no readable
// file is reported and the run goes on; a read that fails ends the run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "conversion/conversion_run.h"
#include "support/child_process.h"
#include "support/conversion_test.h"

namespace tarnimex {
namespace {

void Append(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

class LogChanges : public test::ScratchFolderTest {
  protected:
    void SetUp() override {
        ScratchFolderTest::SetUp();
        log_ = dir_ / "log.nmea";
        next_ = dir_ / "next.nmea";
        WriteFile(next_, Reports(0, 1));
    }

    // Data rows of the CSV, checked against the count on its first row; -1 when
    // no CSV was written.
    static long Rows(const fs::path& csv) {
        if (!fs::exists(csv)) return -1;
        const std::string text = ReadFile(csv);
        long lines = 0;
        for (char c : text) lines += c == '\n';
        const std::size_t first = text.find("\r\n") + 2;
        const std::string row = text.substr(first, text.find("\r\n", first) - first);
        // The first row ends with count, maximum and minimum.
        std::size_t end = row.rfind(',');
        end = row.rfind(',', end - 1);
        const std::size_t begin = row.rfind(',', end - 1) + 1;
        EXPECT_EQ(row.substr(begin, end - begin), std::to_string(lines - 1))
            << "the count on the first row";
        return lines - 1;
    }

    fs::path log_, next_;
};

// Deleting or replacing a log that is being read: POSIX lets it happen;
// Windows refuses unless the reader shares deletion (a sharing violation).
// Either way the run reads on in the file it opened.
void RemoveOpenFile(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
#ifndef _WIN32
    EXPECT_FALSE(ec) << ec.message();
#endif
}

void RenameOntoOpenFile(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::rename(from, to, ec);
#ifdef _WIN32
    fs::remove(from, ec);
#else
    EXPECT_FALSE(ec) << ec.message();
#endif
}

TEST_F(LogChanges, ChangesWhileTheLogIsRead) {
    // Legend: reports in the log, whether the change comes once the log is open
    // or at the first progress text (20000 lines in), the change, the range of
    // data rows expected (-1: no CSV) and the last status text's start.
    const auto resize = [](std::uintmax_t size) {
        return [size](const fs::path& log) { fs::resize_file(log, size); };
    };
    // Log rotation: another file takes the log's name.
    const auto replace = [](const fs::path& log) {
        WriteFile(log.string() + ".new", Reports(0, 3));
        RenameOntoOpenFile(log.string() + ".new", log);
    };
    const struct {
        const char* legend;
        int reports;
        bool atProgress;
        std::function<void(const fs::path&)> change;
        long minRows, maxRows;
        const char* status;
    } cases[] = {
        {"shrinks to half once open", 100, false, resize(50 * kReportLength), 50, 50, "Completed:"},
        {"shrinks into a line once open", 100, false, resize(50 * kReportLength + 20), 50, 50,
         "Completed:"},
        {"is emptied once open", 100, false, resize(0), -1, -1, "No effective data."},
        {"grows once open", 100, false, [](const fs::path& log) { Append(log, Reports(100, 20)); },
         120, 120, "Completed:"},
        {"is deleted once open", 100, false, RemoveOpenFile, 100, 100, "Completed:"},
        {"is replaced once open", 100, false, replace, 100, 100, "Completed:"},
        // What was read ahead still counts; the rest is gone.
        {"is emptied halfway", 50000, true, resize(0), 20000, 50000, "Completed:"},
        {"grows halfway", 50000, true,
         [](const fs::path& log) { Append(log, Reports(50000, 1000)); }, 51000, 51000,
         "Completed:"},
        {"is replaced halfway", 50000, true, replace, 50000, 50000, "Completed:"},
    };
    // Legend: the reader's mode and how the log is split among threads (into
    // many small chunks, or not at all).
    const struct {
        const char* legend;
        LogReader::Mode mode;
        ChunkPlan plan;
    } readers[] = {
        {"fast", LogReader::Mode::Fast, {.threads = 1}},
        {"reference", LogReader::Mode::Reference, {.threads = 1}},
        {"fast in chunks", LogReader::Mode::Fast, {3, 1024, 0, 4, 256}},
    };
    for (const auto& c : cases) {
        for (const auto& r : readers) {
            SCOPED_TRACE(std::string(c.legend) + ", " + r.legend);
            WriteFile(log_, Reports(0, c.reports));
            ASSERT_EQ(fs::file_size(log_), static_cast<std::uintmax_t>(c.reports) * kReportLength);
            fs::remove(dir_ / "log.csv");
            fs::remove(dir_ / "next.csv");
            FakeHost host;
            bool changed = false;
            host.onEvents = [&](const std::string& status) {
                const bool now = c.atProgress ? status.rfind(log_.string() + " (", 0) == 0
                                              : status == log_.string();
                if (now && !changed) {
                    changed = true;
                    c.change(log_);
                }
            };
            Converter converter(host, RegionalFormat{}, TextEncoding{"UTF-8", true}, r.mode);
            converter.SplitLargeLogs(r.plan);
            converter.ConvertFiles(log_.string() + ";" + next_.string());
            EXPECT_TRUE(changed);
            const long rows = Rows(dir_ / "log.csv");
            EXPECT_GE(rows, c.minRows);
            EXPECT_LE(rows, c.maxRows);
            const auto last =
                std::find(host.statuses.begin(), host.statuses.end(), next_.string()) - 1;
            EXPECT_EQ(last->rfind(c.status, 0), 0u) << *last;
            EXPECT_TRUE(fs::exists(dir_ / "next.csv")) << "the run goes on";
            EXPECT_TRUE(host.errors.empty());
        }
    }
}

TEST_F(LogChanges, NamesThatAreNoReadableFileAreReportedAndTheRunGoesOn) {
    fs::permissions(dir_, fs::perms::all);  // the next log's CSV, written as nobody
    const fs::path locked = dir_ / "locked.nmea";
    WriteFile(locked, Reports(0, 1));
#ifdef _WIN32
    // Windows: a file another program holds open without sharing.
    const int holder = _sopen(locked.string().c_str(), _O_RDONLY, _SH_DENYRW);
    ASSERT_GE(holder, 0);
#else
    const fs::path pipe = dir_ / "pipe.nmea";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    fs::permissions(locked, fs::perms::none);
#endif
    // Legend: the name given, the reason shown beside "Can not Open: name".
    const struct {
        const char* legend;
        std::string name;
        const char* reason;
    } cases[] = {
        {"a folder", dir_.string(), "Not a regular file"},
#ifndef _WIN32
        {"a named pipe, which could block the run for ever", pipe.string(), "Not a regular file"},
        {"a device that never ends", "/dev/zero", "Not a regular file"},
#endif
        {"a missing file", (dir_ / "missing.nmea").string(), "No such file or directory"},
        {"a file that may not be read", locked.string(), "Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        fs::remove(dir_ / "next.csv");
        // As nobody, since root may read any file.
        const std::string result = test::RunInChild({true, 0}, [&] {
            FakeHost host;
            Converter converter(host, RegionalFormat{}, TextEncoding{"UTF-8", true});
            converter.ConvertFiles(c.name + ";" + next_.string());
            std::string shown;
            for (std::size_t i = 0; i < host.errors.size(); ++i)
                shown += host.errors[i] + " / " + host.details[i];
            return shown + "\n" + host.statuses.front() + "\n" +
                   (fs::exists(dir_ / "next.csv") ? "next" : "");
        });
        EXPECT_EQ(result, "Can not Open: " + c.name + " / " + c.reason + "\nError!\nnext");
    }
#ifdef _WIN32
    _close(holder);
#endif
}

TEST_F(LogChanges, AFailedReadEndsTheRun) {
#ifdef _WIN32
    GTEST_SKIP() << "reads /proc/self/mem; Windows has no file whose reads fail";
#endif
    // The first bytes of a process's own memory are never mapped: reading them fails.
    const std::string name = "/proc/self/mem";
    FakeHost host;
    Converter converter(host, RegionalFormat{}, TextEncoding{"UTF-8", true});
    try {
        converter.ConvertFiles(name + ";" + next_.string());
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot read file \"/proc/self/mem\". Input/output error");
    }
    EXPECT_EQ(host.statuses, (std::vector<std::string>{name}));
    EXPECT_EQ(host.busy, 0);
    EXPECT_FALSE(fs::exists(dir_ / "next.csv"));
}

}  // namespace
}  // namespace tarnimex
