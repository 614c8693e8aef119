// SPDX-License-Identifier: GPL-3.0-or-later
// Where the log reader's bytes come from: a file read block by block, or bytes
// in memory handed out in pieces. A block stays valid until the next call.
// Read failures throw IoError with the path and the system's reason. (A
// read-ahead thread was tried: the blocks then arrive cold in this core's cache
// and the whole run gets slower.)
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tarnimex {

// Throws IoError for a read of path that failed with the C library's error,
// or for the system's reason.
[[noreturn]] void ThrowReadError(const std::string& path, int error);
[[noreturn]] void ThrowReadError(const std::string& path, const std::string& reason);

// Up to size bytes of file, as fread reads them, but read on where a signal
// interrupted the read, unless it was one that asked for an abort
// (AbortRequested; Ctrl-C while a pipe sends nothing): then what there is.
// Throws IoError naming path when the read fails.
std::size_t ReadBlock(std::FILE* file, unsigned char* into, std::size_t size,
                      const std::string& path);

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // The next block of at most maxSize bytes; empty at the end of input.
    virtual std::span<const unsigned char> Next(std::size_t maxSize) = 0;
    // Bytes taken from the underlying file so far, when they differ from the
    // bytes handed out (a decompressing source); -1 otherwise.
    virtual std::int64_t InputBytesConsumed() const { return -1; }
    // The file whose bytes these are, as they are (no pipe, nothing
    // decompressed): it can be read again at any offset. nullptr otherwise.
    virtual std::FILE* PlainFile() const { return nullptr; }
    // After an empty block: whether more bytes may still come (a live stream
    // that has nothing yet), rather than the end of input.
    virtual bool MoreToCome() const { return false; }
};

// Blocks read when asked for.
class FileSource : public ByteSource {
  public:
    FileSource(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
    ~FileSource() override;
    std::span<const unsigned char> Next(std::size_t maxSize) override;
    std::FILE* PlainFile() const override { return file_; }

  private:
    std::FILE* file_;
    std::string path_;
    // Left uninitialised: every log would otherwise pay for zeroing it.
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t capacity_ = 0;
};

class MemorySource : public ByteSource {
  public:
    explicit MemorySource(std::string_view bytes, std::size_t maxPiece = SIZE_MAX)
        : bytes_(bytes), maxPiece_(maxPiece) {}
    std::span<const unsigned char> Next(std::size_t maxSize) override;

  private:
    std::string_view bytes_;
    std::size_t maxPiece_;
    std::size_t pos_ = 0;
};

// The bytes of a live stream, handed in as they arrive: a block holds what came
// since the last one; an empty block means nothing yet, until the stream ends.
class LiveSource : public ByteSource {
  public:
    void Append(std::string_view bytes) { incoming_.append(bytes); }
    void End() { ended_ = true; }
    std::span<const unsigned char> Next(std::size_t maxSize) override;
    bool MoreToCome() const override { return !ended_; }

  private:
    std::string incoming_;
    std::string handed_;  // the block handed out last
    bool ended_ = false;
};

}  // namespace tarnimex
