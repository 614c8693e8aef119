// SPDX-License-Identifier: GPL-3.0-or-later
// tarnimex-convert's whole run, apart from the process set-up, so that tests
// can drive it in-process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tarnimex {

// Returns the exit status: 0 done, 1 a log could not be opened or a CSV not
// written, 2 usage error, 130 aborted.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool terminal);

}  // namespace tarnimex
