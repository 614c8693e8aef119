// SPDX-License-Identifier: GPL-3.0-or-later
// Whole archives from the command line: folders, --output-dir, standard input,
// --jobs with Ctrl-C, and the closing line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "cli/cli_run.h"
#include "conversion/abort_request.h"
#include "support/child_process.h"
#include "support/compress.h"
#include "support/environment.h"
#include "support/files.h"
#include "support/frames.h"
#include "support/scratch_folder.h"

namespace tarnimex {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

const std::string kReport = test::ReportLine("2023/07/05 12:34:56.000", "0.123");
// The CSV of one kReport.
std::string Csv() {
    return test::CsvMark() +
           "RMC time,UTC time,Time error,Count,Max,Min\r\n"
           "2023/07/05 12:34:56,2023/07/05 12:34:55.877,0.123,1,0.123,0.123\r\n";
}
const std::string kCompleted =
    "Output..\nCompleted:  Max=0.123Sec.  Min=0.123Sec.  Output=1/2Lines\n";

class Archive : public test::ScratchFolderTest {
  protected:
    void SetUp() override {
        test::SetVariable("LC_ALL", "C.UTF-8");
        ScratchFolderTest::SetUp();
    }
    void TearDown() override {
        AbortRequested = false;
        ScratchFolderTest::TearDown();
    }
    std::string Put(const std::string& name, const std::string& bytes) {
        fs::create_directories((dir_ / name).parent_path());
        WriteFile(dir_ / name, bytes);
        return (dir_ / name).string();
    }
    // A tree of mixed content with a link loop (not on Windows, where links
    // need a privilege): 4 logs, one compressed, and 2 hidden files.
    void Tree() {
        Put("t/a/x.nmea", kReport);
        Put("t/a/b/y.log", kReport);
        Put("t/c/z.nmea.gz", test::Compress(test::Packing::Gzip, kReport));
        Put("t/top.log", kReport);
        Put("t/notes.ini", "[Option]\n");
        Put("t/old.CSV", "earlier");
        // Hidden: what a killed run's new CSV file looks like, and one asked for by name.
        Put("t/.top.csv.0123456789abcdef.tmp", kReport);
        Put("t/.h.log", kReport);
#ifndef _WIN32
        fs::create_directory_symlink("..", dir_ / "t/a/b/up");
        loop_ = true;
#endif
    }
    int Run(std::vector<std::string> args) {
        std::ostringstream out, err;
        const int status = RunCli(args, out, err, false);
        // The closing line's time varies.
        out_ = out.str();
        const std::size_t time = out_.rfind(" in ");
        if (time != std::string::npos && out_.ends_with(" s\n"))
            out_ = out_.substr(0, time) + " in T s\n";
        err_ = err.str();
        return status;
    }
    // The path of an entry, "/" in name written as the system's separator.
    std::string T(const std::string& name) const {
        return (dir_ / fs::path(name).make_preferred()).string();
    }
    std::string out_, err_;
    bool loop_ = false;
};

TEST_F(Archive, FoldersAreListedSortedAndFiltered) {
    Tree();
    const std::string t = T("t");
    // Legend: options, logs converted in this order, notes on standard error.
    const struct {
        std::vector<std::string> options;
        std::vector<std::string> logs;
    } cases[] = {
        {{}, {"t/top.log"}},
        {{"--recursive"}, {"t/a/b/y.log", "t/a/x.nmea", "t/c/z.nmea.gz", "t/top.log"}},
        {{"--recursive", "--include=*.log", "--include", "*.gz"},
         {"t/a/b/y.log", "t/c/z.nmea.gz", "t/top.log"}},
        {{"--include=.*.log"}, {"t/.h.log"}},
    };
    for (const auto& c : cases) {
        for (const char* jobs : {"--jobs=1", "--jobs=3"}) {
            SCOPED_TRACE(std::to_string(c.logs.size()) + jobs);
            std::vector<std::string> args = c.options;
            args.push_back(jobs);
            args.push_back(t);
            EXPECT_EQ(Run(args), 0);
            std::string expected;
            for (const auto& log : c.logs) expected += T(log) + "\n" + kCompleted;
            if (c.logs.size() > 1) {
                expected += std::to_string(c.logs.size()) +
                            " logs: " + std::to_string(c.logs.size()) +
                            " converted, 0 without data, 0 failed; 0.0 MB in T s\n";
            }
            EXPECT_EQ(out_, expected);
            const bool descends = loop_ && !c.options.empty() && c.options[0] == "--recursive";
            EXPECT_EQ(err_, descends ? "Not followed, a link back into a folder being listed: " +
                                           T("t/a/b/up") + "\n"
                                     : "");
            for (const auto& log : c.logs) {
                const fs::path csv =
                    dir_ / log.substr(0, log.find('.', log.rfind('/') + 2)).append(".csv");
                EXPECT_EQ(ReadFile(csv), Csv()) << csv;
                fs::remove(csv);
            }
        }
    }
    EXPECT_EQ(ReadFile(dir_ / "t/old.CSV"), "earlier");
}

TEST_F(Archive, UnreadableEntriesAreReportedAndTheRestConverts) {
    Put("u/a.log", kReport);
#ifndef _WIN32  // Windows has no broken links (they need a privilege) nor unreadable folders
    fs::create_symlink(dir_ / "u/gone", dir_ / "u/broken.log");
    EXPECT_EQ(Run({"--quiet", T("u")}), 1);
    EXPECT_EQ(err_, "Can not Open: " + T("u/broken.log") + "\nNo such file or directory\n");
    EXPECT_EQ(ReadFile(dir_ / "u/a.csv"), Csv());
    // A folder that cannot be read (root reads any: the run is made as nobody).
    fs::remove(dir_ / "u/broken.log");
    fs::remove(dir_ / "u/a.csv");
    Put("u/locked/b.log", kReport);
    fs::permissions(dir_ / "u/locked", fs::perms::none);
    fs::permissions(dir_ / "u", fs::perms::all);
    const std::string result = test::RunInChild({.asNobody = true}, [&] {
        return std::to_string(Run({"--quiet", "--recursive", T("u")})) + " " + err_;
    });
    EXPECT_EQ(result, "1 Can not Open: " + T("u/locked") + "\nPermission denied\n");
    EXPECT_EQ(ReadFile(dir_ / "u/a.csv"), Csv());
    fs::permissions(dir_ / "u/locked", fs::perms::owner_all);
#endif
    EXPECT_EQ(Run({"--quiet", T("empty-folder-missing"), T("u/a.log")}), 1);
    fs::create_directory(dir_ / "e");
    EXPECT_EQ(Run({"--quiet", T("e")}), 0);
    EXPECT_EQ(err_, "No log in the folder " + T("e") + "\n");
}

TEST_F(Archive, RefusedThreadsLeaveFewerWorkers) {
    // A system that starts no thread (a limit on processes, on nobody, as
    // root has none): the logs, one decompressed, convert one at a time.
    const std::string a = Put("p/a.log", kReport);
    const std::string z = Put("p/z.nmea.gz", test::Compress(test::Packing::Gzip, kReport));
    fs::permissions(dir_ / "p", fs::perms::all);
    const std::string result = test::RunInChild({.asNobody = true, .maxProcesses = 1}, [&] {
        return std::to_string(Run({"--jobs=3", a, z})) + "\n" + out_ + err_;
    });
    EXPECT_EQ(result, "0\n" + a + "\n" + kCompleted + z + "\n" + kCompleted +
                          "2 logs: 2 converted, 0 without data, 0 failed; 0.0 MB in T s\n");
    EXPECT_EQ(ReadFile(dir_ / "p/z.csv"), Csv());
}

TEST_F(Archive, OutputFolderKeepsSubfoldersAndRefusesCollisions) {
    Tree();
    EXPECT_EQ(Run({"--quiet", "--recursive", "--output-dir", T("out"), T("t")}), 0);
    for (const char* csv : {"out/a/b/y.csv", "out/a/x.csv", "out/c/z.csv", "out/top.csv"})
        EXPECT_EQ(ReadFile(dir_ / csv), Csv()) << csv;
    EXPECT_FALSE(fs::exists(dir_ / "t/top.csv")) << "nothing beside the logs";
    // Two logs of one name in two folders meet in one output folder.
    fs::remove_all(dir_ / "out");
    EXPECT_EQ(Run({"--jobs=2", "--output-dir", T("out"), T("t/a/x.nmea"), T("t/top.log"),
                   T("t/a/b/y.log"), T("t/a/x.nmea")}),
              1);
    EXPECT_EQ(err_, "Can not Convert: " + T("t/a/x.nmea") + "\nIts CSV \"" + T("out/x.csv") +
                        "\" is that of \"" + T("t/a/x.nmea") +
                        "\" already; it would be overwritten.\n");
    EXPECT_NE(out_.find("4 logs: 3 converted, 0 without data, 1 failed;"), std::string::npos);
    EXPECT_EQ(ReadFile(dir_ / "out/x.csv"), Csv());
}

TEST_F(Archive, StandardInputFromAPipe) {
    const std::string packed = Put("day.nmea.xz", test::Compress(test::Packing::Xz, kReport));
    const std::string csv = T("piped.csv");
    // Legend: the shell command; the CSV goes to standard output or a file.
#ifdef _WIN32
    // cmd's "type" stops at the first NUL byte: the packed log is redirected
    // instead. A line that begins with a quote loses its outer pair to cmd.
    const std::string convert = "\"" + fs::path(TARNIMEX_CONVERT).make_preferred().string() + "\"";
    const auto fed = [&](const std::string& args) {
        return "\"" + convert + args + " <\"" + packed + "\"";
    };
    const std::string kLineEnd = "\"";
#else
    const auto fed = [&](const std::string& args) {
        return "cat " + packed + " | " + TARNIMEX_CONVERT + args;
    };
    const std::string kLineEnd;
#endif
    const std::string commands[] = {
        fed(" --output - -") + " >" + csv + " 2>" + T("status") + kLineEnd,
        fed(" --quiet --output " + csv + " -") + kLineEnd,
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command);
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(ReadFile(csv), Csv());
        fs::remove(csv);
    }
    std::string status = ReadFile(T("status"));
    std::erase(status, '\r');  // standard error is text, with the system's line ends
    EXPECT_EQ(status, "-\n" + kCompleted) << "status lines on standard error";
}

TEST_F(Archive, UsageErrors) {
    const std::string a = Put("a.log", kReport);
    const std::vector<std::vector<std::string>> cases = {
        {"-"},
        {"--output", "x.csv", a, a},
        {"--output", "-", "-", "-"},
        {"--output", "-", "--output-dir", "d", a},
        {"--jobs", "0", a},
        {"--jobs", "two", a},
    };
    for (const auto& args : cases) {
        EXPECT_EQ(Run(args), 2) << args[0] << " " << args[1];
        EXPECT_EQ(err_.rfind("tarnimex-convert: ", 0), 0u) << err_;
    }
}

// Ctrl-C as the first finished log's lines are printed, with three more
// converting or waiting: every CSV written is whole, the others keep their
// earlier content, and no temporary file is left.
class InterruptOnCompleted : public std::stringbuf {
  protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        if (std::string_view(s, static_cast<std::size_t>(n)).find("Completed:") !=
            std::string_view::npos)
            AbortRequested = true;
        return std::stringbuf::xsputn(s, n);
    }
};

TEST_F(Archive, CtrlCWithSeveralJobs) {
    std::string big;
    while (big.size() < (8u << 20)) big += kReport;
    std::vector<std::string> args = {"--jobs=2"};
    for (int i = 0; i < 6; ++i) {
        args.push_back(Put("j/l" + std::to_string(i) + ".log", i == 0 ? kReport : big));
        WriteFile(dir_ / ("j/l" + std::to_string(i) + ".csv"), "earlier");
    }
    InterruptOnCompleted buffer;
    std::ostream out(&buffer);
    std::ostringstream err;
    EXPECT_EQ(RunCli(args, out, err, false), 130);
    EXPECT_NE(buffer.str().find("Aborted by user!\n"), std::string::npos);
    EXPECT_EQ(ReadFile(dir_ / "j/l0.csv"), Csv());
    int untouched = 0;
    for (const auto& entry : fs::directory_iterator(dir_ / "j")) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
        if (entry.path().extension() != ".csv") continue;
        const std::string csv = ReadFile(entry.path());
        if (csv == "earlier") {
            ++untouched;
        } else {
            EXPECT_EQ(csv.rfind(Csv().substr(0, 40), 0), 0u) << name;
            EXPECT_EQ(csv.substr(csv.size() - 2), "\r\n") << name;
        }
    }
    EXPECT_GE(untouched, 3) << "the run went on after Ctrl-C";
}

}  // namespace
}  // namespace tarnimex
