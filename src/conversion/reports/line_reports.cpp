// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/reports/line_reports.h"

#include <algorithm>

namespace tarnimex {

void LineReports::Index(std::string_view line) {
    line_ = line;
    commas_.clear();
    stars_.clear();
    ends_.clear();
    for (std::size_t i = 0; i < line.size(); ++i) {
        switch (line[i]) {
            case ',':
                commas_.push_back(i);
                break;
            case '*':
                stars_.push_back(i);
                break;
            case '\r':
            case '\n':
            case '$':
                ends_.push_back(i);
                break;
            default:
                break;
        }
    }
}

std::size_t LineReports::Split(std::size_t pos, std::size_t keyLength, SentenceFields& fields,
                               int& count) const {
    // A CR, LF or "$" inside the key does not end the report.
    const std::size_t keyEnd = keyLength > line_.size() - pos ? line_.size() : pos + keyLength;
    const auto end = std::lower_bound(ends_.begin(), ends_.end(), keyEnd);
    const std::size_t stop = end == ends_.end() ? line_.size() : *end;
    std::size_t fieldStart = pos;
    int n = 1;
    for (auto comma = std::lower_bound(commas_.begin(), commas_.end(), pos);
         n < 10 && comma != commas_.end() && *comma < stop; ++comma) {
        fields.field[static_cast<std::size_t>(n - 1)] =
            Trim(line_.substr(fieldStart, *comma - fieldStart));
        fieldStart = *comma + 1;
        ++n;
    }
    // The last field keeps its blanks; its checksum is cut off.
    const auto star = std::lower_bound(stars_.begin(), stars_.end(), fieldStart);
    const std::size_t lastEnd = star != stars_.end() && *star < stop ? *star : stop;
    fields.field[static_cast<std::size_t>(n - 1)] = line_.substr(fieldStart, lastEnd - fieldStart);
    for (int k = n; k < 10; ++k) fields.field[static_cast<std::size_t>(k)] = {};
    count = n;
    return stop - pos;
}

}  // namespace tarnimex
