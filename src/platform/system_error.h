// SPDX-License-Identifier: GPL-3.0-or-later
// The system's reason for a failed call, as text for the user.
#pragma once

#include <string>

namespace tarnimex {

// The error of the last failed call on this thread: errno on POSIX,
// GetLastError on Windows for the calls this layer makes there.
int LastSystemError();

// The system's own words for an error code of LastSystemError's kind.
std::string SystemReason(int error);

// The same for a C library call (errno on both systems).
std::string LibraryReason(int error);

}  // namespace tarnimex
