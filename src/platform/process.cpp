// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/process.h"

#include <cstdlib>
#include <filesystem>

#include "platform/path_names.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include <unistd.h>
#endif

namespace tarnimex {

namespace fs = std::filesystem;

#ifdef _WIN32

std::string ExecutablePath() {
    // The longest path Windows allows.
    std::wstring buffer(32768, L'\0');
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(length);
    return Utf8FromPath(fs::path(buffer));
}

// Written from the project's version by the resource file.
std::optional<std::uint32_t> ExecutableFileVersion() {
    const std::wstring path = PathFromUtf8(ExecutablePath()).wstring();
    if (path.empty()) return std::nullopt;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return std::nullopt;
    std::vector<unsigned char> record(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, record.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    return fixed->dwFileVersionMS;
}

std::optional<std::string> EnvironmentValue(const char* name) {
    const wchar_t* value = _wgetenv(fs::path(name).c_str());
    if (value == nullptr || *value == L'\0') return std::nullopt;
    return Utf8FromPath(fs::path(value));
}

#else

std::string ExecutablePath() {
    std::error_code ec;
    return Utf8FromPath(fs::read_symlink("/proc/self/exe", ec));
}

// POSIX executables carry no version record: the version the program was built as.
std::optional<std::uint32_t> ExecutableFileVersion() {
#if defined(TARNIMEX_VERSION_MAJOR) && defined(TARNIMEX_VERSION_MINOR)
    return (std::uint32_t{TARNIMEX_VERSION_MAJOR & 0xFFFF} << 16) |
           std::uint32_t{TARNIMEX_VERSION_MINOR & 0xFFFF};
#else
    return std::nullopt;
#endif
}

void RunInstead(const std::string& program, char** argv) {
    ::execv(PathFromUtf8(program).c_str(), argv);
}

std::optional<std::string> EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

#endif

std::string PerUserSettingsRoot() {
    if (std::optional<std::string> appData = EnvironmentValue("APPDATA")) return *appData;
#ifndef _WIN32
    // The XDG rule: a relative XDG_CONFIG_HOME is ignored.
    std::optional<std::string> xdg = EnvironmentValue("XDG_CONFIG_HOME");
    if (xdg && xdg->front() == '/') return *xdg;
    if (std::optional<std::string> home = EnvironmentValue("HOME")) return *home + "/.config";
#endif
    return std::string();
}

}  // namespace tarnimex
