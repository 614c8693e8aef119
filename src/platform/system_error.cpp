// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system_error.h"

#include <cerrno>
#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include "platform/path_names.h"
#endif

namespace tarnimex {

#ifdef _WIN32
int LastSystemError() {
    return static_cast<int>(GetLastError());
}

std::string SystemReason(int error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0) return "error " + std::to_string(error);
    std::wstring message(text, length);
    LocalFree(text);
    // The system ends its messages with ".\r\n"; a line of ours follows them.
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r'))
        message.pop_back();
    return Utf8FromWide(message);
}
#else
int LastSystemError() {
    return errno;
}

std::string SystemReason(int error) {
    return std::generic_category().message(error);
}
#endif

std::string LibraryReason(int error) {
    return std::generic_category().message(error);
}

}  // namespace tarnimex
