// SPDX-License-Identifier: GPL-3.0-or-later
// Loading the ten settings from the settings file into the main window and the
// alarm values, and saving them back. Neither ever reports an error: a failure
// stops the load keeping what was loaded, and leaves the file as it was.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "conversion/host_field.h"
#include "platform/regional_format.h"
#include "settings/window_placement.h"

namespace tarnimex {

// What load and save need of the main window.
class OptionsWindow : public PlacedWindow {
  public:
    // The four edits (every field but SecDec, which is the combo box); UTF-8.
    virtual std::string EditText(HostField edit) = 0;
    virtual void SetEditText(HostField edit, const std::string& text) = 0;
    virtual int SecDecIndex() = 0;  // -1 none, 0 "Auto", 1 "0" ... 4 "3"
    virtual void SetSecDecIndex(int index) = 0;
    virtual bool LimitChecked() = 0;
    // The window runs CheckBoxLimitClick when the state changes.
    virtual void SetLimitChecked(bool checked) = 0;
};

extern double AlarmStep;           // seconds; 0 until the first load
extern std::string SymbolOfAlarm;  // empty until the first load

// Reads IniFileName, creating it as an empty UTF-16 file when missing.
void LoadOptions(OptionsWindow& window, const RegionalFormat& regional);
// Writes the ten keys to IniFileName in one replacement of the file.
void SaveOptions(OptionsWindow& window, const RegionalFormat& regional);

// Values the windows keep in IniFileName beside the ten keys, each window in
// a section of its own; a missing key (or no settings file yet) reads as
// empty. Like the ten keys, neither reports an error, and a save writes all
// its values in one replacement of the file.
std::string LoadWindowValue(std::string_view section, std::string_view key);
void SaveWindowValues(std::string_view section,
                      const std::vector<std::pair<std::string_view, std::string>>& values);

// The chart window's limits file (the monitor window judges by it too).
inline constexpr std::string_view kChartSection = "Chart";
inline constexpr std::string_view kLimitsFileKey = "LimitsFile";
std::string LoadChartLimitsFile();
void SaveChartLimitsFile(const std::string& path);

}  // namespace tarnimex
