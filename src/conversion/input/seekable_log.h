// SPDX-License-Identifier: GPL-3.0-or-later
// A log that can be read from any offset, by several threads at once: what
// splitting a large log among threads needs. Only an uncompressed log is one.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "conversion/input/byte_source.h"
#include "platform/file_access.h"

namespace tarnimex {

class SeekableLog {
  public:
    virtual ~SeekableLog() = default;
    // The log's size when it was opened.
    virtual std::int64_t Size() const = 0;
    // Its bytes from offset on, read into block where one is given (it must
    // outlive the source, as the log must). The source throws IoError with
    // the path and the system's reason when they cannot be read.
    virtual std::unique_ptr<ByteSource> From(std::int64_t offset,
                                             std::span<unsigned char> block = {}) const = 0;
};

// The file a reader opened, read through a handle on it, never by its name
// again: the name may since have come to mean another file (a log rotated
// while it is read) or none.
class SeekableFile : public SeekableLog {
  public:
    SeekableFile(std::string name, PositionedFile file, std::int64_t size)
        : name_(std::move(name)), file_(std::move(file)), size_(size) {}
    std::int64_t Size() const override { return size_; }
    std::unique_ptr<ByteSource> From(std::int64_t offset,
                                     std::span<unsigned char> block = {}) const override;

  private:
    std::string name_;
    PositionedFile file_;
    std::int64_t size_;
};

class SeekableMemory : public SeekableLog {
  public:
    explicit SeekableMemory(std::string_view bytes) : bytes_(bytes) {}
    std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }
    std::unique_ptr<ByteSource> From(std::int64_t offset,
                                     std::span<unsigned char> block = {}) const override;

  private:
    std::string_view bytes_;
};

}  // namespace tarnimex
