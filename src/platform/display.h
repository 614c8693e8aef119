// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a window can be shown at all: a desktop session on Windows always
// has a display; elsewhere an X or Wayland display must be named.
#pragma once

namespace tarnimex {

bool HasDisplay();

}  // namespace tarnimex
