// SPDX-License-Identifier: GPL-3.0-or-later
// File helpers for the settings: UTF-8 paths, creating a file that must be new,
// whole-file reads, and replacing a file all-or-nothing (a temporary file in the
// same folder, then a rename), so a crash or a full disk never leaves a torn file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarnimex {

std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

// Creates a new empty file named prefix + a unique part + suffix in the folder
// (the current one when empty). nullopt when the folder refuses.
std::optional<std::filesystem::path> CreateUniqueFile(const std::filesystem::path& folder,
                                                      std::string_view prefix,
                                                      std::string_view suffix);

// The whole file; nullopt when it cannot be opened or read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

// Gives the file exactly these bytes, or leaves it as it was and throws
// SettingsError. An existing file that may not be written is refused, not
// replaced; a symbolic link keeps pointing at the file it names.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace tarnimex
