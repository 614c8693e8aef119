// SPDX-License-Identifier: GPL-3.0-or-later
// The reports on a line: every key sentence whose field 5 matches the second
// key (any, when it is empty); field 6 is the RMC date-time, field 7 the delay.
// Finding them needs nothing but the line, so the threads that read parts of a
// log find them on their own; what becomes of them is the run's business.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "conversion/reports/line_reports.h"
#include "conversion/reports/sentence.h"
#include "conversion/reports/time_stamp.h"
#include "conversion/simd/key_search.h"
#include "conversion/simd/same_bytes.h"

namespace tarnimex {

// A report's values as read from its fields.
struct ReportValues {
    double time = 0;              // RMC date-time in days
    std::optional<double> delay;  // none when field 7 is no number
    std::string_view delayText;   // field 7 as written: the CSV copies it
};

class ReportFinder {
  public:
    ReportFinder(std::string sentenceKey, std::string secondKey, const RegionalFormat& regional);

    const std::string& SentenceKey() const { return sentenceKey_; }

    // Calls accepted(ReportValues) for each report on the line, in order.
    template <class Accepted>
    void Find(std::string_view line, Accepted&& accepted);

  private:
    // After a report, the search for the next key goes on this many characters
    // past the report's start, whatever the key's length, so that a key without
    // "$" that stands inside a report's own text is found again, as the
    // format's first readers found it.
    static constexpr std::size_t kSearchStep = 7;
    // Numbers inside sentence fields are written with a point whatever the locale.
    static constexpr std::string_view kFieldDecimal = ".";

    ReportValues Read(const SentenceFields& fields) {
        return {timeReader_.Read(fields[6]), ReadFloat(fields[7], kFieldDecimal), fields[7]};
    }

    std::string sentenceKey_;
    std::string secondKey_;
    bool keyEndsReports_;
    SentenceFields fields_;
    LineReports lineReports_;
    TimeStampReader timeReader_;
};

template <class Accepted>
void ReportFinder::Find(std::string_view line, Accepted&& accepted) {
    std::size_t pos = FindKey(line, sentenceKey_, 0);
    bool indexed = false;
    while (pos != std::string_view::npos) {
        // A report ends at the first CR, LF or "$" after its key, so a second
        // report or the residue of a broken frame on the line is not taken in.
        int count = 0;
        const std::size_t end =
            indexed ? lineReports_.Split(pos, sentenceKey_.size(), fields_, count)
                    : SplitReport(line.substr(pos), sentenceKey_.size(), fields_, count);
        if (secondKey_.empty() || (fields_[5].size() == secondKey_.size() &&
                                    SameBytes(fields_[5].data(), secondKey_.data(), secondKey_.size())))
            accepted(Read(fields_));
        // A key that starts with "$" and holds no other cannot start inside
        // the report: the next one is at the report's end or later.
        const std::size_t next = pos + (end < kSearchStep ? end
                                        : keyEndsReports_ ? end
                                                          : kSearchStep);
        if (next >= line.size()) break;
        pos = FindKey(line, sentenceKey_, next);
        // Reports after the first on a line may overlap (a key without "$"
        // repeated on a long line): split those through an index of the line.
        if (pos != std::string_view::npos && !indexed) {
            lineReports_.Index(line);
            indexed = true;
        }
    }
}

}  // namespace tarnimex
