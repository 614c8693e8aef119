// SPDX-License-Identifier: GPL-3.0-or-later
// Date-time texts of the report sentences. A parse reads exactly the date in
// the regional order, a blank, the time and an optional fraction of up to three
// digits; anything else reads as 0. Formatting rounds to whole milliseconds and
// gives the empty text for a value outside the years 1 to 9999.
#include "time_stamp.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

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

char* PutText(char* out, const std::string& text) {
    if (text.size() == 1) {
        *out = text[0];
        return out + 1;
    }
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
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

bool ParseAnyShape(std::string_view text, const RegionalFormat& regional, int& first, int& second,
                   int& third, int& hour, int& minute, int& sec, int& ms);

// The usual shape, "dddd/dd/dd dd:dd:dd" (or "dd/dd/dddd …") with one-character
// separators and 0 to 3 digits after a ".", read at fixed places. Returns false
// when the text has another shape; the general reader then decides.
bool ParseUsualShape(std::string_view text, const RegionalFormat& regional, int& first, int& second,
                     int& third, int& hour, int& minute, int& sec, int& ms) {
    if (text.size() < 19 || text.size() > 23 || regional.dateSeparator.size() != 1 ||
        regional.timeSeparator.size() != 1) {
        return false;
    }
    const char* t = text.data();
    const char ds = regional.dateSeparator[0];
    const char ts = regional.timeSeparator[0];
    const bool yearFirst = regional.dateOrder == DateOrder::YMD;
    const int sep1 = yearFirst ? 4 : 2;
    if (t[sep1] != ds || t[sep1 + 3] != ds || t[10] != ' ' || t[13] != ts || t[16] != ts)
        return false;
    auto digit = [&](int i) { return static_cast<unsigned>(t[i] - '0'); };
    unsigned bad = 0;
    auto number = [&](int from, int width) {
        unsigned v = 0;
        for (int i = from; i < from + width; ++i) {
            bad |= digit(i) > 9 ? 1u : 0u;
            v = v * 10 + digit(i);
        }
        return static_cast<int>(v);
    };
    first = number(0, sep1);
    second = number(sep1 + 1, 2);
    third = number(sep1 + 4, yearFirst ? 2 : 4);
    hour = number(11, 2);
    minute = number(14, 2);
    sec = number(17, 2);
    ms = 0;
    if (text.size() > 19) {
        if (t[19] != '.') return false;
        const int digits = static_cast<int>(text.size()) - 20;
        ms = number(20, digits);
        for (int i = digits; i < 3; ++i) ms *= 10;
    }
    return bad == 0;
}

double ParseRegionalTimeStamp(std::string_view text, const RegionalFormat& regional) {
    int first = 0, second = 0, third = 0, hour = 0, minute = 0, sec = 0, ms = 0;
    if (!ParseUsualShape(text, regional, first, second, third, hour, minute, sec, ms) &&
        !ParseAnyShape(text, regional, first, second, third, hour, minute, sec, ms)) {
        return 0.0;
    }
    const std::optional<long long> days = DayOfDate(regional.dateOrder, first, second, third);
    if (!days || hour > 23 || minute > 59 || sec > 59) return 0.0;
    const std::int64_t msOfDay = ((hour * 60 + minute) * 60 + sec) * 1000 + ms;
    return static_cast<double>(*days) + static_cast<double>(msOfDay) / 86400000.0;
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

bool ParseAnyShape(std::string_view text, const RegionalFormat& regional, int& first, int& second,
                   int& third, int& hour, int& minute, int& sec, int& ms) {
    const char* p = text.data();
    const char* const end = p + text.size();
    const std::string& dateSep = regional.dateSeparator;
    // The year may have four digits wherever the date order puts it.
    const int firstDigits = regional.dateOrder == DateOrder::YMD ? 4 : 2;
    const int thirdDigits = regional.dateOrder == DateOrder::YMD ? 2 : 4;
    if (!ReadNumber(p, end, firstDigits, first) || !ReadText(p, end, dateSep) ||
        !ReadNumber(p, end, 2, second) || !ReadText(p, end, dateSep) ||
        !ReadNumber(p, end, thirdDigits, third)) {
        return false;
    }
    if (p == end || *p != ' ') return false;
    ++p;
    const std::string& timeSep = regional.timeSeparator;
    if (!ReadNumber(p, end, 2, hour) || !ReadText(p, end, timeSep) ||
        !ReadNumber(p, end, 2, minute) || !ReadText(p, end, timeSep) ||
        !ReadNumber(p, end, 2, sec)) {
        return false;
    }
    ms = 0;
    if (p != end && *p == '.') {
        ++p;
        const char* const digits = p;
        // Four digits or more would be a millisecond count of 1000 or more.
        if (p != end && !ReadNumber(p, end, 3, ms)) return false;
        for (auto i = p - digits; i < 3; ++i) ms *= 10;
    }
    return p == end;
}

TimeStampReader::TimeStampReader(const RegionalFormat& regional)
    : regional_(regional),
      usual_(regional.dateSeparator.size() == 1 && regional.timeSeparator.size() == 1) {}

double TimeStampReader::Read(std::string_view text) {
    const std::size_t size = text.size();
    if (!usual_ || size < 19 || size > 23) return ParseTimeStamp(text, regional_);
    const char* const t = text.data();
    if (!cached_ || std::memcmp(t, dateText_, sizeof dateText_) != 0) {
        // A new date: read it whole, and remember it when it is of the usual shape.
        const double value = ParseTimeStamp(text, regional_);
        const bool yearFirst = regional_.dateOrder == DateOrder::YMD;
        const int sep1 = yearFirst ? 4 : 2;
        const char ds = regional_.dateSeparator[0];
        bool digits = true;
        for (int i = 0; i < 10; ++i) {
            if (i != sep1 && i != sep1 + 3)
                digits = digits && static_cast<unsigned>(t[i] - '0') < 10u;
        }
        if (!digits || t[sep1] != ds || t[sep1 + 3] != ds || t[10] != ' ') return value;
        auto number = [&](int from, int width) {
            int v = 0;
            for (int i = from; i < from + width; ++i) v = v * 10 + (t[i] - '0');
            return v;
        };
        const int first = number(0, sep1);
        const int second = number(sep1 + 1, 2);
        const int third = number(sep1 + 4, yearFirst ? 2 : 4);
        const std::optional<long long> days = DayOfDate(regional_.dateOrder, first, second, third);
        cached_ = days.has_value();
        if (cached_) {
            std::memcpy(dateText_, t, sizeof dateText_);
            days_ = *days;
        }
        return value;
    }
    // The cached date: the time of day, as ParseTimeStamp reads it, or the whole
    // text through ParseTimeStamp when it is not of the usual shape.
    const char ts = regional_.timeSeparator[0];
    unsigned bad = t[13] != ts || t[16] != ts || (size > 19 && t[19] != '.');
    auto number = [&](std::size_t from, std::size_t width) {
        unsigned v = 0;
        for (std::size_t i = from; i < from + width; ++i) {
            const auto digit = static_cast<unsigned>(t[i] - '0');
            bad |= digit > 9 ? 1u : 0u;
            v = v * 10 + digit;
        }
        return v;
    };
    const unsigned hour = number(11, 2);
    const unsigned minute = number(14, 2);
    const unsigned sec = number(17, 2);
    unsigned ms = size > 20 ? number(20, size - 20) : 0;
    for (std::size_t i = size > 20 ? size - 20 : 0; i < 3; ++i) ms *= 10;
    if (bad != 0 || hour > 23 || minute > 59 || sec > 59) return ParseTimeStamp(text, regional_);
    const std::int64_t msOfDay = ((hour * 60 + minute) * 60 + sec) * 1000 + ms;
    return static_cast<double>(days_) + static_cast<double>(msOfDay) / 86400000.0;
}

TimeStampWriter::TimeStampWriter(const RegionalFormat& regional, int secondDecimals)
    : timeSeparator_(regional.timeSeparator),
      dateSeparator_(regional.dateSeparator),
      secondDecimals_(secondDecimals),
      // Room for a 16-byte copy of the date even when it is shorter.
      maxLength_(std::max<std::size_t>(11 + 2 * dateSeparator_.size(), 16) + 10 +
                 2 * timeSeparator_.size()),
      cachedDay_(LLONG_MIN) {}

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
    const auto sinceFirst = static_cast<std::uint64_t>(ms - kFirstMs);
    const auto days = static_cast<long long>(sinceFirst / kMsPerDay) + kFirstDay;
    const auto msOfDay = static_cast<std::uint32_t>(sinceFirst % kMsPerDay);
    if (days != cachedDay_) {
        int year, month, day;
        CivilFromDays(days - kDaysFrom1970To1899, year, month, day);
        char date[16];
        char* p = PutPair(PutPair(date, year / 100), year % 100);
        cachedDate_.assign(date, p);
        cachedDate_ += dateSeparator_;
        cachedDate_.append(date, PutPair(date, month));
        cachedDate_ += dateSeparator_;
        cachedDate_.append(date, PutPair(date, day));
        cachedDate_ += ' ';
        cachedDay_ = days;
    }
    const std::size_t dateLength = cachedDate_.size();
    if (dateLength <= 16) {
        std::memcpy(out, cachedDate_.data(), 16);  // a fixed size copies without a call
    } else {
        std::memcpy(out, cachedDate_.data(), dateLength);
    }
    char* p = out + dateLength;
    const std::uint32_t millis = msOfDay % 1000;
    const std::uint32_t secs = msOfDay / 1000;
    p = PutPair(p, static_cast<int>(secs / 3600));
    p = PutText(p, timeSeparator_);
    p = PutPair(p, static_cast<int>(secs / 60 % 60));
    p = PutText(p, timeSeparator_);
    p = PutPair(p, static_cast<int>(secs % 60));
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
