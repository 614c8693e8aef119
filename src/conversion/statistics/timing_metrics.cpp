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
// reports of a segment. The windows' extremes are built up along the ladder,
// each length from a shorter one (see Windows): a pass or two per n of one
// max and one min per report, with room for two copies of the longest
// segment while they are computed.
//
// TDEV(nτ0)^2 = sum of S_j^2 / (6 n^2 M), S_j the sum over i = j .. j+n-1 of
// x[i+2n] - 2x[i+n] + x[i], over the M start positions j of every segment that
// holds j .. j+3n-1. S_j is small beside x (a large constant offset, a drift),
// so it is never formed from sums of x: S_{j+1} - S_j =
// (x[j+3n] - x[j+2n]) - 2(x[j+2n] - x[j+n]) + (x[j+n] - x[j]), whose
// differences of values of like size are exact in long double, and S is
// summed afresh every 16n steps, so that rounding never builds up over more
// than 16n updates, each off by a rounding of long double (11 bits finer
// than the delays'). That keeps each S_j close to its direct sum, in time
// linear in the reports per n.
#include "conversion/statistics/timing_metrics.h"

#include <algorithm>
#include <cmath>
#include <exception>
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
constexpr std::size_t kFreshEvery = 16;  // n start positions between direct sums of S
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kExpectMargin = 1.125;

// Per interval, over all segments.
struct Accumulated {
    double mtie = 0;
    long double squares = 0;  // sum of S_j^2
    std::int64_t terms = 0;   // M
};

// The extremes of the windows of a segment, window by window of the ladder:
// highs[i] and lows[i] hold those of the window of `window` reports from i.
class Windows {
  public:
    explicit Windows(std::size_t longest) : highs_(longest), lows_(longest) {}

    void Start(const double* x, std::size_t count) {
        std::copy(x, x + count, highs_.begin());
        std::copy(x, x + count, lows_.begin());
        count_ = count;
        window_ = 1;
    }

    // The largest max - min over the windows of the given length, at least
    // the last one's and at most count: a window of w + d reports (d <= w) is
    // that of w from i joined with that of w from i + d.
    double Spread(std::size_t window) {
        while (window_ < window) {
            const std::size_t d = std::min(window_, window - window_);
            window_ += d;
            for (std::size_t i = 0; i + window_ <= count_; ++i) {
                highs_[i] = std::max(highs_[i], highs_[i + d]);
                lows_[i] = std::min(lows_[i], lows_[i + d]);
            }
        }
        double spread = 0;
        for (std::size_t i = 0; i + window_ <= count_; ++i)
            spread = std::max(spread, highs_[i] - lows_[i]);
        return spread;
    }

  private:
    std::vector<double> highs_, lows_;
    std::size_t count_ = 0;
    std::size_t window_ = 1;
};

// x[k+2n] - 2x[k+n] + x[k], the k-th term of an S, and S_{k+1} - S_k.
long double Term(const double* x, std::size_t k, std::size_t n) {
    using L = long double;
    return (L{x[k + 2 * n]} - x[k + n]) - (L{x[k + n]} - x[k]);
}
long double Change(const double* x, std::size_t k, std::size_t n) {
    using L = long double;
    return (L{x[k + 3 * n]} - x[k + 2 * n]) - 2 * (L{x[k + 2 * n]} - x[k + n]) +
           (L{x[k + n]} - x[k]);
}

// Adds the S_j^2 of one segment for one n.
void AddTdevTerms(const double* x, std::size_t count, std::size_t n, Accumulated& into) {
    const std::size_t positions = count - kTdevSpan * n + 1;
    const std::size_t fresh = kFreshEvery * n;
    long double squares = 0;
    for (std::size_t start = 0; start < positions; start += fresh) {
        long double s = 0;
        for (std::size_t i = start; i < start + n; ++i) s += Term(x, i, n);
        squares += s * s;
        const std::size_t end = std::min(start + fresh, positions);
        for (std::size_t j = start; j + 1 < end; ++j) {
            s += Change(x, j, n);
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

void TimingSeries::Expect(std::int64_t bytesRead, std::int64_t size) {
    if (bytesRead <= 0 || size <= bytesRead) return;
    // An eighth over the estimate, so that a log somewhat denser later on
    // still fits.
    const double estimate = static_cast<double>(ms_.size()) * static_cast<double>(size) /
                            static_cast<double>(bytesRead) * kExpectMargin;
    const std::size_t capacity = ms_.capacity();
    if (estimate <= static_cast<double>(capacity)) return;
    // At least half as much again: an estimate creeping up step by step must
    // not copy the series at every step.
    const std::size_t room = std::max(static_cast<std::size_t>(estimate), capacity + capacity / 2);
    try {
        ms_.reserve(room);
        delays_.reserve(room);
    } catch (const std::exception&) {
        // Too much at once (an estimate from a dense start): the series grows as it comes.
    }
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
    double low = kInfinity, high = -kInfinity;
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
    Windows windows(longest);
    for (std::size_t begin = 0; begin < ms_.size();) {
        if (ms_[begin] == kBreak) {
            ++begin;
            continue;
        }
        const std::size_t end = segmentEnd(begin);
        const std::size_t count = end - begin;
        const double* x = delays_.data() + begin;
        windows.Start(x, count);
        for (std::size_t k = 0; k < at.size(); ++k) {
            const auto n = static_cast<std::size_t>(IntervalMultiple(k));
            if (n + kMtieWindowExtra > count) break;
            at[k].mtie = std::max(at[k].mtie, windows.Spread(n + kMtieWindowExtra));
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
