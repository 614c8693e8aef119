// SPDX-License-Identifier: GPL-3.0-or-later
// Where the open dialog appears: centred over the main window and kept inside
// the work area of the main window's monitor.
#pragma once

#include "settings/window_placement.h"

namespace tarnimex {

struct DialogPlace {
    int left;
    int top;
};

// The dialog's outer top-left for a dialog of the given outer size. The work
// area's top edge is applied before its bottom edge and its left edge before
// its right edge, so a dialog taller or wider than the work area keeps its
// bottom or right edge on the screen, where its buttons are.
DialogPlace CentreDialog(const Rect& workArea, const Rect& mainWindow, int dialogWidth,
                         int dialogHeight);

}  // namespace tarnimex
