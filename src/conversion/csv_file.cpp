// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "conversion_host.h"

namespace tarnimex {

namespace {

std::string Reason(int error) {
    return std::generic_category().message(error);
}

[[noreturn]] void Throw(const std::string& path, int error) {
    throw IoError("Cannot create file \"" + path + "\". " + Reason(error));
}

// Standard output cannot be replaced as a whole: the CSV is held until complete.
class StandardOutput : public CsvOutput {
  public:
    bool Write(std::string_view bytes) override {
        bytes_ += bytes;
        return true;
    }
    void Commit() override {
        errno = 0;
        if (std::fwrite(bytes_.data(), 1, bytes_.size(), stdout) != bytes_.size() ||
            std::fflush(stdout) != 0) {
            Fail();
        }
    }
    [[noreturn]] void Fail() override {
        throw IoError("Cannot write standard output. " + Reason(errno != 0 ? errno : EIO));
    }

  private:
    std::string bytes_;
};

}  // namespace

std::unique_ptr<CsvOutput> OpenCsvOutput(const std::string& path) {
    if (path == "-") return std::make_unique<StandardOutput>();
    return std::make_unique<AtomicFile>(path);
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
#ifndef _WIN32
    // A rename would replace a file its owner protected; the file's own
    // permission decides, as when it is opened for writing.
    struct stat target {};
    const bool replaces = ::stat(path_.c_str(), &target) == 0 && S_ISREG(target.st_mode);
    if (replaces && ::access(path_.c_str(), W_OK) != 0) Throw(path_, errno);
#endif
    static std::atomic<unsigned> counter{0};
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100 && file_ == nullptr; ++attempt) {
        tempPath_ = path_ + ".tmp" + std::to_string((stamp + counter++) % 1000000007ull);
        errno = 0;
        file_ = std::fopen(tempPath_.c_str(), "wbx");  // never reuses an existing file
        if (file_ == nullptr && errno != EEXIST) break;
    }
    if (file_ == nullptr) Throw(path_, errno != 0 ? errno : EIO);
#ifndef _WIN32
    // The new file takes the old one's permissions (umask aside).
    if (replaces) ::fchmod(::fileno(file_), target.st_mode & 07777);
#endif
    // Callers hand over large pieces; a stdio buffer would only copy them once more.
    std::setvbuf(file_, nullptr, _IONBF, 0);
}

AtomicFile::~AtomicFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (!tempPath_.empty()) std::remove(tempPath_.c_str());
}

bool AtomicFile::Write(std::string_view bytes) {
    if (error_ != 0) return false;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    return true;
}

void AtomicFile::Fail() {
    const int error = error_ != 0 ? error_ : EIO;
    Throw(path_, error);
}

void AtomicFile::Commit() {
    if (error_ != 0) Fail();
    errno = 0;
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) Throw(path_, errno != 0 ? errno : EIO);
    std::error_code ec;
    std::filesystem::rename(tempPath_, path_, ec);
    if (ec) throw IoError("Cannot create file \"" + path_ + "\". " + ec.message());
    tempPath_.clear();
}

}  // namespace tarnimex
