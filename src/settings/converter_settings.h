// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file as the command-line converter takes it: the values the
// window would hold after loading it. Options on the command line win over these.
#pragma once

#include <optional>
#include <string>

#include "platform/regional_format.h"
#include "settings/conversion_settings.h"
#include "settings/settings_error.h"

namespace tarnimex {

struct ConverterSettings {  // each set only when the key is present and reads as the window would
                            // take it
    std::optional<std::string> key, secondKey, threshold, maxStep;
    std::optional<int> secDecIndex;  // after the load rule (outside 0..4 -> 0)
    std::optional<bool> limit;
    double alarmStep = kDefaultSettings.alarmStep;               // as LoadOptions takes it
    std::string symbolOfAlarm = kDefaultSettings.symbolOfAlarm;  // trimmed
};

// Reads a settings file without creating or changing it; throws SettingsError
// when it cannot be read.
ConverterSettings ReadConverterSettings(const std::string& path, const RegionalFormat& regional);

}  // namespace tarnimex
