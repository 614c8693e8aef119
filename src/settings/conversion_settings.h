// SPDX-License-Identifier: GPL-3.0-or-later
// The settings a conversion reads, as the window's controls and the settings
// file hold them, with their defaults in one place: those of a fresh window.
// The command line builds the same record from its options.
#pragma once

#include <string>

namespace tarnimex {

struct ConversionSettings {
    std::string key = "$GPTXT";
    std::string secondKey = "RMC delay";
    std::string decimals = "Auto";  // the text the decimals list shows
    std::string threshold = "0.2";  // seconds, as typed
    std::string maxStep = "10.0";   // seconds, as typed
    bool limit = false;
    // A number, not the text "50.0": read with a "," decimal separator that
    // text would give 0 and switch alarms off without the user ever asking.
    double alarmStep = 50.0;
    std::string symbolOfAlarm = "!!";
};

inline const ConversionSettings kDefaultSettings;

}  // namespace tarnimex
