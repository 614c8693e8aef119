// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping the main window on a usable part of the screen: a stored position is
// pulled inside the work area of the window's monitor, and a missing one
// centres the window there. Logic only; the window supplies its geometry.
#pragma once

#include <climits>
#include <vector>

namespace tarnimex {

// Screen pixels of the whole desktop; right and bottom lie just outside.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// What placement needs of a window.
class PlacedWindow {
  public:
    virtual ~PlacedWindow() = default;
    virtual Rect OuterRect() = 0;      // screen pixels, with frame
    virtual void SetTop(int top) = 0;  // moves the outer rectangle
    virtual void SetLeft(int left) = 0;
    // Work area of the screen holding the largest part of the window, or the
    // nearest; a sound fallback (primary screen) when none answers.
    virtual Rect GetWorkArea() = 0;
};

// A stored top or left of this value means no position is stored.
inline constexpr int kNoPosition = INT_MAX;

// Turns a wanted outer top-left position into the one to use. With a position
// stored, the window is moved there first so the monitor lookup sees it; the
// caller then moves the window to the returned position.
void PlaceOnMonitor(PlacedWindow& form, int& top, int& left);

struct Monitor {
    Rect bounds;
    Rect workArea;
};

// For windows that implement GetWorkArea from a list of monitors: the work area
// of the monitor sharing the largest area with the window, else of the nearest
// one (the first on ties); an empty rectangle when there is no monitor.
Rect WorkAreaOfWindow(const Rect& window, const std::vector<Monitor>& monitors);

}  // namespace tarnimex
