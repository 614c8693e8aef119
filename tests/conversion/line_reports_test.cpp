// SPDX-License-Identifier: GPL-3.0-or-later
// Reports split through a line's index must come out exactly as splitting the
// line from the report's key on.
#include "conversion/reports/line_reports.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/split_check.h"

namespace tarnimex {
namespace {

TEST(LineReports, SplitsAsFromTheKeyOn) {
    const struct {
        const char* legend;
        std::string line;
        std::size_t keyLength;
    } cases[] = {
        {"two reports on one line",
         "$GPTXT,01,01,02,RMC delay,2023/07/05 12:34:56,0.1*6A$GPTXT,01,01,02,RMC delay,x,2*00\r\n",
         6},
        {"a key without \"$\" repeated, no commas", std::string(200, 'G'), 5},
        {"keys and commas, no report end", "GPTXT,GPTXT,,GPTXT,a,b,c,d,e,f,g,h,i,j,k,GPTXT*1,2", 5},
        {"\"$\" inside the key does not end the report", "T$T,1,2$T$T,3*4\nT$T,5", 3},
        {"stars in fields before the last stay", "K,a*b,c,d,e,f,g,h,i,j*k,l*m\r", 1},
        {"a report ending at the line's last byte", "KEY,1,2,3,", 3},
        {"a key longer than the rest of the line", "$GP", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(test::SplitDifference(c.line, c.keyLength), "");
    }
}

TEST(LineReports, RandomLines) {
    std::mt19937 random(20261208);
    const std::string alphabet = "GPT,,,**$$\r\n a1";
    for (int round = 0; round < 300; ++round) {
        std::string line(random() % 120, ' ');
        for (char& c : line) c = alphabet[random() % alphabet.size()];
        SCOPED_TRACE(line);
        EXPECT_EQ(test::SplitDifference(line, random() % 8), "");
    }
}

}  // namespace
}  // namespace tarnimex
