// SPDX-License-Identifier: GPL-3.0-or-later
// Date-time values and their texts. A date-time value counts days since
// 1899-12-30 00:00; its fraction is the time of day. Parsing never fails (a
// text that is not a date-time reads as 0) and formatting gives the empty text
// for a value it cannot show.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/regional_format.h"

namespace tarnimex {

// "yyyy/mm/dd hh:nn:ss" with ".", ".z", ".zz", ".zzz" for 0 to 3 decimals;
// any other value (-1 = Auto) gives the bare "." of the automatic format.
std::string_view TimeStampFormat(int secondDecimals);

// The date in the regional order and separator, one blank, hours, minutes and
// seconds with the regional time separator, optionally "." and up to three
// digits of milliseconds. Anything else reads as 0.
double ParseRegionalTimeStamp(std::string_view text, const RegionalFormat& regional);

// ParseRegionalTimeStamp, and when that gives nothing, the receivers' own
// shape: a four-digit year, month and day parted by "/" or "-" (the same both
// times), a blank, the time parted by ":", optionally "." and up to three digits.
double ParseTimeStamp(std::string_view text, const RegionalFormat& regional);

// ParseTimeStamp for a stream of texts: remembers the date of the last text of
// the usual shape ("yyyy/mm/dd hh:nn:ss.zzz" in the regional order and
// separators), so that a run of reports on one day reads only the time of day.
// Gives exactly what ParseTimeStamp gives.
class TimeStampReader {
  public:
    explicit TimeStampReader(const RegionalFormat& regional);
    double Read(std::string_view text);

  private:
    RegionalFormat regional_;
    bool usual_;           // single-character separators: the usual shape can occur
    char dateText_[11]{};  // the date and its blank, as written
    long long days_ = 0;   // its day number; dateText_ is valid when cached_
    bool cached_ = false;
};

// Formats with a TimeStampFormat text; "/" and ":" stand for the regional separators.
std::string FormatTimeStamp(double value, std::string_view format, const RegionalFormat& regional);

// Same as FormatTimeStamp with TimeStampFormat(secondDecimals), appended to out.
// Returns false, appending nothing, when the value cannot be shown.
bool AppendTimeStamp(std::string& out, double value, int secondDecimals,
                     const RegionalFormat& regional);

// Days since 1899-12-30 of a proleptic Gregorian date; the date must be valid.
long long DaysFromCivil(int year, int month, int day);

// Writes date-times of one format into caller-provided room, remembering the
// text of the last minute ("yyyy/mm/dd hh:nn:"), so that a run of rows in one
// minute costs only the seconds.
class TimeStampWriter {
  public:
    TimeStampWriter(const RegionalFormat& regional, int secondDecimals);
    // Room that Write may use.
    std::size_t MaxLength() const { return maxLength_; }
    // Returns the end of the text, or out itself when the value cannot be shown.
    char* Write(char* out, double value);

  private:
    // The text of a minute is copied in this many bytes at once when it fits.
    static constexpr std::size_t kCopyBytes = 32;

    void MakeMinute(std::uint64_t minute);

    std::string timeSeparator_;
    std::string dateSeparator_;
    int secondDecimals_;
    std::size_t maxLength_;
    std::uint64_t cachedMinute_;  // minutes since the first day that can be shown
    std::string minuteText_;      // "yyyy/mm/dd hh:nn:" of cachedMinute_
    // The same in room of a fixed size, when it fits: a copy of the writer
    // (one per thread) copies it whole, where a string's room is not copied.
    char minuteRoom_[kCopyBytes]{};
};

}  // namespace tarnimex
