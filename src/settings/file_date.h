// SPDX-License-Identifier: GPL-3.0-or-later
// File dates: the later of a file's creation and last-write time, as a local
// date-time value (days since 30 December 1899) with millisecond resolution.
// Unreadable times give 0, the value for "no date"; nothing here throws.
#pragma once

#include <cstdint>
#include <string>

namespace tarnimex {

// 0 when the file is missing or its times cannot be read.
double GetFileDate(const std::string& name);

// A file time (100 ns ticks since 1 January 1601 UTC) as a local date-time value,
// shifted by the zone offset in force now; 0 for 0 or a time before 1601.
double FileTimeToDate(std::int64_t fileTime);

}  // namespace tarnimex
