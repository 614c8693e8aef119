// SPDX-License-Identifier: GPL-3.0-or-later
// What a conversion run needs of its host: the window, the command line or a
// test. The run reads the input fields, writes the status line and lets the host
// handle its pending events at fixed points.
#pragma once

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "conversion/statistics/statistics.h"

namespace tarnimex {

enum class HostField { Key, SecKey, SecDec, TimeDiff, MaxStep };

// How far the reading of a log has come, at each progress step.
struct Progress {
    std::int64_t bytesRead = 0;
    std::int64_t size = 0;  // 0 when unknown (a pipe)
    std::int64_t rows = 0;
    std::int64_t lines = 0;
};

class ConversionHost {
  public:
    virtual ~ConversionHost() = default;

    // Current text of an input field; SecDec gives the selected item's text
    // ("Auto", "0" .. "3"), empty when none is selected.
    virtual std::string FieldText(HostField field) = 0;
    virtual void SetFieldText(HostField field, const std::string& text) = 0;
    // Read once per accepted report, so a change takes effect within the run.
    virtual bool LimitChecked() = 0;
    // Read at every use; an alarm step of 0 or less marks no alarms.
    virtual double AlarmStep() = 0;
    virtual std::string SymbolOfAlarm() = 0;

    virtual void SetStatus(const std::string& text) = 0;
    virtual void ProcessEvents() = 0;
    virtual void SetBusyCursor(bool busy) = 0;
    // A modal error box with one OK button. The detail (the system's reason,
    // when there is one) is not part of the box's text.
    virtual void ShowError(const std::string& text, const std::string& detail) = 0;
    virtual void Pause500ms() = 0;
    // The progress of the log being read, and the status text that shows it
    // (the window's status line); a host may show the figures its own way.
    virtual void ShowProgress(const Progress& /*progress*/, const std::string& text) {
        SetStatus(text);
    }
    // A log's reading has ended and its CSV is written, or it had no reports:
    // its statistics, after the log's last status text.
    virtual void LogFinished(const LogStatistics& /*statistics*/) {}
};

// The process's one abort flag: set by Escape, a close request or Ctrl-C,
// cleared when a run starts, tested before each log, each line and each block
// read.
extern std::atomic<bool> AbortRequested;

// A file error that ends the whole run (on the command line, only a log that
// cannot be read does): the CSV could not be written, or the log could not be
// read. The message names the path and the system's reason.
class IoError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The log was read, but its CSV could not be written: a host may let the run
// go on with the next log.
class CsvError : public IoError {
  public:
    using IoError::IoError;
};

}  // namespace tarnimex
