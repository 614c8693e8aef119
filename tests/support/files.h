// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file reads and writes for tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/regional_format.h"

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

// What a CSV begins with under the user's locale (the ANSI code page on
// Windows): the byte-order mark for UTF-8, nothing otherwise. Asked when the
// test runs, after it has set its locale.
inline std::string CsvMark() {
    return TextEncodingFromUserLocale().utf8 ? "\xEF\xBB\xBF" : "";
}

}  // namespace tarnimex::test
