// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialog_placement.h"

namespace tarnimex {

DialogPlace CentreDialog(const Rect& workArea, const Rect& mainWindow, int dialogWidth,
                         int dialogHeight) {
    // Integer division truncates toward zero, as the placement of the main
    // window on its monitor does.
    int x = (mainWindow.Width() - dialogWidth) / 2 + mainWindow.left;
    int y = (mainWindow.Height() - dialogHeight) / 2 + mainWindow.top;
    if (y < workArea.top) y = workArea.top;
    if (y > workArea.bottom - dialogHeight) y = workArea.bottom - dialogHeight;
    if (x < workArea.left) x = workArea.left;
    if (x > workArea.right - dialogWidth) x = workArea.right - dialogWidth;
    return {x, y};
}

}  // namespace tarnimex
