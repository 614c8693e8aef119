// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/options.h"

#include <cstdint>
#include <filesystem>
#include <optional>

#include "conversion/reports/general_number.h"
#include "conversion/reports/sentence.h"
#include "platform/path_names.h"
#include "platform/safe_file.h"
#include "settings/option_keys.h"
#include "settings/profile_file.h"
#include "settings/settings_location.h"

namespace tarnimex {

double AlarmStep = 0;
std::string SymbolOfAlarm;

namespace {

bool FileExists(const std::string& name) {
    std::error_code ec;
    return std::filesystem::exists(PathFromUtf8(name), ec);
}

// The settings cannot be made again, so they reach the disk before they
// replace the old ones.
void WriteSettingsFile(const std::string& name, std::string_view bytes) {
    try {
        WriteFileAtomically(name, bytes, Durability::kSynced);
    } catch (const FileError&) {
        throw SettingsError("Cannot write : " + name);
    }
}

// The value as an integer; the fallback when it is missing or not a whole
// 32-bit integer.
int IntegerOr(const std::optional<std::string>& value, int fallback) {
    if (!value) return fallback;
    const std::optional<std::int32_t> number = ParseInt32(*value);
    return number ? *number : fallback;
}

void Load(OptionsWindow& window, const RegionalFormat& regional) {
    if (!FileExists(IniFileName)) {
        WriteSettingsFile(IniFileName, ProfileFile::NewUtf16().ToBytes());
    }
    const ProfileFile profile = ReadProfileFile(IniFileName);

    // A missing key leaves its control as it is.
    int top = kNoPosition;
    for (const OptionKey& key : kOptionKeys) {
        const std::optional<std::string> value = profile.Read(kOptionSection, key.name);
        switch (key.kind) {
            case OptionKind::Edit:
                if (value) window.SetEditText(key.edit, *value);
                break;
            case OptionKind::SecondDec:
                window.SetSecDecIndex(
                    SecDecIndexFromSetting(IntegerOr(value, window.SecDecIndex())));
                break;
            case OptionKind::UseLimit: {
                const bool checked = window.LimitChecked();
                const bool wanted = IntegerOr(value, checked ? 1 : 0) != 0;
                if (wanted != checked) window.SetLimitChecked(wanted);
                break;
            }
            case OptionKind::AlarmStep:
                AlarmStep = AlarmStepFromSetting(value, regional);
                break;
            case OptionKind::SymbolOfAlarm:
                SymbolOfAlarm = SymbolFromSetting(value.value_or(kDefaultSettings.symbolOfAlarm));
                break;
            case OptionKind::MainTop:
                top = IntegerOr(value, kNoPosition);
                break;
            case OptionKind::MainLeft: {
                int left = IntegerOr(value, kNoPosition);
                PlaceOnMonitor(window, top, left);
                window.SetTop(top);
                window.SetLeft(left);
                break;
            }
        }
    }
}

std::string SavedValue(const OptionKey& key, OptionsWindow& window, const RegionalFormat& regional,
                       const Rect& outer) {
    switch (key.kind) {
        case OptionKind::Edit:
            return window.EditText(key.edit);
        case OptionKind::SecondDec:
            return std::to_string(window.SecDecIndex());
        case OptionKind::UseLimit:
            return window.LimitChecked() ? "1" : "0";
        case OptionKind::AlarmStep:
            return FormatGeneralNumber(AlarmStep, regional.decimalSeparator);
        case OptionKind::SymbolOfAlarm:
            return SymbolOfAlarm;
        case OptionKind::MainTop:
            return std::to_string(outer.top);
        case OptionKind::MainLeft:
            return std::to_string(outer.left);
    }
    return std::string();
}

void Save(OptionsWindow& window, const RegionalFormat& regional) {
    // One read-modify-write: the file gets all ten keys or keeps what it had.
    // A file that exists but cannot be read is left alone rather than replaced.
    ProfileFile profile =
        FileExists(IniFileName) ? ReadProfileFile(IniFileName) : ProfileFile::NewUtf16();
    const Rect outer = window.OuterRect();
    for (const OptionKey& key : kOptionKeys) {
        profile.Write(kOptionSection, key.name, SavedValue(key, window, regional, outer));
    }
    WriteSettingsFile(IniFileName, profile.ToBytes());
}

}  // namespace

void LoadOptions(OptionsWindow& window, const RegionalFormat& regional) {
    try {
        Load(window, regional);
    } catch (...) {
        // Settings never stop the program; what was loaded so far stays.
    }
}

void SaveOptions(OptionsWindow& window, const RegionalFormat& regional) {
    try {
        Save(window, regional);
    } catch (...) {
        // Settings never stop the program; the file keeps its previous contents.
    }
}

std::string LoadWindowValue(std::string_view section, std::string_view key) {
    try {
        if (IniFileName.empty() || !FileExists(IniFileName)) return {};
        return ReadProfileFile(IniFileName).Read(section, key).value_or("");
    } catch (...) {
        return {};
    }
}

void SaveWindowValues(std::string_view section,
                      const std::vector<std::pair<std::string_view, std::string>>& values) {
    if (IniFileName.empty()) return;
    try {
        ProfileFile profile =
            FileExists(IniFileName) ? ReadProfileFile(IniFileName) : ProfileFile::NewUtf16();
        for (const auto& [key, value] : values) profile.Write(section, key, value);
        WriteSettingsFile(IniFileName, profile.ToBytes());
    } catch (...) {
        // As the ten keys: the file keeps its previous contents.
    }
}

std::string LoadChartLimitsFile() {
    return LoadWindowValue(kChartSection, kLimitsFileKey);
}

void SaveChartLimitsFile(const std::string& path) {
    SaveWindowValues(kChartSection, {{kLimitsFileKey, path}});
}

}  // namespace tarnimex
