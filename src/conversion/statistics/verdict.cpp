// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/statistics/verdict.h"

#include <charconv>
#include <cmath>

namespace tarnimex {

namespace {

// The value each scalar limit bounds, in the order of kScalarLimitNames. The
// time-error extremes follow the warm-up; the others are the log's statistics.
using ValueOf = double (*)(const LogStatistics&, const TimingMetrics&);
constexpr std::array<ValueOf, kScalarLimitNames.size()> kScalarValues = {
    [](const LogStatistics&, const TimingMetrics& m) { return m.maxAbsTimeError; },
    [](const LogStatistics&, const TimingMetrics& m) { return m.peakToPeak; },
    [](const LogStatistics& s, const TimingMetrics&) { return std::fabs(s.mean); },
    [](const LogStatistics& s, const TimingMetrics&) { return s.stddev; },
    [](const LogStatistics& s, const TimingMetrics&) { return s.p99; },
    [](const LogStatistics& s, const TimingMetrics&) {
        return static_cast<double>(s.alarmStretches);
    },
    [](const LogStatistics& s, const TimingMetrics&) { return s.gapTotal; },
};

void CheckMask(std::string_view name, const LimitMask& mask, const std::vector<TimingPoint>& points,
               std::vector<VerdictCheck>& checks) {
    if (mask.points.empty()) return;
    for (const TimingPoint& p : points) {
        const double limit = mask.At(p.tau);
        checks.push_back({std::string(name), limit, p.value, p.value <= limit, p.tau});
    }
}

std::string Shortest(double value) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

}  // namespace

double LimitMask::At(double tau) const {
    if (tau <= points.front().tau) return points.front().limit;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const Point& a = points[i - 1];
        const Point& b = points[i];
        if (tau <= b.tau) return a.limit + (b.limit - a.limit) * (tau - a.tau) / (b.tau - a.tau);
    }
    return points.back().limit;
}

Verdict JudgeLog(const TimingLimits& limits, const LogStatistics& statistics,
                 const TimingMetrics& metrics) {
    Verdict verdict;
    if (metrics.reports == 0) return verdict;
    for (std::size_t i = 0; i < kScalarLimitNames.size(); ++i) {
        if (!limits.scalar[i]) continue;
        const double value = kScalarValues[i](statistics, metrics);
        verdict.checks.push_back({std::string(kScalarLimitNames[i]), *limits.scalar[i], value,
                                  value <= *limits.scalar[i], std::nullopt});
    }
    CheckMask(kMtieName, limits.mtie, metrics.mtie, verdict.checks);
    CheckMask(kTdevName, limits.tdev, metrics.tdev, verdict.checks);
    verdict.outcome = Verdict::Outcome::kPass;
    for (const VerdictCheck& c : verdict.checks) {
        if (!c.pass) verdict.outcome = Verdict::Outcome::kFail;
    }
    return verdict;
}

std::string VerdictLine(const Verdict& verdict, const std::function<std::string(double)>& number) {
    switch (verdict.outcome) {
        case Verdict::Outcome::kPass:
            return "Verdict: PASS";
        case Verdict::Outcome::kNoData:
            return "Verdict: no data";
        case Verdict::Outcome::kFail:
            break;
    }
    const auto write = [&](double value) { return number ? number(value) : Shortest(value); };
    std::string line = "Verdict: FAIL: ";
    const char* separator = "";
    for (const VerdictCheck& c : verdict.checks) {
        if (c.pass) continue;
        line += separator + c.name;
        if (c.tau) line += "(" + write(*c.tau) + " s)";
        line += " " + write(c.value) + " > " + write(c.limit);
        separator = "; ";
    }
    return line;
}

}  // namespace tarnimex
