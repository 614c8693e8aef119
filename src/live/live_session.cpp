// SPDX-License-Identifier: GPL-3.0-or-later
#include "live/live_session.h"

#include <cmath>
#include <utility>

#include "conversion/io_errors.h"
#include "conversion/output/file_names.h"
#include "conversion/reports/sentence.h"
#include "platform/safe_file.h"

namespace tarnimex {

namespace {

// The converter's texts of a closed log: its error, for the host to tell.
class CsvStatus : public StatusSink {
  public:
    void SetStatus(const std::string&) override {}
    void ShowError(const std::string& text, const std::string& detail) override {
        error = detail.empty() ? text : text + detail;
    }
    std::string error;
};

}  // namespace

LiveSession::LiveSession(std::string label, ConversionSettingsSource& settings,
                         RegionalFormat regional, LiveEvents& events,
                         std::optional<LiveRecording> recording,
                         std::optional<double> metricsWarmUp)
    : label_(std::move(label)),
      settings_(settings),
      regional_(std::move(regional)),
      events_(events),
      recording_(std::move(recording)),
      finder_(std::string(Trim(settings.FieldText(HostField::Key))),
              std::string(Trim(settings.FieldText(HostField::SecKey))), regional_) {
    if (metricsWarmUp) timing_.emplace(*metricsWarmUp);
    if (recording_)
        recorder_ =
            std::make_unique<LogRecorder>(recording_->folder, label_, recording_->rotateMinutes);
    recent_.reserve(kRecent);
}

LiveSession::~LiveSession() = default;

void LiveSession::Connected(LiveTime now) {
    EndConnection();
    auto stream = std::make_unique<LiveSource>();
    stream_ = stream.get();
    reader_ = std::make_unique<LogReader>();
    reader_->Open(std::move(stream), 0);
    // A Ctrl-C that stops the watch must not cut the lines still to come.
    reader_->ReadOnAfterAbort();
    figures_.connected = true;
    lostReason_.clear();
    events_.Connected(*this);
    if (recorder_) OpenLog(now);
}

void LiveSession::Received(std::string_view bytes, LiveTime now) {
    if (!reader_) return;
    figures_.bytes += static_cast<std::int64_t>(bytes.size());
    Record(bytes, now);
    stream_->Append(bytes);
    ReadLines();
}

void LiveSession::Lost(const std::string& reason, LiveTime now) {
    if (reader_) ++figures_.outages;
    Ended(reason, now);
}

void LiveSession::Ended(const std::string& reason, LiveTime /*now*/) {
    const bool wasConnected = reader_ != nullptr;
    if (!wasConnected && reason == lostReason_) return;
    lostReason_ = reason;
    if (wasConnected) {
        EndConnection();
        CloseLog();
    }
    figures_.connected = false;
    events_.Lost(*this, reason);
}

void LiveSession::Tick(LiveTime now) {
    if (!recorder_ || !reader_) return;
    if (reopenLog_ || (recorder_->IsOpen() && now >= recorder_->Cut())) {
        const LiveTime start = recorder_->IsOpen() ? recorder_->Cut() : now;
        CloseLog();
        OpenLog(start);
    }
    if (!recorder_->IsOpen()) return;
    try {
        recorder_->Sync();
    } catch (const FileError& e) {
        Fail(e.what());
    }
}

void LiveSession::Stop(LiveTime /*now*/) {
    EndConnection();
    if (alarmOpen_) {
        alarmOpen_ = false;
        figures_.alarm = false;
        events_.AlarmEnded(*this, alarm_);
    }
    CloseLog();
    figures_.connected = false;
}

void LiveSession::Record(std::string_view bytes, LiveTime now) {
    if (!recorder_) return;
    if (recorder_->IsOpen() && now >= recorder_->Cut()) {
        const LiveTime cut = recorder_->Cut();
        CloseLog();
        OpenLog(cut);
    }
    if (!recorder_->IsOpen()) return;
    try {
        recorder_->Write(bytes);
    } catch (const FileError& e) {
        Fail(e.what());
    }
}

void LiveSession::OpenLog(LiveTime start) {
    reopenLog_ = false;
    try {
        recorder_->Open(start);
    } catch (const FileError& e) {
        reopenLog_ = true;
        ++recordingFailures_;
        events_.RecordingFailed(*this, e.what());
        return;
    }
    events_.LogOpened(*this, recorder_->Path());
}

void LiveSession::Fail(const std::string& message) {
    // What was written stays and is converted; the next tick opens a new log.
    ++recordingFailures_;
    events_.RecordingFailed(*this, message);
    CloseLog();
    reopenLog_ = true;
}

void LiveSession::CloseLog() {
    if (!recorder_ || !recorder_->IsOpen()) return;
    std::string path = recorder_->Path();
    try {
        recorder_->Close();
    } catch (const FileError& e) {
        ++recordingFailures_;
        events_.RecordingFailed(*this, e.what());
    }
    CsvStatus status;
    Converter converter({settings_, status}, recording_->regional, recording_->encoding);
    LogResult result;
    try {
        result = converter.ConvertFile(path, CsvFileName(path));
    } catch (const IoError& e) {
        status.error = e.what();
        result.outcome = LogOutcome::CouldNotOpen;
    }
    if (!status.error.empty()) {
        ++recordingFailures_;
        events_.RecordingFailed(*this, status.error);
    }
    events_.LogClosed(*this, path, result);
}

void LiveSession::EndConnection() {
    if (!reader_) return;
    stream_->End();
    ReadLines();
    linesBefore_ += lines_;
    lines_ = 0;
    framesBefore_ = framesBefore_ + reader_->Frames();
    reader_.reset();
    stream_ = nullptr;
}

void LiveSession::ReadLines() {
    const auto accept = [this](const ReportValues& report) { HandleReport(report); };
    for (;;) {
        const std::string_view line = reader_->ReadLogLine();
        if (line.empty()) {
            // The end counts as a line, as in a conversion of the connection's log.
            lines_ += reader_->EndOfLog();
            return;
        }
        ++lines_;
        finder_.Find(line, accept);
    }
}

void LiveSession::HandleReport(const ReportValues& report) {
    const double delay = report.delay.value_or(0.0);
    const double alarmStep = settings_.AlarmStep();
    statistics_.Add(report.time, delay, report.delay.has_value(), alarmStep);
    if (timing_) timing_->Add(report.time, delay, report.delay.has_value());

    ++figures_.reports;
    figures_.last = report.delay;
    if (report.delay) {
        ++figures_.delays;
        meanSum_ += delay;
        figures_.mean = meanSum_ / static_cast<double>(figures_.delays);
        if (figures_.delays == 1 || std::fabs(delay) > std::fabs(figures_.largest))
            figures_.largest = delay;
    }
    const RecentReport recent{report.time, delay, report.delay.has_value()};
    if (recent_.size() < kRecent) {
        recent_.push_back(recent);
    } else {
        recent_[recentNext_] = recent;
        recentNext_ = (recentNext_ + 1) % kRecent;
    }
    events_.Report(*this, report.time, report.delay);

    // Over the alarm step as the statistics count it: an unreadable delay as 0.
    const bool over = alarmStep > 0 && std::fabs(delay) > alarmStep;
    if (over && !alarmOpen_) {
        alarmOpen_ = true;
        alarm_ = {report.time, report.time, delay};
        figures_.alarm = true;
        events_.AlarmStarted(*this, report.time, delay);
    } else if (over) {
        if (report.time != 0) {
            if (alarm_.start == 0) alarm_.start = report.time;
            alarm_.end = report.time;
        }
        if (std::fabs(delay) > std::fabs(alarm_.peak)) alarm_.peak = delay;
    } else if (alarmOpen_) {
        alarmOpen_ = false;
        figures_.alarm = false;
        events_.AlarmEnded(*this, alarm_);
    }
}

std::vector<RecentReport> LiveSession::Recent() const {
    std::vector<RecentReport> ordered(recent_.begin() + static_cast<std::ptrdiff_t>(recentNext_),
                                      recent_.end());
    ordered.insert(ordered.end(), recent_.begin(),
                   recent_.begin() + static_cast<std::ptrdiff_t>(recentNext_));
    return ordered;
}

LogStatistics LiveSession::Statistics() {
    LogStatistics s = statistics_.Result();
    s.log = label_;
    s.lines = linesBefore_ + lines_;
    s.frames = reader_ ? framesBefore_ + reader_->Frames() : framesBefore_;
    return s;
}

std::optional<TimingMetrics> LiveSession::Metrics(double usualStep) const {
    if (!timing_) return std::nullopt;
    return timing_->Compute(usualStep);
}

std::optional<Verdict> JudgeSession(LiveSession& session, const std::optional<TimingLimits>& limits,
                                    LogStatistics& statistics) {
    statistics = session.Statistics();
    if (!limits) return std::nullopt;
    statistics.metrics = session.Metrics(statistics.usualStep);
    if (!statistics.metrics) return std::nullopt;
    return JudgeLog(*limits, statistics, *statistics.metrics);
}

std::string LiveSession::CurrentLog() const {
    return recorder_ && recorder_->IsOpen() ? recorder_->Path() : std::string();
}

}  // namespace tarnimex
