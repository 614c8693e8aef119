// SPDX-License-Identifier: GPL-3.0-or-later
// The version shown in the window's caption.
#pragma once

#include <cstdint>
#include <string>

namespace tarnimex {

// "major.minor" from a version word with the major number in its high 16 bits
// and the minor in its low 16 bits; the minor has at least two digits, so 1.2
// reads "1.02" and 1.10 reads "1.10".
std::string GetVersionText(std::uint32_t version);

// This program's version: on Windows from the executable's version record,
// elsewhere the version it was built as; "65535.65535" when there is none.
std::string GetVersionText();

}  // namespace tarnimex
