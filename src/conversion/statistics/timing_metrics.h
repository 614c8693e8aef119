// SPDX-License-Identifier: GPL-3.0-or-later
// Timing metrics of one log's time error: largest |TE|, peak-to-peak, MTIE and
// TDEV over the usual step's multiples. Unlike the statistics these need the
// whole series, so the run keeps it (8 bytes a report) only when they are
// asked for. How each figure is computed, and kept exact, is told at the top
// of timing_metrics.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/large_memory.h"

namespace tarnimex {

// One metric at one observation interval.
struct TimingPoint {
    double tau = 0;    // seconds: n times the usual step
    double value = 0;  // seconds

    bool operator==(const TimingPoint&) const = default;
};

struct TimingMetrics {
    std::int64_t reports = 0;  // those counted: date-time and delay read, past the warm-up
    double maxAbsTimeError = 0;
    double peakToPeak = 0;
    double tau0 = 0;                // the usual step in whole milliseconds, in seconds
    std::vector<TimingPoint> mtie;  // n = 1, 2, 5, 10, 20, ... while a segment is long enough
    std::vector<TimingPoint> tdev;  // the same ladder, shorter as it needs 3n reports

    bool operator==(const TimingMetrics&) const = default;
};

// The n of the k-th observation interval (k from 0): 1, 2, 5 in every decade.
std::int64_t IntervalMultiple(std::size_t k);

// The accepted reports, in log order, the metrics are taken from.
class TimingSeries {
  public:
    // warmUp: seconds after the first report with a readable date-time and
    // delay during which reports do not count.
    explicit TimingSeries(double warmUp = 0);

    // One accepted report as StatisticsAccumulator::Add takes it: its RMC
    // date-time (0 when unreadable) and delay.
    void Add(double time, double delay, bool delayReadable);

    // Makes room at once for the reports the rest of the log likely holds,
    // judged by those of the share read so far, so that a long series is not
    // copied again and again as it grows. size 0: unknown.
    void Expect(std::int64_t bytesRead, std::int64_t size);

    // usualStep: LogStatistics::usualStep of the same reports, in seconds.
    TimingMetrics Compute(double usualStep) const;

  private:
    // The step before a report that follows a break in the series (an
    // unreadable report, one for a run of them) or starts it.
    static constexpr std::int64_t kBreak = std::numeric_limits<std::int64_t>::min();

    // From report `first` on, each is `ms` after the one before (or kBreak),
    // up to the next change: so a log of even steps keeps little beside its
    // delays, while the usual step that cuts the segments is known only at
    // the end.
    struct StepChange {
        std::size_t first;
        std::int64_t ms;
    };

    std::int64_t warmUpMs_;
    bool started_ = false;   // the first countable report was seen
    bool warmedUp_ = false;  // ... and the warm-up is over
    bool broken_ = false;    // an unreadable report since the last kept one
    std::int64_t firstMs_ = 0;
    std::int64_t lastMs_ = 0;  // date-time of the last kept report, in whole milliseconds
    std::vector<double, LargeAllocator<double>> delays_;  // seconds, of the kept reports
    std::vector<StepChange> steps_;
};

}  // namespace tarnimex
