// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/version_text.h"

namespace tarnimex {

std::string GetVersionText(std::uint32_t version) {
    std::string minor = std::to_string(version & 0xFFFFu);
    while (minor.size() < 2) minor.insert(minor.begin(), '0');
    return std::to_string(version >> 16) + "." + minor;
}

std::string GetVersionText() {
#if defined(TARNIMEX_VERSION_MAJOR) && defined(TARNIMEX_VERSION_MINOR)
    constexpr std::uint32_t kVersion = (std::uint32_t{TARNIMEX_VERSION_MAJOR & 0xFFFF} << 16) |
                                       std::uint32_t{TARNIMEX_VERSION_MINOR & 0xFFFF};
#else
    constexpr std::uint32_t kVersion = 0xFFFFFFFFu;  // no version record
#endif
    return GetVersionText(kVersion);
}

}  // namespace tarnimex
