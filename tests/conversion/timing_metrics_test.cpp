// SPDX-License-Identifier: GPL-3.0-or-later
// Timing metrics against a plain quadratic reference that cuts the reports into
// segments and sums every window and every TDEV term directly; the verdict's
// checks against hand-made limits.
#include "conversion/statistics/timing_metrics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <random>

#include "conversion/statistics/statistics.h"
#include "conversion/statistics/verdict.h"
#include "support/report_series.h"

namespace tarnimex {
namespace {

using test::At;
using test::kDay;
using test::Report;

TimingMetrics Reference(const std::vector<Report>& reports, double warmUp, double usualStep) {
    const std::int64_t tau0 = std::llround(usualStep * 1000);
    std::vector<std::vector<double>> segments;
    // A step from kNone is never tau0: it starts a segment.
    constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::min() / 2;
    std::optional<std::int64_t> first;
    std::int64_t previous = kNone;
    for (const Report& r : reports) {
        if (!r.time || !r.delay) {
            previous = kNone;
            continue;
        }
        const std::int64_t ms = std::llround(r.time * kDay * 1000);
        if (!first) first = ms;
        if (segments.empty() && ms - *first < warmUp * 1000) continue;
        if (segments.empty() || tau0 == 0 || ms - previous != tau0) segments.emplace_back();
        segments.back().push_back(*r.delay);
        previous = ms;
    }
    TimingMetrics m;
    m.tau0 = static_cast<double>(tau0) / 1000;
    double low = INFINITY, high = -INFINITY;
    std::size_t longest = 0;
    for (const auto& x : segments) {
        m.reports += static_cast<std::int64_t>(x.size());
        low = std::min(low, *std::min_element(x.begin(), x.end()));
        high = std::max(high, *std::max_element(x.begin(), x.end()));
        longest = std::max(longest, x.size());
    }
    if (m.reports == 0) return m;
    m.maxAbsTimeError = std::max(-low, high);
    m.peakToPeak = high - low;
    for (std::size_t k = 0;; ++k) {
        const auto n = static_cast<std::size_t>(IntervalMultiple(k));
        if (n + 1 > longest) break;
        double mtie = 0;
        long double squares = 0;
        std::int64_t terms = 0;
        for (const auto& x : segments) {
            for (std::size_t j = 0; j + n < x.size(); ++j) {
                const auto [lo, hi] = std::minmax_element(x.begin() + j, x.begin() + j + n + 1);
                mtie = std::max(mtie, *hi - *lo);
            }
            for (std::size_t j = 0; j + 3 * n <= x.size(); ++j, ++terms) {
                long double s = 0;
                for (std::size_t i = j; i < j + n; ++i)
                    s += x[i + 2 * n] - 2 * static_cast<long double>(x[i + n]) + x[i];
                squares += s * s;
            }
        }
        const double tau = static_cast<double>(n) * m.tau0;
        m.mtie.push_back({tau, mtie});
        if (terms > 0) {
            const long double n2 = static_cast<long double>(n) * n;
            m.tdev.push_back({tau, static_cast<double>(std::sqrt(squares / (6 * n2 * terms)))});
        }
    }
    return m;
}

double UsualStep(const std::vector<Report>& reports) {
    StatisticsAccumulator statistics;
    for (const Report& r : reports) statistics.Add(r.time, r.delay.value_or(0), !!r.delay, 0);
    return statistics.Result().usualStep;
}

TimingMetrics Compute(const std::vector<Report>& reports, double warmUp) {
    TimingSeries series(warmUp);
    for (const Report& r : reports) series.Add(r.time, r.delay.value_or(0), !!r.delay);
    return series.Compute(UsualStep(reports));
}

constexpr double kRelative = 1e-9;

void ExpectNear(double got, double want, const char* what) {
    EXPECT_NEAR(got, want, kRelative * std::fabs(want)) << what;
}

void ExpectMatches(const TimingMetrics& got, const TimingMetrics& want) {
    EXPECT_EQ(got.reports, want.reports);
    EXPECT_EQ(got.tau0, want.tau0);
    ExpectNear(got.maxAbsTimeError, want.maxAbsTimeError, "max |TE|");
    ExpectNear(got.peakToPeak, want.peakToPeak, "peak-to-peak");
    ASSERT_EQ(got.mtie.size(), want.mtie.size());
    ASSERT_EQ(got.tdev.size(), want.tdev.size());
    for (std::size_t k = 0; k < got.mtie.size(); ++k) {
        EXPECT_EQ(got.mtie[k].tau, want.mtie[k].tau);
        ExpectNear(got.mtie[k].value, want.mtie[k].value, "MTIE");
    }
    for (std::size_t k = 0; k < got.tdev.size(); ++k) {
        EXPECT_EQ(got.tdev[k].tau, want.tdev[k].tau);
        ExpectNear(got.tdev[k].value, want.tdev[k].value, "TDEV");
    }
}

enum class Shape { kWhite, kWalk, kSteps, kDrift };

// count reports step seconds apart; now and then (one in `every`) a gap, a
// step back, an odd step, a repeat or an unreadable date-time or delay.
std::vector<Report> RandomLog(std::mt19937_64& rng, int count, double step, Shape shape,
                              double offset, double scale, int every) {
    std::normal_distribution<double> noise(0, scale);
    std::vector<Report> reports;
    double t = 0, walk = 0, level = 0;
    for (int i = 0; i < count; ++i) {
        const auto kind = every ? static_cast<int>(rng() % static_cast<unsigned>(every)) : -1;
        t += kind == 0   ? step * static_cast<double>(2 + rng() % 20)
             : kind == 1 ? -3 * step
             : kind == 2 ? step + 0.001
             : kind == 3 ? 0
                         : step;
        walk += noise(rng);
        if (rng() % 500 == 0) level += 1000 * scale;
        const double x = shape == Shape::kWhite   ? noise(rng)
                         : shape == Shape::kWalk  ? walk
                         : shape == Shape::kSteps ? level + noise(rng) / 100
                                                  : 1e-6 * t + noise(rng);
        reports.push_back(
            {kind == 4 ? 0 : At(t), kind == 5 ? std::nullopt : std::optional<double>(offset + x)});
    }
    return reports;
}

TEST(TimingMetrics, RandomLogsMatchTheReference) {
    std::mt19937_64 rng(11);
    // Legend: what the log shows; report count; step (s); delay shape, offset
    // and scale (s); one disruption in `every` reports (0: none); warm-up (s).
    const struct {
        const char* what;
        int count;
        double step;
        Shape shape;
        double offset, scale;
        int every;
        double warmUp;
    } cases[] = {
        {"white noise, 1 Hz, undisturbed", 3000, 1, Shape::kWhite, 0.2, 1e-3, 0, 0},
        {"white noise, 5 Hz, disturbed", 3000, 0.2, Shape::kWhite, 0.2, 1e-3, 40, 0},
        {"random walk, 2 s, disturbed, warm-up", 3000, 2, Shape::kWalk, -0.5, 1e-4, 60, 100},
        {"level steps", 3000, 1, Shape::kSteps, 0, 1e-6, 200, 0},
        {"drift", 3000, 1, Shape::kDrift, 1, 1e-9, 0, 0},
        {"disrupted everywhere: short segments", 500, 1, Shape::kWhite, 0, 1, 3, 0},
        {"long random walk, nanosecond steps, offset 1000 s", 20000, 1, Shape::kWalk, 1000, 1e-9, 0,
         0},
        {"long white noise, offset 1e6 s", 20000, 1, Shape::kWhite, 1e6, 1e-6, 5000, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto reports = RandomLog(rng, c.count, c.step, c.shape, c.offset, c.scale, c.every);
        ExpectMatches(Compute(reports, c.warmUp), Reference(reports, c.warmUp, UsualStep(reports)));
    }
}

TEST(TimingMetrics, HandMadeLogs) {
    const auto none = std::nullopt;
    // Legend: what the log shows; its reports; the warm-up (s); the counted
    // reports, MTIE points and TDEV points the reference must agree on.
    const struct {
        const char* what;
        std::vector<Report> reports;
        double warmUp;
        std::int64_t counted;
        std::size_t mtie, tdev;
    } cases[] = {
        {"no report", {}, 0, 0, 0, 0},
        {"one report", {{At(0), 0.5}}, 0, 1, 0, 0},
        {"nothing readable", {{0, 1.0}, {At(1), none}}, 0, 0, 0, 0},
        {"two reports: MTIE(1) only", {{At(0), 1}, {At(1), -2}}, 0, 2, 1, 0},
        {"three: MTIE(2) and TDEV(1) too", {{At(0), 1}, {At(1), -2}, {At(2), 4}}, 0, 3, 2, 1},
        {"an unreadable date-time splits the segment",
         {{At(0), 1}, {At(1), 2}, {0, 5}, {At(2), 4}, {At(3), 8}, {At(4), 0}},
         0,
         5,
         2,
         1},
        {"the warm-up leaves out a large start",
         {{At(0), 100}, {At(4), 50}, {At(5), 1}, {At(6), 2}, {At(7), 3}},
         5,
         3,
         2,
         1},
        {"warm-up reckoned from the first readable report",
         {{At(0), none}, {At(1), 100}, {At(5), 1}, {At(6), 2}},
         5,
         1,
         0,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TimingMetrics got = Compute(c.reports, c.warmUp);
        ExpectMatches(got, Reference(c.reports, c.warmUp, UsualStep(c.reports)));
        EXPECT_EQ(got.reports, c.counted);
        EXPECT_EQ(got.mtie.size(), c.mtie);
        EXPECT_EQ(got.tdev.size(), c.tdev);
    }
}

TEST(TimingMetrics, IntervalLadder) {
    const std::int64_t want[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
    for (std::size_t k = 0; k < std::size(want); ++k) EXPECT_EQ(IntervalMultiple(k), want[k]);
}

TEST(Verdict, MaskInterpolatesAndIsFlatBeyondItsEnds) {
    const LimitMask mask{{{1, 0.1}, {100, 0.3}, {1000, 0.5}}};
    // Legend: tau (s), the mask's limit there.
    const double rows[][2] = {{0.2, 0.1}, {1, 0.1},    {50.5, 0.2}, {100, 0.3},
                              {550, 0.4}, {1000, 0.5}, {1e6, 0.5}};
    for (const auto& row : rows) EXPECT_DOUBLE_EQ(mask.At(row[0]), row[1]) << row[0];
}

TEST(Verdict, EveryGivenLimitIsOneCheck) {
    LogStatistics s;
    s.mean = -0.002;
    s.stddev = 0.01;
    s.p99 = 0.03;
    s.alarmStretches = 2;
    s.gapTotal = 12;
    TimingMetrics m;
    m.reports = 10;
    m.maxAbsTimeError = 0.05;
    m.peakToPeak = 0.08;
    m.mtie = {{1, 0.02}, {2, 0.04}, {5, 0.07}};
    m.tdev = {{1, 0.001}};
    using O = Verdict::Outcome;
    // Legend: what the limits hold; the limits; the outcome; the verdict line.
    const struct {
        const char* what;
        TimingLimits limits;
        std::size_t checks;
        O outcome;
        const char* line;
    } cases[] = {
        {"no limits", {}, 0, O::kPass, "Verdict: PASS"},
        {"all scalar limits, met (|mean|; at the limit holds)",
         {0, {0.05, 0.08, 0.002, 0.01, 0.03, 2, 12}, {}, {}},
         7,
         O::kPass,
         "Verdict: PASS"},
        {"alarm stretches and missing time over",
         {0,
          {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, 1, 11.5},
          {},
          {}},
         2,
         O::kFail,
         "Verdict: FAIL: AlarmStretches 2 > 1; MissingTime 12 > 11.5"},
        {"MTIE mask, one check per tau, over at 5 s",
         {0, {}, {{{1, 0.03}, {2, 0.05}}}, {}},
         3,
         O::kFail,
         "Verdict: FAIL: MTIE(5 s) 0.07 > 0.05"},
        {"TDEV mask met", {0, {}, {}, {{{10, 0.001}}}}, 1, O::kPass, "Verdict: PASS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Verdict v = JudgeLog(c.limits, s, m);
        EXPECT_EQ(v.checks.size(), c.checks);
        EXPECT_EQ(v.outcome, c.outcome);
        EXPECT_EQ(VerdictLine(v), c.line);
    }
    m.reports = 0;
    const Verdict none = JudgeLog(cases[1].limits, s, m);
    EXPECT_EQ(none.outcome, O::kNoData);
    EXPECT_TRUE(none.checks.empty());
    EXPECT_EQ(VerdictLine(none), "Verdict: no data");
}

}  // namespace
}  // namespace tarnimex
