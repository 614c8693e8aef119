// SPDX-License-Identifier: GPL-3.0-or-later
// tarnimex-convert's whole run, apart from the process set-up, so that tests
// can drive it in-process.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "settings/limits_file.h"

namespace tarnimex {

class ReportWriter;
struct CliOptions;
struct ConversionSettings;
struct RegionalFormat;

// The user's regional format with the options' changes.
RegionalFormat RegionalOfOptions(const CliOptions& options);

// The conversion's settings from the options and the settings file they name
// (options given win), with warnings about numbers that are none; false, with
// the message (after "program: ") on err, when they cannot be had.
bool ResolveSettings(const CliOptions& options, const RegionalFormat& regional,
                     const std::string& program, ConversionSettings& fields, std::ostream& err);

// The limits file the options name (--limits), or none; false, with the
// message (after "program: ") on err, when it cannot be read.
bool ReadLimitsOfOptions(const CliOptions& options, const std::string& program,
                         std::optional<TimingLimits>& limits, std::ostream& err);

// Returns the exit status: 0 done, 4 some log over its limits, 3 some log
// without data, 1 a log could not be opened or a CSV or report not written,
// 2 usage error, 130 aborted. Test reports (--report) are made by reports;
// without one they are a usage error.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool terminal, ReportWriter* reports = nullptr);

}  // namespace tarnimex
