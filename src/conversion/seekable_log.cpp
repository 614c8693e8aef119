// SPDX-License-Identifier: GPL-3.0-or-later
#include "seekable_log.h"

#include <algorithm>
#include <cerrno>

#include "platform/file_access.h"

namespace tarnimex {

std::unique_ptr<ByteSource> SeekableFile::From(std::int64_t offset,
                                               std::span<unsigned char> block) const {
    errno = 0;
    std::FILE* file = OpenForReading(name_);
    if (file == nullptr || !SeekTo(file, offset)) {
        const int error = errno != 0 ? errno : EIO;
        if (file != nullptr) std::fclose(file);
        ThrowReadError(name_, error);
    }
    // The reader's blocks are large enough; a second buffer would only copy.
    std::setvbuf(file, nullptr, _IONBF, 0);
    return std::make_unique<FileSource>(file, name_, block);
}

std::unique_ptr<ByteSource> SeekableMemory::From(std::int64_t offset,
                                                 std::span<unsigned char> /*block*/) const {
    const auto from = std::min(static_cast<std::size_t>(offset), bytes_.size());
    return std::make_unique<MemorySource>(bytes_.substr(from));
}

}  // namespace tarnimex
