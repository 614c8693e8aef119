// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/reports/report_finder.h"

namespace tarnimex {

ReportFinder::ReportFinder(std::string sentenceKey, std::string secondKey,
                           const RegionalFormat& regional)
    : sentenceKey_(std::move(sentenceKey)),
      secondKey_(std::move(secondKey)),
      keyEndsReports_(sentenceKey_.rfind('$') == 0),
      timeReader_(regional) {}

}  // namespace tarnimex
