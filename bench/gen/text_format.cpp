// SPDX-License-Identifier: GPL-3.0-or-later
#include "gen/text_format.h"

#include <cmath>

namespace tarnimex::bench {

void AppendUint(std::string& out, std::uint64_t v, int width) {
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (int i = n; i < width; ++i) out.push_back('0');
    while (n > 0) out.push_back(digits[--n]);
}

void AppendFixed(std::string& out, double v, int decimals, int intWidth) {
    std::uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const double scaled = std::round(std::fabs(v) * static_cast<double>(scale));
    const auto units = static_cast<std::uint64_t>(scaled);
    if (v < 0 && units != 0) out.push_back('-');
    AppendUint(out, units / scale, intWidth);
    if (decimals > 0) {
        out.push_back('.');
        AppendUint(out, units % scale, decimals);
    }
}

void AppendHex2(std::string& out, unsigned v) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out.push_back(kHex[(v >> 4) & 0xF]);
    out.push_back(kHex[v & 0xF]);
}

}  // namespace tarnimex::bench
