// SPDX-License-Identifier: GPL-3.0-or-later
// tarnimex-peak-rss COMMAND [ARG...]: runs the command and prints its peak
// resident set size in kilobytes on standard error, as GNU time's %M does.
// The benchmark uses it where /usr/bin/time is not installed.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: tarnimex-peak-rss COMMAND [ARG...]\n", stderr);
        return 2;
    }
    const pid_t child = fork();
    if (child < 0) {
        std::perror("tarnimex-peak-rss: fork");
        return 1;
    }
    if (child == 0) {
        execvp(argv[1], argv + 1);
        std::fprintf(stderr, "tarnimex-peak-rss: %s: %s\n", argv[1], std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("tarnimex-peak-rss: wait4");
            return 1;
        }
    }
    std::fprintf(stderr, "%ld\n", usage.ru_maxrss);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}
