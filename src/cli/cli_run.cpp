// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_run.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>

#include "cli/cli_options.h"
#include "cli/cli_plan.h"
#include "cli/cli_summary.h"
#include "conversion/conversion_run.h"
#include "conversion/reports/sentence.h"
#include "conversion/status_texts.h"
#include "platform/file_access.h"
#include "report/test_report.h"
#include "settings/converter_settings.h"
#include "settings/limits_file.h"

namespace tarnimex {

namespace {

// The answer to --help or --version is all the run does, so losing it is a failure.
int WriteAnswer(const std::string& text, std::ostream& out, std::ostream& err) {
    errno = 0;
    out << text << std::flush;
    if (out) return 0;
    err << "tarnimex-convert: write error: "
        << (errno != 0 ? std::strerror(errno) : "standard output failed") << '\n';
    return 1;
}

// A zip archive reads as a plain log without reports; the user is told what
// it is and how its logs convert. Its first bytes decide, as for compressed logs.
std::string ZipHint(const LogStatistics& statistics) {
    if (statistics.rows > 0 || statistics.log == "-") return {};
    std::FILE* file = OpenForReading(statistics.log);
    if (file == nullptr) return {};
    char first[4] = {};
    const std::size_t got = std::fread(first, 1, sizeof first, file);
    std::fclose(file);
    const std::string_view magic(first, got);
    if (magic != "PK\x03\x04" && magic != "PK\x05\x06") return {};  // an entry; an empty archive
    return "tarnimex-convert: warning: " + statistics.log +
           " is a zip archive, which is not read; its logs convert with: unzip -p ARCHIVE | "
           "tarnimex-convert --output CSV -\n";
}

// A log's test report as this run judged it.
ReportInput ReportOf(const LogStatistics& statistics, const std::optional<Verdict>& verdict,
                     const BatchSetup& setup, const Plan& plan, const CliOptions& options) {
    ReportInput input;
    input.logPath = statistics.log;
    for (const BatchLog& log : plan.logs) {
        // A log without reports has no CSV; one on standard output is not to be read back.
        if (log.name == statistics.log && statistics.rows > 0 && log.csv != "-")
            input.csvPath = log.csv;
    }
    input.statistics = statistics;
    input.metrics = *statistics.metrics;
    if (verdict) {
        input.verdict = verdict;
        input.limits = setup.limits;
        input.limitsFile = *options.limitsFile;
    }
    input.alarmStep = setup.fields.alarmStep;
    input.settings = ReportSettings(setup.fields, setup.regional);
    input.version = TARNIMEX_VERSION_TEXT;
    input.madeAt = std::chrono::system_clock::now();
    return input;
}

// The reports of the logs read, in the list's order, and their index; the
// number of logs whose report could not be written (a log whose report would
// take the name of an earlier one's is one).
int WriteReports(ReportWriter& writer, std::vector<ReportInput>& inputs, const Plan& plan,
                 const std::string& dir, std::ostream& err) {
    auto place = [&plan](const ReportInput& input) {
        for (std::size_t i = 0; i < plan.logs.size(); ++i)
            if (plan.logs[i].name == input.logPath) return i;
        return plan.logs.size();
    };
    std::stable_sort(inputs.begin(), inputs.end(), [&](const ReportInput& a, const ReportInput& b) {
        return place(a) < place(b);
    });
    int failed = 0;
    std::map<std::string, std::string> taken;  // report name -> its log
    std::vector<ReportInput> written;
    for (const ReportInput& input : inputs) {
        const auto [at, isNew] = taken.emplace(ReportBaseName(input.logPath), input.logPath);
        if (!isNew) {
            err << "tarnimex-convert: the report of " << input.logPath << " would replace that of "
                << at->second << "; it is not written\n";
            ++failed;
            continue;
        }
        try {
            writer.WriteLog(input, dir);
            written.push_back(input);
        } catch (const std::exception& e) {
            err << "tarnimex-convert: " << e.what() << '\n';
            ++failed;
        }
    }
    try {
        writer.WriteIndex(written, dir);
    } catch (const std::exception& e) {
        err << "tarnimex-convert: " << e.what() << '\n';
        ++failed;
    }
    return failed;
}

}  // namespace

RegionalFormat RegionalOfOptions(const CliOptions& options) {
    RegionalFormat regional = RegionalFormatFromUserLocale();
    if (options.dateOrder) {
        regional.dateOrder = *options.dateOrder == "mdy"   ? DateOrder::MDY
                             : *options.dateOrder == "dmy" ? DateOrder::DMY
                                                           : DateOrder::YMD;
    }
    if (options.dateSeparator) regional.dateSeparator = *options.dateSeparator;
    if (options.timeSeparator) regional.timeSeparator = *options.timeSeparator;
    if (options.decimalSeparator) regional.decimalSeparator = *options.decimalSeparator;
    return regional;
}

namespace {

// A number option that is not a number acts as the window's box would; the
// user is told what it became.
void WarnOfTextsThatAreNoNumbers(const CliOptions& options, const RegionalFormat& regional,
                                 const std::string& program, std::ostream& err) {
    struct NumberOption {
        const char* name;
        std::optional<std::string> text;
        std::string_view becomes;
    };
    const NumberOption numbers[] = {
        {"threshold", options.settings.threshold, kThresholdReplacement},
        {"max-step", options.settings.maxStep, kMaxStepReplacement},
        {"alarm-step", options.alarmStep, "0 (no alarm marks)"},
    };
    for (const NumberOption& number : numbers) {
        if (!options.Given(number.name) || !number.text ||
            ReadUserNumber(*number.text, regional.decimalSeparator)) {
            continue;
        }
        err << program << ": warning: --" << number.name << " \"" << *number.text
            << "\" is not a number; " << number.becomes << " is used\n";
    }
}

}  // namespace

bool ReadLimitsOfOptions(const CliOptions& options, const std::string& program,
                         std::optional<TimingLimits>& limits, std::ostream& err) {
    if (!options.limitsFile) return true;
    try {
        limits = ReadLimitsFile(*options.limitsFile);
    } catch (const SettingsError& e) {
        err << program << ": " << e.what() << '\n';
        return false;
    }
    return true;
}

bool ResolveSettings(const CliOptions& options, const RegionalFormat& regional,
                     const std::string& program, ConversionSettings& fields, std::ostream& err) {
    fields = options.settings;
    if (options.settingsFile) {
        // The window's settings, as it would hold them after loading the file.
        try {
            const ConverterSettings settings =
                ReadConverterSettings(*options.settingsFile, regional);
            static const char* const kDecimals[] = {"Auto", "0", "1", "2", "3"};
            if (settings.key && !options.Given("key")) fields.key = *settings.key;
            if (settings.secondKey && !options.Given("second-key"))
                fields.secondKey = *settings.secondKey;
            if (settings.secDecIndex && !options.Given("decimals"))
                fields.decimals = kDecimals[*settings.secDecIndex];
            if (settings.limit && !options.Given("limit")) fields.limit = *settings.limit;
            if (settings.threshold && !options.Given("threshold"))
                fields.threshold = *settings.threshold;
            if (settings.maxStep && !options.Given("max-step")) fields.maxStep = *settings.maxStep;
            fields.alarmStep = settings.alarmStep;
            fields.symbolOfAlarm = settings.symbolOfAlarm;
            if (!options.alarmSymbol && HoldsControlCharacter(settings.symbolOfAlarm)) {
                err << program << ": SymbolOfAlarm of \"" << *options.settingsFile
                    << "\" holds a control character" << kControlExamples << '\n';
                return false;
            }
        } catch (const SettingsError& e) {
            err << program << ": " << e.what() << '\n';
            return false;
        }
    }
    if (options.alarmStep) {
        fields.alarmStep =
            ReadUserNumber(*options.alarmStep, regional.decimalSeparator).value_or(0.0);
    }
    WarnOfTextsThatAreNoNumbers(options, regional, program, err);
    if (options.alarmSymbol) fields.symbolOfAlarm = std::string(Trim(*options.alarmSymbol));

    return true;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool terminal, ReportWriter* reports) {
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(args, options, error)) {
        err << "tarnimex-convert: " << error << "\nTry 'tarnimex-convert --help'.\n";
        return 2;
    }
    if (options.help) return WriteAnswer(CliUsage(), out, err);
    if (options.version)
        return WriteAnswer(std::string("tarnimex-convert ") + TARNIMEX_VERSION_TEXT + "\n", out,
                           err);
    if (options.logs.empty()) {
        err << "tarnimex-convert: no log given\nTry 'tarnimex-convert --help'.\n";
        return 2;
    }
    if (options.reportDir && reports == nullptr) {
        err << "tarnimex-convert: this build makes no test reports (--report): it was built "
               "without the window's libraries\n";
        return 2;
    }
    const RegionalFormat regional = RegionalOfOptions(options);
    std::optional<TimingLimits> limits;
    if (!ReadLimitsOfOptions(options, "tarnimex-convert", limits, err)) return 2;
    ConversionSettings fields;
    if (!ResolveSettings(options, regional, "tarnimex-convert", fields, err)) return 2;

    std::string planError;
    const Plan plan = PlanLogs(options, err, planError);
    if (!planError.empty()) {
        err << "tarnimex-convert: " << planError << "\nTry 'tarnimex-convert --help'.\n";
        return 2;
    }
    // With the CSV on standard output the status lines step aside to standard error.
    const bool csvToStdout = options.output && *options.output == "-";
    std::ostream& status = csvToStdout ? err : out;
    BatchSetup setup{std::move(fields),
                     regional,
                     TextEncodingFromUserLocale(),
                     terminal && !csvToStdout,
                     options.quiet,
                     options.jobs > 0 ? options.jobs : ChunkPlan::DefaultThreads(),
                     limits || options.summary == SummaryFormat::Json || options.reportDir,
                     limits,
                     {}};
    // The logs read, for their test reports; several jobs add to it at once.
    std::mutex reportedMutex;
    std::vector<ReportInput> reported;
    // After each log: its statistics when asked for, its verdict, and a word
    // on report fields that could not be read, beside the log's status lines.
    setup.onLogFinished = [&](const LogStatistics& statistics, std::ostream& logOut,
                              std::ostream& logErr) {
        std::optional<Verdict> verdict;
        if (limits && statistics.metrics)
            verdict = JudgeLog(*limits, statistics, *statistics.metrics);
        if (options.reportDir && statistics.metrics) {
            const std::lock_guard<std::mutex> lock(reportedMutex);
            reported.push_back(ReportOf(statistics, verdict, setup, plan, options));
        }
        const double warmUp = limits ? limits->warmUp : 0;
        const Verdict* judged = verdict ? &*verdict : nullptr;
        if (options.summary == SummaryFormat::Text)
            logOut << SummaryText(statistics, regional, warmUp, judged);
        if (options.summary == SummaryFormat::Json)
            logOut << SummaryJson(statistics, warmUp, judged);
        if (options.summary == SummaryFormat::None && verdict && !options.quiet)
            logOut << VerdictText(*verdict, regional) << '\n';
        logOut << std::flush;
        logErr << UnreadableWarning(statistics) << ZipHint(statistics) << std::flush;
    };
    const auto start = std::chrono::steady_clock::now();
    BatchTotals totals = RunBatch(setup, plan.logs, status, err);
    totals.failed += plan.problems;
    if (options.reportDir && !AbortRequested)
        totals.failed += WriteReports(*reports, reported, plan, *options.reportDir, err);
    if (AbortRequested && !options.quiet) status << kAbortedStatus << '\n';
    if (plan.logs.size() + static_cast<std::size_t>(plan.problems) > 1 && !options.quiet) {
        status << ClosingLine(totals, plan, std::chrono::steady_clock::now() - start) << '\n';
    }
    status << std::flush;
    if (AbortRequested) return 130;
    if (totals.runEnded || totals.failed > 0) return 1;
    if (totals.overLimits > 0) return 4;
    return totals.noData > 0 || totals.unjudged > 0 ? 3 : 0;
}

}  // namespace tarnimex
