// SPDX-License-Identifier: GPL-3.0-or-later
// The CSVs of one run and the logs they are made from. Two logs whose CSVs
// are one file (rx.log and rx.nmea) would overwrite each other's output, so
// the second is refused (the same log named twice too: parallel jobs would
// write its CSV twice at once).
#pragma once

#include <map>
#include <string>

namespace tarnimex {

class CsvClaims {
  public:
    // Empty when the CSV is free (it is then log's); otherwise why log may not
    // write it.
    std::string Claim(const std::string& csv, const std::string& log);

  private:
    std::map<std::string, std::string> owners_;  // CSV's key -> log
};

}  // namespace tarnimex
