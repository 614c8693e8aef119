// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/version_text.h"

#include "platform/process.h"

namespace tarnimex {

namespace {

constexpr std::uint32_t kNoVersion = 0xFFFFFFFFu;

}  // namespace

std::string GetVersionText(std::uint32_t version) {
    std::string minor = std::to_string(version & 0xFFFFu);
    while (minor.size() < 2) minor.insert(minor.begin(), '0');
    return std::to_string(version >> 16) + "." + minor;
}

std::string GetVersionText() {
    return GetVersionText(ExecutableFileVersion().value_or(kNoVersion));
}

}  // namespace tarnimex
