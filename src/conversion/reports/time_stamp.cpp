// SPDX-License-Identifier: GPL-3.0-or-later
// Date-time texts of the report sentences. A parse reads exactly the date in
// the regional order, a blank, the time and an optional fraction of up to three
// digits; anything else reads as 0. Formatting rounds to whole milliseconds and
// gives the empty text for a value outside the years 1 to 9999.
#include "conversion/reports/time_stamp.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "conversion/simd/same_bytes.h"

namespace tarnimex {

namespace {

constexpr std::int64_t kMsPerDay = 86400000;

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Reads 1 to maxDigits ASCII digits at p.
inline bool ReadNumber(const char*& p, const char* end, int maxDigits, int& value) {
    const char* const start = p;
    int v = 0;
    while (p != end && static_cast<unsigned>(*p - '0') < 10u) {
        if (p - start == maxDigits) return false;
        v = v * 10 + (*p - '0');
        ++p;
    }
    value = v;
    return p != start;
}

inline bool ReadText(const char*& p, const char* end, const std::string& expected) {
    const std::size_t n = expected.size();
    if (n == 0 || static_cast<std::size_t>(end - p) < n) return false;
    if (n == 1) {
        if (*p != expected[0]) return false;
    } else if (std::memcmp(p, expected.data(), n) != 0) {
        return false;
    }
    p += n;
    return true;
}

// Proleptic Gregorian calendar from days since 1970-01-01 (H. Hinnant's algorithm).
void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

constexpr std::int64_t kDaysFrom1970To1899 = 25569;  // 1899-12-30 is day -25569 of 1970

constexpr long long CivilDays(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + kDaysFrom1970To1899;
}

// The values FormatTimeStamp can show: 0001-01-01 to 9999-12-31 23:59:59.999.
constexpr long long kFirstDay = CivilDays(1, 1, 1);
constexpr std::int64_t kFirstMs = kFirstDay * kMsPerDay;
constexpr std::int64_t kLastMs = CivilDays(9999, 12, 31) * kMsPerDay + kMsPerDay - 1;

// The day number of a date given as three numbers in the regional order, or
// nothing when the date is not on the calendar (years 1 and on).
std::optional<long long> DayOfDate(DateOrder order, int first, int second, int third) {
    int year, month, day;
    switch (order) {
        case DateOrder::YMD:
            year = first, month = second, day = third;
            break;
        case DateOrder::MDY:
            month = first, day = second, year = third;
            break;
        default:
            day = first, month = second, year = third;
            break;
    }
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
        return std::nullopt;
    }
    return CivilDays(year, month, day);
}

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* PutPair(char* out, int value) {
    out[0] = kPairs[2 * value];
    out[1] = kPairs[2 * value + 1];
    return out + 2;
}

}  // namespace

long long DaysFromCivil(int year, int month, int day) {
    return CivilDays(year, month, day);
}

std::string_view TimeStampFormat(int secondDecimals) {
    switch (secondDecimals) {
        case 0:
            return "yyyy/mm/dd hh:nn:ss";
        case 1:
            return "yyyy/mm/dd hh:nn:ss.z";
        case 2:
            return "yyyy/mm/dd hh:nn:ss.zz";
        case 3:
            return "yyyy/mm/dd hh:nn:ss.zzz";
        default:
            return "yyyy/mm/dd hh:nn:ss.";
    }
}

namespace {

// A date-time's numbers as written: the date's three in the text's order, then
// the time of day.
struct DateTimeFields {
    int date[3] = {};
    int hour = 0, minute = 0, second = 0, ms = 0;
};

// The usual shape: "dddd/dd/dd dd:dd:dd" (or "dd/dd/dddd ..." in a day- or
// month-first order) with one-character separators and 0 to 3 digits after a
// ".", read at fixed places.
constexpr std::size_t kUsualMin = 19, kUsualMax = 23;  // sizes with 0 and 3 decimals
constexpr std::size_t kUsualTime = 11, kUsualFraction = 20;

bool UsualSeparators(const RegionalFormat& regional) {
    return regional.dateSeparator.size() == 1 && regional.timeSeparator.size() == 1;
}

// n digits at t as a number; bad is set when one of them is no digit.
unsigned FixedNumber(const char* t, std::size_t n, unsigned& bad) {
    unsigned v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto digit = static_cast<unsigned>(t[i] - '0');
        bad |= digit > 9 ? 1u : 0u;
        v = v * 10 + digit;
    }
    return v;
}

// The date of a usual-shape text (its first 11 characters, the blank included).
std::optional<DateTimeFields> ReadUsualDate(std::string_view text, const RegionalFormat& regional) {
    const char* t = text.data();
    const char ds = regional.dateSeparator[0];
    const bool yearFirst = regional.dateOrder == DateOrder::YMD;
    const std::size_t sep1 = yearFirst ? 4 : 2;
    if (t[sep1] != ds || t[sep1 + 3] != ds || t[10] != ' ') return std::nullopt;
    unsigned bad = 0;
    DateTimeFields f;
    f.date[0] = static_cast<int>(FixedNumber(t, sep1, bad));
    f.date[1] = static_cast<int>(FixedNumber(t + sep1 + 1, 2, bad));
    f.date[2] = static_cast<int>(FixedNumber(t + sep1 + 4, yearFirst ? 2 : 4, bad));
    if (bad != 0) return std::nullopt;
    return f;
}

// The time of a usual-shape text into f.
bool ReadUsualTime(std::string_view text, char ts, DateTimeFields& f) {
    const char* t = text.data();
    const std::size_t size = text.size();
    unsigned bad = t[13] != ts || t[16] != ts || (size > kUsualMin && t[kUsualMin] != '.');
    f.hour = static_cast<int>(FixedNumber(t + kUsualTime, 2, bad));
    f.minute = static_cast<int>(FixedNumber(t + 14, 2, bad));
    f.second = static_cast<int>(FixedNumber(t + 17, 2, bad));
    const std::size_t digits = size > kUsualFraction ? size - kUsualFraction : 0;
    unsigned ms = FixedNumber(t + kUsualFraction, digits, bad);
    for (std::size_t i = digits; i < 3; ++i) ms *= 10;
    f.ms = static_cast<int>(ms);
    return bad == 0;
}

std::optional<DateTimeFields> ReadUsualShape(std::string_view text,
                                             const RegionalFormat& regional) {
    if (text.size() < kUsualMin || text.size() > kUsualMax || !UsualSeparators(regional))
        return std::nullopt;
    std::optional<DateTimeFields> f = ReadUsualDate(text, regional);
    if (!f || !ReadUsualTime(text, regional.timeSeparator[0], *f)) return std::nullopt;
    return f;
}

// Any shape: the date's numbers of 1 or 2 digits (the year up to 4) with the
// regional separators of any length, a blank, the time, and "." with up to
// three digits.
std::optional<DateTimeFields> ReadAnyShape(std::string_view text, const RegionalFormat& regional) {
    const char* p = text.data();
    const char* const end = p + text.size();
    DateTimeFields f;
    // The year may have four digits wherever the date order puts it.
    const int firstDigits = regional.dateOrder == DateOrder::YMD ? 4 : 2;
    const int thirdDigits = regional.dateOrder == DateOrder::YMD ? 2 : 4;
    if (!ReadNumber(p, end, firstDigits, f.date[0]) || !ReadText(p, end, regional.dateSeparator) ||
        !ReadNumber(p, end, 2, f.date[1]) || !ReadText(p, end, regional.dateSeparator) ||
        !ReadNumber(p, end, thirdDigits, f.date[2])) {
        return std::nullopt;
    }
    if (p == end || *p != ' ') return std::nullopt;
    ++p;
    const std::string& timeSep = regional.timeSeparator;
    if (!ReadNumber(p, end, 2, f.hour) || !ReadText(p, end, timeSep) ||
        !ReadNumber(p, end, 2, f.minute) || !ReadText(p, end, timeSep) ||
        !ReadNumber(p, end, 2, f.second)) {
        return std::nullopt;
    }
    if (p != end && *p == '.') {
        ++p;
        const char* const digits = p;
        // Four digits or more would be a millisecond count of 1000 or more.
        if (p != end && !ReadNumber(p, end, 3, f.ms)) return std::nullopt;
        for (auto i = p - digits; i < 3; ++i) f.ms *= 10;
    }
    if (p != end) return std::nullopt;
    return f;
}

// The value of a time of day on a day, or 0 when the time is not one.
double ValueOnDay(long long days, const DateTimeFields& f) {
    if (f.hour > 23 || f.minute > 59 || f.second > 59) return 0.0;
    const std::int64_t msOfDay = ((f.hour * 60 + f.minute) * 60 + f.second) * 1000 + f.ms;
    return static_cast<double>(days) + static_cast<double>(msOfDay) / 86400000.0;
}

}  // namespace

double ParseRegionalTimeStamp(std::string_view text, const RegionalFormat& regional) {
    std::optional<DateTimeFields> f = ReadUsualShape(text, regional);
    if (!f) f = ReadAnyShape(text, regional);
    if (!f) return 0.0;
    const std::optional<long long> days =
        DayOfDate(regional.dateOrder, f->date[0], f->date[1], f->date[2]);
    return days ? ValueOnDay(*days, *f) : 0.0;
}

double ParseTimeStamp(std::string_view text, const RegionalFormat& regional) {
    const double value = ParseRegionalTimeStamp(text, regional);
    if (value != 0.0) return value;
    // Receivers write year-month-day whatever the user's regional order, so a
    // text of that shape is not lost under a day-first or month-first locale.
    static const RegionalFormat kYearFirst[] = {{DateOrder::YMD, "/", ":", "."},
                                                {DateOrder::YMD, "-", ":", "."}};
    constexpr std::size_t kYearDigits = 4;
    if (text.size() <= kYearDigits ||
        !std::all_of(text.begin(), text.begin() + kYearDigits,
                     [](char c) { return static_cast<unsigned>(c - '0') < 10u; })) {
        return 0.0;
    }
    for (const RegionalFormat& yearFirst : kYearFirst) {
        if (text[kYearDigits] == yearFirst.dateSeparator[0])
            return ParseRegionalTimeStamp(text, yearFirst);
    }
    return 0.0;
}

TimeStampReader::TimeStampReader(const RegionalFormat& regional)
    : regional_(regional), usual_(UsualSeparators(regional)) {}

double TimeStampReader::Read(std::string_view text) {
    const std::size_t size = text.size();
    if (!usual_ || size < kUsualMin || size > kUsualMax) return ParseTimeStamp(text, regional_);
    if (!cached_ || !SameBytes(text.data(), dateText_, sizeof dateText_)) {
        // A new date: read it whole, and remember it when it is of the usual shape.
        const double value = ParseTimeStamp(text, regional_);
        const std::optional<DateTimeFields> date = ReadUsualDate(text, regional_);
        const std::optional<long long> days =
            date ? DayOfDate(regional_.dateOrder, date->date[0], date->date[1], date->date[2])
                 : std::nullopt;
        cached_ = days.has_value();
        if (cached_) {
            std::memcpy(dateText_, text.data(), sizeof dateText_);
            days_ = *days;
        }
        return value;
    }
    // The cached date: the time of day, or the whole text through
    // ParseTimeStamp when it is not of the usual shape.
    DateTimeFields f;
    const double value =
        ReadUsualTime(text, regional_.timeSeparator[0], f) ? ValueOnDay(days_, f) : 0.0;
    return value != 0.0 ? value : ParseTimeStamp(text, regional_);
}

TimeStampWriter::TimeStampWriter(const RegionalFormat& regional, int secondDecimals)
    : timeSeparator_(regional.timeSeparator),
      dateSeparator_(regional.dateSeparator),
      secondDecimals_(secondDecimals),
      // The minute's text, copied in kCopyBytes even when it is shorter, then
      // the seconds and up to four characters of their fraction.
      maxLength_(std::max<std::size_t>(15 + 2 * dateSeparator_.size() + 2 * timeSeparator_.size(),
                                       kCopyBytes) +
                 6),
      cachedMinute_(UINT64_MAX) {}

void TimeStampWriter::MakeMinute(std::uint64_t minute) {
    constexpr std::uint64_t kMinutesPerDay = 1440;
    const auto days = static_cast<long long>(minute / kMinutesPerDay) + kFirstDay;
    const auto minuteOfDay = static_cast<int>(minute % kMinutesPerDay);
    int year, month, day;
    CivilFromDays(days - kDaysFrom1970To1899, year, month, day);
    char pair[2];
    const auto append = [&](int value) { minuteText_.append(pair, PutPair(pair, value)); };
    minuteText_.clear();
    append(year / 100);
    append(year % 100);
    minuteText_ += dateSeparator_;
    append(month);
    minuteText_ += dateSeparator_;
    append(day);
    minuteText_ += ' ';
    append(minuteOfDay / 60);
    minuteText_ += timeSeparator_;
    append(minuteOfDay % 60);
    minuteText_ += timeSeparator_;
    if (minuteText_.size() <= kCopyBytes)
        std::memcpy(minuteRoom_, minuteText_.data(), minuteText_.size());
    cachedMinute_ = minute;
}

char* TimeStampWriter::Write(char* out, double value) {
    const double scaled = value * 86400000.0;
    // The range test comes first so that the conversion below cannot overflow; NaN fails it too.
    if (!(scaled > static_cast<double>(kFirstMs) - 1.0 &&
          scaled < static_cast<double>(kLastMs) + 1.0)) {
        return out;
    }
    // Whole milliseconds, half away from zero; the fraction is exact at this size.
    auto ms = static_cast<std::int64_t>(scaled);
    const double fraction = scaled - static_cast<double>(ms);
    if (fraction >= 0.5) ++ms;
    if (fraction <= -0.5) --ms;
    if (ms < kFirstMs || ms > kLastMs) return out;
    // Offset to a positive count so that the divisions need no sign fix-up.
    constexpr std::uint64_t kMsPerMinute = 60000;
    const auto sinceFirst = static_cast<std::uint64_t>(ms - kFirstMs);
    const std::uint64_t minute = sinceFirst / kMsPerMinute;
    const auto msOfMinute = static_cast<std::uint32_t>(sinceFirst - minute * kMsPerMinute);
    if (minute != cachedMinute_) MakeMinute(minute);
    const std::size_t minuteLength = minuteText_.size();
    if (minuteLength <= kCopyBytes) {
        std::memcpy(out, minuteRoom_, kCopyBytes);  // a fixed size copies without a call
    } else {
        std::memcpy(out, minuteText_.data(), minuteLength);
    }
    char* p = PutPair(out + minuteLength, static_cast<int>(msOfMinute / 1000));
    const std::uint32_t millis = msOfMinute % 1000;
    if (secondDecimals_ >= 1 && secondDecimals_ <= 3) {
        // Extra decimals are cut, not rounded.
        *p++ = '.';
        *p++ = static_cast<char>('0' + millis / 100);
        if (secondDecimals_ >= 2) *p++ = static_cast<char>('0' + millis / 10 % 10);
        if (secondDecimals_ == 3) *p++ = static_cast<char>('0' + millis % 10);
    } else if (secondDecimals_ != 0 && millis != 0) {
        // Automatic: the milliseconds without their trailing zeros.
        *p++ = '.';
        *p++ = static_cast<char>('0' + millis / 100);
        if (millis % 100 != 0) *p++ = static_cast<char>('0' + millis / 10 % 10);
        if (millis % 10 != 0) *p++ = static_cast<char>('0' + millis % 10);
    }
    return p;
}

bool AppendTimeStamp(std::string& out, double value, int secondDecimals,
                     const RegionalFormat& regional) {
    TimeStampWriter writer(regional, secondDecimals);
    const std::size_t start = out.size();
    out.resize(start + writer.MaxLength());
    char* const begin = out.data() + start;
    const char* const end = writer.Write(begin, value);
    out.resize(start + static_cast<std::size_t>(end - begin));
    return end != begin;
}

std::string FormatTimeStamp(double value, std::string_view format, const RegionalFormat& regional) {
    int secondDecimals = 0;
    const std::size_t dot = format.find('.');
    if (dot == std::string_view::npos) {
        secondDecimals = 0;
    } else if (dot + 1 == format.size()) {
        secondDecimals = -1;
    } else {
        secondDecimals = static_cast<int>(format.size() - dot - 1);
        if (secondDecimals > 3) secondDecimals = 3;
    }
    std::string out;
    if (!AppendTimeStamp(out, value, secondDecimals, regional)) return {};
    return out;
}

}  // namespace tarnimex
