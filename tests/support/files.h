// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file reads and writes for tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tarnimex::test {

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace tarnimex::test
