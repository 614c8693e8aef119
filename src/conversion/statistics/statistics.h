// SPDX-License-Identifier: GPL-3.0-or-later
// Statistics of one log's reports, gathered in the conversion pass over every
// accepted report (Limiting or not) in memory that does not grow with the log.
// How each figure stays exact is told at the top of statistics.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conversion/input/log_reader.h"
#include "conversion/statistics/timing_metrics.h"

namespace tarnimex {

// A run of consecutive reports over the alarm step. Date-times are date-time
// values (days since 1899-12-30), 0 when none of the run's reports had one.
struct AlarmStretch {
    double start = 0;  // RMC date-time of the first report with a readable one
    double end = 0;    // ... and of the last
    double peak = 0;   // the delay of largest magnitude, with its sign
};

// A step between two reports' RMC date-times longer than 1.5 usual steps.
struct ReportGap {
    double start = 0;  // the report before the gap
    double end = 0;    // the report after it
};

struct LogStatistics {
    static constexpr std::size_t kListed = 1000;  // stretches and gaps listed

    std::string log;           // the log's name as the list gave it
    std::int64_t reports = 0;  // accepted reports
    std::int64_t rows = 0;     // CSV data rows written
    std::int64_t lines = 0;    // lines read
    std::int64_t unreadableTimes = 0;
    std::int64_t unreadableDelays = 0;
    int secondDecimals = -1;  // how the log's CSV writes date-times

    // Over the readable delays, in seconds; meaningful when delays > 0.
    std::int64_t delays = 0;
    double mean = 0;
    double stddev = 0;  // population
    double median = 0;
    double p95 = 0;
    double p99 = 0;
    double min = 0;
    double minTime = 0;  // RMC date-time of the first report with the smallest delay
    double max = 0;
    double maxTime = 0;

    // Over all reports, an unreadable delay counting as 0; in seconds.
    std::int64_t alarmStretches = 0;
    double alarmTotal = 0;                // sum of (end - start) of the stretches
    double alarmLongest = 0;              // largest (end - start)
    std::vector<AlarmStretch> alarmList;  // the first kListed stretches

    // Over reports with readable date-times, in seconds.
    double firstTime = 0;  // the first readable RMC date-time in log order; 0 when none
    double lastTime = 0;   // ... and the last
    double usualStep = 0;  // median of the forward steps; 0 when there are none
    std::int64_t gaps = 0;
    double gapTotal = 0;             // missing time: the sum of (step - usual step) over the gaps
    double gapLongest = 0;           // largest missing time of one gap
    std::vector<ReportGap> gapList;  // the first kListed gaps
    bool gapListComplete = true;     // false only in the rare case statistics.cpp tells
    std::int64_t backwardSteps = 0;

    // What the reader passed over: binary frames, by kind.
    FrameCounts frames;

    // Only when the run was asked for them (Converter::CollectTimingMetrics),
    // of the same accepted reports.
    std::optional<TimingMetrics> metrics;
};

// A date-time value in whole milliseconds (half away from zero): steps between
// reports are compared in these.
std::int64_t DateTimeMs(double time);

// Counts of integer keys 0 .. size-1 in pages allocated at their first key, so
// memory follows the keys' spread, not their number.
class PagedCounts {
  public:
    explicit PagedCounts(std::size_t size);
    void Add(std::size_t key, std::uint64_t count = 1) {
        const std::size_t page = key / kPageSize;
        if (!pages_[page]) NewPage(page);
        pages_[page][key % kPageSize] += count;
    }
    // These walk the pages: for the end of the log, not for every report.
    std::uint64_t Total() const;
    // The key of the rank-th smallest entry (rank from 0, below Total()).
    std::size_t KeyAtRank(std::uint64_t rank) const;
    // Calls f(key, count) for every key above the given one holding a count.
    template <class F>
    void ForEachAbove(std::size_t key, F f) const {
        for (std::size_t page = 0; page < pages_.size(); ++page) {
            if (!pages_[page] || (page + 1) * kPageSize <= key + 1) continue;
            for (std::size_t i = 0; i < kPageSize; ++i) {
                const std::size_t k = page * kPageSize + i;
                if (k > key && pages_[page][i] != 0) f(k, pages_[page][i]);
            }
        }
    }

  private:
    static constexpr std::size_t kPageSize = 512;  // 4 KiB of counts
    void NewPage(std::size_t page);
    std::uint64_t PageTotal(std::size_t page) const;
    std::vector<std::unique_ptr<std::uint64_t[]>> pages_;
};

class StatisticsAccumulator {
  public:
    StatisticsAccumulator();

    // One accepted report: its RMC date-time (0 when unreadable, as the run
    // reads it; 1899-12-30 00:00:00.000, the value 0, counts as unreadable too),
    // its delay (as the run uses it: 0 when unreadable) and the alarm step in
    // force.
    // Reports wait in a small batch: handled together, the counts and bins stay
    // in the processor's nearest cache, which the log's bytes would flush
    // between two reports.
    void Add(double time, double delay, bool delayReadable, double alarmStep) {
        const bool over = alarmStep > 0 && (delay < 0 ? -delay : delay) > alarmStep;
        batch_[batched_++] = {time, delay, delayReadable, over};
        if (batched_ == kBatch) Flush();
    }

    // The figures so far; rows, lines and secondDecimals are the run's to fill.
    LogStatistics Result();

  private:
    static constexpr std::size_t kBatch = 256;
    struct Batched {
        double time;
        double delay;
        bool delayReadable;
        bool over;
    };
    struct Candidate {
        std::int64_t startMs;
        std::int64_t stepMs;
    };
    struct Moments {
        double count = 0;  // delays merged into mean and m2
        double mean = 0;
        double m2 = 0;
        int blockCount = 0;  // delays of the block being summed
        double blockShift = 0;
        double blockSum = 0;
        double blockSquares = 0;
        void MergeBlock();
    };
    struct AlarmTally {
        bool open = false;
        AlarmStretch current;
        std::int64_t count = 0;
        std::int64_t totalMs = 0;
        std::int64_t longestMs = 0;
        std::vector<AlarmStretch> list;
        void Close();
    };

    void Flush();
    void AddDelay(double time, double delay);
    void AddAlarm(bool over, double time, double delay);
    void AddTime(double time);
    void AddStep(std::int64_t startMs, std::int64_t stepMs);
    void AddCandidate(std::int64_t startMs, std::int64_t stepMs);
    void BinRepeats();
    double DelayAtRank(std::uint64_t rank) const;
    double DelayPercentile(double p) const;
    double StepAtRank(std::uint64_t rank, std::uint64_t fine) const;
    void FillGaps(LogStatistics& s) const;

    std::array<Batched, kBatch> batch_;
    std::size_t batched_ = 0;
    std::int64_t reports_ = 0;
    std::int64_t unreadableDelays_ = 0;
    std::int64_t unreadableTimes_ = 0;

    // Delays: the running mean and sum of squared deviations, extremes, and
    // 1 ms bins over +-1000 s.
    std::int64_t delays_ = 0;
    Moments moments_;
    double min_ = 0, minTime_ = 0, max_ = 0, maxTime_ = 0;
    PagedCounts delayBins_;

    AlarmTally alarms_;

    // Steps between readable date-times, in milliseconds.
    bool havePrevTime_ = false;
    std::int64_t prevMs_ = 0;
    double firstTime_ = 0, lastTime_ = 0;
    std::int64_t backwardSteps_ = 0;
    PagedCounts fineSteps_;    // forward steps below kLongStepMs, by the millisecond
    PagedCounts coarseSteps_;  // longer ones, by the second
    std::int64_t longSteps_ = 0;
    std::int64_t longStepsMs_ = 0;  // their exact sum
    std::int64_t longestStepMs_ = 0;
    std::vector<Candidate> candidates_;
    std::vector<std::int64_t> topSteps_;  // min-heap of the kListed longest steps so far
    std::int64_t candidateFloorMs_ = 0;   // steps up to this one are no longer kept
    std::int64_t repeatStepMs_ = -1;      // the last step that was no candidate
    std::int64_t repeats_ = 0;            // its repeats since, not yet binned
};

}  // namespace tarnimex
