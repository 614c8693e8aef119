// SPDX-License-Identifier: GPL-3.0-or-later
// Reads back the CSVs the conversion writes, for the chart.
//
// Such a CSV may start with the UTF-8 byte-order mark; its first line is the
// header "RMC time,UTC time,Time error,Count,Max,Min"; each data row holds the
// RMC date-time, the UTC date-time, the delay as the log wrote it and, on the
// rows that open or close an alarm stretch, the alarm mark; the first row also
// carries count, largest and smallest delay. Date-times are year, month, day,
// hours, minutes and seconds in any regional separators, with up to three
// decimals after ".". Lines end with CR LF (a bare LF is taken too).
//
// Error policy: a file that does not have this shape (another header, a row of
// fewer than three columns, a date-time that is not one) is not read at all and
// the error names its line. A row whose RMC date-time is empty (the value was
// beyond the calendar) is counted and left out, and a delay that is no number
// counts as 0, as the conversion counted it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnimex {

struct CsvRow {
    double time = 0;   // RMC date-time, days since 1899-12-30
    double delay = 0;  // seconds
    bool alarm = false;
};

struct CsvRows {
    std::vector<CsvRow> rows;
    std::int64_t timeless = 0;  // rows without an RMC date-time, left out
};

// The rows of a CSV's bytes; false with the reason (naming the line) when the
// bytes are not such a CSV.
bool ReadCsvRows(std::string_view bytes, CsvRows& out, std::string& error);

// The same for a file; the error names the file too, and the system's reason
// when it cannot be read.
bool ReadCsvFile(const std::string& path, CsvRows& out, std::string& error);

}  // namespace tarnimex
