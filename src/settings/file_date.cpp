// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/file_date.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "platform/path_names.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarnimex {

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kTicksPerMillisecond = 10'000;
constexpr std::int64_t kMillisecondsPerDay = 86'400'000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
constexpr std::int64_t kDaysFrom1601To1899 = 109'205;  // to 30 December 1899

std::int64_t SecondsOf(const std::tm& t) {
    using namespace std::chrono;
    const sys_days date{year{t.tm_year + 1900} / month{static_cast<unsigned>(t.tm_mon + 1)} /
                        day{static_cast<unsigned>(t.tm_mday)}};
    return date.time_since_epoch().count() * std::int64_t{86'400} + t.tm_hour * 3600 +
           t.tm_min * 60 + t.tm_sec;
}

std::int64_t UtcOffsetNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    std::tm utc{};
#ifdef _WIN32
    localtime_s(&local, &now);
    gmtime_s(&utc, &now);
#else
    localtime_r(&now, &local);
    gmtime_r(&now, &utc);
#endif
    return SecondsOf(local) - SecondsOf(utc);
}

#ifndef _WIN32
std::int64_t FileTimeOf(std::int64_t seconds, std::int64_t nanoseconds) {
    const std::int64_t ticks =
        (seconds + kSecondsFrom1601To1970) * kTicksPerSecond + nanoseconds / 100;
    return std::max<std::int64_t>(ticks, 0);
}
#endif

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
    std::int64_t created = 0;
    std::int64_t written = 0;
#ifdef _WIN32
    // Opened without sharing, as a file another program holds open has no date.
    const HANDLE file = CreateFileW(PathFromUtf8(name).c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    FILETIME creation{};
    FILETIME lastWrite{};
    const BOOL ok = GetFileTime(file, &creation, nullptr, &lastWrite);
    CloseHandle(file);
    if (!ok) return 0;
    auto ticks = [](const FILETIME& t) {
        return static_cast<std::int64_t>((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
    };
    created = ticks(creation);
    written = ticks(lastWrite);
#else
    const int fd = ::open(PathFromUtf8(name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
#ifdef STATX_BTIME
    struct statx times {};
    const int result = ::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME, &times);
    ::close(fd);
    if (result != 0) return 0;
    // Not every file system keeps a creation time; then the last write alone counts.
    if (times.stx_mask & STATX_BTIME) {
        created = FileTimeOf(times.stx_btime.tv_sec, times.stx_btime.tv_nsec);
    }
    if (times.stx_mask & STATX_MTIME) {
        written = FileTimeOf(times.stx_mtime.tv_sec, times.stx_mtime.tv_nsec);
    }
#else
    struct stat times {};
    const int result = ::fstat(fd, &times);
    ::close(fd);
    if (result != 0) return 0;
    written = FileTimeOf(times.st_mtim.tv_sec, times.st_mtim.tv_nsec);
#endif
#endif
    return std::max(FileTimeToDate(created), FileTimeToDate(written));
}

}  // namespace tarnimex
