// SPDX-License-Identifier: GPL-3.0-or-later
// The delay a receiver under test reports for its RMC sentences: mostly 0.1 to
// 0.4 s with noise, now and then a jump of a few seconds, and rarely a stretch
// beyond 50 s, long enough for the converter's alarm marking to start and end.
#pragma once

#include "gen/rng.h"

namespace tarnimex::bench {

class DelayModel {
  public:
    // The delay of the next report, in seconds.
    double Next(Rng& rng);

  private:
    enum class Mode { kNormal, kJump, kOutage };

    Mode mode_ = Mode::kNormal;
    int remaining_ = 0;  // reports left in a jump or an outage
    double base_ = 0.25;
    double wander_ = 0.0;
    double offset_ = 0.0;
};

}  // namespace tarnimex::bench
