// Date-time texts of the report sentences. A parse reads exactly the date in
// the regional order, a blank, the time and an optional fraction of up to three
// digits; anything else reads as 0. Formatting rounds to whole milliseconds and
// gives the empty text for a value outside the years 1 to 9999.
#include "time_stamp.h"

#include <cmath>
#include <climits>
#include <cstdint>
#include <cstring>

namespace tarnimex {

namespace {

constexpr std::int64_t kMsPerDay = 86400000;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Reads 1 to maxDigits ASCII digits at pos.
bool ReadNumber(std::string_view text, std::size_t& pos, int maxDigits, int& value) {
    value = 0;
    int digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (++digits > maxDigits) return false;
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    return digits > 0;
}

bool ReadText(std::string_view text, std::size_t& pos, std::string_view expected) {
    if (expected.size() == 1) {
        if (pos >= text.size() || text[pos] != expected[0]) return false;
        ++pos;
        return true;
    }
    if (expected.empty() || text.substr(pos, expected.size()) != expected) return false;
    pos += expected.size();
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
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

}  // namespace

long long DaysFromCivil(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + kDaysFrom1970To1899;
}

std::string_view TimeStampFormat(int secondDecimals) {
    switch (secondDecimals) {
        case 0: return "yyyy/mm/dd hh:nn:ss";
        case 1: return "yyyy/mm/dd hh:nn:ss.z";
        case 2: return "yyyy/mm/dd hh:nn:ss.zz";
        case 3: return "yyyy/mm/dd hh:nn:ss.zzz";
        default: return "yyyy/mm/dd hh:nn:ss.";
    }
}

double ParseTimeStamp(std::string_view text, const RegionalFormat& regional) {
    std::size_t pos = 0;
    int first = 0, second = 0, third = 0;
    const auto& dateSep = regional.dateSeparator;
    // The year may have four digits wherever the date order puts it.
    const int firstDigits = regional.dateOrder == DateOrder::YMD ? 4 : 2;
    const int thirdDigits = regional.dateOrder == DateOrder::YMD ? 2 : 4;
    if (!ReadNumber(text, pos, firstDigits, first) || !ReadText(text, pos, dateSep) ||
        !ReadNumber(text, pos, 2, second) || !ReadText(text, pos, dateSep) ||
        !ReadNumber(text, pos, thirdDigits, third)) {
        return 0.0;
    }
    int year, month, day;
    switch (regional.dateOrder) {
        case DateOrder::YMD: year = first, month = second, day = third; break;
        case DateOrder::MDY: month = first, day = second, year = third; break;
        default: day = first, month = second, year = third; break;
    }
    if (pos >= text.size() || text[pos] != ' ') return 0.0;
    ++pos;
    int hour, minute, sec;
    if (!ReadNumber(text, pos, 2, hour) || !ReadText(text, pos, regional.timeSeparator) ||
        !ReadNumber(text, pos, 2, minute) || !ReadText(text, pos, regional.timeSeparator) ||
        !ReadNumber(text, pos, 2, sec)) {
        return 0.0;
    }
    int ms = 0;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        int digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            if (++digits > 3) return 0.0;  // a millisecond count of 1000 or more
            ms = ms * 10 + (text[pos] - '0');
            ++pos;
        }
        for (int i = digits; i < 3; ++i) ms *= 10;
    }
    if (pos != text.size()) return 0.0;
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour > 23 || minute > 59 || sec > 59) {
        return 0.0;
    }
    const std::int64_t msOfDay = ((hour * 60 + minute) * 60 + sec) * 1000 + ms;
    return static_cast<double>(DaysFromCivil(year, month, day)) +
           static_cast<double>(msOfDay) / 86400000.0;
}

TimeStampWriter::TimeStampWriter(const RegionalFormat& regional, int secondDecimals)
    : timeSeparator_(regional.timeSeparator.substr(0, 8)),
      dateSeparator_(regional.dateSeparator.substr(0, 8)),
      secondDecimals_(secondDecimals),
      maxLength_(4 + 2 + 2 + 1 + 2 + 2 + 2 + 4 + 2 * dateSeparator_.size() + 2 * timeSeparator_.size()),
      cachedDay_(LLONG_MIN) {}

char* TimeStampWriter::Write(char* out, double value) {
    static const std::int64_t kFirstMs = DaysFromCivil(1, 1, 1) * kMsPerDay;
    static const std::int64_t kLastMs = DaysFromCivil(9999, 12, 31) * kMsPerDay + kMsPerDay - 1;
    const double scaled = value * 86400000.0;
    // The range test comes first so that the conversion below cannot overflow; NaN fails it too.
    if (!(scaled > static_cast<double>(kFirstMs) - 1.0 && scaled < static_cast<double>(kLastMs) + 1.0)) {
        return out;
    }
    // Whole milliseconds, half away from zero; the fraction is exact at this size.
    auto ms = static_cast<std::int64_t>(scaled);
    const double fraction = scaled - static_cast<double>(ms);
    if (fraction >= 0.5) ++ms;
    if (fraction <= -0.5) --ms;
    if (ms < kFirstMs || ms > kLastMs) return out;
    std::int64_t days = ms / kMsPerDay;
    std::int64_t msOfDay = ms % kMsPerDay;
    if (msOfDay < 0) {
        msOfDay += kMsPerDay;
        --days;
    }
    if (days != cachedDay_) {
        int year, month, day;
        CivilFromDays(days - kDaysFrom1970To1899, year, month, day);
        char* p = cachedDate_;
        p = PutPair(PutPair(p, year / 100), year % 100);
        p = PutText(p, dateSeparator_);
        p = PutPair(p, month);
        p = PutText(p, dateSeparator_);
        p = PutPair(p, day);
        *p++ = ' ';
        cachedDateLength_ = static_cast<std::size_t>(p - cachedDate_);
        cachedDay_ = days;
    }
    std::memcpy(out, cachedDate_, cachedDateLength_);
    char* p = out + cachedDateLength_;
    const int millis = static_cast<int>(msOfDay % 1000);
    const int secs = static_cast<int>(msOfDay / 1000);
    p = PutPair(p, secs / 3600);
    p = PutText(p, timeSeparator_);
    p = PutPair(p, secs / 60 % 60);
    p = PutText(p, timeSeparator_);
    p = PutPair(p, secs % 60);
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
    char buffer[96];
    char* end = writer.Write(buffer, value);
    if (end == buffer) return false;
    out.append(buffer, static_cast<std::size_t>(end - buffer));
    return true;
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
