// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_location.h"

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/file_access.h"
#include "platform/path_names.h"
#include "platform/process.h"
#include "platform/safe_file.h"
#include "settings/file_date.h"
#include "settings/profile_file.h"

namespace tarnimex {

std::string IniFileName;

namespace fs = std::filesystem;

namespace {

std::string& ExecutablePathOverride() {
    static std::string path;
    return path;
}

std::string ExecutableOrOverride() {
    if (!ExecutablePathOverride().empty()) return ExecutablePathOverride();
    return ExecutablePath();
}

// Ends with the separator, as every folder text here does.
std::string PerUserFolder() {
    std::string folder = PerUserSettingsRoot();
    if (folder.empty() || folder.back() != kFolderSeparator) folder += kFolderSeparator;
    const std::string exe(FileNamePart(ExecutableOrOverride()));
    return folder + Utf8FromPath(PathFromUtf8(exe).stem()) + kFolderSeparator;
}

}  // namespace

void SetExecutablePathForTesting(std::string path) {
    ExecutablePathOverride() = std::move(path);
}

std::string GetIniFileName(const std::string& name) {
    std::string candidate;
    if (name.empty()) {
        candidate = Utf8FromPath(PathFromUtf8(ExecutableOrOverride()).replace_extension(".ini"));
    } else if (name.find_first_of(kFolderSeparators) != std::string::npos) {
        std::error_code ec;
        const fs::path absolute = fs::absolute(PathFromUtf8(name), ec);
        candidate = ec ? name : Utf8FromPath(absolute.lexically_normal());
    } else {
        candidate = FolderPart(ExecutableOrOverride()) + name;
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
