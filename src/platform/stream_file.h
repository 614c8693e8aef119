// SPDX-License-Identifier: GPL-3.0-or-later
// Files of bytes that arrive over time: a recording written as a stream comes
// in, a log followed as another program appends to it, standard input read as
// its bytes come.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace tarnimex {

// A new file for a recording, opened for binary writing only if nothing bears
// its name yet, and readable by others while it is written; nullptr, with
// LastSystemError set, when it cannot be made.
std::FILE* CreateRecordingFile(const std::string& name);

// Flushes the file's buffer and has the system put its bytes on the disk, so
// that a power loss takes nothing written before; false, with LastSystemError
// set, when that fails.
bool SyncToDisk(std::FILE* file);

// What tells one file from another whatever its name: a log rotated away
// keeps it, the new file of its name has another.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOfFile(std::FILE* file);
std::optional<FileIdentity> IdentityOfName(const std::string& name);

// The size of an open file now; -1 when it cannot be told.
std::int64_t SizeOfOpenFile(std::FILE* file);

// Up to size bytes of standard input, as soon as there is at least one: the
// count, 0 at its end, -1 (with LastSystemError set) when the read fails.
std::int64_t ReadStandardInput(char* into, std::size_t size);

}  // namespace tarnimex
