// SPDX-License-Identifier: GPL-3.0-or-later
// Accepted reports as the statistics and the timing metrics take them, for
// tests that check both against plain references.
#pragma once

#include <optional>

namespace tarnimex::test {

struct Report {
    double time;                  // 0: unreadable
    std::optional<double> delay;  // none: unreadable
};

constexpr double kDay = 86400.0;
constexpr double kStart = 45112.5;  // 2023-07-05 12:00

// The date-time value of a moment that many seconds after kStart.
inline double At(double seconds) {
    return kStart + seconds / kDay;
}

}  // namespace tarnimex::test
