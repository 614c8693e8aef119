// SPDX-License-Identifier: GPL-3.0-or-later
// The general number format: at most 15 significant digits, no trailing zeros,
// fixed notation from 0.0001 up to 1e15, scientific ("1.5E20", "5E-5") outside.
#pragma once

#include <string>
#include <string_view>

namespace tarnimex {

std::string FormatGeneralNumber(double value, std::string_view decimalSeparator = ".");

}  // namespace tarnimex
