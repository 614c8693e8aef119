// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chart_thinning.h"

#include <algorithm>

namespace tarnimex {

double UsualStep(const std::vector<ChartPoint>& points) {
    std::vector<double> steps;
    steps.reserve(points.size());
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (points[i].x > points[i - 1].x) steps.push_back(points[i].x - points[i - 1].x);
    }
    if (steps.empty()) return 0;
    auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return *middle;
}

std::vector<ChartSegment> ThinToColumns(const std::vector<ChartPoint>& points, double from,
                                        double to, int columns, double gapStep) {
    std::vector<ChartSegment> segments;
    if (points.empty() || columns <= 0 || !(to > from)) return segments;
    const auto byX = [](const ChartPoint& p, double x) { return p.x < x; };
    auto first = std::lower_bound(points.begin(), points.end(), from, byX);
    auto last = std::lower_bound(first, points.end(), to,
                                 [](const ChartPoint& p, double x) { return p.x <= x; });
    if (first != points.begin()) --first;
    if (last != points.end()) ++last;
    const double width = (to - from) / columns;

    // One column's first, lowest, highest and last point, in x order.
    struct Column {
        long index = 0;
        ChartPoint first, low, high, last;
    };
    const auto flush = [&](const Column& c) {
        ChartSegment& out = segments.back();
        ChartPoint kept[4] = {c.first, c.low, c.high, c.last};
        std::sort(std::begin(kept), std::end(kept),
                  [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; });
        for (const ChartPoint& p : kept) {
            if (out.empty() || out.back().x != p.x || out.back().y != p.y) out.push_back(p);
        }
    };
    Column column;
    bool open = false;
    const ChartPoint* previous = nullptr;
    for (auto it = first; it != last; ++it) {
        const ChartPoint& p = *it;
        const bool gap = previous != nullptr && gapStep > 0 && p.x - previous->x > gapStep;
        const long index = static_cast<long>((p.x - from) / width);
        if (open && (gap || index != column.index)) {
            flush(column);
            open = false;
        }
        if (previous == nullptr || gap) segments.emplace_back();
        if (!open) {
            column = {index, p, p, p, p};
            open = true;
        } else {
            if (p.y < column.low.y) column.low = p;
            if (p.y > column.high.y) column.high = p;
            column.last = p;
        }
        previous = &p;
    }
    if (open) flush(column);
    return segments;
}

}  // namespace tarnimex
