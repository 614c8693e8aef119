// SPDX-License-Identifier: GPL-3.0-or-later
#include "gen/delay_model.h"

#include <algorithm>

namespace tarnimex::bench {

double DelayModel::Next(Rng& rng) {
    base_ = std::clamp(base_ + rng.Normal() * 0.002, 0.15, 0.35);
    wander_ = 0.9 * wander_ + rng.Normal() * 0.02;
    const double usual = std::clamp(base_ + wander_ + rng.Normal() * 0.02, -0.05, 0.6);

    if (mode_ == Mode::kNormal) {
        if (rng.Chance(1.0 / 30000)) {
            mode_ = Mode::kOutage;
            remaining_ = 20 + static_cast<int>(rng.Below(280));
            offset_ = rng.Uniform(50.5, 120.0);
        } else if (rng.Chance(1.0 / 1800)) {
            mode_ = Mode::kJump;
            remaining_ = 3 + static_cast<int>(rng.Below(58));
            offset_ = rng.Uniform(1.0, 8.0);
        } else {
            return usual;
        }
    }
    if (--remaining_ <= 0) mode_ = Mode::kNormal;
    offset_ = std::max(0.0, offset_ + rng.Normal() * 0.3);
    return usual + offset_;
}

}  // namespace tarnimex::bench
