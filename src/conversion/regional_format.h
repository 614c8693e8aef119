// SPDX-License-Identifier: GPL-3.0-or-later
// Regional format settings: how dates, times and numbers are read and written.
// The program takes one set from the user's locale at start-up; tests and the
// command line pass their own.
#pragma once

#include <string>

namespace tarnimex {

enum class DateOrder { YMD, MDY, DMY };

struct RegionalFormat {
    DateOrder dateOrder = DateOrder::YMD;
    std::string dateSeparator = "/";
    std::string timeSeparator = ":";
    std::string decimalSeparator = ".";
};

// The character set CSV files are written in.
struct TextEncoding {
    std::string charset = "UTF-8";  // as the locale names it
    bool utf8 = true;               // UTF-8 files begin with the byte-order mark
};

// From the user's locale (LC_ALL, LC_TIME, LC_NUMERIC, LANG). The C and POSIX
// locales, C.UTF-8 included, read as year-month-day with "/", ":" and ".".
RegionalFormat RegionalFormatFromUserLocale();

// From LC_CTYPE of the user's locale.
TextEncoding TextEncodingFromUserLocale();

// Converts UTF-8 text to the given encoding; characters it cannot hold become "?".
std::string EncodeText(const std::string& utf8Text, const TextEncoding& encoding);

}  // namespace tarnimex
