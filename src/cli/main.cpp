// SPDX-License-Identifier: GPL-3.0-or-later
// tarnimex-convert: converts receiver logs to CSV from the command line.
#include <cstdio>
#include <iostream>
#include <new>

#include "cli/cli_run.h"
#include "conversion/abort_request.h"
#include "platform/console.h"
#ifdef TARNIMEX_REPORTS
#include "report/offscreen_reports.h"
#endif

namespace {

// Ctrl-C aborts like Escape in the window: the current log's CSV is not written.
void OnInterrupt() {
    tarnimex::AbortRequested = true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool outputClosed = tarnimex::OpenStandardDescriptors();
    static_assert(std::atomic<bool>::is_always_lock_free);
    tarnimex::RemoveTemporaryFilesOnTermination();
    tarnimex::CatchInterrupt(OnInterrupt);
    tarnimex::UseBinaryStandardStreams();
    std::ios::sync_with_stdio(false);
    // Output to a standard output that was closed is lost, as before: the
    // answer to --help or --version fails. (After the line above, which
    // clears the stream's state.)
    if (outputClosed) std::cout.setstate(std::ios::badbit);
    try {
#ifdef TARNIMEX_REPORTS
        tarnimex::OffscreenReports reports;
        tarnimex::ReportWriter* reportWriter = &reports;
#else
        tarnimex::ReportWriter* reportWriter = nullptr;
#endif
        return tarnimex::RunCli(tarnimex::CommandLineArguments(argc, argv), std::cout, std::cerr,
                                tarnimex::PrepareLiveConsole(), reportWriter);
    } catch (const std::bad_alloc&) {
        // A CSV being written goes with its temporary file as the stack unwinds.
        std::cout.flush();
        std::fputs("tarnimex-convert: out of memory\n", stderr);
        return 1;
    }
}
