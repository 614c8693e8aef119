// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/test_files.h"

#include <fstream>
#include <iterator>
#include <random>

#include "settings/utf.h"

namespace tarnimex::testing {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    std::random_device random;
    path_ = fs::temp_directory_path() / ("tarnimex-settings-" + std::to_string(random()));
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string ScratchFolder::operator/(std::string_view name) const {
    return (path_ / fs::path(name).make_preferred()).string();
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Utf16Bytes(std::string_view utf8) {
    std::string bytes;
    for (char16_t unit : Utf16FromUtf8(utf8)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

}  // namespace tarnimex::testing
