// SPDX-License-Identifier: GPL-3.0-or-later
// Converts the listed logs, one after another or several at once.
//
// One at a time, status lines appear as they come (a live line on a terminal).
// Several at once, each log's status lines and errors are held and printed
// together when it is done, in the order of the list, so that the output does
// not depend on which log finishes first; progress lines are left out.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_host.h"
#include "conversion/statistics/verdict.h"
#include "platform/regional_format.h"

namespace tarnimex {

struct BatchLog {
    std::string name;
    std::string csv;      // "-": standard output
    std::string refusal;  // why it is not converted, when its CSV is another log's
    std::string folder;   // to create for its CSV, when not empty
};

struct BatchSetup {
    ConversionSettings fields;
    RegionalFormat regional;
    TextEncoding encoding;
    bool terminal = false;
    bool quiet = false;
    int jobs = 1;          // cores to use: logs at once, or the threads that read one large log
    bool metrics = false;  // the logs' timing metrics, after the limits' warm-up
    std::optional<TimingLimits> limits;  // each log's verdict counts when given
    // After each log, with the streams its status lines and errors go to.
    std::function<void(const LogStatistics&, std::ostream& out, std::ostream& err)> onLogFinished;
};

struct BatchTotals {
    int converted = 0;
    int noData = 0;
    int failed = 0;
    int overLimits = 0;     // converted, and failed their limits
    int unjudged = 0;       // no report counted for their verdict
    bool runEnded = false;  // a log could not be read
};

// Status lines go to status, errors to err.
BatchTotals RunBatch(const BatchSetup& setup, const std::vector<BatchLog>& logs,
                     std::ostream& status, std::ostream& err);

}  // namespace tarnimex
