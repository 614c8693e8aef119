// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_times.h"

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

std::int64_t SecondsOf(const std::tm& t) {
    using namespace std::chrono;
    const sys_days date{year{t.tm_year + 1900} / month{static_cast<unsigned>(t.tm_mon + 1)} /
                        day{static_cast<unsigned>(t.tm_mday)}};
    return date.time_since_epoch().count() * std::int64_t{86'400} + t.tm_hour * 3600 +
           t.tm_min * 60 + t.tm_sec;
}

#ifndef _WIN32
constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

std::int64_t FileTimeOf(std::int64_t seconds, std::int64_t nanoseconds) {
    const std::int64_t ticks =
        (seconds + kSecondsFrom1601To1970) * kTicksPerSecond + nanoseconds / 100;
    return std::max<std::int64_t>(ticks, 0);
}
#endif

}  // namespace

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

FileTimes ReadFileTimes(const std::string& name) {
    FileTimes times;
#ifdef _WIN32
    const HANDLE file = CreateFileW(PathFromUtf8(name).c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return times;
    FILETIME creation{};
    FILETIME lastWrite{};
    const BOOL ok = GetFileTime(file, &creation, nullptr, &lastWrite);
    CloseHandle(file);
    if (!ok) return times;
    auto ticks = [](const FILETIME& t) {
        return static_cast<std::int64_t>((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
    };
    times.created = ticks(creation);
    times.written = ticks(lastWrite);
#else
    const int fd = ::open(PathFromUtf8(name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return times;
#ifdef STATX_BTIME
    struct statx status {};
    const int result = ::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME, &status);
    ::close(fd);
    if (result != 0) return times;
    if (status.stx_mask & STATX_BTIME) {
        times.created = FileTimeOf(status.stx_btime.tv_sec, status.stx_btime.tv_nsec);
    }
    if (status.stx_mask & STATX_MTIME) {
        times.written = FileTimeOf(status.stx_mtime.tv_sec, status.stx_mtime.tv_nsec);
    }
#else
    struct stat status {};
    const int result = ::fstat(fd, &status);
    ::close(fd);
    if (result != 0) return times;
    times.written = FileTimeOf(status.st_mtim.tv_sec, status.st_mtim.tv_nsec);
#endif
#endif
    return times;
}

}  // namespace tarnimex
