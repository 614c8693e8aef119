// SPDX-License-Identifier: GPL-3.0-or-later
// The command line as a conversion host: fields come from the options, status
// texts go to standard output (one line each, or a live line on a terminal) and
// error boxes to standard error.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "conversion/conversion_host.h"
#include "settings/conversion_settings.h"

namespace tarnimex {

// The live line of a progress status on a terminal of the given width: a bar,
// then the status with the log's name shortened in the middle so that the line
// never wraps.
std::string ProgressLine(const std::string& status, double percent, int columns);

class CliHost : public ConversionHost {
  public:
    CliHost(ConversionSettings fields, std::ostream& out, std::ostream& err, bool terminal,
            bool quiet)
        : fields_(std::move(fields)), out_(out), err_(err), terminal_(terminal), quiet_(quiet) {}
    ~CliHost() override;

    std::string FieldText(HostField field) override;
    void SetFieldText(HostField field, const std::string& text) override;
    bool LimitChecked() override { return fields_.limit; }
    double AlarmStep() override { return fields_.alarmStep; }
    std::string SymbolOfAlarm() override { return fields_.symbolOfAlarm; }
    void SetStatus(const std::string& text) override;
    void ProcessEvents() override {}
    void SetBusyCursor(bool) override {}
    void ShowError(const std::string& text, const std::string& detail) override;
    void Pause500ms() override {}
    void ShowProgress(const Progress& progress, const std::string& text) override;
    void LogFinished(const LogStatistics& statistics) override;

    // Called with each finished log's statistics, after its status texts.
    std::function<void(const LogStatistics&)> onLogFinished;

    // Ends a live terminal line before other output.
    void EndLiveLine();

  private:
    ConversionSettings fields_;
    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    bool quiet_;
    bool liveLine_ = false;
};

}  // namespace tarnimex
