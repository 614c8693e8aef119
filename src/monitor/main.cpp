// SPDX-License-Identifier: GPL-3.0-or-later
// tarnimex-monitor: watches GNSS receivers live from the command line.
#include <QCoreApplication>
#include <iostream>

#include "conversion/abort_request.h"
#include "monitor/monitor_run.h"
#include "platform/console.h"

namespace {

constexpr int kInterrupted = 130;

// Ctrl-C ends the watch like SIGTERM, its logs closed and converted; a second
// one aborts the conversion still running.
void OnInterrupt() {
    if (tarnimex::MonitorStopRequested()) tarnimex::AbortRequested = true;
    tarnimex::RequestMonitorStop(kInterrupted);
}

void OnStop() {
    tarnimex::RequestMonitorStop(0);
}

}  // namespace

int main(int argc, char** argv) {
    const bool outputClosed = tarnimex::OpenStandardDescriptors();
    tarnimex::RemoveTemporaryFilesOnTermination();
    tarnimex::CatchInterrupt(OnInterrupt);
    tarnimex::CatchTermination(OnStop);
    tarnimex::UseBinaryStandardStreams();
    std::ios::sync_with_stdio(false);
    if (outputClosed) std::cout.setstate(std::ios::badbit);
    QCoreApplication app(argc, argv);
    return tarnimex::RunMonitor(tarnimex::CommandLineArguments(argc, argv), std::cout, std::cerr,
                                tarnimex::PrepareLiveConsole());
}
