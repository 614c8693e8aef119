// SPDX-License-Identifier: GPL-3.0-or-later
// The request to stop a conversion run.
#pragma once

#include <atomic>

namespace tarnimex {

// The process's one abort flag: set by Escape, a close request or Ctrl-C,
// cleared when a run starts, tested before each log, each line and each block
// read.
inline std::atomic<bool> AbortRequested{false};

}  // namespace tarnimex
