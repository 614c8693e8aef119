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
// reports of a segment, three comparisons a report for each n (see Windows),
// with room for at most half the longest segment while they are computed.
//
// TDEV(nτ0)^2 = sum of S_j^2 / (6 n^2 M), S_j the sum over i = j .. j+n-1 of
// x[i+2n] - 2x[i+n] + x[i], over the M start positions j of every segment that
// holds j .. j+3n-1. S_j is small beside x (a large constant offset, a drift),
// so it is never formed from sums of x: S_{j+1} - S_j =
// (x[j+3n] - x[j+2n]) - 2(x[j+2n] - x[j+n]) + (x[j+n] - x[j]), whose
// differences of values of like size are exact, and S is summed afresh from
// its terms every 16n steps or less, so that rounding never builds up over
// more than 16n updates, each off by a rounding of a value of S's own size.
// That keeps each S_j close to its direct sum, in time linear in the reports
// per n. Four runs of S go side by side, so that no addition waits on the one
// before.
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
constexpr std::size_t kLanes = 4;        // independent sums side by side
constexpr double kExpectMargin = 1.125;

// Per interval, over all segments.
struct Accumulated {
    double mtie = 0;
    double squares = 0;      // sum of S_j^2
    std::int64_t terms = 0;  // M
};

// The largest max - min over the windows of w consecutive reports of a
// segment, by van Herk and Gil-Werman: cut the segment into blocks of w; a
// window from i in block a ends at j = i + w - 1 in block a + 1 (or is block a
// itself), so its extremes are those of i .. the end of block a (a suffix,
// noted walking the block backwards) joined with those of the start of block
// a + 1 .. j (a prefix, running forwards). Three comparisons a report whatever
// w. Each running extreme waits on the one before, so up to four blocks go
// side by side; their suffixes take at most half the longest segment.
class Windows {
  public:
    explicit Windows(std::size_t longest) : room_(longest / 2 + 1), extremes_(2 * room_) {}

    double Spread(const double* x, std::size_t count, std::size_t w) {
        const std::size_t starts = count - w + 1;
        double spread = 0;
        std::size_t a = 0;
        // Whole blocks four, then two at a time, while their suffixes fit.
        if (kLanes * w <= room_)
            for (; a + kLanes * w <= starts; a += kLanes * w)
                spread = std::max(spread, Blocks<kLanes>(x + a, w, w));
        if (2 * w <= room_)
            for (; a + 2 * w <= starts; a += 2 * w)
                spread = std::max(spread, Blocks<2>(x + a, w, w));
        for (; a < starts; a += w)
            spread = std::max(spread, Blocks<1>(x + a, w, std::min(w, starts - a)));
        return spread;
    }

  private:
    // The spread over the windows that start in the first `starts` reports
    // of each of `lanes` blocks of w from x.
    template <std::size_t lanes>
    double Blocks(const double* x, std::size_t w, std::size_t starts) {
        double* highs = extremes_.data();
        double* lows = highs + room_;
        double high[lanes], low[lanes], spread[lanes];
        for (std::size_t l = 0; l < lanes; ++l) high[l] = low[l] = x[l * w + w - 1];
        // Suffix extremes over t .. w - 1, noted for the window starts t.
        for (std::size_t t = w - 1; t-- > starts;) {
            _Pragma("GCC unroll 4") for (std::size_t l = 0; l < lanes; ++l) {
                high[l] = std::max(high[l], x[l * w + t]);
                low[l] = std::min(low[l], x[l * w + t]);
            }
        }
        for (std::size_t t = starts; t-- > 0;) {
            _Pragma("GCC unroll 4") for (std::size_t l = 0; l < lanes; ++l) {
                high[l] = std::max(high[l], x[l * w + t]);
                low[l] = std::min(low[l], x[l * w + t]);
                highs[l * starts + t] = high[l];
                lows[l * starts + t] = low[l];
            }
        }
        // The window from t takes the next block's prefix up to t - 1 (none
        // for the window from 0, which is the block; the segment may end there).
        for (std::size_t l = 0; l < lanes; ++l) {
            spread[l] = high[l] - low[l];
            high[l] = -std::numeric_limits<double>::infinity();
            low[l] = std::numeric_limits<double>::infinity();
        }
        for (std::size_t t = 1; t < starts; ++t) {
            _Pragma("GCC unroll 4") for (std::size_t l = 0; l < lanes; ++l) {
                high[l] = std::max(high[l], x[(l + 1) * w + t - 1]);
                low[l] = std::min(low[l], x[(l + 1) * w + t - 1]);
                spread[l] = std::max(spread[l], std::max(highs[l * starts + t], high[l]) -
                                                    std::min(lows[l * starts + t], low[l]));
            }
        }
        double most = 0;
        for (std::size_t l = 0; l < lanes; ++l) most = std::max(most, spread[l]);
        return most;
    }

    std::size_t room_;  // suffix extremes, each
    // The highs, then the lows: one block, large enough to take large pages.
    std::vector<double, LargeAllocator<double>> extremes_;
};

// x[k+2n] - 2x[k+n] + x[k], the k-th term of an S, and S_{k+1} - S_k.
[[gnu::always_inline]] inline double Term(const double* x, std::size_t k, std::size_t n) {
    return (x[k + 2 * n] - x[k + n]) - (x[k + n] - x[k]);
}
[[gnu::always_inline]] inline double Change(const double* x, std::size_t k, std::size_t n) {
    return (x[k + 3 * n] - x[k + 2 * n]) - 2 * (x[k + 2 * n] - x[k + n]) + (x[k + n] - x[k]);
}

// S_j summed afresh from its terms.
double DirectSum(const double* x, std::size_t j, std::size_t n) {
    double part[kLanes] = {};
    std::size_t i = j;
    for (; i + kLanes <= j + n; i += kLanes)
        _Pragma("GCC unroll 4") for (std::size_t l = 0; l < kLanes; ++l) part[l] +=
            Term(x, i + l, n);
    for (; i < j + n; ++i) part[0] += Term(x, i, n);
    return (part[0] + part[1]) + (part[2] + part[3]);
}

// Adds the S_j^2 of one segment for one n.
void AddTdevTerms(const double* x, std::size_t count, std::size_t n, Accumulated& into) {
    const std::size_t positions = count - kTdevSpan * n + 1;
    // The kLanes runs of a group lie one after the other; only the group's
    // last runs can be short.
    const std::size_t run = std::min(kFreshEvery * n, (positions + kLanes - 1) / kLanes);
    double squares[kLanes] = {};
    for (std::size_t group = 0; group < positions; group += kLanes * run) {
        double s[kLanes];
        std::size_t length[kLanes];
        for (std::size_t l = 0; l < kLanes; ++l) {
            const std::size_t first = group + l * run;
            length[l] = first < positions ? std::min(run, positions - first) : 0;
            s[l] = length[l] > 0 ? DirectSum(x, first, n) : 0;
            squares[l] += s[l] * s[l];
        }
        const std::size_t common = length[kLanes - 1];
        for (std::size_t t = 1; t < common; ++t) {
            _Pragma("GCC unroll 4") for (std::size_t l = 0; l < kLanes; ++l) {
                s[l] += Change(x, group + l * run + t - 1, n);
                squares[l] += s[l] * s[l];
            }
        }
        for (std::size_t l = 0; l < kLanes; ++l) {
            for (std::size_t t = std::max<std::size_t>(common, 1); t < length[l]; ++t) {
                s[l] += Change(x, group + l * run + t - 1, n);
                squares[l] += s[l] * s[l];
            }
        }
    }
    into.squares += (static_cast<long double>(squares[0]) + squares[1]) + (squares[2] + squares[3]);
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
        if (warmedUp_) broken_ = true;
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
    const std::int64_t step = delays_.empty() || broken_ ? kBreak : ms - lastMs_;
    if (steps_.empty() || steps_.back().ms != step) steps_.push_back({delays_.size(), step});
    broken_ = false;
    lastMs_ = ms;
    delays_.push_back(delay);
}

void TimingSeries::Expect(std::int64_t bytesRead, std::int64_t size) {
    if (bytesRead <= 0 || size <= bytesRead) return;
    // An eighth over the estimate, so that a log somewhat denser later on
    // still fits.
    const double estimate = static_cast<double>(delays_.size()) * static_cast<double>(size) /
                            static_cast<double>(bytesRead) * kExpectMargin;
    const std::size_t capacity = delays_.capacity();
    if (estimate <= static_cast<double>(capacity)) return;
    // At least half as much again: an estimate creeping up step by step must
    // not copy the series at every step.
    const std::size_t room = std::max(static_cast<std::size_t>(estimate), capacity + capacity / 2);
    try {
        delays_.reserve(room);
    } catch (const std::exception&) {
        // Too much at once (an estimate from a dense start): the series grows as it comes.
    }
}

TimingMetrics TimingSeries::Compute(double usualStep) const {
    TimingMetrics m;
    const std::int64_t tau0Ms = std::llround(usualStep * kMsPerSecond);
    m.tau0 = static_cast<double>(tau0Ms) / kMsPerSecond;
    m.reports = static_cast<std::int64_t>(delays_.size());
    if (m.reports == 0) return m;
    const auto [low, high] = std::minmax_element(delays_.begin(), delays_.end());
    m.maxAbsTimeError = std::max(std::fabs(*low), std::fabs(*high));
    m.peakToPeak = *high - *low;

    // The segments: each report whose step before is not τ0 starts one; the
    // last entry closes the last segment.
    std::vector<std::size_t> starts;
    for (std::size_t k = 0; k < steps_.size(); ++k) {
        if (tau0Ms > 0 && steps_[k].ms == tau0Ms) continue;
        const std::size_t end = k + 1 < steps_.size() ? steps_[k + 1].first : delays_.size();
        for (std::size_t i = steps_[k].first; i < end; ++i) starts.push_back(i);
    }
    starts.push_back(delays_.size());
    std::size_t longest = 0;
    for (std::size_t s = 0; s + 1 < starts.size(); ++s)
        longest = std::max(longest, starts[s + 1] - starts[s]);

    std::vector<Accumulated> at;
    while (static_cast<std::size_t>(IntervalMultiple(at.size())) + kMtieWindowExtra <= longest)
        at.emplace_back();
    Windows windows(longest);
    for (std::size_t s = 0; s + 1 < starts.size(); ++s) {
        const std::size_t count = starts[s + 1] - starts[s];
        if (count <= kMtieWindowExtra) continue;
        const double* x = delays_.data() + starts[s];
        for (std::size_t k = 0; k < at.size(); ++k) {
            const auto n = static_cast<std::size_t>(IntervalMultiple(k));
            if (n + kMtieWindowExtra > count) break;
            at[k].mtie = std::max(at[k].mtie, windows.Spread(x, count, n + kMtieWindowExtra));
            if (kTdevSpan * n <= count) AddTdevTerms(x, count, n, at[k]);
        }
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
