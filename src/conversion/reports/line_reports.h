// SPDX-License-Identifier: GPL-3.0-or-later
// Several reports on one line. A report runs from its key to the first CR, LF
// or "$" after the key, so on a long line holding many keys the reports overlap,
// and splitting each one afresh would cost the line's length per report. The
// index lists the line's commas, stars and report ends once; each report is then
// split by looking them up.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "conversion/reports/sentence.h"

namespace tarnimex {

class LineReports {
  public:
    // Lists where the commas, stars and report ends of the line lie.
    void Index(std::string_view line);

    // The fields of the report whose key (keyLength characters) starts at pos,
    // and where it ends relative to pos: the result of SplitReport on the line
    // from pos on.
    std::size_t Split(std::size_t pos, std::size_t keyLength, SentenceFields& fields,
                      int& count) const;

  private:
    std::string_view line_;
    std::vector<std::size_t> commas_;
    std::vector<std::size_t> stars_;
    std::vector<std::size_t> ends_;
};

}  // namespace tarnimex
