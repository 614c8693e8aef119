// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/window_placement.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tarnimex {

namespace {

std::int64_t OverlapArea(const Rect& a, const Rect& b) {
    const std::int64_t width = std::int64_t{std::min(a.right, b.right)} - std::max(a.left, b.left);
    const std::int64_t height = std::int64_t{std::min(a.bottom, b.bottom)} - std::max(a.top, b.top);
    return width > 0 && height > 0 ? width * height : 0;
}

// Squared distance between the two rectangles; 0 when they touch or overlap.
std::int64_t GapSquared(const Rect& a, const Rect& b) {
    auto gap = [](int lowEnd, int highStart) {
        return std::max<std::int64_t>(0, std::int64_t{highStart} - lowEnd);
    };
    const std::int64_t dx = std::max(gap(a.right, b.left), gap(b.right, a.left));
    const std::int64_t dy = std::max(gap(a.bottom, b.top), gap(b.bottom, a.top));
    return dx * dx + dy * dy;
}

}  // namespace

void PlaceOnMonitor(PlacedWindow& form, int& top, int& left) {
    const Rect outer = form.OuterRect();
    const int height = outer.Height();
    const int width = outer.Width();
    Rect area;
    if (top == kNoPosition || left == kNoPosition) {
        area = form.GetWorkArea();
        // Integer division truncates toward zero, also for a window larger than the area.
        top = (area.Height() - height) / 2 + area.top;
        left = (area.Width() - width) / 2 + area.left;
    } else {
        form.SetTop(top);
        form.SetLeft(left);
        area = form.GetWorkArea();
    }
    // In this order a window larger than the area ends with its right edge and its
    // top edge on the area's, so the caption stays on screen.
    if (left < area.left) left = area.left;
    if (top > area.bottom - height) top = area.bottom - height;
    if (left > area.right - width) left = area.right - width;
    if (top < area.top) top = area.top;
}

Rect WorkAreaOfWindow(const Rect& window, const std::vector<Monitor>& monitors) {
    const Monitor* best = nullptr;
    std::int64_t bestOverlap = 0;
    std::int64_t bestGap = std::numeric_limits<std::int64_t>::max();
    for (const Monitor& monitor : monitors) {
        const std::int64_t overlap = OverlapArea(window, monitor.bounds);
        const std::int64_t gap = overlap > 0 ? 0 : GapSquared(window, monitor.bounds);
        if (overlap > bestOverlap || (bestOverlap == 0 && overlap == 0 && gap < bestGap)) {
            best = &monitor;
            bestOverlap = overlap;
            bestGap = gap;
        }
    }
    return best ? best->workArea : Rect{};
}

}  // namespace tarnimex
