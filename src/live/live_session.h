// SPDX-License-Identifier: GPL-3.0-or-later
// One source watched live: the bytes it sends, as they come, go through the
// same reader and report finder as a conversion, into the statistics of the
// whole watch, the alarm stretches and a bounded ring of recent reports; when
// recording, into logs cut at round UTC times, each converted to its CSV by
// the same conversion as offline when it closes (a cut, a lost connection,
// the stop). No Qt: whatever receives the bytes (a serial port, a socket, a
// followed file, standard input) calls it, and it tells its host what happens
// through LiveEvents. The clock is the caller's: every call says what time it is.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/conversion_host.h"
#include "conversion/conversion_run.h"
#include "conversion/input/log_reader.h"
#include "conversion/reports/report_finder.h"
#include "conversion/statistics/statistics.h"
#include "conversion/statistics/timing_metrics.h"
#include "conversion/statistics/verdict.h"
#include "live/log_recorder.h"
#include "platform/regional_format.h"

namespace tarnimex {

class LiveSession;

// What a session tells its host. Date-times are date-time values (days since
// 1899-12-30), the receiver's RMC time of the report.
class LiveEvents {
  public:
    virtual ~LiveEvents() = default;
    virtual void Connected(LiveSession& /*session*/) {}
    // The source went away (or could not be opened: then reason says why,
    // once, until it changes).
    virtual void Lost(LiveSession& /*session*/, const std::string& /*reason*/) {}
    virtual void Report(LiveSession& /*session*/, double /*time*/,
                        std::optional<double> /*delay*/) {}
    virtual void AlarmStarted(LiveSession& /*session*/, double /*time*/, double /*delay*/) {}
    virtual void AlarmEnded(LiveSession& /*session*/, const AlarmStretch& /*stretch*/) {}
    // A log was opened: at the start, after a reconnection, or at a cut.
    virtual void LogOpened(LiveSession& /*session*/, const std::string& /*path*/) {}
    // A log closed and its CSV was written (or the log had no reports, or its
    // CSV could not be written: result tells).
    virtual void LogClosed(LiveSession& /*session*/, const std::string& /*path*/,
                           const LogResult& /*result*/) {}
    // The recording failed: a log or a CSV could not be written.
    virtual void RecordingFailed(LiveSession& /*session*/, const std::string& /*message*/) {}
};

struct LiveRecording {
    std::string folder;
    int rotateMinutes = 60;
    RegionalFormat regional;  // the CSVs'
    TextEncoding encoding;
};

// What a status line shows.
struct LiveFigures {
    bool connected = false;
    std::int64_t bytes = 0;
    std::int64_t reports = 0;
    std::int64_t outages = 0;    // connections lost
    std::optional<double> last;  // the last report's delay, in seconds
    std::int64_t delays = 0;     // readable delays
    double mean = 0;
    double largest = 0;  // the delay of largest magnitude, with its sign
    bool alarm = false;  // within an alarm stretch now
};

// A report kept for display: the last kRecent ones.
struct RecentReport {
    double time = 0;
    double delay = 0;
    bool readable = false;
};

class LiveSession {
  public:
    static constexpr std::size_t kRecent = 4096;

    // label names the source in the logs' names and the host's texts.
    // settings: the key, second key, alarm step and symbol, and for the CSVs
    // the rest. metricsWarmUp: keep the timing series for the metrics (memory
    // grows by 8 bytes a report).
    LiveSession(std::string label, ConversionSettingsSource& settings, RegionalFormat regional,
                LiveEvents& events, std::optional<LiveRecording> recording = std::nullopt,
                std::optional<double> metricsWarmUp = std::nullopt);
    ~LiveSession();
    LiveSession(const LiveSession&) = delete;
    LiveSession& operator=(const LiveSession&) = delete;

    void Connected(LiveTime now);
    void Received(std::string_view bytes, LiveTime now);
    void Lost(const std::string& reason, LiveTime now);
    // The source ended for good (standard input at its end): as Lost, but no outage.
    void Ended(const std::string& reason, LiveTime now);
    // Once a second: the log's bytes to the disk, a cut when one is due.
    void Tick(LiveTime now);
    // Ends the watch: the connection's last line, an open alarm stretch, the
    // open log and its CSV.
    void Stop(LiveTime now);

    const std::string& Label() const { return label_; }
    const LiveFigures& Figures() const { return figures_; }
    // The recent reports, oldest first.
    std::vector<RecentReport> Recent() const;
    // The statistics of every report so far, with the lines and frames read.
    LogStatistics Statistics();
    // When metrics were asked for: those of every report so far.
    std::optional<TimingMetrics> Metrics(double usualStep) const;
    // The log being written; empty when none.
    std::string CurrentLog() const;
    // Logs or CSVs that could not be written.
    std::int64_t RecordingFailures() const { return recordingFailures_; }

  private:
    void ReadLines();
    void HandleReport(const ReportValues& report);
    void EndConnection();
    void OpenLog(LiveTime start);
    void CloseLog();
    void Record(std::string_view bytes, LiveTime now);
    void Fail(const std::string& message);

    std::string label_;
    ConversionSettingsSource& settings_;
    RegionalFormat regional_;
    LiveEvents& events_;
    std::optional<LiveRecording> recording_;
    std::unique_ptr<LogRecorder> recorder_;
    bool reopenLog_ = false;  // a log failed: a new one at the next tick

    ReportFinder finder_;
    std::unique_ptr<LogReader> reader_;  // of the current connection
    LiveSource* stream_ = nullptr;       // the reader's source
    std::int64_t linesBefore_ = 0;       // of the connections before
    FrameCounts framesBefore_;
    std::int64_t lines_ = 0;

    StatisticsAccumulator statistics_;
    std::optional<TimingSeries> timing_;
    LiveFigures figures_;
    double meanSum_ = 0;
    bool alarmOpen_ = false;
    AlarmStretch alarm_;
    std::string lostReason_;
    std::vector<RecentReport> recent_;
    std::size_t recentNext_ = 0;
    std::int64_t recordingFailures_ = 0;
};

// The statistics of every report so far and, with limits (the session made
// with their warm-up), the timing metrics in them and the verdict on them.
std::optional<Verdict> JudgeSession(LiveSession& session, const std::optional<TimingLimits>& limits,
                                    LogStatistics& statistics);

}  // namespace tarnimex
