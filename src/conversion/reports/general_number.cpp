// SPDX-License-Identifier: GPL-3.0-or-later
// The general number format, built on the shortest-correct "%.15g" of
// to_chars so that it does not depend on the process's C locale.
#include "conversion/reports/general_number.h"

#include <charconv>
#include <cmath>

namespace tarnimex {

std::string FormatGeneralNumber(double value, std::string_view decimalSeparator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0.0) return "0";  // -0 too
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    std::string out;
    out.reserve(text.size() + 4);
    const std::size_t e = text.find('e');
    const std::string_view mantissa = text.substr(0, e);
    for (char c : mantissa) {
        if (c == '.') {
            out += decimalSeparator;
        } else {
            out += c;
        }
    }
    if (e != std::string_view::npos) {
        out += 'E';
        std::string_view exponent = text.substr(e + 1);
        if (exponent.front() == '-') out += '-';
        if (exponent.front() == '-' || exponent.front() == '+') exponent.remove_prefix(1);
        while (exponent.size() > 1 && exponent.front() == '0') exponent.remove_prefix(1);
        out += exponent;
    }
    return out;
}

}  // namespace tarnimex
