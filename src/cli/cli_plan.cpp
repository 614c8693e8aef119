// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_plan.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "cli/log_list.h"
#include "conversion/output/csv_claims.h"
#include "conversion/output/file_names.h"
#include "conversion/status_texts.h"

namespace tarnimex {

namespace {

namespace fs = std::filesystem;

constexpr double kBytesPerMB = 1e6;

std::string UsageError(const CliOptions& options, const LogList& list) {
    const auto dashes = std::count_if(list.logs.begin(), list.logs.end(),
                                      [](const ListedLog& log) { return log.name == "-"; });
    if (options.output && options.outputDir) return "--output and --output-dir exclude each other";
    if (options.output && list.logs.size() != 1) {
        return "--output names the CSV of one log, not of " + std::to_string(list.logs.size());
    }
    if (dashes > 1) return "standard input (\"-\") can be read only once";
    if (dashes == 1 && !options.output) {
        return "a log from standard input needs --output FILE, or --output - for standard output";
    }
    return {};
}

}  // namespace

Plan PlanLogs(const CliOptions& options, std::ostream& err, std::string& error) {
    const LogList list = ListLogs(options.logs, options.recursive, options.includes);
    error = UsageError(options, list);
    Plan plan;
    if (!error.empty()) return plan;
    for (const auto& [name, reason] : list.problems) {
        err << CanNotOpenText(name) << '\n' << reason << '\n';
    }
    for (const std::string& note : list.notes) err << note << '\n';
    plan.problems = static_cast<int>(list.problems.size());
    CsvClaims claims;
    for (const ListedLog& listed : list.logs) {
        BatchLog log{listed.name, {}, {}, {}};
        if (options.output) {
            log.csv = *options.output;
        } else if (options.outputDir) {
            const fs::path folder = PathFromUtf8(*options.outputDir) / PathFromUtf8(listed.below);
            log.csv = Utf8FromPath(folder / PathFromUtf8(CsvFileName(FileNamePart(listed.name))));
            log.folder = Utf8FromPath(folder);
        } else {
            log.csv = CsvFileName(listed.name);
        }
        if (!listed.name.empty()) log.refusal = claims.Claim(log.csv, listed.name);
        std::error_code ec;
        const auto size = fs::file_size(PathFromUtf8(listed.name), ec);
        if (!ec) plan.bytes += static_cast<std::int64_t>(size);
        plan.logs.push_back(std::move(log));
    }
    return plan;
}

std::string ClosingLine(const BatchTotals& totals, const Plan& plan,
                        std::chrono::steady_clock::duration time) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "%zu logs: %d converted, %d without data, %d failed; %.1f MB in %.1f s",
                  plan.logs.size() + static_cast<std::size_t>(plan.problems), totals.converted,
                  totals.noData, totals.failed, static_cast<double>(plan.bytes) / kBytesPerMB,
                  std::chrono::duration<double>(time).count());
    return text;
}

}  // namespace tarnimex
