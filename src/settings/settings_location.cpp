// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_location.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/file_access.h"
#include "platform/path_names.h"
#include "platform/safe_file.h"
#include "settings/file_date.h"
#include "settings/profile_file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tarnimex {

std::string IniFileName;

namespace fs = std::filesystem;

namespace {

std::string& ExecutablePathOverride() {
    static std::string path;
    return path;
}

std::string ExecutablePath() {
    if (!ExecutablePathOverride().empty()) return ExecutablePathOverride();
#ifdef _WIN32
    std::wstring buffer(32768, L'\0');
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(length);
    return Utf8FromPath(fs::path(buffer));
#else
    std::error_code ec;
    return Utf8FromPath(fs::read_symlink("/proc/self/exe", ec));
#endif
}

// A variable's value, or nullopt when it is unset or empty.
std::optional<std::string> EnvironmentValue(const char* name) {
#ifdef _WIN32
    const wchar_t* value = _wgetenv(fs::path(name).c_str());
    if (value == nullptr || *value == L'\0') return std::nullopt;
    return Utf8FromPath(fs::path(value));
#else
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
#endif
}

std::string PerUserRoot() {
    if (std::optional<std::string> appData = EnvironmentValue("APPDATA")) return *appData;
#ifndef _WIN32
    // The XDG rule: a relative XDG_CONFIG_HOME is ignored.
    std::optional<std::string> xdg = EnvironmentValue("XDG_CONFIG_HOME");
    if (xdg && xdg->front() == '/') return *xdg;
    if (std::optional<std::string> home = EnvironmentValue("HOME")) return *home + "/.config";
#endif
    return std::string();
}

// Ends with the separator, as every folder text here does.
std::string PerUserFolder() {
    std::string folder = PerUserRoot();
    if (folder.empty() || folder.back() != kFolderSeparator) folder += kFolderSeparator;
    const std::string exe(FileNamePart(ExecutablePath()));
    return folder + Utf8FromPath(PathFromUtf8(exe).stem()) + kFolderSeparator;
}

}  // namespace

void SetExecutablePathForTesting(std::string path) {
    ExecutablePathOverride() = std::move(path);
}

std::string GetIniFileName(const std::string& name) {
    std::string candidate;
    if (name.empty()) {
        candidate = Utf8FromPath(PathFromUtf8(ExecutablePath()).replace_extension(".ini"));
    } else if (name.find_first_of(kFolderSeparators) != std::string::npos) {
        std::error_code ec;
        const fs::path absolute = fs::absolute(PathFromUtf8(name), ec);
        candidate = ec ? name : Utf8FromPath(absolute.lexically_normal());
    } else {
        candidate = FolderPart(ExecutablePath()) + name;
    }
    return GetWritableFileName(candidate);
}

std::string GetWritableFileName(const std::string& name) {
    if (FolderAcceptsNewFiles(FolderPart(name))) return name;

    const std::string folder = PerUserFolder();
    std::error_code ec;
    try {
        fs::create_directories(PathFromUtf8(folder), ec);
    } catch (const std::exception&) {
        // MinGW's library throws, error code or not, when a file stands in the way.
    }
    if (!fs::is_directory(PathFromUtf8(folder), ec))
        throw SettingsError("Cannot create : " + folder);

    const std::string copy = folder + std::string(FileNamePart(name));
    if (fs::is_regular_file(PathFromUtf8(name), ec) && GetFileDate(name) > GetFileDate(copy)) {
        // Through a temporary file, so a failed copy never leaves half a settings file.
        std::string reason;
        const std::optional<std::string> bytes = ReadFileBytes(name, kMaxSettingsFileBytes, reason);
        bool copied = false;
        if (bytes) {
            try {
                WriteFileAtomically(copy, *bytes, Durability::kSynced);
                copied = true;
            } catch (const FileError&) {
            }
        }
        if (!copied) throw SettingsError("Cannot Copy : " + copy);
    }
    return copy;
}

}  // namespace tarnimex
