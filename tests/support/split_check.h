// SPDX-License-Identifier: GPL-3.0-or-later
// Reports split through a line's index held against splits of the line from
// each report's key on: the unit tests' and the fuzzer's check.
#pragma once

#include <string>
#include <string_view>

#include "conversion/reports/line_reports.h"

namespace tarnimex::test {

// Where a split through the line's index differs from splitting the rest of
// the line from there on; "" when nowhere.
inline std::string SplitDifference(std::string_view line, std::size_t keyLength) {
    LineReports index;
    index.Index(line);
    for (std::size_t pos = 0; pos < line.size(); ++pos) {
        SentenceFields direct;
        SentenceFields indexed;
        indexed.field.fill("stale");  // every field must be written
        int directCount = 0;
        int indexedCount = 0;
        const std::size_t end = SplitReport(line.substr(pos), keyLength, direct, directCount);
        const auto at = [pos](const std::string& what) {
            return what + " from " + std::to_string(pos);
        };
        if (index.Split(pos, keyLength, indexed, indexedCount) != end) return at("report end");
        if (indexedCount != directCount) return at("field count");
        for (int n = 1; n <= 10; ++n)
            if (indexed[n] != direct[n]) return at("field " + std::to_string(n));
    }
    return "";
}

}  // namespace tarnimex::test
