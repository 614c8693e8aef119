// SPDX-License-Identifier: GPL-3.0-or-later
// Environment variables for tests, on POSIX and Windows alike.
#pragma once

#include <cstdlib>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tarnimex::test {

inline void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

inline void UnsetVariable(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");  // an empty value removes the variable
#else
    unsetenv(name);
#endif
}

// Whether this process runs with root's power over file permissions.
inline bool IsRoot() {
#ifdef _WIN32
    return false;
#else
    return geteuid() == 0;
#endif
}

}  // namespace tarnimex::test
