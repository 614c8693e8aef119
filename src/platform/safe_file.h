// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a file all or nothing. The bytes go to a new file of a unique name in
// the target's folder, created exclusively so that nothing else can hold it;
// only when complete does it replace the target, by a rename. A failed write
// therefore leaves no half-written file and keeps any earlier one. A target its
// owner protected is refused, not replaced; a symbolic link keeps naming the
// file it names; the new file keeps the old one's permissions, and its owner
// and group where the process may set them. A device or a pipe (/dev/null, a
// FIFO; NUL or \\.\pipe\ on Windows) is no file to replace: it gets the bytes
// in place, all at once on Commit.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnimex {

// Why a file could not be written, with its name as the caller gave it.
class FileError : public std::runtime_error {
  public:
    FileError(std::string name, std::string reason)
        : std::runtime_error(name + ": " + reason),
          name_(std::move(name)),
          reason_(std::move(reason)) {}
    const std::string& Name() const { return name_; }
    const std::string& Reason() const { return reason_; }

  private:
    std::string name_;
    std::string reason_;
};

// The system's handle of an open file: a HANDLE on Windows, a descriptor on POSIX.
#ifdef _WIN32
using FileHandle = void*;
#else
using FileHandle = int;
#endif
extern const FileHandle kNoFile;

// Opens a file for writing only if nothing bears its name yet, so that the new
// file is nobody else's and nothing that stood there is touched; kNoFile when
// it cannot (LastSystemError tells why).
FileHandle CreateNewFile(const std::string& name);

// Whether the bytes must reach the disk before the rename: worth it for a small
// file that cannot be made again (the settings), not for one that can (a CSV).
enum class Durability { kCached, kSynced };

class SafeFile {
  public:
    // Creates the new file; throws FileError.
    SafeFile(std::string name, Durability durability);
    ~SafeFile();  // removes the new file unless committed
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // False once a write has failed; the error waits for Commit or ThrowError.
    bool Write(std::string_view bytes);
    // Closes the new file and renames it over the target; throws FileError.
    void Commit();
    // Throws the error met by Write.
    [[noreturn]] void ThrowError() const;

  private:
    void Close();

    bool Put(std::string_view bytes);  // to file_
    void OpenInPlace();
    void HoldTemp();

    std::string name_;
    std::string target_;  // name_, or the file its symbolic link names
    std::string temp_;    // empty when the target is written in place
    std::string held_;    // the bytes for a device or pipe, until Commit
    bool inPlace_ = false;
    Durability durability_;
    FileHandle file_ = kNoFile;
    int error_ = 0;
    int tempSlot_ = -1;  // where RemoveTemporaryFiles finds temp_
    // Replacing a file on ext4: the bytes put are written out every step.
    static constexpr std::int64_t kWriteOutStep = 4 << 20;
    bool startWriteOut_ = false;
    std::int64_t putBytes_ = 0;
    std::int64_t writeOutFrom_ = 0;
};

// Gives the file exactly these bytes or leaves it as it was; throws FileError.
void WriteFileAtomically(const std::string& name, std::string_view bytes, Durability durability);

// Removes the new files of the SafeFiles not yet committed, for a program that
// is being ended by a signal: async-signal-safe, no locks, no allocation (on
// POSIX).
void RemoveTemporaryFiles();

}  // namespace tarnimex
