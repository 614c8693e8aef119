// SPDX-License-Identifier: GPL-3.0-or-later
#include "byte_source.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "conversion_host.h"

namespace tarnimex {

void ThrowReadError(const std::string& path, int error) {
    ThrowReadError(path, std::generic_category().message(error));
}

void ThrowReadError(const std::string& path, const std::string& reason) {
    throw IoError("Cannot read file \"" + path + "\". " + reason);
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
    errno = 0;
    const std::size_t n = std::fread(buffer, 1, maxSize, file_);
    if (n < maxSize && std::ferror(file_)) {
        const int error = errno != 0 ? errno : EIO;
        std::clearerr(file_);
        ThrowReadError(path_, error);
    }
    return {buffer, n};
}

std::span<const unsigned char> MemorySource::Next(std::size_t maxSize) {
    const std::size_t n = std::min({maxSize, maxPiece_, bytes_.size() - pos_});
    const auto* data = reinterpret_cast<const unsigned char*>(bytes_.data()) + pos_;
    pos_ += n;
    return {data, n};
}

}  // namespace tarnimex
