// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/monitor_output.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <ostream>

#include "cli/cli_host.h"
#include "cli/cli_summary.h"
#include "conversion/output/file_names.h"
#include "platform/console.h"

namespace tarnimex {

namespace {

constexpr int kDefaultColumns = 80;

std::string Quoted(std::string_view text) {
    std::string quoted;
    AppendJsonString(quoted, text);
    return quoted;
}

std::string JsonTime(double value) {
    const std::string text = IsoDateTime(value);
    return text.empty() ? "null" : Quoted(text);
}

std::string JsonDelay(std::optional<double> delay) {
    if (!delay || !std::isfinite(*delay)) return "null";
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, *delay).ptr);
}

std::string Head(const std::string& event, const LiveSession& session) {
    return "{\"event\":" + Quoted(event) + ",\"source\":" + Quoted(session.Label()) +
           ",\"at\":" + Quoted(NowText());
}

std::string Bytes(std::int64_t bytes) {
    char text[32];
    if (bytes < 10000) return std::to_string(bytes) + " B";
    const double kb = static_cast<double>(bytes) / 1000.0;
    if (kb < 10000) {
        std::snprintf(text, sizeof text, "%.0f kB", kb);
    } else {
        std::snprintf(text, sizeof text, "%.1f MB", kb / 1000.0);
    }
    return text;
}

}  // namespace

std::string NowText() {
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const std::string stamp = UtcStamp(now);  // 20261209T140001Z
    return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 5) + ":" +
           stamp.substr(11, 2) + ":" + stamp.substr(13);
}

std::string StatusLine(const LiveSession& session, const RegionalFormat& regional, int columns) {
    const LiveFigures& f = session.Figures();
    const auto seconds = [&](double value) { return TextNumber(value, regional) + " s"; };
    std::string line = session.Label() + (f.connected ? "  connected  " : "  waiting  ") +
                       Bytes(f.bytes) + "  " + std::to_string(f.reports) + " reports";
    if (f.reports > 0) line += "  last " + (f.last ? seconds(*f.last) : std::string("unreadable"));
    if (f.delays > 0) line += "  mean " + seconds(f.mean) + "  largest " + seconds(f.largest);
    if (f.outages > 0) line += "  outages " + std::to_string(f.outages);
    line += f.alarm ? "  ALARM" : "  no alarm";
    return columns > 0 ? ShortenMiddle(line, columns - 1) : line;
}

void MonitorOutput::ClearBlock() {
    if (block_.empty()) return;
    // The cursor stands at the block's first line.
    out_ << "\r\x1b[J";
    block_.clear();
}

void MonitorOutput::Line(const std::string& text, bool alarm) {
    if (quiet_ && !alarm) return;
    ClearBlock();
    out_ << text << '\n' << std::flush;
}

void MonitorOutput::Json(const std::string& object) {
    out_ << object << "}\n" << std::flush;
}

void MonitorOutput::Connected(LiveSession& session) {
    if (json_) return Json(Head("connected", session));
    Line(NowText() + " " + session.Label() + " connected");
}

void MonitorOutput::Lost(LiveSession& session, const std::string& reason) {
    if (json_) return Json(Head("lost", session) + ",\"reason\":" + Quoted(reason));
    Line(NowText() + " " + session.Label() + " waiting: " + reason);
}

void MonitorOutput::Report(LiveSession& session, double time, std::optional<double> delay) {
    if (json_)
        Json(Head("report", session) + ",\"time\":" + JsonTime(time) +
             ",\"delay\":" + JsonDelay(delay));
}

void MonitorOutput::AlarmStarted(LiveSession& session, double time, double delay) {
    if (json_)
        return Json(Head("alarm-start", session) + ",\"time\":" + JsonTime(time) +
                    ",\"delay\":" + JsonDelay(delay));
    Line(IsoDateTime(time) + " " + session.Label() + " ALARM start, delay " +
             TextNumber(delay, regional_) + " s",
         true);
}

void MonitorOutput::AlarmEnded(LiveSession& session, const AlarmStretch& stretch) {
    if (json_)
        return Json(Head("alarm-end", session) + ",\"start\":" + JsonTime(stretch.start) +
                    ",\"end\":" + JsonTime(stretch.end) + ",\"peak\":" + JsonDelay(stretch.peak));
    Line(IsoDateTime(stretch.end) + " " + session.Label() + " ALARM end, peak " +
             TextNumber(stretch.peak, regional_) + " s, from " + IsoDateTime(stretch.start),
         true);
}

void MonitorOutput::LogOpened(LiveSession& session, const std::string& path) {
    if (json_) return Json(Head("rotated", session) + ",\"log\":" + Quoted(path));
    Line(NowText() + " " + session.Label() + " recording " + path);
}

void MonitorOutput::LogClosed(LiveSession& session, const std::string& path,
                              const LogResult& result) {
    const bool written = result.outcome == LogOutcome::Converted;
    const std::string csv = CsvFileName(path);
    if (json_)
        return Json(Head("csv", session) + ",\"log\":" + Quoted(path) +
                    ",\"csv\":" + (written ? Quoted(csv) : "null") +
                    ",\"reports\":" + std::to_string(result.statistics.reports) +
                    ",\"rows\":" + std::to_string(result.statistics.rows));
    Line(NowText() + " " + session.Label() + " closed " + path +
         (written ? ", CSV " + csv + " (" + std::to_string(result.statistics.rows) + " rows)"
                  : ", no CSV (no reports)"));
}

void MonitorOutput::RecordingFailed(LiveSession& session, const std::string& message) {
    ClearBlock();
    if (json_) Json(Head("recording-error", session) + ",\"message\":" + Quoted(message));
    err_ << "tarnimex-monitor: " << session.Label() << ": " << message << '\n' << std::flush;
}

void MonitorOutput::ShowStatus(const std::vector<LiveSession*>& sessions) {
    if (json_ || quiet_) return;
    if (!terminal_) {
        for (const LiveSession* session : sessions)
            out_ << NowText() << " " << StatusLine(*session, regional_, 0) << '\n';
        out_ << std::flush;
        return;
    }
    const int columns = ConsoleColumns() > 0 ? ConsoleColumns() : kDefaultColumns;
    ClearBlock();
    for (const LiveSession* session : sessions) {
        block_.push_back(StatusLine(*session, regional_, columns));
        out_ << block_.back() << '\n';
    }
    // Back to the block's first line, for the next event or status.
    out_ << "\x1b[" << block_.size() << 'A' << std::flush;
}

void MonitorOutput::EndStatus() {
    ClearBlock();
    out_ << std::flush;
}

void MonitorOutput::Summary(const std::string& text, const std::string& json) {
    ClearBlock();
    if (json_)
        out_ << json;
    else if (!quiet_)
        out_ << text;
    out_ << std::flush;
}

}  // namespace tarnimex
