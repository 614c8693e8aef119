// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/safe_file.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <random>

#include "platform/path_names.h"
#include "platform/system_error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarnimex {

namespace fs = std::filesystem;

namespace {

// A clash of random names means something else is wrong; a few tries do.
constexpr int kNameAttempts = 16;

// For a write that failed without the system saying why.
#ifdef _WIN32
constexpr int kUnknownWriteError = ERROR_WRITE_FAULT;
#else
constexpr int kUnknownWriteError = EIO;
#endif

// Unique across the threads of one run and across runs.
std::string UniquePart() {
    static const std::uint64_t seed =
        (std::uint64_t{std::random_device{}()} << 32) | std::random_device{}();
    static std::atomic<std::uint64_t> counter{0};
    const std::uint64_t mixed = seed ^ (++counter * 0x9E3779B97F4A7C15ull);
    char text[17];
    for (int i = 15; i >= 0; --i) text[15 - i] = "0123456789abcdef"[(mixed >> (4 * i)) & 0xF];
    text[16] = '\0';
    return text;
}

std::string TempName(const std::string& target) {
    return FolderPart(target) + "." + std::string(FileNamePart(target)) + "." + UniquePart() +
           ".tmp";
}

// The file a symbolic link names, so that the link is kept.
std::string ResolvedTarget(const std::string& name) {
    std::error_code ec;
    const fs::path path = PathFromUtf8(name);
    if (!fs::is_symlink(path, ec)) return name;
    const fs::path target = fs::weakly_canonical(path, ec);
    if (ec) throw FileError(name, ec.message());
    return Utf8FromPath(target);
}

}  // namespace

#ifdef _WIN32

const FileHandle kNoFile = INVALID_HANDLE_VALUE;

FileHandle CreateNewFile(const std::string& name) {
    return CreateFileW(WideFromUtf8(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

SafeFile::SafeFile(std::string name, Durability durability)
    : name_(std::move(name)), durability_(durability) {
    target_ = ResolvedTarget(name_);
    const std::wstring target = WideFromUtf8(target_);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw FileError(name_, SystemReason(ERROR_ACCESS_DENIED));
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temp_ = TempName(target_);
        file_ = CreateNewFile(temp_);
        if (file_ != kNoFile) return;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            temp_.clear();
            throw FileError(name_, SystemReason(static_cast<int>(error)));
        }
    }
    temp_.clear();
    throw FileError(name_, SystemReason(ERROR_FILE_EXISTS));
}

bool SafeFile::Write(std::string_view bytes) {
    // WriteFile takes 32-bit counts.
    constexpr std::size_t kLargestWrite = 1u << 30;
    while (error_ == 0 && !bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min(bytes.size(), kLargestWrite));
        DWORD written = 0;
        if (!WriteFile(file_, bytes.data(), chunk, &written, nullptr)) {
            error_ = static_cast<int>(GetLastError());
        } else if (written == 0) {
            error_ = kUnknownWriteError;
        }
        bytes.remove_prefix(written);
    }
    return error_ == 0;
}

void SafeFile::Close() {
    if (file_ == kNoFile) return;
    if (durability_ == Durability::kSynced && error_ == 0 && !FlushFileBuffers(file_))
        error_ = static_cast<int>(GetLastError());
    if (!CloseHandle(file_) && error_ == 0) error_ = static_cast<int>(GetLastError());
    file_ = kNoFile;
}

void SafeFile::Commit() {
    Close();
    if (error_ != 0) ThrowError();
    if (!MoveFileExW(WideFromUtf8(temp_).c_str(), WideFromUtf8(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw FileError(name_, SystemReason(static_cast<int>(GetLastError())));
    }
    temp_.clear();
}

SafeFile::~SafeFile() {
    Close();
    if (!temp_.empty()) DeleteFileW(WideFromUtf8(temp_).c_str());
}

#else

const FileHandle kNoFile = -1;

FileHandle CreateNewFile(const std::string& name) {
    return ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
}

SafeFile::SafeFile(std::string name, Durability durability)
    : name_(std::move(name)), durability_(durability) {
    target_ = ResolvedTarget(name_);
    // A rename would replace a file its owner protected; the file's own
    // permission decides, as when it is opened for writing.
    struct stat old {};
    const bool replaces = ::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (replaces && ::access(target_.c_str(), W_OK) != 0)
        throw FileError(name_, SystemReason(errno));
    for (int attempt = 0; attempt < kNameAttempts && file_ == kNoFile; ++attempt) {
        temp_ = TempName(target_);
        file_ = CreateNewFile(temp_);
        if (file_ == kNoFile && errno != EEXIST) break;
    }
    if (file_ == kNoFile) {
        const int error = errno;
        temp_.clear();
        throw FileError(name_, SystemReason(error));
    }
    // The new file takes the old one's permissions (umask aside).
    if (replaces) ::fchmod(file_, old.st_mode & 07777);
}

bool SafeFile::Write(std::string_view bytes) {
    while (error_ == 0 && !bytes.empty()) {
        const ssize_t written = ::write(file_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error_ = written < 0 ? errno : kUnknownWriteError;
        } else {
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
    }
    return error_ == 0;
}

void SafeFile::Close() {
    if (file_ == kNoFile) return;
    if (durability_ == Durability::kSynced && error_ == 0 && ::fsync(file_) != 0) error_ = errno;
    if (::close(file_) != 0 && error_ == 0) error_ = errno;
    file_ = kNoFile;
}

void SafeFile::Commit() {
    Close();
    if (error_ != 0) ThrowError();
    if (::rename(temp_.c_str(), target_.c_str()) != 0) throw FileError(name_, SystemReason(errno));
    temp_.clear();
}

SafeFile::~SafeFile() {
    Close();
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

#endif

void SafeFile::ThrowError() const {
    throw FileError(name_, SystemReason(error_ != 0 ? error_ : kUnknownWriteError));
}

void WriteFileAtomically(const std::string& name, std::string_view bytes, Durability durability) {
    SafeFile file(name, durability);
    if (!file.Write(bytes)) file.ThrowError();
    file.Commit();
}

}  // namespace tarnimex
