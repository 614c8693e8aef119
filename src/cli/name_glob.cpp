// SPDX-License-Identifier: GPL-3.0-or-later
#include "name_glob.h"

#include <cstddef>

namespace tarnimex {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

unsigned char Fold(char c, bool anyCase) {
    const auto u = static_cast<unsigned char>(c);
    return anyCase && u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

bool InRange(char c, char low, char high, bool anyCase) {
    const auto in = [](unsigned char x, unsigned char lo, unsigned char hi) {
        return lo <= x && x <= hi;
    };
    return in(Fold(c, false), Fold(low, false), Fold(high, false)) ||
           (anyCase && in(Fold(c, true), Fold(low, true), Fold(high, true)));
}

// The set that opens at glob[open] == '[': whether it takes c; returns the
// index after its "]", or kNone when there is none.
std::size_t MatchSet(std::string_view glob, std::size_t open, char c, bool anyCase, bool& taken) {
    std::size_t i = open + 1;
    const bool negated = i < glob.size() && (glob[i] == '!' || glob[i] == '^');
    if (negated) ++i;
    const std::size_t first = i;  // a "]" here is a member, not the end
    bool found = false;
    for (; i < glob.size() && (glob[i] != ']' || i == first); ++i) {
        char low = glob[i];
        if (low == '\\' && i + 1 < glob.size()) low = glob[++i];
        char high = low;
        if (i + 2 < glob.size() && glob[i + 1] == '-' && glob[i + 2] != ']') {
            i += 2;
            high = glob[i];
            if (high == '\\' && i + 1 < glob.size()) high = glob[++i];
        }
        found = found || InRange(c, low, high, anyCase);
    }
    if (i >= glob.size()) return kNone;
    taken = found != negated;
    return i + 1;
}

}  // namespace

bool GlobMatches(std::string_view glob, std::string_view name, bool anyCase) {
    std::size_t g = 0;
    std::size_t n = 0;
    // After a "*": where the glob goes on, and the name position it was last tried at.
    std::size_t starGlob = kNone;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (g < glob.size() && glob[g] == '*') {
            starGlob = ++g;
            starName = n;
            continue;
        }
        if (g < glob.size()) {
            bool taken = false;
            std::size_t next = kNone;
            if (glob[g] == '?') {
                taken = true;
                next = g + 1;
            } else if (glob[g] == '[') {
                next = MatchSet(glob, g, name[n], anyCase, taken);
            }
            if (next == kNone) {  // a literal character
                const bool escaped = glob[g] == '\\' && g + 1 < glob.size();
                next = g + (escaped ? 2 : 1);
                taken = Fold(glob[next - 1], anyCase) == Fold(name[n], anyCase);
            }
            if (taken) {
                g = next;
                ++n;
                continue;
            }
        }
        if (starGlob == kNone) return false;
        g = starGlob;  // let the last "*" take one more character
        n = ++starName;
    }
    while (g < glob.size() && glob[g] == '*') ++g;
    return g == glob.size();
}

}  // namespace tarnimex
