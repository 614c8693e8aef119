// SPDX-License-Identifier: GPL-3.0-or-later
// The work area (the screen without panels and docks) of the monitor that
// shows a window, and the window's outer rectangle, from Qt's screens.
#pragma once

#include "settings/window_placement.h"

class QWidget;

namespace tarnimex {

// The work area of the monitor holding the largest part of the window's outer
// rectangle, or of the nearest one; the primary screen's when none answers.
Rect GetWorkArea(const QWidget& window);

// The window's outer rectangle: its frame included, in desktop pixels.
Rect OuterRectOf(const QWidget& window);

}  // namespace tarnimex
