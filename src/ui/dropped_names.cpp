// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dropped_names.h"

#include <cctype>
#include <string>

namespace tarnimex {

bool IsSettingsFileName(std::string_view name) {
    const std::string_view extension = FileExtension(name);
    if (extension.size() != 4) return false;
    std::string lower;
    for (const char c : extension) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower == ".ini";
}

}  // namespace tarnimex
