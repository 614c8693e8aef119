// SPDX-License-Identifier: GPL-3.0-or-later
// The chart of one timing metric (MTIE or TDEV) over the observation interval
// on log-log axes, with the tester's mask for it.
#pragma once

#include <QString>
#include <vector>

#include "conversion/statistics/timing_metrics.h"
#include "conversion/statistics/verdict.h"

class QChart;

namespace tarnimex {

// name: "MTIE" or "TDEV", the chart's title and the series' name. Points whose
// value is not above 0 have no place on a logarithmic axis and are left out;
// the mask (when it has points) is drawn as its limit at each interval
// from the smallest to the largest of the metric's and its own.
QChart* NewTimingChart(const QString& name, const std::vector<TimingPoint>& points,
                       const LimitMask& mask);

}  // namespace tarnimex
