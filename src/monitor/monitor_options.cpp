// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's own options are taken out first; the rest, and the sources,
// are read as tarnimex-convert reads its options and logs.
#include "monitor/monitor_options.h"

#include <charconv>
#include <map>
#include <string_view>

namespace tarnimex {

namespace {

constexpr std::string_view kOwnValues[] = {"record", "rotate",    "duration",
                                           "parity", "stop-bits", "flow-control"};
// tarnimex-convert's options that have no sense for a watch.
constexpr std::string_view kRefused[] = {"recursive", "include", "output-dir", "output",
                                         "jobs",      "summary", "report"};

std::optional<double> Seconds(std::string_view text) {
    double scale = 1;
    if (!text.empty()) {
        const char unit = text.back();
        scale = unit == 's' ? 1 : unit == 'm' ? 60 : unit == 'h' ? 3600 : unit == 'd' ? 86400 : 0;
        if (scale != 0)
            text.remove_suffix(1);
        else
            scale = 1;
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !(value > 0)) return std::nullopt;
    return value * scale;
}

bool Apply(MonitorOptions& o, std::string_view name, const std::string& value, std::string& error) {
    const auto bad = [&](std::string_view takes) {
        error =
            "--" + std::string(name) + " takes " + std::string(takes) + ", not \"" + value + "\"";
        return false;
    };
    if (name == "record") {
        if (value.empty()) return bad("a folder");
        o.recordDir = value;
    } else if (name == "rotate") {
        int minutes = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), minutes);
        if (value == "hour")
            o.rotateMinutes = 60;
        else if (value == "day")
            o.rotateMinutes = 24 * 60;
        else if (ec == std::errc() && end == value.data() + value.size() && minutes > 0 &&
                 minutes <= 24 * 60)
            o.rotateMinutes = minutes;
        else
            return bad("hour, day or minutes from 1 to 1440");
    } else if (name == "duration") {
        o.duration = Seconds(value);
        if (!o.duration) return bad("a time such as 90, 90s, 15m, 2h or 3d");
    } else if (name == "parity") {
        static const std::map<std::string, Parity, std::less<>> kParities = {
            {"none", Parity::None}, {"even", Parity::Even},   {"odd", Parity::Odd},
            {"mark", Parity::Mark}, {"space", Parity::Space},
        };
        const auto it = kParities.find(value);
        if (it == kParities.end()) return bad("none, even, odd, mark or space");
        o.line.parity = it->second;
    } else if (name == "stop-bits") {
        if (value != "1" && value != "2") return bad("1 or 2");
        o.line.stopBits = value[0] - '0';
    } else if (name == "flow-control") {
        if (value == "none")
            o.line.flow = FlowControl::None;
        else if (value == "hardware")
            o.line.flow = FlowControl::Hardware;
        else if (value == "software")
            o.line.flow = FlowControl::Software;
        else
            return bad("none, hardware or software");
    }
    return true;
}

}  // namespace

bool ParseMonitorOptions(const std::vector<std::string>& args, MonitorOptions& options,
                         std::string& error) {
    std::vector<std::string> rest;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            rest.push_back(arg);
            optionsEnded = optionsEnded || arg == "--";
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
        if (name == "json") {
            options.json = true;
            continue;
        }
        bool own = false;
        for (std::string_view known : kOwnValues) own = own || name == known;
        if (!own) {
            for (std::string_view refused : kRefused) {
                if (name == refused) {
                    error = "--" + name + " is an option of tarnimex-convert, not of the monitor";
                    return false;
                }
            }
            rest.push_back(arg);
            continue;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = "--" + name + " needs a value";
            return false;
        }
        if (!Apply(options, name, value, error)) return false;
    }
    if (!ParseCliOptions(rest, options.conversion, error)) return false;
    for (const std::string& source : options.conversion.logs) {
        std::optional<SourceAddress> address = ParseSource(source, options.line, error);
        if (!address) return false;
        // Two sources of one name would write the same logs.
        int same = 1;
        for (const SourceAddress& earlier : options.sources)
            same += earlier.label == address->label;
        if (same > 1) address->label += "_" + std::to_string(same);
        options.sources.push_back(std::move(*address));
    }
    return true;
}

std::string MonitorUsage() {
    return "Usage: tarnimex-monitor [OPTIONS] [--] SOURCE...\n"
           "Watches GNSS receivers live: each report's time error as it comes, alarms\n"
           "as they start and end, and with --record the exact bytes received, in logs\n"
           "cut at round UTC times, each converted to its CSV when it closes.\n"
           "\n"
           "A SOURCE is serial:PORT[@BAUD] (/dev/ttyUSB0, COM3; 9600 baud, 8N1 by\n"
           "default), tcp:HOST:PORT (a serial-to-network bridge, a raw feed),\n"
           "file:PATH (what is appended, through rotation and truncation, like\n"
           "tail -F) or \"-\" for standard input. A port or connection that is lost or\n"
           "cannot be opened is tried again every second for as long as the monitor\n"
           "runs; the outage is shown, and counts as a gap in the statistics.\n"
           "\n"
           "  --record DIR         record each source in DIR as SOURCE-YYYYMMDDTHHMMSSZ.nmea\n"
           "                       (on the disk at least once a second), and each log's\n"
           "                       CSV when it closes: at a cut, a lost connection, the end\n"
           "  --rotate WHEN        cut the logs every hour (default), day, or number of\n"
           "                       minutes, at round UTC times\n"
           "  --duration TIME      stop after TIME: 90, 90s, 15m, 2h or 3d\n"
           "  --json               one JSON object a line per event instead: report,\n"
           "                       alarm-start, alarm-end, connected, lost, rotated, csv,\n"
           "                       recording-error, summary\n"
           "  --quiet              show only the alarms (and errors)\n"
           "  --limits FILE        judge each source at the end against the limits of\n"
           "                       FILE (the timing series is kept: 8 bytes a report)\n"
           "  --parity P           of serial ports: none (default), even, odd, mark, space\n"
           "  --stop-bits N        of serial ports: 1 (default) or 2\n"
           "  --flow-control F     of serial ports: none (default), hardware, software\n"
           "  --settings FILE      take the settings from the window's settings file;\n"
           "                       options given here win\n"
           "  --key TEXT           key sentence (default \"$GPTXT\")\n"
           "  --second-key TEXT    second key, compared with field 5 (default \"RMC delay\")\n"
           "  --decimals D         the CSVs' second decimals: auto, 0, 1, 2 or 3\n"
           "  --limit              Limiting on in the CSVs\n"
           "  --threshold TEXT     the CSVs' threshold time in seconds (default 0.2)\n"
           "  --max-step TEXT      the CSVs' max time step in seconds (default 10.0)\n"
           "  --alarm-step TEXT    alarm step in seconds; 0 or less: no alarms (default 50)\n"
           "  --alarm-symbol TEXT  mark of alarm rows in the CSVs (default \"!!\")\n"
           "  --date-order ORDER   the CSVs' date order: ymd, mdy or dmy\n"
           "  --date-sep TEXT      the CSVs' date separator\n"
           "  --time-sep TEXT      the CSVs' time separator\n"
           "  --decimal-sep TEXT   the decimal separator of the CSVs and the texts\n"
           "  --help               show this help and exit\n"
           "  --version            show the version and exit\n"
           "\n"
           "On a terminal a status line per source is rewritten once a second: connected\n"
           "or waiting, bytes, reports, the last delay, mean and largest, outages, the\n"
           "alarm state; elsewhere it is written once a minute. An alarm's lines give the\n"
           "report's UTC time and the peak. At the end, each source's statistics (with\n"
           "--limits its verdict). Ctrl-C, SIGTERM and SIGHUP close the current logs and\n"
           "write their CSVs; a second Ctrl-C stops a CSV being written.\n"
           "\n"
           "Exit status: 0 stopped (--duration, SIGTERM, SIGHUP, or every source ended),\n"
           "130 stopped by Ctrl-C, 4 some source over its limits, 1 a log or CSV could\n"
           "not be written, 2 usage error.\n";
}

}  // namespace tarnimex
