// SPDX-License-Identifier: GPL-3.0-or-later
// The ten settings of section "Option", in the order load and save handle them,
// with the load rules that the window and the command line share.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/reports/sentence.h"
#include "platform/regional_format.h"
#include "settings/conversion_settings.h"
#include "settings/options.h"

namespace tarnimex {

inline constexpr std::string_view kOptionSection = "Option";

enum class OptionKind { Edit, SecondDec, UseLimit, AlarmStep, SymbolOfAlarm, MainTop, MainLeft };

struct OptionKey {
    std::string_view name;
    OptionKind kind;
    HostField edit = HostField::Key;  // Edit keys only
};

inline constexpr std::array<OptionKey, 10> kOptionKeys{{
    {"KeyText", OptionKind::Edit, HostField::Key},
    {"SecKeyText", OptionKind::Edit, HostField::SecKey},
    {"SecondDec", OptionKind::SecondDec},
    {"TimeDiff", OptionKind::Edit, HostField::TimeDiff},
    {"MaxStep", OptionKind::Edit, HostField::MaxStep},
    {"UseLimit", OptionKind::UseLimit},
    {"AlarmStep", OptionKind::AlarmStep},
    {"SymbolOfAlarm", OptionKind::SymbolOfAlarm},
    {"MainTop", OptionKind::MainTop},
    {"MainLeft", OptionKind::MainLeft},
}};

// Stored values are read with the regional decimal separator, as they were written.
inline double AlarmStepFromSetting(const std::optional<std::string>& value,
                                   const RegionalFormat& regional) {
    return value ? ReadUserNumber(*value, regional.decimalSeparator).value_or(0.0)
                 : kDefaultSettings.alarmStep;
}

// A stored decimals position outside the list selects "Auto".
inline int SecDecIndexFromSetting(int value) {
    return value < 0 || value > 4 ? 0 : value;
}

// Blanks and control characters around the symbol are not part of it.
inline std::string SymbolFromSetting(std::string_view value) {
    return std::string(Trim(value));
}

}  // namespace tarnimex
