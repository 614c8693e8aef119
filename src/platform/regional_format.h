// SPDX-License-Identifier: GPL-3.0-or-later
// Regional format settings: how dates, times and numbers are read and written,
// and the character set of the CSV and of 8-bit settings files. The program
// takes one set from the user's locale at start-up (on Windows from the
// system's regional settings with the user's overrides, and the ANSI code
// page); tests and the command line pass their own.
#pragma once

#include <string>
#include <string_view>

namespace tarnimex {

enum class DateOrder { YMD, MDY, DMY };

struct RegionalFormat {
    DateOrder dateOrder = DateOrder::YMD;
    std::string dateSeparator = "/";
    std::string timeSeparator = ":";
    std::string decimalSeparator = ".";
};

// The character set of 8-bit text files.
struct TextEncoding {
    std::string charset = "UTF-8";  // as the locale names it; "CP1252" and the like on Windows
    bool utf8 = true;               // UTF-8 CSV files begin with the byte-order mark
};

// From the user's locale (LC_ALL, LC_TIME, LC_NUMERIC, LANG). The C and POSIX
// locales, C.UTF-8 included, read as year-month-day with "/", ":" and ".".
// On Windows: the short date format's field order, the date, time and decimal
// separators of the user's regional settings.
RegionalFormat RegionalFormatFromUserLocale();

// What the C locale calls its character set, ASCII.
inline constexpr std::string_view kAsciiCharset = "ANSI_X3.4-1968";

// From LC_CTYPE of the user's locale; on Windows the ANSI code page.
TextEncoding TextEncodingFromUserLocale();

// Converts UTF-8 text to the given encoding; characters it cannot hold become "?".
std::string EncodeText(const std::string& utf8Text, const TextEncoding& encoding);

// Converts text in the given encoding to UTF-8; bytes that do not decode
// become U+FFFD.
std::string DecodeText(const std::string& text, const TextEncoding& encoding);

}  // namespace tarnimex
