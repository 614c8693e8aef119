// SPDX-License-Identifier: GPL-3.0-or-later
// A file's creation and last-write times, and the local zone's offset, as the
// settings' file dates need them. Times are file times: 100 ns ticks since
// 1 January 1601 UTC, 0 when unknown. Nothing here throws.
#pragma once

#include <cstdint>
#include <string>

namespace tarnimex {

struct FileTimes {
    std::int64_t created = 0;  // 0 too where the file system keeps no creation time
    std::int64_t written = 0;
};

// Both 0 when the file is missing or its times cannot be read. On Windows the
// file is opened without sharing, so a file another program holds open has none.
FileTimes ReadFileTimes(const std::string& name);

// Seconds local time is ahead of UTC, by the zone's rules in force now.
std::int64_t UtcOffsetNow();

}  // namespace tarnimex
