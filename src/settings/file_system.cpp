// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "settings/settings_error.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tarnimex {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
int OpenNew(const fs::path& path) {
    return _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
}
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1 << 20));
        const int written = _write(fd, bytes.data(), chunk);
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}
bool SyncAndClose(int fd) {
    const bool synced = _commit(fd) == 0;
    return _close(fd) == 0 && synced;
}
bool MayWrite(const fs::path& path) {
    std::error_code ec;
    return (fs::status(path, ec).permissions() & fs::perms::owner_write) != fs::perms::none;
}
#else
int OpenNew(const fs::path& path) {
    return ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
}
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}
bool SyncAndClose(int fd) {
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}
bool MayWrite(const fs::path& path) {
    return ::access(path.c_str(), W_OK) == 0;
}
#endif

std::string UniquePart() {
    static std::mt19937 generator{std::random_device{}()};
    std::ostringstream text;
    text << std::hex << generator();
    return text.str();
}

// A new file that is already open, so nothing else can take its name.
struct NewFile {
    fs::path path;
    int fd = -1;
};

std::optional<NewFile> OpenUniqueFile(const fs::path& folder, std::string_view prefix,
                                      std::string_view suffix) {
    // A few tries only: a clash with a random name means something else is wrong.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string name = std::string(prefix) + UniquePart() + std::string(suffix);
        fs::path path = (folder.empty() ? fs::path(".") : folder) / PathFromUtf8(name);
        const int fd = OpenNew(path);
        if (fd >= 0) return NewFile{std::move(path), fd};
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

fs::path PathFromUtf8(std::string_view text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::optional<fs::path> CreateUniqueFile(const fs::path& folder, std::string_view prefix,
                                         std::string_view suffix) {
    std::optional<NewFile> file = OpenUniqueFile(folder, prefix, suffix);
    if (!file) return std::nullopt;
    if (!SyncAndClose(file->fd)) {
        std::error_code ec;
        fs::remove(file->path, ec);
        return std::nullopt;
    }
    return file->path;
}

std::optional<std::string> ReadFileBytes(const fs::path& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return bytes;
}

void WriteFileAtomically(const fs::path& path, std::string_view bytes) {
    if (!path.has_filename()) throw SettingsError("Cannot write : " + Utf8FromPath(path));
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        target = fs::weakly_canonical(target, ec);
        if (ec) throw SettingsError("Cannot write : " + Utf8FromPath(path));
    }
    const bool exists = fs::exists(target, ec);
    if (exists && !MayWrite(target)) throw SettingsError("Cannot write : " + Utf8FromPath(path));

    std::optional<NewFile> temp =
        OpenUniqueFile(target.parent_path(), "." + Utf8FromPath(target.filename()) + ".", ".tmp");
    if (!temp) throw SettingsError("Cannot write : " + Utf8FromPath(path));
    const bool written = WriteAll(temp->fd, bytes);
    if (!SyncAndClose(temp->fd) || !written) {
        fs::remove(temp->path, ec);
        throw SettingsError("Cannot write : " + Utf8FromPath(path));
    }
    if (exists) fs::permissions(temp->path, fs::status(target, ec).permissions(), ec);
    fs::rename(temp->path, target, ec);
    if (ec) {
        fs::remove(temp->path, ec);
        throw SettingsError("Cannot write : " + Utf8FromPath(path));
    }
}

}  // namespace tarnimex
