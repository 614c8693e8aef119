// SPDX-License-Identifier: GPL-3.0-or-later
// What the chart draws of a long series: at most the first, smallest, largest
// and last point of each pixel column, so that a 4-day CSV draws as fast as a
// short one and no spike disappears, and the series split where reports are
// missing (a step longer than 1.5 usual steps) so that a gap shows as a break.
#pragma once

#include <vector>

namespace tarnimex {

struct ChartPoint {
    double x = 0;
    double y = 0;
};

// Points in the order of x; steps between neighbours larger than gapStep start
// a new segment.
using ChartSegment = std::vector<ChartPoint>;

// The usual step between the points' x: the median of the forward steps, 0
// when there is none.
double UsualStep(const std::vector<ChartPoint>& points);

// The points with x in [from, to] (and one on either side, so that lines run to
// the edges) kept per column of (to - from) / columns, split at gaps longer
// than gapStep (0: none). points are sorted by x.
std::vector<ChartSegment> ThinToColumns(const std::vector<ChartPoint>& points, double from,
                                        double to, int columns, double gapStep);

}  // namespace tarnimex
