// SPDX-License-Identifier: GPL-3.0-or-later
// Appending numbers to a text buffer without printf, so that writing hundreds
// of megabytes of sentences takes seconds.
#pragma once

#include <cstdint>
#include <string>

namespace tarnimex::bench {

// v in decimal, padded with zeros on the left to at least width digits.
void AppendUint(std::string& out, std::uint64_t v, int width = 1);

// v rounded to the given number of decimals, with a leading "-" when negative
// (and not rounded to zero), and at least intWidth integer digits.
void AppendFixed(std::string& out, double v, int decimals, int intWidth = 1);

// Two upper-case hexadecimal digits.
void AppendHex2(std::string& out, unsigned v);

}  // namespace tarnimex::bench
