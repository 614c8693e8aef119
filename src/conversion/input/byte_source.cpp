// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/input/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "conversion/abort_request.h"
#include "conversion/io_errors.h"

namespace tarnimex {

void ThrowReadError(const std::string& path, int error) {
    ThrowReadError(path, std::generic_category().message(error));
}

void ThrowReadError(const std::string& path, const std::string& reason) {
    throw IoError("Cannot read file \"" + path + "\". " + reason);
}

std::size_t ReadBlock(std::FILE* file, unsigned char* into, std::size_t size,
                      const std::string& path) {
    std::size_t n = 0;
    for (;;) {
        errno = 0;
        n += std::fread(into + n, 1, size - n, file);
        if (!std::ferror(file)) return n;
        const int error = errno != 0 ? errno : EIO;
        std::clearerr(file);
        if (error != EINTR) ThrowReadError(path, error);
        if (AbortRequested.load(std::memory_order_relaxed)) return n;
    }
}

FileSource::~FileSource() {
    if (file_ != nullptr) std::fclose(file_);
}

std::span<const unsigned char> FileSource::Next(std::size_t maxSize) {
    if (capacity_ < maxSize) {
        buffer_.reset(new unsigned char[maxSize]);
        capacity_ = maxSize;
    }
    unsigned char* buffer = buffer_.get();
    return {buffer, ReadBlock(file_, buffer, maxSize, path_)};
}

std::span<const unsigned char> MemorySource::Next(std::size_t maxSize) {
    const std::size_t n = std::min({maxSize, maxPiece_, bytes_.size() - pos_});
    const auto* data = reinterpret_cast<const unsigned char*>(bytes_.data()) + pos_;
    pos_ += n;
    return {data, n};
}

std::span<const unsigned char> LiveSource::Next(std::size_t maxSize) {
    handed_.clear();
    if (incoming_.size() <= maxSize) {
        handed_.swap(incoming_);
    } else {
        handed_.assign(incoming_, 0, maxSize);
        incoming_.erase(0, maxSize);
    }
    return {reinterpret_cast<const unsigned char*>(handed_.data()), handed_.size()};
}

}  // namespace tarnimex
