// SPDX-License-Identifier: GPL-3.0-or-later
// The figures of a chart series' table.
#pragma once

#include <vector>

#include "ui/chart_thinning.h"

namespace tarnimex {

struct SeriesFigures {
    double mean = 0, stddev = 0, min = 0, max = 0, median = 0, p95 = 0, p99 = 0;
};

// Over the points' y; stddev is the population's; percentiles are the nearest
// rank's. All 0 for no points.
SeriesFigures FiguresOf(const std::vector<ChartPoint>& points);

}  // namespace tarnimex
