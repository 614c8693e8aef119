// SPDX-License-Identifier: GPL-3.0-or-later
// What tarnimex-convert prints of a log's statistics after converting it: a
// short block for a reader, one JSON object on one line for a script, and the
// warning about report fields that could not be read.
#pragma once

#include <string>
#include <string_view>

#include "platform/regional_format.h"
#include "conversion/statistics.h"

namespace tarnimex {

// Date-times are written as the log's CSV writes them; the text block writes
// numbers with the regional decimal separator, JSON with ".". Both end with a
// line end.
std::string SummaryText(const LogStatistics& statistics, const RegionalFormat& regional);
std::string SummaryJson(const LogStatistics& statistics, const RegionalFormat& regional);

// The warning line about unreadable report date-times and delays, with its
// line end; empty when every field could be read.
std::string UnreadableWarning(const LogStatistics& statistics);

// A JSON string of any bytes: controls escaped, invalid UTF-8 as U+FFFD.
void AppendJsonString(std::string& out, std::string_view bytes);

}  // namespace tarnimex
