// SPDX-License-Identifier: GPL-3.0-or-later
// File-name globs as the shell writes them, the same on every system: "*" any
// text, "?" one character, "[a-z]" / "[!a-z]" one character in or not in a
// set, "\" takes the next character literally. "/" and a leading "." are
// ordinary characters; a "[" without its "]" is one too.
#pragma once

#include <string_view>

namespace tarnimex {

// anyCase: ASCII letters match in either case.
bool GlobMatches(std::string_view glob, std::string_view name, bool anyCase);

}  // namespace tarnimex
