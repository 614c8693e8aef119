// SPDX-License-Identifier: GPL-3.0-or-later
// What tarnimex-convert prints of a log's statistics after converting it: a
// short block for a reader, one JSON object on one line for a script, and the
// warning about report fields that could not be read.
#pragma once

#include <string>
#include <string_view>

#include "conversion/statistics/statistics.h"
#include "conversion/statistics/verdict.h"
#include "platform/regional_format.h"

namespace tarnimex {

// The text block writes date-times as the log's CSV does and numbers with the
// regional decimal separator. JSON, read by scripts on any machine, writes
// numbers with "." and date-times in ISO 8601 UTC with the report's fraction
// of a second ("2023-07-05T12:30:10.25Z"). Both end with a line end.
// When the statistics carry timing metrics, both add them (taken after warmUp
// seconds) and, when given, the verdict: the text a few lines and the verdict
// line last, the JSON a "metrics" and a "verdict" object.
std::string SummaryText(const LogStatistics& statistics, const RegionalFormat& regional,
                        double warmUp = 0, const Verdict* verdict = nullptr);
std::string SummaryJson(const LogStatistics& statistics, double warmUp = 0,
                        const Verdict* verdict = nullptr);

// "Verdict: ..." (see VerdictLine) with the regional decimal separator and
// every figure as it reads back exactly, so that a value just over its limit
// never shows as equal to it; without a line end.
std::string VerdictText(const Verdict& verdict, const RegionalFormat& regional);

// The warning line about unreadable report date-times and delays, with its
// line end; empty when every field could be read.
std::string UnreadableWarning(const LogStatistics& statistics);

// A date-time value in ISO 8601 UTC, as the receivers report in UTC, the
// milliseconds without trailing zeros ("2023-07-05T12:30:10.25Z"); empty for 0.
std::string IsoDateTime(double value);

// Up to six decimals, trailing zeros dropped, with the regional decimal separator.
std::string TextNumber(double value, const RegionalFormat& regional);

// A JSON string of any bytes: controls escaped, invalid UTF-8 as U+FFFD.
void AppendJsonString(std::string& out, std::string_view bytes);

}  // namespace tarnimex
