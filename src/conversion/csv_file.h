// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a file all or nothing: the bytes go to a new temporary file in the
// same folder, which replaces the target only when it is complete, so a failed
// write leaves no half-written file and keeps any earlier one.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace tarnimex {

// Where a CSV goes, all or nothing.
class CsvOutput {
  public:
    virtual ~CsvOutput() = default;
    virtual bool Write(std::string_view bytes) = 0;
    // Makes the whole CSV appear; throws IoError.
    virtual void Commit() = 0;
    // Throws IoError for the error met by Write.
    [[noreturn]] virtual void Fail() = 0;
};

// "-" is standard output, which gets the CSV only once it is complete.
std::unique_ptr<CsvOutput> OpenCsvOutput(const std::string& path);

class AtomicFile : public CsvOutput {
  public:
    // Creates the temporary file; throws IoError naming path on failure.
    explicit AtomicFile(std::string path);
    ~AtomicFile() override;  // removes the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool Write(std::string_view bytes) override;
    // Closes the temporary file and renames it over the target; throws IoError.
    void Commit() override;
    [[noreturn]] void Fail() override;

  private:
    std::string path_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
    int error_ = 0;
};

}  // namespace tarnimex
