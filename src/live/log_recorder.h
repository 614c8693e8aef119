// SPDX-License-Identifier: GPL-3.0-or-later
// The recording of one source: the exact bytes received, in logs cut at round
// UTC times and named by the source and the UTC time they start
// ("ttyUSB0-20261209T140000Z.nmea"). The clock is the caller's: every call
// says what time it is.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace tarnimex {

using LiveTime = std::chrono::system_clock::time_point;

// "20261209T140000Z"
std::string UtcStamp(LiveTime time);

// The first cut after time: every period minutes from each UTC midnight, and
// at midnight (a period of a whole day or more cuts at midnight only).
LiveTime NextCut(LiveTime time, int periodMinutes);

class LogRecorder {
  public:
    LogRecorder(std::string folder, std::string label, int periodMinutes);
    ~LogRecorder();
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    // Opens a new log named by start (a name taken gets "-2", "-3", ...);
    // throws FileError when it cannot be made.
    void Open(LiveTime start);
    // Appends the bytes; throws FileError when they cannot be written.
    void Write(std::string_view bytes);
    // Puts what was written on the disk; throws FileError when that fails.
    void Sync();
    // Closes the log and returns its name; throws FileError when its last
    // bytes cannot be written (the log is closed all the same).
    std::string Close();

    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }
    // When the open log is to be cut: the round time its successor is named by.
    LiveTime Cut() const { return cut_; }

  private:
    std::string folder_;
    std::string label_;
    int periodMinutes_;
    std::FILE* file_ = nullptr;
    std::string path_;
    LiveTime cut_{};
    bool unsynced_ = false;
};

}  // namespace tarnimex
