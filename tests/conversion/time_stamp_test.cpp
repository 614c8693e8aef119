// SPDX-License-Identifier: GPL-3.0-or-later
// Date-time texts in several regional formats, and their round trips.
#include "conversion/reports/time_stamp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

namespace tarnimex {
namespace {

const RegionalFormat kYmd{DateOrder::YMD, "/", ":", "."};
const RegionalFormat kGerman{DateOrder::DMY, ".", ":", ","};
const RegionalFormat kUs{DateOrder::MDY, "/", ":", "."};
const RegionalFormat kFinnish{DateOrder::DMY, ".", ".", ","};

double At(int y, int mo, int d, int h, int mi, int s, int ms) {
    return static_cast<double>(DaysFromCivil(y, mo, d)) +
           (((h * 60 + mi) * 60 + s) * 1000 + ms) / 86400000.0;
}

TEST(ParseTimeStamp, Texts) {
    struct Case {
        const char* legend;
        const char* text;
        const RegionalFormat* regional;
        double value;
    };
    const double whole = At(2023, 7, 5, 12, 34, 56, 0);
    const Case cases[] = {
        {"whole seconds", "2023/07/05 12:34:56", &kYmd, whole},
        {"a bare point", "2023/07/05 12:34:56.", &kYmd, whole},
        {"three zeros", "2023/07/05 12:34:56.000", &kYmd, whole},
        {"two digits are hundredths", "2023/07/05 12:34:56.12", &kYmd,
         At(2023, 7, 5, 12, 34, 56, 120)},
        {"one digit is tenths", "2023/07/05 12:34:56.5", &kYmd, At(2023, 7, 5, 12, 34, 56, 500)},
        {"four digits do not convert", "2023/07/05 12:34:56.1234", &kYmd, 0},
        {"single-digit fields", "2023/7/5 1:2:3", &kYmd, At(2023, 7, 5, 1, 2, 3, 0)},
        {"a two-digit year is taken as written", "23/07/05 12:34:56", &kYmd,
         At(23, 7, 5, 12, 34, 56, 0)},
        {"day-month-year with point separators and a fraction", "05.07.2023 12:34:56.5", &kGerman,
         At(2023, 7, 5, 12, 34, 56, 500)},
        {"month-day-year", "07/05/2023 12:34:56.789", &kUs, At(2023, 7, 5, 12, 34, 56, 789)},
        {"point as time separator", "05.07.2023 12.34.56.25", &kFinnish,
         At(2023, 7, 5, 12, 34, 56, 250)},
        // Not in the regional order: read as the receivers write it, year first.
        {"year first under month-first", "2023/07/05 12:34:56", &kUs, whole},
        {"year first with dashes under day-first", "2023-07-05 12:34:56.5", &kGerman,
         At(2023, 7, 5, 12, 34, 56, 500)},
        {"year first, mixed separators", "2023/07-05 12:34:56", &kGerman, 0},
        {"year first needs four digits", "23/07/05 12:34:56", &kGerman, 0},
        {"year first needs \":\" in the time", "2023/07/05 12.34.56", &kFinnish, 0},
        {"year first, four decimals", "2023/07/05 12:34:56.1234", &kUs, 0},
        {"29 February of a leap year", "2024/02/29 00:00:00", &kYmd, At(2024, 2, 29, 0, 0, 0, 0)},
        {"29 February of 1900", "1900/02/29 00:00:00", &kYmd, 0},
        {"31 April", "2023/04/31 00:00:00", &kYmd, 0},
        {"hour 24", "2023/07/05 24:00:00", &kYmd, 0},
        {"second 60", "2023/07/05 23:59:60", &kYmd, 0},
        {"year 0", "0/01/01 00:00:00", &kYmd, 0},
        {"five-digit year", "20230/01/01 00:00:00", &kYmd, 0},
        {"two blanks", "2023/07/05  12:34:56", &kYmd, 0},
        {"leading blank", " 2023/07/05 12:34:56", &kYmd, 0},
        {"trailing text", "2023/07/05 12:34:56Z", &kYmd, 0},
        {"signs are no digits", "+2023/07/05 12:34:56", &kYmd, 0},
        {"date only", "2023/07/05", &kYmd, 0},
        {"before 1899-12-30 counts back linearly", "1899/12/29 06:00:00", &kYmd, -0.75},
        {"the first day", "0001/01/01 00:00:00", &kYmd, -693593},
        {"empty", "", &kYmd, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseTimeStamp(c.text, *c.regional), c.value) << c.legend;
    // A reader that has just read a text of the same date gives the same values.
    for (const Case& c : cases) {
        TimeStampReader reader(*c.regional);
        reader.Read(c.text);
        std::string sameDate = c.text;
        if (sameDate.size() > 11) sameDate.replace(11, std::string::npos, "00:00:00");
        reader.Read(sameDate);
        EXPECT_EQ(reader.Read(c.text), c.value) << c.legend;
    }
}

TEST(TimeStampReader, ReadsAsParseTimeStampDoes) {
    // Texts near the usual shape, read one after another so that the remembered
    // date is sometimes right, sometimes stale, sometimes of another shape.
    std::mt19937 random(5122026);
    const std::string alphabet = "0123456789012345/:. ,a";
    for (const RegionalFormat* regional : {&kYmd, &kGerman, &kUs, &kFinnish}) {
        const std::string base =
            FormatTimeStamp(At(2024, 2, 29, 23, 59, 59, 999), TimeStampFormat(3), *regional);
        TimeStampReader reader(*regional);
        std::string text = base;
        for (int i = 0; i < 20000; ++i) {
            if (random() % 4 == 0) text = base;
            switch (random() % 4) {
                case 0:
                    text[random() % text.size()] = alphabet[random() % alphabet.size()];
                    break;
                case 1:
                    text[11 + random() % (text.size() - 11)] = alphabet[random() % 10];
                    break;
                case 2:
                    text.resize(16 + random() % 9, '0');
                    break;
                default:
                    break;
            }
            ASSERT_EQ(reader.Read(text), ParseTimeStamp(text, *regional)) << text;
        }
    }
}

TEST(FormatTimeStamp, Decimals) {
    struct Case {
        double value;
        int decimals;
        const RegionalFormat* regional;
        const char* text;
    };
    const Case cases[] = {
        {At(2023, 7, 5, 12, 34, 56, 120), -1, &kYmd, "2023/07/05 12:34:56.12"},
        {At(2023, 7, 5, 12, 34, 56, 0), -1, &kYmd, "2023/07/05 12:34:56"},
        {At(2023, 7, 5, 12, 34, 50, 0), -1, &kYmd, "2023/07/05 12:34:50"},
        {At(2023, 7, 5, 12, 34, 56, 500), -1, &kYmd, "2023/07/05 12:34:56.5"},
        {At(2023, 7, 5, 12, 34, 56, 789), 2, &kYmd, "2023/07/05 12:34:56.78"},
        {At(2023, 7, 5, 12, 34, 56, 789), 0, &kYmd, "2023/07/05 12:34:56"},
        {At(2023, 7, 5, 12, 34, 56, 789), 1, &kYmd, "2023/07/05 12:34:56.7"},
        {At(2023, 7, 5, 12, 34, 56, 789), 3, &kYmd, "2023/07/05 12:34:56.789"},
        {At(2023, 7, 5, 12, 34, 56, 789), 4, &kYmd, "2023/07/05 12:34:56.789"},
        {At(2023, 7, 5, 12, 34, 56, 5), 3, &kGerman, "2023.07.05 12:34:56.005"},
        {At(2023, 7, 5, 12, 34, 56, 50), -1, &kFinnish, "2023.07.05 12.34.56.05"},
        {At(2023, 7, 5, 12, 34, 56, 0), 2, &kFinnish, "2023.07.05 12.34.56.00"},
        {0.0, -1, &kYmd, "1899/12/30 00:00:00"},
        {-0.123 / 86400.0, -1, &kYmd, "1899/12/29 23:59:59.877"},
        {At(23, 1, 2, 3, 4, 5, 0), 0, &kYmd, "0023/01/02 03:04:05"},
        {At(2023, 7, 5, 23, 59, 59, 999) + 0.0004 / 86400.0, -1, &kYmd, "2023/07/05 23:59:59.999"},
        {At(2023, 7, 5, 23, 59, 59, 999) + 0.0006 / 86400.0, -1, &kYmd, "2023/07/06 00:00:00"},
        {At(1, 1, 1, 0, 0, 0, 0), 3, &kYmd, "0001/01/01 00:00:00.000"},
        {At(9999, 12, 31, 23, 59, 59, 999), 3, &kYmd, "9999/12/31 23:59:59.999"},
        {At(1, 1, 1, 0, 0, 0, 0) - 0.001 / 86400.0, 3, &kYmd, ""},
        {At(9999, 12, 31, 23, 59, 59, 999) + 0.001 / 86400.0, 3, &kYmd, ""},
        {1e300, -1, &kYmd, ""},
        {-1e300, -1, &kYmd, ""},
        {NAN, -1, &kYmd, ""},
        {INFINITY, -1, &kYmd, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatTimeStamp(c.value, TimeStampFormat(c.decimals), *c.regional), c.text)
            << c.value << " decimals " << c.decimals;
    }
}

TEST(TimeStamp, RoundTripsAcrossRegionalFormats) {
    const RegionalFormat formats[] = {kYmd, kGerman, kFinnish, {DateOrder::YMD, "-", ":", "."}};
    const int dates[][7] = {{2023, 7, 5, 12, 34, 56, 789},   {1, 1, 1, 0, 0, 0, 1},
                            {9999, 12, 31, 23, 59, 59, 999}, {1899, 12, 29, 23, 59, 59, 877},
                            {2000, 2, 29, 0, 0, 0, 10},      {1970, 1, 1, 0, 0, 0, 0}};
    for (const RegionalFormat& regional : formats) {
        // Formats write year-month-day; read them back in that order.
        RegionalFormat ymd = regional;
        ymd.dateOrder = DateOrder::YMD;
        for (const auto& d : dates) {
            const double value = At(d[0], d[1], d[2], d[3], d[4], d[5], d[6]);
            const std::string text = FormatTimeStamp(value, TimeStampFormat(3), regional);
            EXPECT_EQ(ParseTimeStamp(text, ymd), value) << text;
        }
    }
}

}  // namespace
}  // namespace tarnimex
