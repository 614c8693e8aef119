// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/path_names.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shlwapi.h>
#else
#include <fnmatch.h>
#endif

namespace tarnimex {

std::string FolderPart(std::string_view name) {
    const std::size_t separator = name.find_last_of(kFolderSeparators);
    return separator == std::string_view::npos ? std::string{}
                                               : std::string{name.substr(0, separator + 1)};
}

std::string_view FileNamePart(std::string_view name) {
    const std::size_t separator = name.find_last_of(kFolderSeparators);
    return separator == std::string_view::npos ? name : name.substr(separator + 1);
}

std::string_view FileExtension(std::string_view name) {
    const std::string_view file = FileNamePart(name);
    const std::size_t dot = file.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : file.substr(dot);
}

bool MatchesWildcard(const std::string& pattern, const std::string& fileName, bool ignoreCase) {
#ifdef _WIN32
    (void)ignoreCase;
    return PathMatchSpecW(WideFromUtf8(fileName).c_str(), WideFromUtf8(pattern).c_str());
#else
    return fnmatch(pattern.c_str(), fileName.c_str(), ignoreCase ? FNM_CASEFOLD : 0) == 0;
#endif
}

std::filesystem::path PathFromUtf8(std::string_view name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

#ifdef _WIN32
std::wstring WideFromBytes(std::string_view text, unsigned codePage) {
    const int size = static_cast<int>(text.size());
    std::wstring wide(
        static_cast<std::size_t>(MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0)),
        L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string BytesFromWide(std::wstring_view text, unsigned codePage) {
    // A character the code page lacks becomes "?" (UTF-8 lacks none, and takes no default).
    const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
    const int size = static_cast<int>(text.size());
    std::string bytes(static_cast<std::size_t>(WideCharToMultiByte(codePage, 0, text.data(), size,
                                                                   nullptr, 0, fallback, nullptr)),
                      '\0');
    WideCharToMultiByte(codePage, 0, text.data(), size, bytes.data(),
                        static_cast<int>(bytes.size()), fallback, nullptr);
    return bytes;
}

std::wstring WideFromUtf8(std::string_view text) {
    return WideFromBytes(text, CP_UTF8);
}

std::string Utf8FromWide(std::wstring_view text) {
    return BytesFromWide(text, CP_UTF8);
}
#endif

}  // namespace tarnimex
