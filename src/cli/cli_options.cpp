// Options take "--name VALUE" or "--name=VALUE"; an empty value is a value, a
// repeated option's last value wins and "--" ends the options.
#include "cli_options.h"

#include <algorithm>
#include <string_view>

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
    {"version", Kind::Flag},     {"summary", Kind::Optional},
};

bool Apply(CliOptions& o, std::string_view name, const std::string& value, std::string& error) {
    if (name == "key")
        o.key = value;
    else if (name == "second-key")
        o.secondKey = value;
    else if (name == "decimals") {
        if (value == "auto" || value == "Auto")
            o.decimals = "Auto";
        else if (value.size() == 1 && value[0] >= '0' && value[0] <= '3')
            o.decimals = value;
        else {
            error = "--decimals takes auto, 0, 1, 2 or 3, not \"" + value + "\"";
            return false;
        }
    } else if (name == "limit")
        o.limit = true;
    else if (name == "threshold")
        o.threshold = value;
    else if (name == "max-step")
        o.maxStep = value;
    else if (name == "alarm-step")
        o.alarmStep = value;
    else if (name == "alarm-symbol")
        o.alarmSymbol = value;
    else if (name == "date-order") {
        if (value != "ymd" && value != "mdy" && value != "dmy") {
            error = "--date-order takes ymd, mdy or dmy, not \"" + value + "\"";
            return false;
        }
        o.dateOrder = value;
    } else if (name == "date-sep" || name == "time-sep" || name == "decimal-sep") {
        if (value.empty()) {
            error = "--" + std::string(name) + " takes one character";
            return false;
        }
        (name == "date-sep"   ? o.dateSeparator
         : name == "time-sep" ? o.timeSeparator
                              : o.decimalSeparator) = value;
    } else if (name == "settings")
        o.settingsFile = value;
    else if (name == "quiet")
        o.quiet = true;
    else if (name == "help")
        o.help = true;
    else if (name == "version")
        o.version = true;
    else if (name == "summary") {
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
           "\n"
           "  --key TEXT           key sentence (default \"$GPTXT\")\n"
           "  --second-key TEXT    second key, compared with field 5 (default \"RMC delay\";\n"
           "                       empty accepts every key sentence)\n"
           "  --decimals D         second decimals: auto, 0, 1, 2 or 3 (default auto)\n"
           "  --limit              Limiting on: only the reports around changes of the delay\n"
           "  --threshold TEXT     threshold time in seconds (default 0.2)\n"
           "  --max-step TEXT      max time step in seconds (default 10.0)\n"
           "  --alarm-step TEXT    alarm step in seconds; 0 or less marks no alarms (default 50)\n"
           "  --alarm-symbol TEXT  mark of alarm rows (default \"!!\")\n"
           "  --settings FILE      take the settings from the window's settings file;\n"
           "                       options given here win\n"
           "  --date-order ORDER   ymd, mdy or dmy         (default: from the locale)\n"
           "  --date-sep C         date separator          (default: from the locale)\n"
           "  --time-sep C         time separator          (default: from the locale)\n"
           "  --decimal-sep C      decimal separator of the threshold, max step, alarm step\n"
           "                       and status texts        (default: from the locale)\n"
           "  --quiet              no status output\n"
           "  --summary[=FORMAT]   after each log, its statistics: text (default) or json,\n"
           "                       one object per line\n"
           "  --help, --version\n"
           "\n"
           "Exit status: 0 done, 1 a log could not be opened or a CSV not written,\n"
           "2 usage error, 130 aborted (Ctrl-C).\n";
}

}  // namespace tarnimex
