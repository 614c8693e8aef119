// SPDX-License-Identifier: GPL-3.0-or-later
// Reading files and probing folders by their UTF-8 names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

namespace tarnimex {

// Opened for binary reading, or nullptr with errno set.
std::FILE* OpenForReading(const std::string& name);

// Moves to the offset from the file's start (beyond 2 GiB too); false with
// errno set when it cannot.
bool SeekTo(std::FILE* file, std::int64_t offset);

// An open file read at any offset, by several threads at once, through a
// handle of its own: it stays the file that was opened when its name comes to
// mean another (a log rotated while it is read) or none.
class PositionedFile {
  public:
    // A second handle on the open file; nullopt, with LastSystemError set,
    // when there is none to be had.
    static std::optional<PositionedFile> Duplicate(std::FILE* file);
    PositionedFile(PositionedFile&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}
    PositionedFile& operator=(PositionedFile&&) = delete;
    ~PositionedFile();

    // Reads up to size bytes from offset into into, fewer only at the end of
    // the file; -1, with LastSystemError set, when the read fails.
    std::int64_t ReadAt(std::int64_t offset, unsigned char* into, std::size_t size) const;

  private:
    explicit PositionedFile(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_;  // a descriptor, on Windows a HANDLE; -1 for none
};

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
