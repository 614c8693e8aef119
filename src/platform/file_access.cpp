// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_access.h"

#include <cerrno>
#include <filesystem>

#include "platform/path_names.h"
#include "platform/safe_file.h"
#include "platform/system_error.h"

namespace tarnimex {

std::FILE* OpenForReading(const std::string& name) {
#ifdef _WIN32
    return _wfopen(WideFromUtf8(name).c_str(), L"rb");
#else
    return std::fopen(name.c_str(), "rb");
#endif
}

bool SeekTo(std::FILE* file, std::int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::optional<std::string> ReadFileBytes(const std::string& name, std::size_t maxBytes,
                                         std::string& reason) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(PathFromUtf8(name), ec);
    // Asked before opening: opening a pipe waits for a writer.
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        reason = "Not a regular file";
        return std::nullopt;
    }
    std::FILE* file = OpenForReading(name);
    if (file == nullptr) {
        reason = LibraryReason(errno);
        return std::nullopt;
    }
    std::string bytes;
    char block[64 * 1024];
    errno = 0;
    std::size_t n = 0;
    // One byte beyond the limit tells a larger file.
    while (bytes.size() <= maxBytes && (n = std::fread(block, 1, sizeof block, file)) > 0) {
        bytes.append(block, n);
    }
    const int error = std::ferror(file) ? (errno != 0 ? errno : EIO) : 0;
    std::fclose(file);
    if (error != 0) {
        reason = LibraryReason(error);
        return std::nullopt;
    }
    if (bytes.size() > maxBytes) {
        reason = maxBytes % (1 << 20) == 0
                     ? "Larger than " + std::to_string(maxBytes >> 20) + " MiB"
                     : "Larger than " + std::to_string(maxBytes) + " bytes";
        return std::nullopt;
    }
    return bytes;
}

bool FolderAcceptsNewFiles(const std::string& folder) {
    try {
        std::string probe = folder;
        if (!probe.empty() && kFolderSeparators.find(probe.back()) == std::string::npos)
            probe += kFolderSeparator;
        // Never committed: the new file goes when the probe does.
        SafeFile file(probe + "$$$", Durability::kCached);
        return true;
    } catch (const FileError&) {
        return false;
    }
}

}  // namespace tarnimex
