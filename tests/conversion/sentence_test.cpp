// SPDX-License-Identifier: GPL-3.0-or-later
// Field splitting, number parsing and the general number format.
#include "conversion/reports/sentence.h"

#include <gtest/gtest.h>

#include "conversion/reports/general_number.h"

namespace tarnimex {
namespace {

TEST(SplitSentence, Fields) {
    struct Case {
        const char* legend;
        std::string line;
        int count;
        std::vector<std::string> fields;  // 1 to 10
    };
    const Case cases[] = {
        {"a report; checksum cut off the last field",
         "$GPTXT,01,01,02,RMC delay,2023/07/05 12:34:56.5,0.123*6A",
         7,
         {"$GPTXT", "01", "01", "02", "RMC delay", "2023/07/05 12:34:56.5", "0.123", "", "", ""}},
        {"a last field that is only the checksum is empty",
         "$GPTXT,a,*6A",
         3,
         {"$GPTXT", "a", "", "", "", "", "", "", "", ""}},
        {"twelve values: field 10 holds the rest with its commas",
         "a,b,c,d,e,f,g,h,i,j,k,l",
         10,
         {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j,k,l"}},
        {"fields but the last are trimmed",
         " a\t, RMC delay ,  x  ",
         3,
         {"a", "RMC delay", "  x  ", "", "", "", "", "", "", ""}},
        {"the tenth field is cut at its first star",
         "1,2,3,4,5,6,7,8,9,x*1,y*2",
         10,
         {"1", "2", "3", "4", "5", "6", "7", "8", "9", "x"}},
        {"an empty line", "", 1, {"", "", "", "", "", "", "", "", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        SentenceFields fields;
        fields.field.fill("stale");
        EXPECT_EQ(SplitSentence(c.line, fields), c.count);
        for (int n = 1; n <= 10; ++n)
            EXPECT_EQ(fields[n], c.fields[static_cast<std::size_t>(n - 1)]) << "field " << n;
    }
}

TEST(ParseFloat, Texts) {
    struct Case {
        const char* text;
        const char* separator;
        double value;
    };
    const Case cases[] = {
        {" 0.25 ", ".", 0.25},
        {"abc", ".", 0},
        {"", ".", 0},
        {"1.2.3", ".", 0},
        {"5.", ".", 5},
        {".5", ".", 0.5},
        {".", ".", 0},
        {"+1.5", ".", 1.5},
        {"-0.02", ".", -0.02},
        {"1e3", ".", 1000},
        {"1.5E-2", ".", 0.015},
        {"1e", ".", 0},
        {"1e+", ".", 0},
        {"e5", ".", 0},
        {"0x10", ".", 0},
        {"inf", ".", 0},
        {"nan", ".", 0},
        {"1e400", ".", 0},
        {"-1e400", ".", 0},
        {"1e-400", ".", 0},
        {"4.9e-324", ".", 4.9e-324},
        {"0,35", ",", 0.35},
        {"0.35", ",", 0},
        {"1 000", ".", 0},
        {"\t12\r\n", ".", 12},
        {"++1", ".", 0},
        {"1e308", ".", 1e308},
        {"0.1000000000000000055511151231257827", ".", 0.1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseFloat(c.text, c.separator), c.value) << '"' << c.text << '"';
}

TEST(ParseInt32, Texts) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {"0", 0},
        {"-3", -3},
        {"+7", 7},
        {"2147483647", 2147483647},
        {"2147483648", {}},
        {"-2147483648", INT32_MIN},
        {"-2147483649", {}},
        {"$1F", 31},
        {"x1f", 31},
        {"0X10", 16},
        {"$FFFFFFFF", -1},
        {"$100000000", {}},
        {"", {}},
        {"Auto", {}},
        {" 1", {}},
        {"1.0", {}},
        {"0x", {}},
        {"$", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseInt32(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(ParseInt("Au"), 0);
    EXPECT_EQ(ParseInt("3"), 3);
}

TEST(FormatGeneralNumber, Values) {
    struct Case {
        double value;
        const char* separator;
        const char* text;
    };
    const Case cases[] = {
        {50.0, ".", "50"},
        {0.123, ".", "0.123"},
        {-0.02, ".", "-0.02"},
        {0.0001, ".", "0.0001"},
        {0.00005, ".", "5E-5"},
        {1.5e20, ".", "1.5E20"},
        {1e10, ".", "10000000000"},
        {-0.0, ".", "0"},
        {0.35, ",", "0,35"},
        {1e15, ".", "1E15"},
        {999999999999999.0, ".", "999999999999999"},
        {0.1 + 0.2, ".", "0.3"},
        {-1.25e-7, ",", "-1,25E-7"},
        {123456789012345678.0, ".", "1.23456789012346E17"},
        {9.99999999999999999e14, ".", "1E15"},
        {0.000099999999999999999, ".", "0.0001"},
        {-1e10, ".", "-10000000000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatGeneralNumber(c.value, c.separator), c.text) << c.value;
}

}  // namespace
}  // namespace tarnimex
