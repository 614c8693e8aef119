// SPDX-License-Identifier: GPL-3.0-or-later
// Where a CSV goes: a file written all or nothing, or standard output.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/safe_file.h"

namespace tarnimex {

// Where a CSV goes, all or nothing.
class CsvOutput {
  public:
    virtual ~CsvOutput() = default;
    virtual bool Write(std::string_view bytes) = 0;
    // Makes the whole CSV appear; throws CsvError.
    virtual void Commit() = 0;
    // Throws CsvError for the error met by Write.
    [[noreturn]] virtual void Fail() = 0;
};

// "-" is standard output, which gets the CSV only once it is complete.
std::unique_ptr<CsvOutput> OpenCsvOutput(const std::string& path);

// A CSV can be made again from its log, so it is not synced before the rename.
class AtomicFile : public CsvOutput {
  public:
    // Creates the new file; throws CsvError naming path on failure.
    explicit AtomicFile(std::string path);

    bool Write(std::string_view bytes) override;
    // Replaces the target with the new file; throws CsvError.
    void Commit() override;
    [[noreturn]] void Fail() override;

  private:
    static SafeFile Create(std::string path);

    SafeFile file_;
};

}  // namespace tarnimex
