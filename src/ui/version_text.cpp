// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/version_text.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace tarnimex {

namespace {

constexpr std::uint32_t kNoVersion = 0xFFFFFFFFu;

#ifdef _WIN32
// The most significant word of the fixed file version in the executable's
// version record (written from the project's version by the resource file).
std::uint32_t ExecutableFileVersion() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return kNoVersion;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return kNoVersion;
    std::vector<unsigned char> record(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, record.data())) return kNoVersion;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO))
        return kNoVersion;
    return fixed->dwFileVersionMS;
}
#else
// POSIX executables carry no version record: the version the program was built as.
std::uint32_t ExecutableFileVersion() {
#if defined(TARNIMEX_VERSION_MAJOR) && defined(TARNIMEX_VERSION_MINOR)
    return (std::uint32_t{TARNIMEX_VERSION_MAJOR & 0xFFFF} << 16) |
           std::uint32_t{TARNIMEX_VERSION_MINOR & 0xFFFF};
#else
    return kNoVersion;
#endif
}
#endif

}  // namespace

std::string GetVersionText(std::uint32_t version) {
    std::string minor = std::to_string(version & 0xFFFFu);
    while (minor.size() < 2) minor.insert(minor.begin(), '0');
    return std::to_string(version >> 16) + "." + minor;
}

std::string GetVersionText() {
    return GetVersionText(ExecutableFileVersion());
}

}  // namespace tarnimex
