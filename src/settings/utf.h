// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between the UTF-8 texts the program holds and the UTF-16 code
// units of UTF-16 settings files. Malformed input never fails: each bad
// sequence becomes U+FFFD, so a damaged file still reads.
#pragma once

#include <string>
#include <string_view>

namespace tarnimex {

std::u16string Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::u16string_view text);

}  // namespace tarnimex
