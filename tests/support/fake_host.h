// SPDX-License-Identifier: GPL-3.0-or-later
// A conversion host that records what the run shows and lets a test act at
// the points where the window would handle its events.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "conversion/conversion_host.h"

namespace tarnimex::test {

class FakeHost : public ConversionSettingsSource, public StatusSink, public EventPump {
  public:
    std::map<HostField, std::string> fields = {{HostField::Key, "$GPTXT"},
                                               {HostField::SecKey, "RMC delay"},
                                               {HostField::SecDec, "Auto"},
                                               {HostField::TimeDiff, "0.2"},
                                               {HostField::MaxStep, "10.0"}};
    bool limit = false;
    double alarmStep = 50.0;
    std::string symbol = "!!";
    std::vector<std::string> statuses;
    std::vector<std::string> errors;
    std::vector<std::string> details;  // the system's reason of each error
    std::function<void(const std::string& status)> onEvents;
    int busy = 0;
    int pauses = 0;

    std::string FieldText(HostField field) override { return fields[field]; }
    void SetFieldText(HostField field, const std::string& text) override { fields[field] = text; }
    bool LimitChecked() override { return limit; }
    double AlarmStep() override { return alarmStep; }
    std::string SymbolOfAlarm() override { return symbol; }
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void ProcessEvents() override {
        if (onEvents) onEvents(statuses.empty() ? std::string() : statuses.back());
    }
    void SetBusyCursor(bool on) override { busy += on ? 1 : -1; }
    void ShowError(const std::string& text, const std::string& detail) override {
        errors.push_back(text);
        details.push_back(detail);
    }
    void Pause500ms() override { ++pauses; }
};

}  // namespace tarnimex::test
