// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chart_statistics.h"

#include <algorithm>
#include <cmath>

namespace tarnimex {

SeriesFigures FiguresOf(const std::vector<ChartPoint>& points) {
    SeriesFigures f;
    if (points.empty()) return f;
    std::vector<double> y;
    y.reserve(points.size());
    double mean = 0, m2 = 0;
    for (const ChartPoint& p : points) {
        // Welford's running mean and squared deviations: stable for long series.
        y.push_back(p.y);
        const double delta = p.y - mean;
        mean += delta / static_cast<double>(y.size());
        m2 += delta * (p.y - mean);
    }
    std::sort(y.begin(), y.end());
    const auto rank = [&](double share) {
        const auto n = static_cast<double>(y.size());
        const auto index = static_cast<std::size_t>(std::max(0.0, std::ceil(share * n) - 1));
        return y[std::min(index, y.size() - 1)];
    };
    f.mean = mean;
    f.stddev = std::sqrt(m2 / static_cast<double>(y.size()));
    f.min = y.front();
    f.max = y.back();
    f.median = rank(0.5);
    f.p95 = rank(0.95);
    f.p99 = rank(0.99);
    return f;
}

}  // namespace tarnimex
