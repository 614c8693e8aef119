// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/console.h"

#include <csignal>
#include <cstdlib>

#include "platform/safe_file.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/path_names.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tarnimex {

namespace {

void (*interruptHandler)() = nullptr;
void (*stopHandler)() = nullptr;

int ColumnsFromEnvironment() {
    const char* columns = std::getenv("COLUMNS");
    const int count = columns != nullptr ? std::atoi(columns) : 0;
    return count > 0 ? count : 0;
}

}  // namespace

#ifdef _WIN32

namespace {

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    interruptHandler();
    return TRUE;
}

BOOL WINAPI OnConsoleEnd(DWORD event) {
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        RemoveTemporaryFiles();
    return FALSE;  // the next handler, or the system, ends the program
}

BOOL WINAPI OnConsoleStop(DWORD event) {
    if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
        return FALSE;
    stopHandler();
    // Returning would end the program at once: the main thread finishes its
    // files meanwhile, and the system ends it when its time is up.
    Sleep(INFINITE);
    return TRUE;
}

}  // namespace

void CatchTermination(void (*onStop)()) {
    stopHandler = onStop;
    SetConsoleCtrlHandler(OnConsoleStop, TRUE);
}

std::vector<std::string> CommandLineArguments(int, char**) {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return args;
    for (int i = 1; i < count; ++i) args.push_back(Utf8FromWide(wide[i]));
    LocalFree(wide);
    return args;
}

void CatchInterrupt(void (*onInterrupt)()) {
    interruptHandler = onInterrupt;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void RemoveTemporaryFilesOnTermination() {
    SetConsoleCtrlHandler(OnConsoleEnd, TRUE);
}

bool PrepareLiveConsole() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(out, &mode)) return false;  // a file or a pipe
    SetConsoleOutputCP(CP_UTF8);
    return SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

// The C library keeps 0 to 2 for the standard streams whether or not they are
// open, and files are written through handles: nothing can take their place.
bool OpenStandardDescriptors() {
    return false;
}

int ConsoleColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
    return ColumnsFromEnvironment();
}

#else

namespace {

extern "C" void OnSignal(int) {
    interruptHandler();
}

extern "C" void OnStop(int) {
    stopHandler();
}

extern "C" void OnTermination(int signal) {
    RemoveTemporaryFiles();
    // Blocked until this handler returns, then deadly.
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigaction(signal, &standard, nullptr);
    raise(signal);
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void RemoveTemporaryFilesOnTermination() {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        struct sigaction action {};
        if (sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
        action.sa_handler = OnTermination;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(signal, &action, nullptr);
    }
}

void CatchTermination(void (*onStop)()) {
    stopHandler = onStop;
    for (const int signal : {SIGTERM, SIGHUP}) {
        struct sigaction action {};
        if (sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
        action.sa_handler = OnStop;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(signal, &action, nullptr);
    }
}

void CatchInterrupt(void (*onInterrupt)()) {
    interruptHandler = onInterrupt;
    // Without SA_RESTART, so that a read waiting on a pipe returns.
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    // A reader of the status lines that goes away must not end the program:
    // a write to the closed pipe just fails.
    std::signal(SIGPIPE, SIG_IGN);
}

bool PrepareLiveConsole() {
    return isatty(STDOUT_FILENO) != 0;
}

void UseBinaryStandardStreams() {}

bool OpenStandardDescriptors() {
    bool outputClosed = false;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open takes the lowest free number: this one, as those below are open.
        // Without /dev/null no output would be safe: the program stops here.
        if (open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) != fd) std::abort();
        outputClosed = outputClosed || fd == STDOUT_FILENO;
    }
    return outputClosed;
}

int ConsoleColumns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return ColumnsFromEnvironment();
}

#endif

}  // namespace tarnimex
