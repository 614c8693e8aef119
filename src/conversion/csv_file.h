// Writes a file all or nothing: the bytes go to a new temporary file in the
// same folder, which replaces the target only when it is complete, so a failed
// write leaves no half-written file and keeps any earlier one.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tarnimex {

class AtomicFile {
  public:
    // Creates the temporary file; throws IoError naming path on failure.
    explicit AtomicFile(std::string path);
    ~AtomicFile();  // removes the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool Write(std::string_view bytes);
    // Closes the temporary file and renames it over the target; throws IoError.
    void Commit();
    // Throws IoError for the error met by Write.
    [[noreturn]] void Fail();

  private:
    std::string path_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
    int error_ = 0;
};

}  // namespace tarnimex
