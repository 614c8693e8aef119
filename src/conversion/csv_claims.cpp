// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv_claims.h"

#include <filesystem>

namespace tarnimex {

namespace {

// The same file under two spellings gives one key.
std::string FileKey(const std::string& path) {
    if (path == "-") return path;
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path key = fs::weakly_canonical(path, ec);
    return ec ? fs::path(path).lexically_normal().string() : key.string();
}

}  // namespace

std::string CsvClaims::Claim(const std::string& csv, const std::string& log) {
    const auto [owner, first] = owners_.try_emplace(FileKey(csv), log);
    if (first) return {};
    return "Its CSV \"" + csv + "\" is that of \"" + owner->second +
           "\" already; it would be overwritten.";
}

}  // namespace tarnimex
