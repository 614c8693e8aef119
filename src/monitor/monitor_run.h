// SPDX-License-Identifier: GPL-3.0-or-later
// tarnimex-monitor's whole run in Qt's event loop (the caller's
// QCoreApplication), apart from the process set-up.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tarnimex {

// Asks the running watch to stop with this exit status; safe in a signal handler.
void RequestMonitorStop(int exitStatus);
// Whether a stop was asked for already.
bool MonitorStopRequested();

// Returns the exit status: 0 stopped, 130 stopped by Ctrl-C, 4 some source
// over its limits, 1 a log or CSV not written, 2 usage error.
int RunMonitor(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool terminal);

}  // namespace tarnimex
