// SPDX-License-Identifier: GPL-3.0-or-later
// Reading files and probing folders by their UTF-8 names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace tarnimex {

// Opened for binary reading, or nullptr with errno set.
std::FILE* OpenForReading(const std::string& name);

// Moves to the offset from the file's start (beyond 2 GiB too); false with
// errno set when it cannot.
bool SeekTo(std::FILE* file, std::int64_t offset);

// The whole of a regular file of at most maxBytes; nullopt with the reason
// when it cannot be opened or read, is larger, or is no regular file (a device
// may never end, a pipe may block forever).
std::optional<std::string> ReadFileBytes(const std::string& name, std::size_t maxBytes,
                                         std::string& reason);

// Whether a new file can be made in the folder (the current one when empty):
// tried, not guessed from permissions, which do not tell the whole story
// (read-only media, access lists).
bool FolderAcceptsNewFiles(const std::string& folder);

}  // namespace tarnimex
