// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/converter_settings.h"

#include "conversion/reports/sentence.h"
#include "settings/option_keys.h"
#include "settings/profile_file.h"

namespace tarnimex {

namespace {

std::optional<std::string>& EditField(ConverterSettings& settings, HostField edit) {
    switch (edit) {
        case HostField::Key:
            return settings.key;
        case HostField::SecKey:
            return settings.secondKey;
        case HostField::TimeDiff:
            return settings.threshold;
        case HostField::MaxStep:
        case HostField::SecDec:  // not an edit
            break;
    }
    return settings.maxStep;
}

}  // namespace

ConverterSettings ReadConverterSettings(const std::string& path, const RegionalFormat& regional) {
    const ProfileFile profile = ReadProfileFile(path);
    ConverterSettings settings;
    for (const OptionKey& key : kOptionKeys) {
        const std::optional<std::string> value = profile.Read(kOptionSection, key.name);
        const std::optional<int> number = value ? ParseInt32(*value) : std::nullopt;
        switch (key.kind) {
            case OptionKind::Edit:
                if (value) EditField(settings, key.edit) = *value;
                break;
            case OptionKind::SecondDec:
                if (number) settings.secDecIndex = SecDecIndexFromSetting(*number);
                break;
            case OptionKind::UseLimit:
                if (number) settings.limit = *number != 0;
                break;
            case OptionKind::AlarmStep:
                settings.alarmStep = AlarmStepFromSetting(value, regional);
                break;
            case OptionKind::SymbolOfAlarm:
                settings.symbolOfAlarm =
                    SymbolFromSetting(value.value_or(kDefaultSettings.symbolOfAlarm));
                break;
            case OptionKind::MainTop:
            case OptionKind::MainLeft:
                break;  // the window's place means nothing here
        }
    }
    return settings;
}

}  // namespace tarnimex
