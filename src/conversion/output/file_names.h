// SPDX-License-Identifier: GPL-3.0-or-later
// File names as the file box holds them: entries joined with ";", and the CSV
// that each log gets.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/path_names.h"

namespace tarnimex {

// The CSV beside a log: its extension replaced by ".csv", or ".csv" appended;
// a compression extension goes first ("day1.nmea.gz" gives "day1.csv").
std::string CsvFileName(std::string_view logName);

// The entries of a ";"-separated list, each trimmed of characters 0 to 32; an
// empty entry between two ";" stays, a trailing ";" adds none.
std::vector<std::string> SplitFileList(std::string_view list);

// Names joined with ";" between them.
std::string JoinFileNames(const std::vector<std::string>& names);

}  // namespace tarnimex
