// SPDX-License-Identifier: GPL-3.0-or-later
// Timing metrics over the series of time errors x (the delays).
//
// The series: accepted reports whose date-time and delay both read, in log
// order, from the first whose date-time is at least the warm-up after the
// first such report's. A segment is a longest run of consecutive reports each
// exactly the usual step τ0 after the one before, compared in whole
// milliseconds; a gap, a step back or any other step, or a report whose
// date-time or delay cannot be read ends it. No MTIE window or TDEV term
// spans two segments.
//
// MTIE(nτ0): the largest max - min over every window of n + 1 consecutive
// reports of a segment, taken by one pass per n with monotonic deques of the
// window's candidates for its largest and smallest value.
//
// TDEV(nτ0)^2 = sum of S_j^2 / (6 n^2 M), S_j the sum over i = j .. j+n-1 of
// x[i+2n] - 2x[i+n] + x[i], over the M start positions j of every segment that
// holds j .. j+3n-1. S_j is small beside x (a large constant offset, a drift),
// so it is never formed from sums of x: S_{j+1} - S_j =
// (x[j+3n] - x[j+2n]) - 2(x[j+2n] - x[j+n]) + (x[j+n] - x[j]), whose
// differences of neighbouring values are exact in long double, and S is
// summed afresh every n steps, so that rounding never builds up over more
// than n updates. That keeps each S_j within a few roundings of its direct
// sum, in time linear in the reports per n.
#include "conversion/statistics/timing_metrics.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "conversion/statistics/statistics.h"

namespace tarnimex {

namespace {

constexpr double kMsPerSecond = 1000.0;
constexpr std::int64_t kMultiples[] = {1, 2, 5};  // of each power of ten
constexpr std::size_t kMultiplesPerDecade = std::size(kMultiples);
constexpr std::size_t kMtieWindowExtra = 1;  // a window of n steps holds n + 1 reports
constexpr std::size_t kTdevSpan = 3;         // a TDEV term spans 3n reports
constexpr long double kTdevDivisor = 6;

// Per interval, over all segments.
struct Accumulated {
    double mtie = 0;
    long double squares = 0;  // sum of S_j^2
    std::int64_t terms = 0;   // M
};

// Indices within a segment: a segment of 2^32 reports would need 64 GiB for
// the series alone.
double WindowSpread(const double* x, std::size_t count, std::size_t window,
                    std::vector<std::uint32_t>& highs, std::vector<std::uint32_t>& lows) {
    // Indices of the window's candidates, values falling along highs and
    // rising along lows; front to back, within [head, tail).
    std::size_t hHead = 0, hTail = 0, lHead = 0, lTail = 0;
    double spread = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double v = x[i];
        while (hTail > hHead && x[highs[hTail - 1]] <= v) --hTail;
        highs[hTail++] = static_cast<std::uint32_t>(i);
        while (lTail > lHead && x[lows[lTail - 1]] >= v) --lTail;
        lows[lTail++] = static_cast<std::uint32_t>(i);
        if (i + 1 < window) continue;
        const std::size_t first = i + 1 - window;
        if (highs[hHead] < first) ++hHead;
        if (lows[lHead] < first) ++lHead;
        spread = std::max(spread, x[highs[hHead]] - x[lows[lHead]]);
    }
    return spread;
}

// Adds the S_j^2 of one segment for one n.
void AddTdevTerms(const double* x, std::size_t count, std::size_t n, Accumulated& into) {
    using L = long double;
    const std::size_t positions = count - kTdevSpan * n + 1;
    long double squares = 0;
    for (std::size_t start = 0; start < positions; start += n) {
        long double s = 0;
        for (std::size_t i = start; i < start + n; ++i)
            s += (L{x[i + 2 * n]} - x[i + n]) - (L{x[i + n]} - x[i]);
        squares += s * s;
        const std::size_t end = std::min(start + n, positions);
        for (std::size_t j = start; j + 1 < end; ++j) {
            s += (L{x[j + 3 * n]} - x[j + 2 * n]) - 2 * (L{x[j + 2 * n]} - x[j + n]) +
                 (L{x[j + n]} - x[j]);
            squares += s * s;
        }
    }
    into.squares += squares;
    into.terms += static_cast<std::int64_t>(positions);
}

}  // namespace

std::int64_t IntervalMultiple(std::size_t k) {
    std::int64_t power = 1;
    for (std::size_t d = 0; d < k / kMultiplesPerDecade; ++d) power *= 10;
    return kMultiples[k % kMultiplesPerDecade] * power;
}

TimingSeries::TimingSeries(double warmUp)
    : warmUpMs_(static_cast<std::int64_t>(std::ceil(warmUp * kMsPerSecond))) {}

void TimingSeries::Add(double time, double delay, bool delayReadable) {
    if (time == 0 || !delayReadable) {
        if (warmedUp_ && ms_.back() != kBreak) {
            ms_.push_back(kBreak);
            delays_.push_back(0);
        }
        return;
    }
    const std::int64_t ms = DateTimeMs(time);
    if (!warmedUp_) {
        if (!started_) {
            started_ = true;
            firstMs_ = ms;
        }
        if (ms - firstMs_ < warmUpMs_) return;
        warmedUp_ = true;
    }
    ms_.push_back(ms);
    delays_.push_back(delay);
}

TimingMetrics TimingSeries::Compute(double usualStep) const {
    TimingMetrics m;
    const std::int64_t tau0Ms = std::llround(usualStep * kMsPerSecond);
    m.tau0 = static_cast<double>(tau0Ms) / kMsPerSecond;

    // The segments as [begin, end) of the series; first their extent.
    auto segmentEnd = [&](std::size_t begin) {
        std::size_t end = begin + 1;
        while (end < ms_.size() && tau0Ms > 0 && ms_[end] - ms_[end - 1] == tau0Ms) ++end;
        return end;
    };
    std::size_t longest = 0;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (std::size_t begin = 0; begin < ms_.size();) {
        if (ms_[begin] == kBreak) {
            ++begin;
            continue;
        }
        const std::size_t end = segmentEnd(begin);
        longest = std::max(longest, end - begin);
        for (std::size_t i = begin; i < end; ++i) {
            low = std::min(low, delays_[i]);
            high = std::max(high, delays_[i]);
        }
        m.reports += static_cast<std::int64_t>(end - begin);
        begin = end;
    }
    if (m.reports == 0) return m;
    m.maxAbsTimeError = std::max(std::fabs(low), std::fabs(high));
    m.peakToPeak = high - low;

    std::vector<Accumulated> at;
    while (static_cast<std::size_t>(IntervalMultiple(at.size())) + kMtieWindowExtra <= longest)
        at.emplace_back();
    std::vector<std::uint32_t> highs(longest), lows(longest);
    for (std::size_t begin = 0; begin < ms_.size();) {
        if (ms_[begin] == kBreak) {
            ++begin;
            continue;
        }
        const std::size_t end = segmentEnd(begin);
        const std::size_t count = end - begin;
        const double* x = delays_.data() + begin;
        for (std::size_t k = 0; k < at.size(); ++k) {
            const auto n = static_cast<std::size_t>(IntervalMultiple(k));
            if (n + kMtieWindowExtra > count) break;
            at[k].mtie =
                std::max(at[k].mtie, WindowSpread(x, count, n + kMtieWindowExtra, highs, lows));
            if (kTdevSpan * n <= count) AddTdevTerms(x, count, n, at[k]);
        }
        begin = end;
    }
    for (std::size_t k = 0; k < at.size(); ++k) {
        const auto n = static_cast<double>(IntervalMultiple(k));
        const double tau = n * m.tau0;
        m.mtie.push_back({tau, at[k].mtie});
        if (at[k].terms == 0) continue;
        const long double divisor = kTdevDivisor * n * n * static_cast<long double>(at[k].terms);
        m.tdev.push_back({tau, static_cast<double>(std::sqrt(at[k].squares / divisor))});
    }
    return m;
}

}  // namespace tarnimex
