// SPDX-License-Identifier: GPL-3.0-or-later
// What a command line asks to convert: the logs it names, each with the CSV it
// goes to, and the closing line of a run of several.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli_batch.h"
#include "cli/cli_options.h"

namespace tarnimex {

struct Plan {
    std::vector<BatchLog> logs;
    int problems = 0;        // folders or links that could not be listed, reported
    std::int64_t bytes = 0;  // the logs' sizes on disk
};

// Lists the logs, names their CSVs (beside each log, in --output-dir, or
// --output) and refuses each log whose CSV an earlier one of the list already
// has. Folder problems are reported to err; a usage error sets error.
Plan PlanLogs(const CliOptions& options, std::ostream& err, std::string& error);

// "3 logs: 2 converted, 1 without data, 0 failed; 12.5 MB in 0.8 s"
std::string ClosingLine(const BatchTotals& totals, const Plan& plan,
                        std::chrono::steady_clock::duration time);

}  // namespace tarnimex
