// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl-C in tarnimex-convert at each point of a run of two logs: the log being
// converted gets no CSV and keeps its earlier one, no temporary file is left,
// the next log is not started, and the exit status is 130. The interrupt is
// raised as the status line of that point is written, so it comes exactly
// there (the process-level Ctrl-C test in cli_test.cpp sends a real signal).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <sstream>
#include <streambuf>

#include "cli/cli_run.h"
#include "conversion/abort_request.h"
#include "support/environment.h"
#include "support/files.h"
#include "support/frames.h"

namespace tarnimex {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

// Standard output that sets the abort flag, as the SIGINT handler does, once a
// line beginning with the trigger has been written.
class InterruptingOutput : public std::streambuf {
  public:
    explicit InterruptingOutput(std::string trigger) : trigger_(std::move(trigger)) {}
    std::string text;

  protected:
    int overflow(int c) override {
        if (c != traits_type::eof()) Put(static_cast<char>(c));
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        for (std::streamsize i = 0; i < n; ++i) Put(s[i]);
        return n;
    }

  private:
    void Put(char c) {
        text += c;
        if (c != '\n') return;
        const std::size_t start = text.rfind('\n', text.size() - 2);
        const std::size_t begin = start == std::string::npos ? 0 : start + 1;
        if (text.compare(begin, trigger_.size(), trigger_) == 0) AbortRequested = true;
    }
    std::string trigger_;
};

const std::string kReport = test::ReportLine("2023/07/05 12:34:56.000", "0.123");

TEST(CliAbort, CtrlCAtEachPointOfARun) {
    test::SetVariable("LC_ALL", "C.UTF-8");
    const fs::path dir =
        fs::path(::testing::TempDir()) / ("tarnimex-cli-abort-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string first = (dir / "first.nmea").string();
    const std::string second = (dir / "second.nmea").string();
    WriteFile(first, kReport);
    WriteFile(second, kReport);
    // Legend: the status line at which Ctrl-C comes (the first log's name: just
    // opened), standard output expected, whether the first log's CSV is new.
    const struct {
        const char* legend;
        std::string trigger;
        std::string out;
        bool firstWritten;
    } cases[] = {
        {"as the first log is opened", first, first + "\nNo effective data.\nAborted by user!\n",
         false},
        {"while the first CSV is written", "Output..", first + "\nOutput..\nAborted by user!\n",
         false},
        {"once the first CSV is written", "Completed:",
         first + "\nOutput..\nCompleted:  Max=0.123Sec.  Min=0.123Sec.  Output=1/2Lines\nAborted "
                 "by user!\n",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        WriteFile(dir / "first.csv", "earlier");
        WriteFile(dir / "second.csv", "earlier");
        InterruptingOutput output(c.trigger);
        std::ostream out(&output);
        std::ostringstream err;
        EXPECT_EQ(RunCli({"--jobs=1", first, second}, out, err, false), 130);
        // The closing line of a run of several logs follows, with its time.
        const std::size_t closing = output.text.rfind("2 logs: ");
        ASSERT_NE(closing, std::string::npos);
        EXPECT_EQ(output.text.substr(0, closing), c.out);
        EXPECT_EQ(err.str(), "");
        EXPECT_EQ(ReadFile(dir / "first.csv").rfind(test::CsvMark() + "RMC time,", 0) == 0,
                  c.firstWritten);
        if (!c.firstWritten) {
            EXPECT_EQ(ReadFile(dir / "first.csv"), "earlier");
        }
        EXPECT_EQ(ReadFile(dir / "second.csv"), "earlier") << "the next log was started";
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4)
            << "a temporary file was left";
    }
    AbortRequested = false;
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tarnimex
