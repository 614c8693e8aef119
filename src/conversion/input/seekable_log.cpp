// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/input/seekable_log.h"

#include <algorithm>

#include "platform/system_error.h"

namespace tarnimex {

namespace {

// The file's bytes from an offset on, each block read where it lies: the
// sources of all the threads share one handle.
class PositionedSource : public ByteSource {
  public:
    PositionedSource(const PositionedFile& file, const std::string& path, std::int64_t offset,
                     std::span<unsigned char> block)
        : file_(file), path_(path), offset_(offset), block_(block) {}

    std::span<const unsigned char> Next(std::size_t maxSize) override {
        unsigned char* buffer = block_.data();
        if (block_.size() < maxSize) {
            if (capacity_ < maxSize) {
                buffer_.reset(new unsigned char[maxSize]);
                capacity_ = maxSize;
            }
            buffer = buffer_.get();
        }
        const std::int64_t n = file_.ReadAt(offset_, buffer, maxSize);
        if (n < 0) ThrowReadError(path_, SystemReason(LastSystemError()));
        offset_ += n;
        return {buffer, static_cast<std::size_t>(n)};
    }

  private:
    const PositionedFile& file_;
    const std::string& path_;
    std::int64_t offset_;
    // The caller's block while it is large enough, else one of its own, left
    // uninitialised: zeroing it would cost more than the reads.
    std::span<unsigned char> block_;
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t capacity_ = 0;
};

}  // namespace

std::unique_ptr<ByteSource> SeekableFile::From(std::int64_t offset,
                                               std::span<unsigned char> block) const {
    return std::make_unique<PositionedSource>(file_, name_, offset, block);
}

std::unique_ptr<ByteSource> SeekableMemory::From(std::int64_t offset,
                                                 std::span<unsigned char> /*block*/) const {
    const auto from = std::min(static_cast<std::size_t>(offset), bytes_.size());
    return std::make_unique<MemorySource>(bytes_.substr(from));
}

}  // namespace tarnimex
