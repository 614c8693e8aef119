// SPDX-License-Identifier: GPL-3.0-or-later
// The command line as a conversion host: the settings are the record built
// from the options, status texts go to standard output (one line each, or a
// live line on a terminal) and error boxes to standard error. It has no events
// to handle.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "conversion/conversion_host.h"
#include "settings/conversion_settings.h"

namespace tarnimex {

// The text in at most width terminal columns, its middle given up for an ellipsis.
std::string ShortenMiddle(std::string_view text, int width);

// The live line of a progress status on a terminal of the given width: a bar,
// then the status with the log's name shortened in the middle so that the line
// never wraps.
std::string ProgressLine(const std::string& status, double percent, int columns);

// The settings record as a run reads it; a threshold or max step that is
// replaced stays replaced for the converter's next logs, as in the window.
class CliSettings : public ConversionSettingsSource {
  public:
    explicit CliSettings(ConversionSettings fields) : fields_(std::move(fields)) {}

    std::string FieldText(HostField field) override;
    void SetFieldText(HostField field, const std::string& text) override;
    bool LimitChecked() override { return fields_.limit; }
    double AlarmStep() override { return fields_.alarmStep; }
    std::string SymbolOfAlarm() override { return fields_.symbolOfAlarm; }

  private:
    ConversionSettings fields_;
};

class CliStatus : public StatusSink {
  public:
    CliStatus(std::ostream& out, std::ostream& err, bool terminal, bool quiet)
        : out_(out), err_(err), terminal_(terminal), quiet_(quiet) {}
    ~CliStatus() override;

    void SetStatus(const std::string& text) override;
    void ShowError(const std::string& text, const std::string& detail) override;
    void ShowProgress(const Progress& progress, const std::string& text) override;
    void LogFinished(const LogStatistics& statistics) override;

    // Called with each finished log's statistics, after its status texts.
    std::function<void(const LogStatistics&)> onLogFinished;

    // Ends a live terminal line before other output.
    void EndLiveLine();

  private:
    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    bool quiet_;
    bool liveLine_ = false;
};

}  // namespace tarnimex
