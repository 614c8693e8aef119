// SPDX-License-Identifier: GPL-3.0-or-later
// The NMEA sentences of one 1 Hz epoch, each with its *hh checksum and CR LF.
#pragma once

#include <cstdint>
#include <string>

#include "gen/receiver_state.h"

namespace tarnimex::bench {

void AppendGga(std::string& out, const ReceiverState& s);
void AppendRmc(std::string& out, const ReceiverState& s);
void AppendGsa(std::string& out, const ReceiverState& s);
// Sentence part (0..2) of the GSV group, with up to four satellites.
constexpr int kGsvSentences = 3;
void AppendGsv(std::string& out, const ReceiverState& s, int part);
void AppendVtg(std::string& out, const ReceiverState& s);

// The receiver's delay report:
// $GPTXT,01,01,02,RMC delay,YYYY/MM/DD hh:mm:ss.sss,<delay>*hh
// for the RMC time unixSeconds + milliseconds / 1000.
void AppendDelayReport(std::string& out, std::int64_t unixSeconds, int milliseconds,
                       double delaySeconds);

}  // namespace tarnimex::bench
