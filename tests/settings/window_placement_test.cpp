// SPDX-License-Identifier: GPL-3.0-or-later
// Placing the main window on its monitor, with the monitor found the way a
// window implementation would find it from the screens' rectangles.
#include "settings/window_placement.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnimex {
namespace {

// Primary monitor 1920 x 1080 with a 40-pixel task bar at the bottom.
const Monitor kPrimary{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}};

// A 620 x 172 window on the given monitors; records where the monitor lookup saw it.
class FakeWindow : public PlacedWindow {
  public:
    explicit FakeWindow(std::vector<Monitor> monitors) : monitors_(std::move(monitors)) {}
    Rect OuterRect() override { return outer; }
    void SetTop(int top) override { outer = {outer.left, top, outer.right, top + 172}; }
    void SetLeft(int left) override { outer = {left, outer.top, left + 620, outer.bottom}; }
    Rect GetWorkArea() override {
        seenAt = outer;
        return WorkAreaOfWindow(outer, monitors_);
    }

    Rect outer{0, 0, 620, 172};
    Rect seenAt;

  private:
    std::vector<Monitor> monitors_;
};

TEST(WindowPlacementTest, StoredPositionsEndInsideTheWorkArea) {
    constexpr int kNone = kNoPosition;
    const Monitor leftOfPrimary{{-1280, 0, 0, 1024}, {-1280, 0, 0, 984}};
    // Legend: monitors, stored top and left; the top and left to use.
    const struct {
        const char* legend;
        std::vector<Monitor> monitors;
        int top, left, wantTop, wantLeft;
    } cases[] = {
        {"nothing stored: centred", {kPrimary}, kNone, kNone, 434, 650},
        {"top without left: centred", {kPrimary}, 100, kNone, 434, 650},
        {"inside: unchanged", {kPrimary}, 300, 40, 300, 40},
        {"far away: pulled to the nearest edge", {kPrimary}, 3000, 5000, 868, 1300},
        {"above and left: to the corner", {kPrimary}, -50, -700, 0, 0},
        {"area narrower than the window",
         {{{0, 0, 600, 1080}, {0, 0, 600, 1040}}},
         100,
         0,
         100,
         -20},
        {"narrower, centred", {{{0, 0, 600, 1080}, {0, 0, 600, 1040}}}, kNone, 5, 434, -20},
        {"area lower than the window", {{{0, 0, 1920, 150}, {0, 0, 1920, 150}}}, 90, 40, 0, 40},
        {"odd leftover: halves truncate",
         {{{0, 0, 1921, 1041}, {0, 0, 1921, 1041}}},
         kNone,
         kNone,
         434,
         650},
        {"monitor left of the primary", {kPrimary, leftOfPrimary}, 100, -1000, 100, -1000},
        {"far left: the left monitor is nearest",
         {kPrimary, leftOfPrimary},
         100,
         -5000,
         100,
         -1280},
    };
    for (const auto& c : cases) {
        FakeWindow window(c.monitors);
        int top = c.top;
        int left = c.left;
        PlaceOnMonitor(window, top, left);
        EXPECT_EQ(top, c.wantTop) << c.legend;
        EXPECT_EQ(left, c.wantLeft) << c.legend;
    }
}

TEST(WindowPlacementTest, WindowIsMovedBeforeItsMonitorIsLookedUp) {
    FakeWindow window({kPrimary});
    int top = 3000;
    int left = 5000;
    PlaceOnMonitor(window, top, left);
    EXPECT_EQ(window.seenAt, (Rect{5000, 3000, 5620, 3172}));
}

TEST(WindowPlacementTest, MonitorHoldingTheLargestPartGivesTheWorkArea) {
    const Monitor right{{1920, 0, 3840, 1200}, {1920, 30, 3840, 1200}};
    const std::vector<Monitor> both{kPrimary, right};
    // Legend: the window's outer rectangle; the work area expected.
    const struct {
        const char* legend;
        Rect window;
        Rect area;
    } cases[] = {
        {"mostly on the primary", {1500, 10, 2120, 182}, kPrimary.workArea},
        {"mostly on the right", {1700, 10, 2320, 182}, right.workArea},
        {"below both, nearer the right", {3000, 1500, 3620, 1672}, right.workArea},
        {"equal parts: the first", {1610, 10, 2230, 182}, kPrimary.workArea},
    };
    for (const auto& c : cases) EXPECT_EQ(WorkAreaOfWindow(c.window, both), c.area) << c.legend;
}

}  // namespace
}  // namespace tarnimex
