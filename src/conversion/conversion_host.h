// SPDX-License-Identifier: GPL-3.0-or-later
// What a conversion run needs of its host (the window, the command line or a
// test), by what flows: the settings it reads, the texts and figures it shows,
// and, in the window only, the points where pending events are handled.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>

#include "conversion/host_field.h"
#include "conversion/statistics/statistics.h"

namespace tarnimex {

// The settings a run reads, at the moments it reads them: a change in the
// window during a run takes effect where the reading is.
class ConversionSettingsSource {
  public:
    virtual ~ConversionSettingsSource() = default;
    // Current text of an input field, read once per log; SecDec gives the
    // selected item's text ("Auto", "0" .. "3"), empty when none is selected.
    virtual std::string FieldText(HostField field) = 0;
    // A threshold or max step that reads as 0 is replaced, in its box too.
    virtual void SetFieldText(HostField field, const std::string& text) = 0;
    // Read once per accepted report, so a change takes effect within the run.
    virtual bool LimitChecked() = 0;
    // Read at every use; an alarm step of 0 or less marks no alarms.
    virtual double AlarmStep() = 0;
    virtual std::string SymbolOfAlarm() = 0;
};

// How far the reading of a log has come, at each progress step.
struct Progress {
    std::int64_t bytesRead = 0;
    std::int64_t size = 0;  // 0 when unknown (a pipe)
    std::int64_t rows = 0;
    std::int64_t lines = 0;
};

// Where a run's texts and figures go: the status line, error boxes, progress.
class StatusSink {
  public:
    virtual ~StatusSink() = default;
    virtual void SetStatus(const std::string& text) = 0;
    // A modal error box with one OK button. The detail (the system's reason,
    // when there is one) is not part of the box's text.
    virtual void ShowError(const std::string& text, const std::string& detail) = 0;
    // The progress of the log being read, and the status text that shows it
    // (the window's status line); a host may show the figures its own way.
    virtual void ShowProgress(const Progress& /*progress*/, const std::string& text) {
        SetStatus(text);
    }
    // A log's reading has ended and its CSV is written, or it had no reports:
    // its statistics, after the log's last status text.
    virtual void LogFinished(const LogStatistics& /*statistics*/) {}
};

// The window's part in a run: its pending events are handled at fixed points
// (after each progress text, so that Escape is seen), its cursor shows that it
// is busy, and a finished log's status stays a moment. Elsewhere there is
// nothing to do.
class EventPump {
  public:
    virtual ~EventPump() = default;
    virtual void ProcessEvents() {}
    virtual void SetBusyCursor(bool /*busy*/) {}
    virtual void Pause500ms() {}

    // The pump of a host without events.
    static EventPump& None() {
        static EventPump none;
        return none;
    }
};

// The three sides of a run's host, each perhaps another object.
struct ConversionHost {
    ConversionHost(ConversionSettingsSource& settingsSource, StatusSink& statusSink,
                   EventPump& eventPump = EventPump::None())
        : settings(settingsSource), status(statusSink), events(eventPump) {}
    // A host that is all three: the window, or a test's.
    template <class Host>
    requires std::derived_from<Host, ConversionSettingsSource> &&
        std::derived_from<Host, StatusSink> && std::derived_from<Host, EventPump>
        ConversionHost(Host& host) : ConversionHost(host, host, host) {}

    ConversionSettingsSource& settings;
    StatusSink& status;
    EventPump& events;
};

}  // namespace tarnimex
