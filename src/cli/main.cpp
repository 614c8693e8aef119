// SPDX-License-Identifier: GPL-3.0-or-later
// tarnimex-convert: converts receiver logs to CSV from the command line.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli_run.h"
#include "conversion/conversion_host.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

// Ctrl-C aborts like Escape in the window: the current log's CSV is not written.
extern "C" void OnInterrupt(int) {
    tarnimex::AbortRequested = true;
}

}  // namespace

int main(int argc, char** argv) {
    static_assert(std::atomic<bool>::is_always_lock_free);
    std::signal(SIGINT, OnInterrupt);
#ifdef SIGPIPE
    // A reader of the status lines that goes away must not end the conversion:
    // a write to the closed pipe just fails.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return tarnimex::RunCli(args, std::cout, std::cerr, isatty(fileno(stdout)) != 0);
}
