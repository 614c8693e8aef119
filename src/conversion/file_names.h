// SPDX-License-Identifier: GPL-3.0-or-later
// File names as the file box holds them: entries joined with ";", extensions
// taken after the last "." that follows the last folder separator (on POSIX
// only "/"; on Windows also "\" and ":").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnimex {

// From the last "." after the last folder separator to the end; empty when there is none.
std::string_view FileExtension(std::string_view name);

// The folder part of a path, up to and including its last folder separator.
std::string FolderPart(std::string_view path);

// The CSV beside a log: its extension replaced by ".csv", or ".csv" appended;
// a compression extension goes first ("day1.nmea.gz" gives "day1.csv").
std::string CsvFileName(std::string_view logName);

// The entries of a ";"-separated list, each trimmed of characters 0 to 32; an
// empty entry between two ";" stays, a trailing ";" adds none.
std::vector<std::string> SplitFileList(std::string_view list);

// Names joined with ";" between them.
std::string JoinFileNames(const std::vector<std::string>& names);

}  // namespace tarnimex
