// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/output/csv_read_back.h"

#include <array>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>

#include "conversion/reports/sentence.h"
#include "conversion/reports/time_stamp.h"
#include "platform/path_names.h"

namespace tarnimex {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kHeader = "RMC time,UTC time,Time error,Count,Max,Min";
constexpr int kColumnsOfARow = 3;  // RMC time, UTC time, delay; a mark may follow

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Year, month, day, hours, minutes, seconds and an optional fraction: runs of
// digits with anything else between them, as the regional separators make them.
bool ParseCsvTime(std::string_view text, double& value) {
    constexpr int kFields = 7;
    constexpr std::array<int, kFields> kWidth = {4, 2, 2, 2, 2, 2, 0};  // 0: 1 to 3 digits
    std::array<int, kFields> number{};
    int fields = 0;
    int fractionDigits = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (!IsDigit(text[i])) {
            ++i;
            continue;
        }
        if (fields == kFields) return false;
        const std::size_t start = i;
        int v = 0;
        while (i < text.size() && IsDigit(text[i])) v = v * 10 + (text[i++] - '0');
        const auto digits = static_cast<int>(i - start);
        if (kWidth[fields] != 0 ? digits != kWidth[fields] : digits > 3) return false;
        if (fields == kFields - 1) fractionDigits = digits;
        number[fields++] = v;
    }
    if (fields < kFields - 1) return false;
    const auto [year, month, day, hour, minute, second, fraction] = number;
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 59) {
        return false;
    }
    int ms = fraction;
    for (int d = fractionDigits; d < 3; ++d) ms *= 10;
    if (fields < kFields) ms = 0;
    value = static_cast<double>(DaysFromCivil(year, month, day)) +
            static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + ms) / 86400000.0;
    return true;
}

}  // namespace

bool ReadCsvRows(std::string_view bytes, CsvRows& out, std::string& error) {
    out = {};
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        bytes.remove_prefix(kByteOrderMark.size());
    std::int64_t lineNumber = 0;
    std::vector<std::string_view> columns;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++lineNumber;
        const auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        if (lineNumber == 1) {
            if (line != kHeader)
                return fail("not a Tarnimex CSV (its header is not \"" + std::string(kHeader) +
                            "\")");
            continue;
        }
        if (line.empty() && bytes.empty()) break;
        columns.clear();
        for (std::size_t from = 0;;) {
            const std::size_t comma = line.find(',', from);
            columns.push_back(line.substr(from, comma - from));
            if (comma == std::string_view::npos) break;
            from = comma + 1;
        }
        if (columns.size() < kColumnsOfARow) return fail("fewer than three columns");
        if (columns[0].empty()) {
            ++out.timeless;
            continue;
        }
        CsvRow row;
        if (!ParseCsvTime(columns[0], row.time))
            return fail("\"" + std::string(columns[0]) + "\" is not a date-time");
        row.delay = ParseFloat(columns[2]);
        // The first row's count, largest and smallest delay follow the mark, if any.
        const std::size_t summary = lineNumber == 2 ? 3 : 0;
        row.alarm = columns.size() > kColumnsOfARow + summary && !columns[kColumnsOfARow].empty();
        out.rows.push_back(row);
    }
    if (lineNumber == 0) {
        error = "line 1: empty, not a Tarnimex CSV";
        return false;
    }
    return true;
}

bool ReadCsvFile(const std::string& path, CsvRows& out, std::string& error) {
    errno = 0;
    std::ifstream file(PathFromUtf8(path), std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(file), {});
    if (!file.is_open() || file.bad()) {
        const int reason = errno != 0 ? errno : EIO;
        error = "Cannot read \"" + path + "\". " + std::generic_category().message(reason);
        return false;
    }
    if (!ReadCsvRows(bytes, out, error)) {
        error = "Cannot read \"" + path + "\", " + error;
        return false;
    }
    return true;
}

}  // namespace tarnimex
