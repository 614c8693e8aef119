// SPDX-License-Identifier: GPL-3.0-or-later
// Scratch folders and byte-exact file contents for the settings tests, which
// use them by their short names.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnimex::testing {

// A fresh folder under the system's temporary folder, removed with its contents.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    const std::filesystem::path& path() const { return path_; }
    // UTF-8 path of an entry, "/" in name written as the system's separator
    std::string operator/(std::string_view name) const;

  private:
    std::filesystem::path path_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);

// UTF-16LE bytes of a UTF-8 text, without a byte-order mark.
std::string Utf16Bytes(std::string_view utf8);

}  // namespace tarnimex::testing

namespace tarnimex {
namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::Utf16Bytes;
using testing::WriteBytes;
}  // namespace tarnimex
