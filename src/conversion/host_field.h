// SPDX-License-Identifier: GPL-3.0-or-later
// The input fields a conversion reads: the window's boxes, the settings file's
// keys and the command line's options name them alike.
#pragma once

namespace tarnimex {

enum class HostField { Key, SecKey, SecDec, TimeDiff, MaxStep };

}  // namespace tarnimex
