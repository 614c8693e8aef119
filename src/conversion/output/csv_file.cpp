// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/output/csv_file.h"

#include <cerrno>
#include <cstdio>

#include "conversion/io_errors.h"
#include "platform/system_error.h"

namespace tarnimex {

namespace {

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
        throw CsvError("Cannot write standard output. " + LibraryReason(errno != 0 ? errno : EIO));
    }

  private:
    std::string bytes_;
};

}  // namespace

std::unique_ptr<CsvOutput> OpenCsvOutput(const std::string& path) {
    if (path == "-") return std::make_unique<StandardOutput>();
    return std::make_unique<AtomicFile>(path);
}

namespace {

[[noreturn]] void ThrowCsvError(const FileError& error) {
    throw CsvError("Cannot create file \"" + error.Name() + "\". " + error.Reason());
}

}  // namespace

SafeFile AtomicFile::Create(std::string path) try {
    return SafeFile(std::move(path), Durability::kCached);
} catch (const FileError& error) {
    ThrowCsvError(error);
}

AtomicFile::AtomicFile(std::string path) : file_(Create(std::move(path))) {}

bool AtomicFile::Write(std::string_view bytes) {
    return file_.Write(bytes);
}

void AtomicFile::Fail() try { file_.ThrowError(); } catch (const FileError& error) {
    ThrowCsvError(error);
}

void AtomicFile::Commit() try { file_.Commit(); } catch (const FileError& error) {
    ThrowCsvError(error);
}

}  // namespace tarnimex
