// SPDX-License-Identifier: GPL-3.0-or-later
// A log's verdict against the tester's limits: each limit given is one check
// (a mask one per computed interval), and the log passes when every check
// holds, value <= limit. The front ends format the checks.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/statistics/statistics.h"
#include "conversion/statistics/timing_metrics.h"

namespace tarnimex {

// A limit over the observation interval: points rising in tau, straight lines
// between them, flat beyond the first and the last.
struct LimitMask {
    struct Point {
        double tau = 0;  // seconds
        double limit = 0;
    };
    std::vector<Point> points;  // none: no mask

    double At(double tau) const;
};

// The limits with one figure each, in the order of their names.
enum class ScalarLimit {
    kMaxAbsTimeError,
    kPeakToPeak,
    kMean,  // on |mean|
    kStdDev,
    kP99,
    kAlarmStretches,
    kMissingTime,
};
inline constexpr std::array<std::string_view, 7> kScalarLimitNames = {
    "MaxAbsTimeError", "PeakToPeak", "Mean", "StdDev", "P99", "AlarmStretches", "MissingTime"};
inline constexpr std::string_view kMtieName = "MTIE";
inline constexpr std::string_view kTdevName = "TDEV";

struct TimingLimits {
    double warmUp = 0;  // seconds; see TimingSeries
    std::array<std::optional<double>, kScalarLimitNames.size()> scalar;
    LimitMask mtie;
    LimitMask tdev;

    std::optional<double>& operator[](ScalarLimit which) {
        return scalar[static_cast<std::size_t>(which)];
    }
};

struct VerdictCheck {
    std::string name;  // the limit's name, as the limits file writes it
    double limit = 0;
    double value = 0;
    bool pass = false;
    std::optional<double> tau;  // seconds, for a mask's check
};

struct Verdict {
    enum class Outcome { kPass, kFail, kNoData };
    Outcome outcome = Outcome::kNoData;
    std::vector<VerdictCheck> checks;  // the scalar limits in their order, then MTIE, then TDEV
};

// No data when no report counts for the metrics (none, or none whose
// date-time and delay read past the warm-up); then there are no checks.
Verdict JudgeLog(const TimingLimits& limits, const LogStatistics& statistics,
                 const TimingMetrics& metrics);

// "Verdict: PASS", "Verdict: no data", or "Verdict: FAIL: " and every failed
// check as "NAME VALUE > LIMIT" (a mask's as "NAME(TAU s) ..."), "; " between.
// number writes each figure; by default the shortest text that reads back.
std::string VerdictLine(const Verdict& verdict,
                        const std::function<std::string(double)>& number = {});

}  // namespace tarnimex
