// SPDX-License-Identifier: GPL-3.0-or-later
// Statistics of a log in memory that does not grow with its length.
//
// Delays: mean and population standard deviation by Welford's update, which
// stays accurate where a plain sum of squares would cancel. To spare a division
// per delay it runs block-wise (Chan, Golub and LeVeque's pairwise form): each
// block of 256 delays is summed about its own first delay, then merged into the
// running mean and sum of squared deviations. Median and percentiles
// come from counts in 1 ms bins over -1000 s .. +1000 s (a delay rounds to its
// bin; delays beyond the range count in the end bins), read by linear
// interpolation between neighbouring ranks, (n - 1) p; the lowest and highest
// rank take the exact smallest and largest delay. Delays written with up to
// three decimals are thus exact, others within half a millisecond. The bins'
// pages (4 KiB) are allocated at their first delay: a log whose delays stay
// within a second touches one or two.
//
// Alarm stretches: runs of consecutive reports with |delay| > alarm step, the
// test the alarm marks use, an unreadable delay counting as 0. A stretch lasts
// from the first to the last readable RMC date-time among its reports.
//
// Gaps: the usual step, the median of the forward steps between consecutive
// readable RMC date-times, is only known at the end, so the steps are counted
// by the millisecond (steps under 2^21 ms, about 35 minutes) and by the second
// (longer ones, up to 2^21 s; beyond that in the last bin). Count, total and
// longest missing time then follow from the counts, exactly whenever the usual
// step is under 23 minutes (so that every long step is a gap, and their exact
// sum is kept apart), else to the second. The gap list needs each gap's place:
// a step is kept as a candidate only while fewer than 1000 earlier steps were
// at least as long, since otherwise, whatever the usual step turns out to be,
// 1000 earlier gaps come first. That keeps the steps that were among the 1000
// longest so far, a few thousand in any real log. Should 65,536 candidates
// pile up (ever longer steps), the shorter half is dropped and steps up to the
// longest dropped one are no longer kept; the list is then complete only if
// the final gap threshold is at least that long, and gapListComplete says so.
// A step of zero is neither forward nor backward: it counts nowhere.
#include "conversion/statistics/statistics.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace tarnimex {

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr std::int64_t kDelayRangeMs = 1000000;  // +-1000 s
constexpr std::size_t kDelayBins = 2 * kDelayRangeMs + 1;
constexpr std::int64_t kLongStepMs = std::int64_t{1} << 21;
constexpr std::size_t kCoarseStepBins = std::size_t{1} << 21;  // seconds
constexpr std::size_t kMaxCandidates = std::size_t{1} << 16;
constexpr double kGapFactor = 1.5;
constexpr int kMomentBlock = 256;

// Half away from zero, as llround, without its library call.
std::int64_t Round(double value) {
    return static_cast<std::int64_t>(value < 0 ? value - 0.5 : value + 0.5);
}

double MsToSeconds(double ms) {
    return ms / 1000.0;
}

}  // namespace

std::int64_t DateTimeMs(double time) {
    return Round(time * kMsPerDay);
}

PagedCounts::PagedCounts(std::size_t size) : pages_((size + kPageSize - 1) / kPageSize) {}

std::uint64_t PagedCounts::PageTotal(std::size_t page) const {
    std::uint64_t total = 0;
    if (pages_[page]) {
        for (std::size_t i = 0; i < kPageSize; ++i) total += pages_[page][i];
    }
    return total;
}

std::uint64_t PagedCounts::Total() const {
    std::uint64_t total = 0;
    for (std::size_t page = 0; page < pages_.size(); ++page) total += PageTotal(page);
    return total;
}

void PagedCounts::NewPage(std::size_t page) {
    pages_[page] = std::make_unique<std::uint64_t[]>(kPageSize);
}

std::size_t PagedCounts::KeyAtRank(std::uint64_t rank) const {
    for (std::size_t page = 0; page < pages_.size(); ++page) {
        const std::uint64_t total = PageTotal(page);
        if (rank >= total) {
            rank -= total;
            continue;
        }
        for (std::size_t i = 0; i < kPageSize; ++i) {
            if (rank < pages_[page][i]) return page * kPageSize + i;
            rank -= pages_[page][i];
        }
    }
    return pages_.size() * kPageSize - 1;
}

StatisticsAccumulator::StatisticsAccumulator()
    : delayBins_(kDelayBins),
      fineSteps_(static_cast<std::size_t>(kLongStepMs)),
      coarseSteps_(kCoarseStepBins) {}

void StatisticsAccumulator::Flush() {
    for (std::size_t i = 0; i < batched_; ++i) {
        const Batched& r = batch_[i];
        if (r.delayReadable)
            AddDelay(r.time, r.delay);
        else
            ++unreadableDelays_;
        if (r.over || alarms_.open) AddAlarm(r.over, r.time, r.delay);
        if (r.time != 0)
            AddTime(r.time);
        else
            ++unreadableTimes_;
    }
    reports_ += static_cast<std::int64_t>(batched_);
    batched_ = 0;
}

void StatisticsAccumulator::AddDelay(double time, double delay) {
    ++delays_;
    if (moments_.blockCount == 0) moments_.blockShift = delay;
    const double shifted = delay - moments_.blockShift;
    moments_.blockSum += shifted;
    moments_.blockSquares += shifted * shifted;
    if (++moments_.blockCount == kMomentBlock) moments_.MergeBlock();
    if (delays_ == 1 || delay < min_) {
        min_ = delay;
        minTime_ = time;
    }
    if (delays_ == 1 || delay > max_) {
        max_ = delay;
        maxTime_ = time;
    }
    const double ms = std::clamp(delay * 1000.0, -static_cast<double>(kDelayRangeMs),
                                 static_cast<double>(kDelayRangeMs));
    delayBins_.Add(static_cast<std::size_t>(Round(ms) + kDelayRangeMs));
}

void StatisticsAccumulator::Moments::MergeBlock() {
    if (blockCount == 0) return;
    const auto n = static_cast<double>(blockCount);
    const double blockMean = blockShift + blockSum / n;
    const double blockM2 = std::max(0.0, blockSquares - blockSum * blockSum / n);
    const double total = count + n;
    const double delta = blockMean - mean;
    mean += delta * n / total;
    m2 += blockM2 + delta * delta * count * n / total;
    count = total;
    blockCount = 0;
    blockSum = 0;
    blockSquares = 0;
}

void StatisticsAccumulator::AddAlarm(bool over, double time, double delay) {
    AlarmStretch& s = alarms_.current;
    if (!over) {
        alarms_.Close();
        return;
    }
    if (!alarms_.open) {
        alarms_.open = true;
        s = AlarmStretch{0, 0, delay};
    } else if (std::fabs(delay) > std::fabs(s.peak)) {
        s.peak = delay;
    }
    if (time != 0) {
        if (s.start == 0) s.start = time;
        s.end = time;
    }
}

void StatisticsAccumulator::AlarmTally::Close() {
    open = false;
    ++count;
    const std::int64_t ms =
        current.start != 0 ? DateTimeMs(current.end) - DateTimeMs(current.start) : 0;
    totalMs += ms;
    longestMs = std::max(longestMs, ms);
    if (list.size() < LogStatistics::kListed) list.push_back(current);
}

void StatisticsAccumulator::AddTime(double time) {
    const std::int64_t ms = DateTimeMs(time);
    if (!havePrevTime_) firstTime_ = time;
    lastTime_ = time;
    if (havePrevTime_) {
        const std::int64_t step = ms - prevMs_;
        if (step > 0)
            AddStep(prevMs_, step);
        else if (step < 0)
            ++backwardSteps_;
    }
    havePrevTime_ = true;
    prevMs_ = ms;
}

void StatisticsAccumulator::AddStep(std::int64_t startMs, std::int64_t stepMs) {
    // A repeat of the last step that was no candidate is none either (the bar
    // only rises): it is only counted, and binned with its run.
    if (stepMs == repeatStepMs_) {
        ++repeats_;
        return;
    }
    BinRepeats();
    if (stepMs < kLongStepMs) {
        fineSteps_.Add(static_cast<std::size_t>(stepMs));
    } else {
        coarseSteps_.Add(std::min(static_cast<std::size_t>(stepMs / 1000), kCoarseStepBins - 1));
        ++longSteps_;
        longStepsMs_ += stepMs;
    }
    longestStepMs_ = std::max(longestStepMs_, stepMs);
    // Most steps are the usual one and end here, at one comparison.
    const bool full = topSteps_.size() == LogStatistics::kListed;
    if (stepMs <= candidateFloorMs_ || (full && stepMs <= topSteps_.front())) {
        if (stepMs < kLongStepMs) repeatStepMs_ = stepMs;
        return;
    }
    AddCandidate(startMs, stepMs);
}

void StatisticsAccumulator::BinRepeats() {
    if (repeats_ == 0) return;
    fineSteps_.Add(static_cast<std::size_t>(repeatStepMs_), static_cast<std::uint64_t>(repeats_));
    repeats_ = 0;
}

void StatisticsAccumulator::AddCandidate(std::int64_t startMs, std::int64_t stepMs) {
    topSteps_.push_back(stepMs);
    std::push_heap(topSteps_.begin(), topSteps_.end(), std::greater<>());
    if (topSteps_.size() > LogStatistics::kListed) {
        std::pop_heap(topSteps_.begin(), topSteps_.end(), std::greater<>());
        topSteps_.pop_back();
    }
    if (candidates_.size() == kMaxCandidates) {
        std::vector<std::int64_t> steps;
        steps.reserve(candidates_.size());
        for (const Candidate& c : candidates_) steps.push_back(c.stepMs);
        const auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
        std::nth_element(steps.begin(), middle, steps.end());
        candidateFloorMs_ = *middle;
        std::erase_if(candidates_,
                      [&](const Candidate& c) { return c.stepMs <= candidateFloorMs_; });
        if (stepMs <= candidateFloorMs_) return;
    }
    candidates_.push_back({startMs, stepMs});
}

double StatisticsAccumulator::DelayAtRank(std::uint64_t rank) const {
    if (rank == 0) return min_;
    if (rank + 1 >= static_cast<std::uint64_t>(delays_)) return max_;
    const auto key = static_cast<std::int64_t>(delayBins_.KeyAtRank(rank)) - kDelayRangeMs;
    return std::clamp(static_cast<double>(key) / 1000.0, min_, max_);
}

double StatisticsAccumulator::DelayPercentile(double p) const {
    const double h = static_cast<double>(delays_ - 1) * p;
    const auto low = static_cast<std::uint64_t>(h);
    const double fraction = h - static_cast<double>(low);
    const double value = DelayAtRank(low);
    return fraction > 0 ? value + fraction * (DelayAtRank(low + 1) - value) : value;
}

double StatisticsAccumulator::StepAtRank(std::uint64_t rank, std::uint64_t fine) const {
    if (rank < fine) return static_cast<double>(fineSteps_.KeyAtRank(rank));
    const auto seconds = coarseSteps_.KeyAtRank(rank - fine);
    return std::max(static_cast<double>(seconds) * 1000.0, static_cast<double>(kLongStepMs));
}

void StatisticsAccumulator::FillGaps(LogStatistics& s) const {
    const std::uint64_t fine = fineSteps_.Total();
    const std::uint64_t steps = fine + static_cast<std::uint64_t>(longSteps_);
    if (steps == 0) return;
    const std::uint64_t low = (steps - 1) / 2;
    const double usual = steps % 2 == 1 ? StepAtRank(low, fine)
                                        : (StepAtRank(low, fine) + StepAtRank(low + 1, fine)) / 2.0;
    const double threshold = kGapFactor * usual;
    s.usualStep = MsToSeconds(usual);
    std::int64_t gaps = 0;
    double missingMs = 0;
    const auto above = static_cast<std::size_t>(threshold);
    if (threshold < static_cast<double>(kLongStepMs)) {
        fineSteps_.ForEachAbove(above, [&](std::size_t ms, std::uint64_t count) {
            gaps += static_cast<std::int64_t>(count);
            missingMs += (static_cast<double>(ms) - usual) * static_cast<double>(count);
        });
        gaps += longSteps_;
        missingMs += static_cast<double>(longStepsMs_) - usual * static_cast<double>(longSteps_);
    } else {
        coarseSteps_.ForEachAbove(above / 1000, [&](std::size_t seconds, std::uint64_t count) {
            const double ms = static_cast<double>(seconds) * 1000.0;
            if (ms <= threshold) return;
            gaps += static_cast<std::int64_t>(count);
            missingMs += (ms - usual) * static_cast<double>(count);
        });
    }
    s.gaps = gaps;
    s.gapTotal = MsToSeconds(missingMs);
    if (static_cast<double>(longestStepMs_) > threshold)
        s.gapLongest = MsToSeconds(static_cast<double>(longestStepMs_) - usual);
    for (const Candidate& c : candidates_) {
        if (s.gapList.size() == LogStatistics::kListed) break;
        if (static_cast<double>(c.stepMs) > threshold) {
            s.gapList.push_back({static_cast<double>(c.startMs) / kMsPerDay,
                                 static_cast<double>(c.startMs + c.stepMs) / kMsPerDay});
        }
    }
    s.gapListComplete = static_cast<double>(candidateFloorMs_) <= threshold;
}

LogStatistics StatisticsAccumulator::Result() {
    Flush();
    BinRepeats();
    LogStatistics s;
    s.reports = reports_;
    s.unreadableTimes = unreadableTimes_;
    s.unreadableDelays = unreadableDelays_;
    s.delays = delays_;
    if (delays_ > 0) {
        Moments moments = moments_;
        moments.MergeBlock();
        s.mean = moments.mean;
        s.stddev = std::sqrt(moments.m2 / moments.count);
        s.median = DelayPercentile(0.5);
        s.p95 = DelayPercentile(0.95);
        s.p99 = DelayPercentile(0.99);
        s.min = min_;
        s.minTime = minTime_;
        s.max = max_;
        s.maxTime = maxTime_;
    }
    // A stretch still open at the end of the log ends there.
    AlarmTally alarms = alarms_;
    if (alarms.open) alarms.Close();
    s.alarmStretches = alarms.count;
    s.alarmTotal = MsToSeconds(static_cast<double>(alarms.totalMs));
    s.alarmLongest = MsToSeconds(static_cast<double>(alarms.longestMs));
    s.alarmList = std::move(alarms.list);
    s.backwardSteps = backwardSteps_;
    s.firstTime = firstTime_;
    s.lastTime = lastTime_;
    FillGaps(s);
    return s;
}

}  // namespace tarnimex
