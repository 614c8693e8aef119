// SPDX-License-Identifier: GPL-3.0-or-later
// tarnimex-convert: options, what goes to standard output and standard error,
// exit statuses, and Ctrl-C.
#include "cli/cli_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/cli_host.h"
#include "support/child_process.h"
#include "support/compress.h"
#include "support/environment.h"
#include "support/files.h"
#include "support/frames.h"
#include "support/scratch_folder.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tarnimex {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

const std::string kReport = test::ReportLine("2023/07/05 12:34:56.000", "0.123");

class Cli : public test::ScratchFolderTest {
  protected:
    void SetUp() override {
        // The locale must not decide these tests' formats.
        test::SetVariable("LC_ALL", "C.UTF-8");
        ScratchFolderTest::SetUp();
    }
    // A big log of reports; its name.
    std::string BigLog(std::size_t bytes) {
        std::string log;
        log.reserve(bytes + 100);
        while (log.size() < bytes) log += kReport;
        return log_ = Log("big.nmea", log);
    }
    // The converter started on a big log, its status lines read by the test.
    test::ChildProgram StartOnBigLog(std::size_t bytes) {
        return test::ChildProgram(TARNIMEX_CONVERT, {BigLog(bytes)});
    }
    int Run(std::vector<std::string> args) {
        std::ostringstream out, err;
        const int status = RunCli(args, out, err, false);
        out_ = out.str();
        err_ = err.str();
        return status;
    }
    std::string out_, err_, log_;
};

TEST_F(Cli, StatusLinesAndTheCsv) {
    const std::string log = Log("a.nmea", kReport);
    EXPECT_EQ(Run({log}), 0);
    EXPECT_EQ(out_,
              log + "\nOutput..\nCompleted:  Max=0.123Sec.  Min=0.123Sec.  Output=1/2Lines\n");
    EXPECT_EQ(err_, "");
    EXPECT_EQ(ReadFile(dir_ / "a.csv"),
              test::CsvMark() +
                  "RMC time,UTC time,Time error,Count,Max,Min\r\n"
                  "2023/07/05 12:34:56,2023/07/05 12:34:55.877,0.123,1,0.123,0.123\r\n");
    EXPECT_EQ(Run({"--quiet", log}), 0);
    EXPECT_EQ(out_, "");
}

TEST_F(Cli, ArgumentsAreJoinedAsOneList) {
    const std::string a = Log("a.nmea", kReport);
    const std::string b = Log("b.nmea", kReport);
    EXPECT_EQ(Run({"--quiet", a + ";;" + b, "--", "--not-an-option"}), 1);
    EXPECT_TRUE(fs::exists(dir_ / "a.csv"));
    EXPECT_TRUE(fs::exists(dir_ / "b.csv"));
    EXPECT_EQ(
        err_,
        "Can not Open: \nNo file name\nCan not Open: --not-an-option\nNo such file or directory\n");
}

TEST_F(Cli, Options) {
    const std::string log = Log("o.nmea",
                                "$PABC,1,2,3,other,05.07.2023 12:34:56.789,60,5*00\r\n"
                                "$PABC,1,2,3,other,05.07.2023 12:34:57.789,1,5*00\r\n");
    EXPECT_EQ(Run({"--key=$PABC", "--second-key", "", "--decimals", "1", "--date-order=dmy",
                   "--date-sep", ".", "--decimal-sep", ",", "--alarm-step", "50,0",
                   "--alarm-symbol", "  ALARM ", "--quiet", log}),
              0);
    EXPECT_EQ(ReadFile(dir_ / "o.csv"),
              test::CsvMark() +
                  "RMC time,UTC time,Time error,Count,Max,Min\r\n"
                  "2023.07.05 12:34:56.7,2023.07.05 12:33:56.7,60,ALARM,2,60,1\r\n"
                  "2023.07.05 12:34:57.7,2023.07.05 12:34:56.7,1\r\n");
    EXPECT_EQ(Run({"--key", "$PABC", "--key", "$NONE", log}), 3) << "the last value wins";
    EXPECT_EQ(out_, log + "\nNo effective data.\n");
    EXPECT_EQ(err_, "");
    // A zip archive, which is not read: the status stays, standard error says why.
    const std::string zip = Log("o.zip", std::string("PK\x03\x04\x14\0\0\0", 8) + "day1.nmea");
    EXPECT_EQ(Run({zip}), 3);
    EXPECT_EQ(out_, zip + "\nNo effective data.\n");
    EXPECT_EQ(err_, "tarnimex-convert: warning: " + zip +
                        " is a zip archive, which is not read; its logs convert with: unzip -p "
                        "ARCHIVE | tarnimex-convert --output CSV -\n");
}

TEST_F(Cli, SettingsFileAndOptionsThatWin) {
    const std::string log = Log("s.nmea", "$PKEY,1,1,1,other,2023/07/05 12:34:56.789,60*00\r\n");
    const std::string ini =
        Log("t.ini",
            "; mine\r\n[Option]\r\nKeyText=$PKEY\r\nSecKeyText=\r\nSecondDec=2\r\n"
            "AlarmStep=100\r\nSymbolOfAlarm= A \r\n");
    const std::string before = ReadFile(ini);
    EXPECT_EQ(Run({"--quiet", "--settings", ini, log}), 0);
    EXPECT_EQ(ReadFile(dir_ / "s.csv"),
              test::CsvMark() +
                  "RMC time,UTC time,Time error,Count,Max,Min\r\n"
                  "2023/07/05 12:34:56.7,2023/07/05 12:33:56.7,60,1,60,60\r\n");
    EXPECT_EQ(Run({"--quiet", "--settings", ini, "--decimals", "0", "--alarm-step=10", log}), 0);
    EXPECT_EQ(ReadFile(dir_ / "s.csv"),
              test::CsvMark() +
                  "RMC time,UTC time,Time error,Count,Max,Min\r\n"
                  "2023/07/05 12:34:56,2023/07/05 12:33:56,60,A,1,60,60\r\n");
    EXPECT_EQ(ReadFile(ini), before) << "reading never changes the settings file";
    // Settings files that cannot be taken: the file and the reason.
    const std::string nul =
        Log("nul.ini", "[Option]\r\nKeyText=$PKEY\r\nSecKeyText=\r\nSymbolOfAlarm=A" +
                           std::string(1, '\0') + "B\r\n");
    const std::vector<std::pair<std::string, std::string>> refused = {
        {(dir_ / "missing.ini").string(), "\". No such file or directory\n"},
        {dir_.string(), "\". Not a regular file\n"},
#ifndef _WIN32
        {"/dev/zero", "\". Not a regular file\n"},  // endless: it must not fill memory
        // (On Windows the profile is read as the system reads it, up to a NUL.)
        {nul, "\" holds a control character such as a tab, a line break or NUL\n"},
#endif
    };
    for (const auto& [file, why] : refused) {
        EXPECT_EQ(Run({"--settings", file, log}), 2);
        EXPECT_NE(err_.find(file + why), std::string::npos) << err_;
    }
    EXPECT_FALSE(fs::exists(dir_ / "missing.ini"));
#ifndef _WIN32
    EXPECT_EQ(Run({"--quiet", "--settings", nul, "--alarm-symbol=B", log}), 0) << "the option wins";
#endif
}

TEST_F(Cli, UsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--bogus", "x"},
        {"--decimals", "4", "x"},
        {"--date-order", "ydm", "x"},
        {"--limit=1", "x"},
        {"--key"},
        {"-q", "x"},
        {"--time-sep=", "x"},
        // A separator is one character, no digit; "," would split a date-time's column.
        {"--date-sep", ",", "x"},
        {"--time-sep=::", "x"},
        {"--decimal-sep", "5", "x"},
        {"--date-sep", "\t", "x"},
        {"--decimal-sep", "\xE2\x80", "x"},
        // An empty LOG, as an unset variable gives, would be skipped silently.
        {""},
        {"x", ""},
        {"--output=", "x"},
        // The alarm symbol lands in the CSV's cells.
        {"--alarm-symbol", std::string("A\0B", 3), "x"},
        {"--alarm-symbol", "!\n!", "x"},
    };
    for (const auto& args : cases) {
        EXPECT_EQ(Run(args), 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(err_.find("tarnimex-convert: "), std::string::npos);
    }
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out_.find("Usage: tarnimex-convert"), std::string::npos);
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_EQ(out_, std::string("tarnimex-convert ") + TARNIMEX_VERSION_TEXT + "\n");
    // One character of several bytes is one character; "," may part decimals.
    const std::string log = Log("s.nmea", kReport);
    EXPECT_EQ(Run({"--date-sep=\xC2\xB7", "--decimal-sep", ",", log}), 0) << err_;
#ifndef _WIN32  // no /dev/full, no closed standard output from a Windows shell
    // --help and --version are all the run does: a lost answer fails it.
    for (const char* ask : {"--help", "--version"}) {
        const std::string bin = TARNIMEX_CONVERT;
        EXPECT_EQ(std::system(("'" + bin + "' " + ask + " >/dev/full 2>/dev/null").c_str()),
                  1 << 8);
        EXPECT_EQ(std::system(("'" + bin + "' " + ask + " >&- 2>/dev/null").c_str()), 1 << 8);
    }
#endif
}

TEST_F(Cli, NumberOptionsThatAreNoNumbersWarn) {
    const std::string log = Log("n.nmea", kReport);
    EXPECT_EQ(Run({"--max-step", "10s", "--alarm-step=abc", "--threshold", "0.5", log}), 0);
    EXPECT_EQ(err_,
              "tarnimex-convert: warning: --max-step \"10s\" is not a number; 0.2 is used\n"
              "tarnimex-convert: warning: --alarm-step \"abc\" is not a number; 0 (no alarm "
              "marks) is used\n");
    test::SetVariable("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(Run({"--decimal-sep", ",", "--threshold", "0.5", "--max-step=0,5", log}), 0);
    EXPECT_EQ(err_, "") << "a point reads under a decimal comma too";
}

TEST_F(Cli, ExitStatusSaysWhetherEveryLogGaveACsv) {
    // legend: arguments -> exit status (0 all converted and within their limits,
    // 3 some without report or none to judge, 4 some over their limits first,
    // 1 failure before all)
    const std::string good = Log("good.nmea", kReport);
    const std::string empty = Log("empty.nmea", "$GPRMC,no report\r\n");
    const std::string missing = (dir_ / "missing.nmea").string();
    const std::string rx =
        Log("rx.nmea", ReadFile(fs::path(TARNIMEX_SOURCE_DIR) / "examples/receiver-delay.nmea"));
    const std::string pass = Log("pass.ini", "[Limits]\nMaxAbsTimeError=64\nMTIE=1:64\n");
    const std::string fail = Log("fail.ini", "[Limits]\nMaxAbsTimeError=63.99\n");
    const std::string late = Log("late.ini", "[Limits]\nWarmUp=1\n");  // past the only report
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{good}, 0},
        {{empty}, 3},
        {{good, empty}, 3},
        {{empty, missing}, 1},
        {{"--limits", pass, rx}, 0},
        {{"--limits", fail, rx}, 4},
        {{"--limits", fail, rx, empty}, 4},
        {{"--jobs=2", "--limits", fail, good, rx, empty}, 4},
        {{"--limits", fail, rx, missing}, 1},
        {{"--jobs=2", "--limits", fail, missing, rx}, 1},
        {{"--limits", late, good}, 3},
        {{"--limits", pass, good, rx}, 0},
    };
    for (const auto& [args, status] : cases)
        EXPECT_EQ(Run(args), status) << args[args.size() > 2 ? 1 : 0] << " " << args.back();
}

TEST_F(Cli, LimitsGiveEachLogItsVerdict) {
    const std::string log = Log("a.nmea", kReport);
    const std::string fail = Log("fail.ini", "[Limits]\nMaxAbsTimeError=0.1\nMean=1\n");
    EXPECT_EQ(Run({log}), 0);
    const std::string csv = ReadFile(dir_ / "a.csv");
    EXPECT_EQ(Run({"--limits", fail, log}), 4);
    EXPECT_EQ(out_, log +
                        "\nOutput..\nCompleted:  Max=0.123Sec.  Min=0.123Sec.  Output=1/2Lines\n"
                        "Verdict: FAIL: MaxAbsTimeError 0.123 > 0.1\n");
    EXPECT_EQ(ReadFile(dir_ / "a.csv"), csv) << "the CSV is the same";
    EXPECT_EQ(Run({"--quiet", "--limits", fail, log}), 4);
    EXPECT_EQ(out_, "");
    // A faulty limits file ends the run before any log: its name, line and key.
    const std::string faulty = Log("faulty.ini", "[Limits]\nMaxTE=1\n");
    fs::remove(dir_ / "a.csv");
    EXPECT_EQ(Run({"--limits", faulty, log}), 2);
    EXPECT_EQ(err_,
              "tarnimex-convert: Limits file \"" + faulty + "\", line 2, MaxTE: no such limit.\n");
    EXPECT_EQ(Run({"--limits", Path("missing.ini"), log}), 2);
    EXPECT_EQ(err_.rfind("tarnimex-convert: Cannot read limits file \"" + Path("missing.ini"), 0),
              0u)
        << err_;
    EXPECT_FALSE(fs::exists(dir_ / "a.csv"));
}

TEST_F(Cli, ReportsOfEveryLogReadAndTheirIndex) {
    const std::string a = Log("a.nmea", kReport);
    const std::string none = Log("none.nmea", "$GPRMC\r\n");
    fs::create_directories(dir_ / "sub");
    const std::string again = Log("sub/a.nmea", kReport);
    const std::string limits = Log("limits.ini", "[Limits]\nMaxAbsTimeError=1\n");
    const std::string reports = Path("reports");
    EXPECT_EQ(Run({"--report", reports, a}), 2) << "a build of the core alone makes none";
    EXPECT_EQ(err_.rfind("tarnimex-convert: this build makes no test reports", 0), 0u) << err_;
#ifdef TARNIMEX_REPORTS
    // Logs without reports get theirs too; one whose report would replace an
    // earlier one's fails (exit 1) and the rest stand. No note of Qt's appears.
    test::ChildProgram converter(
        TARNIMEX_CONVERT, {"--quiet", "--limits", limits, "--report", reports, a, none, again});
    std::string said = converter.ReadRest();
    std::erase(said, '\r');  // Windows ends the line with CR LF
    EXPECT_EQ(said, "tarnimex-convert: the report of " + again + " would replace that of " + a +
                        "; it is not written\n");
    EXPECT_EQ(converter.Wait(), 1);
    for (const char* name : {"a.nmea.report.html", "a.nmea.report.pdf", "none.nmea.report.html",
                             "none.nmea.report.pdf"})
        EXPECT_GT(fs::file_size(fs::path(reports) / name), 1000u) << name;
    const std::string index = ReadFile(fs::path(reports) / "index.html");
    EXPECT_NE(index.find("href=\"a.nmea.report.html\""), std::string::npos) << index;
    EXPECT_NE(index.find("href=\"none.nmea.report.html\""), std::string::npos) << index;
    EXPECT_NE(index.find(">PASS<"), std::string::npos) << index;
#endif
}

TEST_F(Cli, ALogNamedLikeAProgressTextIsNoProgress) {
    // ("1-2" where the status line has "1/2": a name holds no "/" or "|" on Windows.)
    const std::string log = Log("a ( 5.0%  1-2Lines)", kReport);
    std::ostringstream out, err;
    EXPECT_EQ(RunCli({log}, out, err, true), 0);
    EXPECT_EQ(out.str().rfind(log + "\n", 0), 0u) << out.str();
}

TEST_F(Cli, ProgressLineNeverWrapsTheTerminal) {
    // legend: a long name of several-byte characters on terminals of these widths
    std::string name = "/data/";
    for (int i = 0; i < 40; ++i) name += "Z\xC3\xA4hler-";
    const std::string status = name + ".nmea ( 42.0%  12/40000Lines)";
    for (int columns : {200, 80, 40, 24, 10}) {
        const std::string line = ProgressLine(status, 42.0, columns);
        int width = 0;
        for (char c : line) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        EXPECT_LT(width, columns) << line;
        if (columns >= 40) {
            EXPECT_NE(line.find("12/40000Lines"), std::string::npos) << columns;
        }
        // Shortening never cuts a character in two.
        for (std::size_t i = 0; i + 1 < line.size(); ++i) {
            if (line[i] == '\xC3') {
                EXPECT_EQ(static_cast<unsigned char>(line[i + 1]) & 0xC0, 0x80);
            }
        }
    }
    EXPECT_EQ(ProgressLine("a.nmea ( 50.0%  1/20000Lines)", 50.0, 80),
              "[###############               ] a.nmea ( 50.0%  1/20000Lines)");
}

TEST_F(Cli, AReaderOfTheStatusLinesThatLeavesDoesNotStopTheRun) {
    auto converter = StartOnBigLog(30u << 20);
    ASSERT_TRUE(converter.Started());
    // Like "| head -1": the first line, then the reader is gone.
    converter.ReadLine();
    converter.CloseOutput();
    EXPECT_EQ(converter.Wait(), 0);
    EXPECT_TRUE(fs::exists(dir_ / "big.csv"));
}

TEST_F(Cli, ACsvThatCannotBeWrittenFailsOnlyItsLog) {
    const std::string log = Log("w.nmea", kReport);
    fs::create_directory(dir_ / "w.csv");
    // The longest name a CSV can have, whose new file's name must still fit
    // (on Windows the whole path's limit comes first).
#ifdef _WIN32
    const std::string stem(150, 'n');
#else
    const std::string stem(251, 'n');
#endif
    const std::string longest = Log(stem + ".log", kReport);
    const std::string next = Log("next.nmea", kReport);
    for (const char* jobs : {"--jobs=1", "--jobs=2"}) {
        SCOPED_TRACE(jobs);
        fs::remove(dir_ / "next.csv");
        fs::remove(dir_ / (stem + ".csv"));
        EXPECT_EQ(Run({jobs, "--quiet", log, longest, next}), 1);
        EXPECT_EQ(err_.rfind("Cannot create file \"" + (dir_ / "w.csv").string() + "\". ", 0), 0u)
            << err_;
        EXPECT_EQ(err_.find('\n'), err_.size() - 1) << err_;
        EXPECT_TRUE(fs::exists(dir_ / (stem + ".csv")));
        EXPECT_TRUE(fs::exists(dir_ / "next.csv")) << "the run went on";
    }
}

#ifndef _WIN32  // only Ctrl-C there
TEST_F(Cli, ASignalWhileTheCsvIsWrittenLeavesNoTemporaryFile) {
    const std::string log = BigLog(60u << 20);
    const auto temporary = [&] {
        for (const auto& entry : fs::directory_iterator(dir_)) {
            if (entry.path().filename().string().starts_with(".big.csv.")) return true;
        }
        return false;
    };
    // Legend: the signal; the exit status, minus the signal's number where the
    // signal ends the program, as a script expects.
    for (const auto& [signal, status] :
         {std::pair{SIGINT, 130}, std::pair{SIGTERM, -SIGTERM}, std::pair{SIGHUP, -SIGHUP}}) {
        SCOPED_TRACE(signal);
        std::ofstream(dir_ / "big.csv") << "earlier";
        test::ChildProgram converter(TARNIMEX_CONVERT, {"--quiet", log});
        ASSERT_TRUE(converter.Started());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!temporary() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        ASSERT_TRUE(temporary()) << "the CSV was never being written";
        ASSERT_TRUE(converter.Signal(signal));
        EXPECT_EQ(converter.Wait(), status);
        EXPECT_FALSE(temporary());
        EXPECT_EQ(ReadFile(dir_ / "big.csv"), "earlier");
    }
}
#endif

TEST_F(Cli, CtrlCAbortsWithoutTouchingTheCsv) {
    // Enough reports that the run cannot end before the interrupt arrives.
    std::ofstream(dir_ / "big.csv") << "earlier";
    auto converter = StartOnBigLog(60u << 20);
    ASSERT_TRUE(converter.Started());
    // The log's name comes out once the log is open.
    EXPECT_EQ(converter.ReadLine(), log_);
    ASSERT_TRUE(converter.Interrupt());
    const std::string out = converter.ReadRest();
    EXPECT_EQ(converter.Wait(), 130);
    EXPECT_EQ(out.substr(out.size() - 17), "Aborted by user!\n");
    const std::string csv = ReadFile(dir_ / "big.csv");
    EXPECT_TRUE(csv == "earlier") << csv.substr(0, 100);
    for (const auto& entry : fs::directory_iterator(dir_)) {
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

TEST_F(Cli, CtrlCStopsInputWithoutLineEnds) {
#ifdef _WIN32
    GTEST_SKIP() << "zeros and pipes as standard input are POSIX's";
#else
    // Zeros: no line ends and no byte a line keeps, read far longer than the
    // time the test allows.
    const std::string zeros = Path("zeros.nmea");
    std::ofstream(zeros).close();
    fs::resize_file(zeros, std::uintmax_t{1} << 40);  // sparse
    const std::string member = test::Compress(test::Packing::Gzip, std::string(16 << 20, '\0'));
    std::string packed;
    for (int i = 0; i < 1024; ++i) packed += member;
    const std::string packedZeros = Log("zeros.gz", packed);
    // A pipe that sends ten bytes, then nothing: the converter waits in a read.
    const std::string pipe = Path("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int pipeEnd = open(pipe.c_str(), O_RDWR);
    ASSERT_EQ(write(pipeEnd, "0123456789", 10), 10);
    const std::string csv = Path("out.csv");
    // Legend: the converter's arguments, and its standard input.
    const struct {
        const char* legend;
        std::vector<std::string> args;
        std::string input;
    } cases[] = {
        {"zeros on standard input", {"--output", csv, "-"}, "/dev/zero"},
        {"a pipe that sends nothing", {"--output", csv, "-"}, pipe},
        {"a log of zeros, one reader", {"--jobs=1", zeros}, ""},
        {"a log of zeros, in parts", {"--jobs=2", zeros}, ""},
        {"a compressed log of zeros", {packedZeros}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        test::ChildProgram converter(TARNIMEX_CONVERT, c.args, c.input);
        ASSERT_TRUE(converter.Started());
        // The log's name comes out once the log is open; a moment later the
        // reading is well under way.
        EXPECT_EQ(converter.ReadLine(), c.args.back());
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ASSERT_TRUE(converter.Interrupt());
        // Generous: the machine may be busy.
        EXPECT_TRUE(converter.EndsWithin(std::chrono::seconds(5)));
        EXPECT_EQ(converter.Wait(), 130);
        const std::string out = converter.ReadRest();
        EXPECT_TRUE(out.ends_with("Aborted by user!\n")) << out.substr(0, 200);
    }
    close(pipeEnd);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3)
        << "a CSV or a temporary file was left";
#endif
}

TEST_F(Cli, ClosedStandardStreamsStayOutOfTheCsvs) {
#ifdef _WIN32
    GTEST_SKIP() << "closing standard streams is a POSIX shell's";
#else
    std::string reports;
    for (int i = 0; i < 5000; ++i) reports += kReport;
    std::string command = std::string(TARNIMEX_CONVERT) + " --jobs 2 --summary=json";
    for (int i = 0; i < 6; ++i)
        command += " '" + Log("c" + std::to_string(i) + ".nmea", reports) + "' missing";
    ASSERT_EQ(Run({"--quiet", Path("c0.nmea")}), 0);
    const std::string csv = ReadFile(dir_ / "c0.csv");
    // Texts for standard output or error written while a CSV held its number
    // would land in it. When that happens depends on how the threads meet:
    // several runs.
    for (int run = 0; run < 5; ++run) {
        std::system((command + " >&- 2>&-").c_str());
        for (int i = 0; i < 6; ++i) {
            const std::string name = "c" + std::to_string(i) + ".csv";
            EXPECT_TRUE(ReadFile(dir_ / name) == csv) << name << " in run " << run;
        }
    }
    // A closed standard input is an empty log, not a failed read.
    EXPECT_EQ(std::system((std::string(TARNIMEX_CONVERT) + " --output '" + Path("in.csv") +
                           "' - <&- >/dev/null 2>&1")
                              .c_str()),
              3 << 8);
#endif
}

}  // namespace
}  // namespace tarnimex
