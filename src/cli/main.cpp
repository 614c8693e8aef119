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
#elif defined(TARNIMEX_REPORTS_PROGRAM)
#include <cstring>
#include <string>

#include "platform/path_names.h"
#include "platform/process.h"
#endif

namespace {

// Ctrl-C aborts like Escape in the window: the current log's CSV is not written.
void OnInterrupt() {
    tarnimex::AbortRequested = true;
}

#ifdef TARNIMEX_REPORTS_PROGRAM
// Qt is loaded only for test reports, by their own build of this program
// (beside it, or in the package's libexec folder), so that a conversion
// starts without loading Qt's libraries. Where that program is missing,
// RunCli says that there are no reports.
void RunReportsProgramFor(int argc, char** argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--report") != 0 && std::strncmp(argv[i], "--report=", 9) != 0)
            continue;
        const std::string folder = tarnimex::FolderPart(tarnimex::ExecutablePath());
        if (folder.empty()) return;  // never a program of that name from elsewhere
        for (const char* place : {"", "../libexec/tarnimex/"})
            tarnimex::RunInstead(folder + place + TARNIMEX_REPORTS_PROGRAM, argv);
        return;
    }
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef TARNIMEX_REPORTS_PROGRAM
    RunReportsProgramFor(argc, argv);
#endif
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
