// SPDX-License-Identifier: GPL-3.0-or-later
// The test report of converted logs: for each log one self-contained HTML file
// (its pictures inside as data: URIs, its style inline, no script, nothing it
// would fetch) and the same as PDF; index.html lists the logs with their
// verdicts and links to their reports.
//
// Every figure is printed with kReportDigits significant digits (date-times
// as ISO 8601 UTC to the millisecond, counts whole), so that it equals the
// figure of --summary=json rounded to as many digits.
//
// The charts are drawn by Qt Charts through the same builders as the chart
// window: a QApplication must exist (the offscreen platform does without a
// display).
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "conversion/statistics/statistics.h"
#include "conversion/statistics/timing_metrics.h"
#include "conversion/statistics/verdict.h"
#include "platform/path_names.h"
#include "platform/regional_format.h"
#include "settings/conversion_settings.h"

namespace tarnimex {

constexpr int kReportDigits = 6;

// What one log's report is made of; plain, for the command line to fill from
// its run's result.
struct ReportInput {
    std::string logPath;  // the log, read for its size and SHA-256
    std::string
        csvPath;  // its CSV, read for the time chart and the histogram; none: no such charts
    LogStatistics statistics;
    TimingMetrics metrics;
    std::optional<TimingLimits> limits;  // with its verdict, when the log was judged
    std::optional<Verdict> verdict;
    std::string limitsFile;  // the limits file's name as given
    double alarmStep = 0;    // seconds
    // The settings the log was converted with, as the tester named them
    // (key, second key, regional format...): label and value.
    std::vector<std::pair<std::string, std::string>> settings;
    std::string note;     // a word under the verdict on where the figures come from
    std::string version;  // the tarnimex version
    std::chrono::system_clock::time_point madeAt;
};

// The settings of a conversion as a report lists them; the regional format as
// a pattern ("yyyy/mm/dd hh:mm:ss.sss").
inline std::vector<std::pair<std::string, std::string>> ReportSettings(
    const ConversionSettings& fields, const RegionalFormat& regional) {
    const std::string& d = regional.dateSeparator;
    const std::string date = regional.dateOrder == DateOrder::MDY   ? "mm" + d + "dd" + d + "yyyy"
                             : regional.dateOrder == DateOrder::DMY ? "dd" + d + "mm" + d + "yyyy"
                                                                    : "yyyy" + d + "mm" + d + "dd";
    const std::string& t = regional.timeSeparator;
    return {{"Key", fields.key},
            {"Second key", fields.secondKey},
            {"Second decimals", fields.decimals},
            {"Limiting", fields.limit ? "on, threshold " + fields.threshold : "off"},
            {"Max step", fields.maxStep},
            {"Alarm symbol", fields.symbolOfAlarm},
            {"Regional format",
             date + " hh" + t + "mm" + t + "ss" + regional.decimalSeparator + "sss"}};
}

// The files one log's report went to.
struct ReportFiles {
    std::string html;
    std::string pdf;
};

// A figure as the report prints it: kReportDigits significant digits, "-"
// before a negative one, "." as the decimal point.
std::string ReportNumber(double value);

// The report's name in its folder: the log's file name with ".report" added.
inline std::string ReportBaseName(const std::string& logPath) {
    return std::string(FileNamePart(logPath)) + ".report";
}

// Writes DIR/<log>.report.html and .pdf, each all or nothing, making DIR when
// missing; throws IoError (the log) or FileError (DIR or a report) naming the
// path and the system's reason.
ReportFiles WriteLogReport(const ReportInput& input, const std::string& dir);

// Writes the log's report to path alone: PDF when its name ends in ".pdf" (in
// any letter case), HTML otherwise; all or nothing. Throws as WriteLogReport.
void WriteLogReportFile(const ReportInput& input, const std::string& path);

// Writes DIR/index.html: a row per log (verdict, key figures) linking its
// report; throws FileError.
void WriteReportIndex(const std::vector<ReportInput>& inputs, const std::string& dir);

// Makes the reports where Qt can draw their charts: the command line, whose
// own code is Qt-free, gets one from its main() in a build with the window.
class ReportWriter {
  public:
    virtual ~ReportWriter() = default;
    // As WriteLogReport and WriteReportIndex above.
    virtual ReportFiles WriteLog(const ReportInput& input, const std::string& dir) = 0;
    virtual void WriteIndex(const std::vector<ReportInput>& inputs, const std::string& dir) = 0;
};

}  // namespace tarnimex
