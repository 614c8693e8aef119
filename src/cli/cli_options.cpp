// SPDX-License-Identifier: GPL-3.0-or-later
// Options take "--name VALUE" or "--name=VALUE"; an empty value is a value, a
// repeated option's last value wins (--include adds each) and "--" ends the
// options.
#include "cli/cli_options.h"

#include <algorithm>
#include <string_view>

#include "conversion/reports/sentence.h"

namespace tarnimex {

namespace {

// An optional value is only taken after "=", so that "--summary LOG" keeps its log.
enum class Kind { Flag, Value, Optional };

struct OptionRule {
    std::string_view name;
    Kind kind;
};

constexpr OptionRule kOptions[] = {
    {"key", Kind::Value},        {"second-key", Kind::Value},   {"decimals", Kind::Value},
    {"limit", Kind::Flag},       {"threshold", Kind::Value},    {"max-step", Kind::Value},
    {"alarm-step", Kind::Value}, {"alarm-symbol", Kind::Value}, {"date-order", Kind::Value},
    {"date-sep", Kind::Value},   {"time-sep", Kind::Value},     {"decimal-sep", Kind::Value},
    {"settings", Kind::Value},   {"quiet", Kind::Flag},         {"help", Kind::Flag},
    {"version", Kind::Flag},     {"recursive", Kind::Flag},     {"include", Kind::Value},
    {"output-dir", Kind::Value}, {"output", Kind::Value},       {"jobs", Kind::Value},
    {"summary", Kind::Optional}, {"limits", Kind::Value},       {"report", Kind::Value},
};

// One UTF-8 character: a lead byte and as many continuation bytes as it announces.
bool OneCharacter(std::string_view text) {
    if (text.empty()) return false;
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead < 0x80    ? 1
                               : lead >= 0xF0 ? 4
                               : lead >= 0xE0 ? 3
                               : lead >= 0xC2 ? 2
                                              : 0;
    if (length == 0 || text.size() != length) return false;
    return std::all_of(text.begin() + 1, text.end(),
                       [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; });
}

bool Apply(CliOptions& o, std::string_view name, const std::string& value, std::string& error) {
    if (name == "key")
        o.settings.key = value;
    else if (name == "second-key")
        o.settings.secondKey = value;
    else if (name == "decimals") {
        if (value == "auto" || value == "Auto")
            o.settings.decimals = "Auto";
        else if (value.size() == 1 && value[0] >= '0' && value[0] <= '3')
            o.settings.decimals = value;
        else {
            error = "--decimals takes auto, 0, 1, 2 or 3, not \"" + value + "\"";
            return false;
        }
    } else if (name == "limit")
        o.settings.limit = true;
    else if (name == "threshold")
        o.settings.threshold = value;
    else if (name == "max-step")
        o.settings.maxStep = value;
    else if (name == "alarm-step")
        o.alarmStep = value;
    else if (name == "alarm-symbol") {
        if (HoldsControlCharacter(Trim(value))) {
            error = "--alarm-symbol takes no control character" + std::string(kControlExamples);
            return false;
        }
        o.alarmSymbol = value;
    } else if (name == "date-order") {
        if (value != "ymd" && value != "mdy" && value != "dmy") {
            error = "--date-order takes ymd, mdy or dmy, not \"" + value + "\"";
            return false;
        }
        o.dateOrder = value;
    } else if (name == "date-sep" || name == "time-sep" || name == "decimal-sep") {
        // The dates of the reports are read at fixed places and the CSV's columns
        // are split at ",": a separator is one character that neither breaks a
        // number nor, in a date-time, a column.
        const bool dateOrTime = name != "decimal-sep";
        if (!OneCharacter(value) || (value[0] >= '0' && value[0] <= '9') ||
            static_cast<unsigned char>(value[0]) < 0x20 || value == "\x7f" ||
            (dateOrTime && value == ",")) {
            error = "--" + std::string(name) + " takes one character, not a digit" +
                    (dateOrTime ? " or \",\"" : "") + ", not \"" + value + "\"";
            return false;
        }
        (name == "date-sep"   ? o.dateSeparator
         : name == "time-sep" ? o.timeSeparator
                              : o.decimalSeparator) = value;
    } else if (name == "settings")
        o.settingsFile = value;
    else if (name == "limits")
        o.limitsFile = value;
    else if (name == "report") {
        if (value.empty()) {
            error = "--report takes a folder";
            return false;
        }
        o.reportDir = value;
    } else if (name == "quiet")
        o.quiet = true;
    else if (name == "help")
        o.help = true;
    else if (name == "version")
        o.version = true;
    else if (name == "recursive")
        o.recursive = true;
    else if (name == "include")
        o.includes.push_back(value);
    else if (name == "output-dir")
        o.outputDir = value;
    else if (name == "output") {
        if (value.empty()) {
            error = "--output takes a file name, or \"-\" for standard output";
            return false;
        }
        o.output = value;
    } else if (name == "jobs") {
        const bool digits = !value.empty() && value.size() <= 4 &&
                            value.find_first_not_of("0123456789") == std::string::npos;
        o.jobs = digits ? std::stoi(value) : 0;
        if (o.jobs < 1) {
            error = "--jobs takes a whole number from 1 to 9999, not \"" + value + "\"";
            return false;
        }
    } else if (name == "summary") {
        if (value.empty() || value == "text")
            o.summary = SummaryFormat::Text;
        else if (value == "json")
            o.summary = SummaryFormat::Json;
        else {
            error = "--summary takes text or json, not \"" + value + "\"";
            return false;
        }
    }
    o.given.emplace_back(name);
    return true;
}

}  // namespace

bool HoldsControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7f'; });
}

bool CliOptions::Given(const std::string& name) const {
    return std::find(given.begin(), given.end(), name) != given.end();
}

bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options,
                     std::string& error) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (!optionsEnded && arg.size() >= 2 && arg[0] == '-') {
                error = "unknown option \"" + arg + "\"";
                return false;
            }
            // As an unset variable in a script gives; it would name no log silently.
            if (arg.empty()) {
                error = "an empty LOG argument names no log";
                return false;
            }
            options.logs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name =
            arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const auto rule = std::find_if(std::begin(kOptions), std::end(kOptions),
                                       [&](const OptionRule& s) { return s.name == name; });
        if (rule == std::end(kOptions)) {
            error = "unknown option \"--" + name + "\"";
            return false;
        }
        std::string value;
        if (rule->kind == Kind::Flag) {
            if (equals != std::string::npos) {
                error = "--" + name + " takes no value";
                return false;
            }
        } else if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (rule->kind == Kind::Optional) {
            // Without "=" the option takes its default.
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = "--" + name + " needs a value";
            return false;
        }
        if (!Apply(options, name, value, error)) return false;
    }
    return true;
}

std::string CliUsage() {
    return "Usage: tarnimex-convert [OPTIONS] [--] LOG...\n"
           "Writes beside each receiver log a CSV of its reported time errors.\n"
           "LOG arguments are joined with \";\"; one argument may itself be a \";\"-list.\n"
           "A LOG may be compressed (gzip, xz, zstd, bzip2), a folder of logs, or \"-\"\n"
           "for standard input.\n"
           "\n"
           "  --recursive          logs in the subfolders of a folder too\n"
           "  --include GLOB       the files of a folder to convert, by name; repeatable\n"
           "                       (default: every file but *.csv and *.ini)\n"
           "  --output-dir DIR     every CSV into DIR, below it the subfolders of\n"
           "                       --recursive\n"
           "  --output FILE        the CSV of the only log; \"-\" for standard output, the\n"
           "                       status lines then going to standard error\n"
           "  --jobs N             use N cores (default: all): N logs at once, each log's\n"
           "                       status lines then together when it is done; a single\n"
           "                       large log is read in parts on N threads\n"
           "  --key TEXT           key sentence (default \"$GPTXT\")\n"
           "  --second-key TEXT    second key, compared with field 5 (default \"RMC delay\";\n"
           "                       empty accepts every key sentence)\n"
           "  --decimals D         second decimals: auto, 0, 1, 2 or 3 (default auto)\n"
           "  --limit              Limiting on: only the reports around changes of the delay\n"
           "  --threshold TEXT     threshold time in seconds (default 0.2)\n"
           "  --max-step TEXT      max time step in seconds (default 10.0)\n"
           "  --alarm-step TEXT    alarm step in seconds; 0 or less marks no alarms\n"
           "                       (default 50)\n"
           "  --alarm-symbol TEXT  mark of alarm rows (default \"!!\")\n"
           "  --settings FILE      take the settings from the window's settings file;\n"
           "                       options given here win\n"
           "  --limits FILE        judge each log against the limits of FILE: its verdict\n"
           "                       after it, its timing metrics in the summary\n"
           "  --report DIR         each log's test report into DIR (HTML and PDF), and\n"
           "                       index.html listing them\n"
           "  --date-order ORDER   ymd, mdy or dmy (default: from the locale)\n"
           "  --date-sep C         date separator (default: from the locale)\n"
           "  --time-sep C         time separator (default: from the locale)\n"
           "  --decimal-sep C      decimal separator of the threshold, max step, alarm step\n"
           "                       and status texts (default: from the locale)\n"
           "  --quiet              no status output\n"
           "  --summary[=FORMAT]   after each log, its statistics: text (default) or json,\n"
           "                       one object per line; json adds its timing metrics\n"
           "  --help, --version\n"
           "\n"
           "Each separator is one character, not a digit; the date and time separators\n"
           "are not \",\".\n"
           "\n"
           "Exit status: 0 every log converted (and within its limits), 4 no log failed\n"
           "but some exceeded their limits, 3 no log failed but some had no report (or\n"
           "none to judge), 1 a log could not be opened or a CSV not written, 2 usage\n"
           "error or a faulty limits file, 130 aborted (Ctrl-C).\n";
}

}  // namespace tarnimex
