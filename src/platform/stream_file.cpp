// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/stream_file.h"

#include <cerrno>

#include "platform/path_names.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarnimex {

#ifdef _WIN32

namespace {

HANDLE HandleOf(std::FILE* file) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

std::optional<FileIdentity> IdentityOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

}  // namespace

std::FILE* CreateRecordingFile(const std::string& name) {
    const HANDLE handle =
        CreateFileW(WideFromUtf8(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) _close(fd);
    return file;
}

bool SyncToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && FlushFileBuffers(HandleOf(file));
}

std::optional<FileIdentity> IdentityOfFile(std::FILE* file) {
    return IdentityOfHandle(HandleOf(file));
}

std::optional<FileIdentity> IdentityOfName(const std::string& name) {
    const HANDLE handle = CreateFileW(WideFromUtf8(name).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    const std::optional<FileIdentity> identity = IdentityOfHandle(handle);
    CloseHandle(handle);
    return identity;
}

std::int64_t SizeOfOpenFile(std::FILE* file) {
    LARGE_INTEGER size;
    return GetFileSizeEx(HandleOf(file), &size) ? size.QuadPart : -1;
}

std::int64_t ReadStandardInput(char* into, std::size_t size) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    if (ReadFile(GetStdHandle(STD_INPUT_HANDLE), into, want, &got, nullptr)) return got;
    // The writer of a pipe closed it: its end.
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

#else

namespace {

std::optional<FileIdentity> IdentityOf(const struct stat& status) {
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino)};
}

}  // namespace

std::FILE* CreateRecordingFile(const std::string& name) {
    const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd == -1) return nullptr;
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) ::close(fd);
    return file;
}

bool SyncToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && ::fdatasync(::fileno(file)) == 0;
}

std::optional<FileIdentity> IdentityOfFile(std::FILE* file) {
    struct stat status {};
    if (::fstat(::fileno(file), &status) != 0) return std::nullopt;
    return IdentityOf(status);
}

std::optional<FileIdentity> IdentityOfName(const std::string& name) {
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0) return std::nullopt;
    return IdentityOf(status);
}

std::int64_t SizeOfOpenFile(std::FILE* file) {
    struct stat status {};
    if (::fstat(::fileno(file), &status) != 0) return -1;
    return static_cast<std::int64_t>(status.st_size);
}

std::int64_t ReadStandardInput(char* into, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, into, size);
        if (got >= 0 || errno != EINTR) return got;
    }
}

#endif

}  // namespace tarnimex
