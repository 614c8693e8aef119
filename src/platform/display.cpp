// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/display.h"

#include <cstdlib>
#include <initializer_list>

namespace tarnimex {

#if defined(_WIN32) || defined(__APPLE__)

bool HasDisplay() {
    return true;
}

#else

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

#endif

}  // namespace tarnimex
