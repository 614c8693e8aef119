// SPDX-License-Identifier: GPL-3.0-or-later
// What the running program knows of itself and its surroundings: its own
// executable, its version record, the environment. Names are UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnimex {

// The running executable's full path; empty when the system does not say.
std::string ExecutablePath();

// The most significant word of the executable's file version (major in the
// high 16 bits, minor in the low): on Windows from its version record, elsewhere
// the version it was built as; nullopt when there is none.
std::optional<std::uint32_t> ExecutableFileVersion();

// Replaces this process with the program, given these arguments (the first
// being its name); returns only when it cannot (POSIX; Windows does not use it).
void RunInstead(const std::string& program, char** argv);

// A variable's value, or nullopt when it is unset or empty.
std::optional<std::string> EnvironmentValue(const char* name);

// The folder under which each user's settings live: APPDATA when set; else,
// outside Windows, XDG_CONFIG_HOME when absolute, else ~/.config; empty when
// none is known.
std::string PerUserSettingsRoot();

}  // namespace tarnimex
