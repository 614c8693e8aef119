// SPDX-License-Identifier: GPL-3.0-or-later
#include "report_finder.h"

namespace tarnimex {

namespace {
// Numbers inside sentence fields are written with a point whatever the locale.
constexpr std::string_view kFieldDecimal = ".";
}  // namespace

ReportFinder::ReportFinder(std::string sentenceKey, std::string secondKey,
                           const RegionalFormat& regional)
    : sentenceKey_(std::move(sentenceKey)),
      secondKey_(std::move(secondKey)),
      keyEndsReports_(sentenceKey_.rfind('$') == 0),
      timeReader_(regional) {}

ReportValues ReportFinder::Read(const SentenceFields& fields) {
    return {timeReader_.Read(fields[6]), ReadFloat(fields[7], kFieldDecimal), fields[7]};
}

}  // namespace tarnimex
