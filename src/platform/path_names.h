// SPDX-License-Identifier: GPL-3.0-or-later
// File names inside the program are UTF-8 text; the platform's rules for them
// live here. On POSIX only "/" separates folders; on Windows "\", ":" (after a
// drive letter) and "/" do, as the system's own calls accept all three.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnimex {

#ifdef _WIN32
inline constexpr std::string_view kFolderSeparators = "\\:/";
inline constexpr char kFolderSeparator = '\\';
#else
inline constexpr std::string_view kFolderSeparators = "/";
inline constexpr char kFolderSeparator = '/';
#endif

// The folder part of a name, up to and including its last folder separator;
// empty for a bare name.
std::string FolderPart(std::string_view name);

// What follows the folder part.
std::string_view FileNamePart(std::string_view name);

// From the last "." after the last folder separator to the end; empty when there is none.
std::string_view FileExtension(std::string_view name);

// Whether a file name matches a wildcard pattern ("*", "?"; on POSIX also
// "[...]"), in any letter case when ignoreCase or on Windows, as its file
// names are.
bool MatchesWildcard(const std::string& pattern, const std::string& fileName, bool ignoreCase);

// The system's form of a name and back (wide on Windows, bytes on POSIX).
std::filesystem::path PathFromUtf8(std::string_view name);
std::string Utf8FromPath(const std::filesystem::path& path);

#ifdef _WIN32
// What the wide calls take and give, from and to a code page's bytes.
std::wstring WideFromBytes(std::string_view text, unsigned codePage);
std::string BytesFromWide(std::wstring_view text, unsigned codePage);
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
#endif

}  // namespace tarnimex
