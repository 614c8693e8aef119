// SPDX-License-Identifier: GPL-3.0-or-later
// What tarnimex-monitor shows: the sessions' events as text lines (alarms,
// connections, logs) or one JSON object a line, and the status block of one
// line per source, rewritten in place on a terminal.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "live/live_session.h"
#include "platform/regional_format.h"

namespace tarnimex {

// A source's status line, shortened to columns (0: as it is).
std::string StatusLine(const LiveSession& session, const RegionalFormat& regional, int columns);

class MonitorOutput : public LiveEvents {
  public:
    MonitorOutput(std::ostream& out, std::ostream& err, const RegionalFormat& regional,
                  bool terminal, bool json, bool quiet)
        : out_(out),
          err_(err),
          regional_(regional),
          terminal_(terminal),
          json_(json),
          quiet_(quiet) {}

    void Connected(LiveSession& session) override;
    void Lost(LiveSession& session, const std::string& reason) override;
    void Report(LiveSession& session, double time, std::optional<double> delay) override;
    void AlarmStarted(LiveSession& session, double time, double delay) override;
    void AlarmEnded(LiveSession& session, const AlarmStretch& stretch) override;
    void LogOpened(LiveSession& session, const std::string& path) override;
    void LogClosed(LiveSession& session, const std::string& path, const LogResult& result) override;
    void RecordingFailed(LiveSession& session, const std::string& message) override;

    // The status lines of the sessions: on a terminal in place, elsewhere as
    // lines; none with --json or --quiet.
    void ShowStatus(const std::vector<LiveSession*>& sessions);
    // Clears the status block before the closing texts.
    void EndStatus();
    // The closing text of one source: statistics, verdict.
    void Summary(const std::string& text, const std::string& json);

  private:
    void Line(const std::string& text, bool alarm = false);
    void Json(const std::string& object);
    void ClearBlock();

    std::ostream& out_;
    std::ostream& err_;
    const RegionalFormat& regional_;
    bool terminal_;
    bool json_;
    bool quiet_;
    std::vector<std::string> block_;  // the status lines on the terminal now
};

// The wall clock's "2026-12-09T14:00:01Z".
std::string NowText();

}  // namespace tarnimex
