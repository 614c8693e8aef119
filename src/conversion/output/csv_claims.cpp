// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/output/csv_claims.h"

#include <filesystem>

#include "platform/path_names.h"

namespace tarnimex {

namespace {

// The same file under two spellings gives one key.
std::string FileKey(const std::string& path) {
    if (path == "-") return path;
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path key = fs::weakly_canonical(PathFromUtf8(path), ec);
    return Utf8FromPath(ec ? PathFromUtf8(path).lexically_normal() : key);
}

}  // namespace

std::string CsvClaims::Claim(const std::string& csv, const std::string& log) {
    const auto [owner, first] = owners_.try_emplace(FileKey(csv), log);
    if (first) return {};
    return "Its CSV \"" + csv + "\" is that of \"" + owner->second +
           "\" already; it would be overwritten.";
}

}  // namespace tarnimex
