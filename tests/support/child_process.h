// SPDX-License-Identifier: GPL-3.0-or-later
// Child processes for tests.
//
// RunInChild runs a piece of a test in a forked child, for faults that need
// another user (root ignores permission bits and limits on processes), a limit
// on file sizes (a disk that fills) or on processes (a system that refuses
// threads), without changing the test process itself. The child's result
// comes back as text. Windows has neither fork nor these limits, and no root
// that ignores permissions: there the piece runs in the test process, and
// tests skip what needs a file size limit.
//
// ChildProgram starts a program whose output the test reads, and interrupts
// it as Ctrl-C would.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "platform/path_names.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarnimex::test {

struct ChildLimits {
    bool asNobody = false;  // root becomes nobody first; anyone else stays as they are
    off_t maxFileSize = 0;  // bytes any file may grow to; 0 for no limit
    long maxProcesses = 0;  // processes and threads the user may have; 0 for no limit
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
            const rlimit processes{static_cast<rlim_t>(limits.maxProcesses),
                                   static_cast<rlim_t>(limits.maxProcesses)};
            if (limits.maxProcesses > 0 && setrlimit(RLIMIT_NPROC, &processes) != 0)
                result = "cannot limit processes";
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

// A program started with its standard output and error on one pipe that the
// test reads, and its standard input from the named file (or the test's own).
class ChildProgram {
  public:
    ChildProgram(const std::string& program, const std::vector<std::string>& args,
                 const std::string& input = {});
    ~ChildProgram() {
        CloseOutput();
        Wait();
    }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool Started() const;
    // The next line of output without its end (or what comes before the end
    // of the output).
    std::string ReadLine() {
        std::string line;
        for (char c; ReadByte(c) && c != '\n';) line += c;
        return line;
    }
    // The output from here to its end.
    std::string ReadRest() {
        std::string rest;
        for (char c; ReadByte(c);) rest += c;
        return rest;
    }
    // The reader goes away: the program's further writes fail.
    void CloseOutput();
    // What Ctrl-C in its console does: SIGINT; on Windows a console event
    // (see Interrupt below). Whether the interrupt could be sent.
    bool Interrupt();
#ifndef _WIN32
    // Whether the signal could be sent.
    bool Signal(int number) {
        return Started() && kill(child_, number) == 0;
    }
#endif
    // The program's exit status once it has ended; minus the signal's number
    // when a signal ended it.
    int Wait();
    // Whether the program ends within the limit; if not, it is killed.
    bool EndsWithin(std::chrono::milliseconds limit);

  private:
    bool ReadByte(char& c);
#ifdef _WIN32
    PROCESS_INFORMATION process_{};
    HANDLE output_ = nullptr;
    bool ownConsole_ = false;  // a hidden console of its own, as the test has none to share
#else
    pid_t child_ = -1;
    int output_ = -1;
#endif
    int status_ = -1;
};

#ifdef _WIN32
// Console events reach only the processes on the sender's console. A test on
// a console (ctest's, a shell's) shares it with the program, started in a
// process group of its own, and sends Ctrl-Break to that group (a new group
// ignores Ctrl-C; the program takes both alike). A test without one (under
// Wine, run from Linux) gives the program a hidden console, joins it for a
// moment and sends Ctrl-C to everyone on it, itself ignoring it. (Wine cannot
// send Ctrl-Break at all.)
inline BOOL WINAPI IgnoreConsoleEvent(DWORD) {
    return TRUE;
}

inline ChildProgram::ChildProgram(const std::string& program, const std::vector<std::string>& args,
                                  const std::string& input) {
    std::wstring line =
        L"\"" + std::filesystem::path(WideFromUtf8(program)).make_preferred().wstring() + L"\"";
    for (const std::string& arg : args) line += L" \"" + WideFromUtf8(arg) + L"\"";
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&output_, &writeEnd, &inherited, 0)) return;
    SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    if (!input.empty()) {
        startup.hStdInput =
            CreateFileW(WideFromUtf8(input).c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
    }
    ownConsole_ = GetConsoleCP() == 0;
    const DWORD flags = ownConsole_ ? CREATE_NO_WINDOW : CREATE_NEW_PROCESS_GROUP;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                        &startup, &process_))
        process_ = {};
    CloseHandle(writeEnd);
    if (startup.hStdInput != nullptr && startup.hStdInput != INVALID_HANDLE_VALUE)
        CloseHandle(startup.hStdInput);
}

inline bool ChildProgram::Started() const {
    return process_.hProcess != nullptr;
}

inline bool ChildProgram::ReadByte(char& c) {
    DWORD got = 0;
    return output_ != nullptr && ::ReadFile(output_, &c, 1, &got, nullptr) && got == 1;
}

inline void ChildProgram::CloseOutput() {
    if (output_ != nullptr) CloseHandle(output_);
    output_ = nullptr;
}

inline bool ChildProgram::Interrupt() {
    if (!Started()) return false;
    if (!ownConsole_) return GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, process_.dwProcessId) != 0;
    // Kept: the event reaches this process at some later moment.
    SetConsoleCtrlHandler(IgnoreConsoleEvent, TRUE);
    // Wine gives a program started from Linux a console that is none; no
    // other can be joined while it holds it.
    FreeConsole();
    const bool sent =
        AttachConsole(process_.dwProcessId) && GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
    FreeConsole();
    return sent;
}

inline int ChildProgram::Wait() {
    if (!Started()) return status_;
    WaitForSingleObject(process_.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    status_ = static_cast<int>(code);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
    return status_;
}

inline bool ChildProgram::EndsWithin(std::chrono::milliseconds limit) {
    if (!Started()) return true;
    const bool ended =
        WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process_.hProcess, 1);
    return ended;
}
#else
inline ChildProgram::ChildProgram(const std::string& program, const std::vector<std::string>& args,
                                  const std::string& input) {
    int ends[2];
    if (pipe(ends) != 0) return;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    child_ = fork();
    if (child_ == 0) {
        if (!input.empty()) {
            const int in = open(input.c_str(), O_RDONLY);
            if (in < 0 || dup2(in, STDIN_FILENO) < 0) _exit(127);
            if (in != STDIN_FILENO) close(in);
        }
        dup2(ends[1], STDOUT_FILENO);
        dup2(ends[1], STDERR_FILENO);
        close(ends[0]);
        close(ends[1]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(ends[1]);
    if (child_ > 0) {
        output_ = ends[0];
    } else {
        close(ends[0]);
    }
}

inline bool ChildProgram::Started() const {
    return child_ > 0;
}

inline bool ChildProgram::ReadByte(char& c) {
    return output_ >= 0 && ::read(output_, &c, 1) == 1;
}

inline void ChildProgram::CloseOutput() {
    if (output_ >= 0) close(output_);
    output_ = -1;
}

inline bool ChildProgram::Interrupt() {
    return Signal(SIGINT);
}

inline int ChildProgram::Wait() {
    if (!Started()) return status_;
    int status = 0;
    waitpid(child_, &status, 0);
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    child_ = -1;
    return status_;
}

inline bool ChildProgram::EndsWithin(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (siginfo_t info{}; Started(); usleep(10000)) {
        // Waited for, not reaped: Wait takes the status.
        if (waitid(P_PID, static_cast<id_t>(child_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == child_)
            return true;
        if (std::chrono::steady_clock::now() >= end) {
            kill(child_, SIGKILL);
            return false;
        }
    }
    return true;
}
#endif

}  // namespace tarnimex::test
