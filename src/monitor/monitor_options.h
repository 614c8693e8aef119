// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line options of tarnimex-monitor: its own, and the conversion
// options of tarnimex-convert, which its CSVs and alarms are made by.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "live/source_address.h"

namespace tarnimex {

struct MonitorOptions {
    CliOptions conversion;  // its logs are the sources
    std::optional<std::string> recordDir;
    int rotateMinutes = 60;
    bool json = false;
    std::optional<double> duration;  // seconds
    SerialLine line;
    std::vector<SourceAddress> sources;
};

// Parses argv[1..]; on a usage error returns false with a message.
bool ParseMonitorOptions(const std::vector<std::string>& args, MonitorOptions& options,
                         std::string& error);

std::string MonitorUsage();

}  // namespace tarnimex
