// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_access.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "platform/path_names.h"
#include "platform/safe_file.h"
#include "platform/system_error.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

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

#ifdef _WIN32
std::optional<PositionedFile> PositionedFile::Duplicate(std::FILE* file) {
    const auto original = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    HANDLE own = nullptr;
    if (original == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), original, GetCurrentProcess(), &own, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return std::nullopt;
    }
    return PositionedFile(reinterpret_cast<std::intptr_t>(own));
}

PositionedFile::~PositionedFile() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::int64_t PositionedFile::ReadAt(std::int64_t offset, unsigned char* into,
                                    std::size_t size) const {
    // The offset goes with each read: the handle's own position is shared by
    // the threads (and moves with every read), so it is never relied on.
    std::size_t done = 0;
    while (done < size) {
        const auto at = static_cast<std::uint64_t>(offset) + done;
        OVERLAPPED position{};
        position.Offset = static_cast<DWORD>(at);
        position.OffsetHigh = static_cast<DWORD>(at >> 32);
        const auto most = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(handle_), into + done, most, &got, &position)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return -1;
        }
        if (got == 0) break;
        done += got;
    }
    return static_cast<std::int64_t>(done);
}
#else
std::optional<PositionedFile> PositionedFile::Duplicate(std::FILE* file) {
    // Not inherited: a program started meanwhile has no business with the log.
    const int own = fcntl(fileno(file), F_DUPFD_CLOEXEC, 0);
    if (own < 0) return std::nullopt;
    return PositionedFile(own);
}

PositionedFile::~PositionedFile() {
    if (handle_ != -1) close(static_cast<int>(handle_));
}

std::int64_t PositionedFile::ReadAt(std::int64_t offset, unsigned char* into,
                                    std::size_t size) const {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(static_cast<int>(handle_), into + done, size - done,
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}
#endif

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
