// SPDX-License-Identifier: GPL-3.0-or-later
#include "live/log_recorder.h"

#include <cstdio>
#include <utility>

#include "platform/path_names.h"
#include "platform/safe_file.h"
#include "platform/stream_file.h"
#include "platform/system_error.h"

namespace tarnimex {

namespace {

using std::chrono::days;
using std::chrono::floor;
using std::chrono::minutes;

}  // namespace

std::string UtcStamp(LiveTime time) {
    const auto day = floor<days>(time);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss clock{floor<std::chrono::seconds>(time - day)};
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02u%02uT%02d%02d%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

LiveTime NextCut(LiveTime time, int periodMinutes) {
    const auto day = floor<days>(time);
    const LiveTime midnight = day + days(1);
    if (periodMinutes <= 0 || periodMinutes >= 24 * 60) return midnight;
    const auto sinceMidnight = floor<minutes>(time - day);
    const LiveTime next =
        day + (sinceMidnight.count() / periodMinutes + 1) * minutes(periodMinutes);
    return next < midnight ? next : midnight;
}

LogRecorder::LogRecorder(std::string folder, std::string label, int periodMinutes)
    : folder_(std::move(folder)), label_(std::move(label)), periodMinutes_(periodMinutes) {
    if (!folder_.empty() && kFolderSeparators.find(folder_.back()) == std::string_view::npos)
        folder_ += kFolderSeparator;
}

LogRecorder::~LogRecorder() {
    if (file_ != nullptr) std::fclose(file_);
}

void LogRecorder::Open(LiveTime start) {
    const std::string base = folder_ + label_ + "-" + UtcStamp(start);
    for (int copy = 1;; ++copy) {
        path_ = base + (copy > 1 ? "-" + std::to_string(copy) : "") + ".nmea";
        file_ = CreateRecordingFile(path_);
        if (file_ != nullptr) break;
        if (IdentityOfName(path_).has_value() && copy < 1000) continue;
        throw FileError(path_, SystemReason(LastSystemError()));
    }
    cut_ = NextCut(start, periodMinutes_);
    unsynced_ = false;
}

void LogRecorder::Write(std::string_view bytes) {
    if (bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        throw FileError(path_, SystemReason(LastSystemError()));
    unsynced_ = true;
}

void LogRecorder::Sync() {
    if (file_ == nullptr || !unsynced_) return;
    unsynced_ = false;
    if (!SyncToDisk(file_)) throw FileError(path_, SystemReason(LastSystemError()));
}

std::string LogRecorder::Close() {
    if (file_ == nullptr) return {};
    std::FILE* file = std::exchange(file_, nullptr);
    const bool flushed = std::fflush(file) == 0;
    const int error = flushed ? 0 : LastSystemError();
    const bool closed = std::fclose(file) == 0;
    if (!flushed || !closed)
        throw FileError(path_, SystemReason(flushed ? LastSystemError() : error));
    return path_;
}

}  // namespace tarnimex
