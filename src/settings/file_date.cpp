// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/file_date.h"

#include <algorithm>

#include "platform/file_times.h"

namespace tarnimex {

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kTicksPerMillisecond = 10'000;
constexpr std::int64_t kMillisecondsPerDay = 86'400'000;
constexpr std::int64_t kDaysFrom1601To1899 = 109'205;  // to 30 December 1899

}  // namespace

double FileTimeToDate(std::int64_t fileTime) {
    if (fileTime <= 0) return 0;
    const std::int64_t local = fileTime + UtcOffsetNow() * kTicksPerSecond;
    if (local < 0) return 0;
    const std::int64_t milliseconds = local / kTicksPerMillisecond;
    const std::int64_t days = milliseconds / kMillisecondsPerDay - kDaysFrom1601To1899;
    return static_cast<double>(days) +
           static_cast<double>(milliseconds % kMillisecondsPerDay) / kMillisecondsPerDay;
}

double GetFileDate(const std::string& name) {
    // Not every file system keeps a creation time; then the last write alone counts.
    const FileTimes times = ReadFileTimes(name);
    return std::max(FileTimeToDate(times.created), FileTimeToDate(times.written));
}

}  // namespace tarnimex
