// SPDX-License-Identifier: GPL-3.0-or-later
// Calendar arithmetic for the generator's clock: whole days since 1970-01-01
// to and from year-month-day (proleptic Gregorian, H. Hinnant's algorithms).
#pragma once

#include <cstdint>

namespace tarnimex::bench {

struct CivilDate {
    int year;
    int month;  // 1..12
    int day;    // 1..31
};

constexpr std::int64_t DaysFromCivil(CivilDate date) {
    const int y = date.year - (date.month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (date.month + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + date.day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

constexpr CivilDate CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int doe = static_cast<int>(days - era * 146097);
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int day = doy - (153 * mp + 2) / 5 + 1;
    const int month = mp < 10 ? mp + 3 : mp - 9;
    const int year = static_cast<int>(yoe + era * 400) + (month <= 2 ? 1 : 0);
    return CivilDate{year, month, day};
}

}  // namespace tarnimex::bench
