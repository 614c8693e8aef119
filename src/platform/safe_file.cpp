// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/safe_file.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <tuple>
#include <utility>

#include "platform/path_names.h"
#include "platform/system_error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#endif
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

// What is neither a file to replace nor a device or pipe to write into: a
// socket, a block device (a whole disk).
constexpr const char* kNoFileToWrite = "It is neither a file nor a device or pipe to write to.";

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

// The longest file name the folder takes.
std::size_t NameLimit([[maybe_unused]] const std::string& folder) {
#ifdef _WIN32
    return 255;  // UTF-16 units, so at least as many UTF-8 bytes
#else
    const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : 255;
#endif
}

// Hidden, unique, and within the folder's name limit however long the
// target's name is: its copy in the name is cut, at the start of a character.
std::string TempName(const std::string& target) {
    const std::string folder = FolderPart(target);
    const std::string unique = "." + UniquePart() + ".tmp";
    const std::size_t limit = NameLimit(folder);
    std::string_view name = FileNamePart(target);
    const std::size_t room = limit > unique.size() + 1 ? limit - unique.size() - 1 : 0;
    if (name.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name = name.substr(0, cut);
    }
    return folder + "." + std::string(name) + unique;
}

// The new files at work, where RemoveTemporaryFiles finds them: fixed slots
// that a signal handler reads without locks or allocation. A name that finds
// no slot is removed only by its SafeFile. Initialised at compile time: set at
// start, the slots' 256 KiB cost a page fault per slot in every run.
constexpr int kTempSlots = 64;
constexpr std::size_t kLongestTempName = 4096;
enum SlotState : int { kFree, kFilling, kHeld, kRemoving };
struct TempSlot {
    std::atomic<int> state{kFree};
    char name[kLongestTempName]{};
};
constinit TempSlot tempSlots[kTempSlots];

int HoldTempName(const std::string& name) {
    if (name.size() >= kLongestTempName) return -1;
    for (int i = 0; i < kTempSlots; ++i) {
        int expected = kFree;
        if (tempSlots[i].state.compare_exchange_strong(expected, kFilling)) {
            std::memcpy(tempSlots[i].name, name.c_str(), name.size() + 1);
            tempSlots[i].state.store(kHeld);
            return i;
        }
    }
    return -1;
}

void ReleaseTempName(int slot) {
    if (slot < 0) return;
    // A slot being removed stays taken: the program is ending.
    int expected = kHeld;
    tempSlots[slot].state.compare_exchange_strong(expected, kFree);
}

}  // namespace

#ifdef _WIN32

namespace {

// The file a symbolic link names, so that the link is kept.
std::string ResolvedTarget(const std::string& name) {
    std::error_code ec;
    const fs::path path = PathFromUtf8(name);
    if (!fs::is_symlink(path, ec)) return name;
    const fs::path target = fs::weakly_canonical(path, ec);
    if (ec) throw FileError(name, ec.message());
    return Utf8FromPath(target);
}

// A name of the device namespace (\\.\pipe\x, \\.\COM1) or a DOS device's
// (NUL, CON, COM1, LPT1, with any extension, in any folder).
bool DeviceName(const std::string& name) {
    if (name.starts_with("\\\\.\\") || name.starts_with("//./")) return true;
    std::string base(FileNamePart(name));
    base = base.substr(0, base.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* device : {"NUL", "CON", "PRN", "AUX", "CONIN$", "CONOUT$"})
        if (base == device) return true;
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
           base[3] >= '1' && base[3] <= '9';
}

}  // namespace

const FileHandle kNoFile = INVALID_HANDLE_VALUE;

FileHandle CreateNewFile(const std::string& name) {
    // Shared for deletion, so that RemoveTemporaryFiles can remove it while open.
    return CreateFileW(WideFromUtf8(name).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void SafeFile::OpenInPlace() {
    file_ = CreateFileW(WideFromUtf8(target_).c_str(), GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == kNoFile) throw FileError(name_, SystemReason(static_cast<int>(GetLastError())));
    if (GetFileType(file_) == FILE_TYPE_DISK) {
        // A volume or a whole disk (\\.\C:) is never written over.
        CloseHandle(file_);
        file_ = kNoFile;
        throw FileError(name_, kNoFileToWrite);
    }
    inPlace_ = true;
}

SafeFile::SafeFile(std::string name, Durability durability)
    : name_(std::move(name)), durability_(durability) {
    target_ = ResolvedTarget(name_);
    if (DeviceName(target_)) {
        OpenInPlace();
        return;
    }
    const DWORD attributes = GetFileAttributesW(WideFromUtf8(target_).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw FileError(name_, SystemReason(ERROR_ACCESS_DENIED));
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temp_ = TempName(target_);
        file_ = CreateNewFile(temp_);
        if (file_ != kNoFile) {
            HoldTemp();
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            temp_.clear();
            throw FileError(name_, SystemReason(static_cast<int>(error)));
        }
    }
    temp_.clear();
    throw FileError(name_, SystemReason(ERROR_FILE_EXISTS));
}

bool SafeFile::Put(std::string_view bytes) {
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
    if (durability_ == Durability::kSynced && !inPlace_ && error_ == 0 && !FlushFileBuffers(file_))
        error_ = static_cast<int>(GetLastError());
    if (!CloseHandle(file_) && error_ == 0) error_ = static_cast<int>(GetLastError());
    file_ = kNoFile;
}

namespace {

bool ReplaceFile(const std::string& from, const std::string& to, int& error) {
    if (MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = static_cast<int>(GetLastError());
    return false;
}

void RemoveFile(const char* name) {
    DeleteFileW(WideFromUtf8(name).c_str());
}

}  // namespace

#else

namespace {

// Links followed in a row before the name counts as a loop, as the kernel's limit.
constexpr int kMostLinks = 40;

// The file a symbolic link names, so that the link is kept. Followed link by
// link, as the kernel follows them, and under its rule for folders such as
// /tmp (protected_symlinks): a link in a sticky folder anyone may write is not
// followed unless it is the folder owner's or the caller's, as another user
// may have put it there to have the file written somewhere else.
std::string ResolvedTarget(const std::string& name) {
    std::string path = name;
    for (int links = 0; links < kMostLinks; ++links) {
        struct stat link {};
        if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
        const std::string folder = FolderPart(path);
        struct stat owner {};
        if (::stat(folder.empty() ? "." : folder.c_str(), &owner) == 0 &&
            (owner.st_mode & S_ISVTX) != 0 && (owner.st_mode & S_IWOTH) != 0 &&
            link.st_uid != owner.st_uid && link.st_uid != ::geteuid()) {
            throw FileError(name,
                            "It is a symbolic link that another user made in a folder anyone "
                            "may write; it is not followed.");
        }
        char to[PATH_MAX];
        const ssize_t size = ::readlink(path.c_str(), to, sizeof to);
        if (size < 0) throw FileError(name, SystemReason(errno));
        if (static_cast<std::size_t>(size) == sizeof to)
            throw FileError(name, SystemReason(ENAMETOOLONG));
        path = to[0] == '/' ? std::string(to, static_cast<std::size_t>(size))
                            : folder + std::string(to, static_cast<std::size_t>(size));
    }
    throw FileError(name, SystemReason(ELOOP));
}

// Holds back the signals that end the program while a new file exists that
// RemoveTemporaryFiles does not know yet.
class EndingSignalsHeld {
  public:
    EndingSignalsHeld() {
        sigset_t ending;
        sigemptyset(&ending);
        for (const int signal : {SIGTERM, SIGHUP, SIGINT}) sigaddset(&ending, signal);
        pthread_sigmask(SIG_BLOCK, &ending, &before_);
    }
    ~EndingSignalsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

  private:
    sigset_t before_;
};

}  // namespace

const FileHandle kNoFile = -1;

FileHandle CreateNewFile(const std::string& name) {
    return ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
}

void SafeFile::OpenInPlace() {
    // A FIFO waits here for its reader.
    file_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (file_ == kNoFile) throw FileError(name_, SystemReason(errno));
    inPlace_ = true;
}

SafeFile::SafeFile(std::string name, Durability durability)
    : name_(std::move(name)), durability_(durability) {
    target_ = ResolvedTarget(name_);
    struct stat old {};
    const bool exists = ::stat(target_.c_str(), &old) == 0;
    if (exists && (S_ISCHR(old.st_mode) || S_ISFIFO(old.st_mode))) {
        OpenInPlace();
        return;
    }
    if (exists && S_ISDIR(old.st_mode)) throw FileError(name_, SystemReason(EISDIR));
    if (exists && !S_ISREG(old.st_mode)) throw FileError(name_, kNoFileToWrite);
    // A rename would replace a file its owner protected; the file's own
    // permission decides, as when it is opened for writing.
    if (exists && ::access(target_.c_str(), W_OK) != 0) throw FileError(name_, SystemReason(errno));
    {
        const EndingSignalsHeld held;
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
        HoldTemp();
    }
    if (exists) {
        // The owner and group stay, where the process may set them (root; a
        // member of the group), else the new file is the caller's. Before the
        // permissions, as a change of owner clears set-user-ID bits.
        if (::fchown(file_, old.st_uid, old.st_gid) != 0)
            std::ignore = ::fchown(file_, static_cast<uid_t>(-1), old.st_gid);
        // The new file takes the old one's permissions (umask aside).
        ::fchmod(file_, old.st_mode & 07777);
#ifdef __linux__
        struct statfs where {};
        startWriteOut_ = ::fstatfs(file_, &where) == 0 && where.f_type == EXT4_SUPER_MAGIC;
#endif
    }
}

bool SafeFile::Put(std::string_view bytes) {
    while (error_ == 0 && !bytes.empty()) {
        const ssize_t written = ::write(file_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error_ = written < 0 ? errno : kUnknownWriteError;
        } else {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            putBytes_ += written;
#ifdef __linux__
            // ext4 writes a new file out when it is renamed over another, and
            // the rename waits for it (a fifth of the time of a 35 MB CSV).
            // Asked for step by step as the file is written, that work overlaps
            // the writing. A request only: a failure shows in a write or the close.
            if (startWriteOut_ && putBytes_ - writeOutFrom_ >= kWriteOutStep) {
                ::sync_file_range(file_, writeOutFrom_, putBytes_ - writeOutFrom_,
                                  SYNC_FILE_RANGE_WRITE);
                writeOutFrom_ = putBytes_;
            }
#endif
        }
    }
    return error_ == 0;
}

void SafeFile::Close() {
    if (file_ == kNoFile) return;
    if (durability_ == Durability::kSynced && !inPlace_ && error_ == 0 && ::fsync(file_) != 0)
        error_ = errno;
    if (::close(file_) != 0 && error_ == 0) error_ = errno;
    file_ = kNoFile;
}

namespace {

bool ReplaceFile(const std::string& from, const std::string& to, int& error) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    error = errno;
    return false;
}

void RemoveFile(const char* name) {
    ::unlink(name);
}

}  // namespace

#endif

void SafeFile::HoldTemp() {
    tempSlot_ = HoldTempName(temp_);
}

bool SafeFile::Write(std::string_view bytes) {
    if (!inPlace_) return Put(bytes);
    held_ += bytes;
    return true;
}

void SafeFile::Commit() {
    if (inPlace_) {
        Put(held_);
        held_.clear();
    }
    Close();
    if (error_ != 0) ThrowError();
    if (inPlace_) return;
    int error = 0;
    if (!ReplaceFile(temp_, target_, error)) throw FileError(name_, SystemReason(error));
    temp_.clear();
    ReleaseTempName(std::exchange(tempSlot_, -1));
}

SafeFile::~SafeFile() {
    Close();
    if (!temp_.empty()) RemoveFile(temp_.c_str());
    ReleaseTempName(tempSlot_);
}

void SafeFile::ThrowError() const {
    throw FileError(name_, SystemReason(error_ != 0 ? error_ : kUnknownWriteError));
}

void WriteFileAtomically(const std::string& name, std::string_view bytes, Durability durability) {
    SafeFile file(name, durability);
    if (!file.Write(bytes)) file.ThrowError();
    file.Commit();
}

void RemoveTemporaryFiles() {
    for (TempSlot& slot : tempSlots) {
        int expected = kHeld;
        if (slot.state.compare_exchange_strong(expected, kRemoving)) RemoveFile(slot.name);
    }
}

}  // namespace tarnimex
