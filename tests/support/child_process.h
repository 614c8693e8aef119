// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a piece of a test in a forked child, for faults that need another user
// (root ignores permission bits) or a limit on file sizes (a disk that fills),
// without changing the test process itself. The child's result comes back as
// text. Windows has neither fork nor file size limits, and no root that
// ignores permissions: there the piece runs in the test process, and tests
// skip what needs a limit.
#pragma once

#include <sys/types.h>

#include <exception>
#include <functional>
#include <string>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarnimex::test {

struct ChildLimits {
    bool asNobody = false;  // root becomes nobody first; anyone else stays as they are
    off_t maxFileSize = 0;  // bytes any file may grow to; 0 for no limit
};

#ifdef _WIN32
// Which faults the system can set up: Windows has no file size limits, and a
// folder's read-only attribute does not stop files being made in it.
constexpr bool kFileSizeLimits = false;
constexpr bool kFolderPermissions = false;

inline std::string RunInChild(const ChildLimits&, const std::function<std::string()>& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        return std::string("exception: ") + e.what();
    }
}
#else
constexpr bool kFileSizeLimits = true;
constexpr bool kFolderPermissions = true;

inline std::string RunInChild(const ChildLimits& limits, const std::function<std::string()>& body) {
    int ends[2];
    if (pipe(ends) != 0) return "no pipe";
    const pid_t child = fork();
    if (child < 0) return "no fork";
    if (child == 0) {
        close(ends[0]);
        std::string result;
        if (limits.asNobody && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            result = "cannot become nobody";
        } else {
            if (limits.maxFileSize > 0) {
                // A write past the limit then fails with EFBIG instead of killing the child.
                signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{static_cast<rlim_t>(limits.maxFileSize),
                                   static_cast<rlim_t>(limits.maxFileSize)};
                if (setrlimit(RLIMIT_FSIZE, &limit) != 0) result = "cannot limit file sizes";
            }
            if (result.empty()) {
                try {
                    result = body();
                } catch (const std::exception& e) {
                    result = std::string("exception: ") + e.what();
                }
            }
        }
        for (std::size_t done = 0; done < result.size();) {
            const ssize_t n = write(ends[1], result.data() + done, result.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        _exit(0);  // no exit handlers: they belong to the test process
    }
    close(ends[1]);
    std::string result;
    char buffer[4096];
    for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(n));
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        result += "\n(the child did not end normally)";
    return result;
}
#endif

}  // namespace tarnimex::test
