// SPDX-License-Identifier: GPL-3.0-or-later
// The file-name globs of --include and of the default exclusions.
#include <gtest/gtest.h>

#include "cli/name_glob.h"

namespace tarnimex {
namespace {

struct GlobCase {
    const char* glob;
    const char* name;
    bool anyCase;
    bool matches;
};

// glob, name, any letter case, whether it matches
constexpr GlobCase kGlobCases[] = {
    {"*.log", "a.log", false, true},
    {"*.log", "a.log.gz", false, false},
    {"*.log*", "a.log.gz", false, true},
    {"*.log", ".log", false, true},
    {"*.LOG", "a.log", false, false},
    {"*.CSV", "a.csv", true, true},
    {"*", "", false, true},
    {"?", "", false, false},
    {"a?c", "abc", false, true},
    {"a?c", "ac", false, false},
    {"*a*b*c", "xaxbxbxc", false, true},
    {"*a*b*c", "xaxbxbx", false, false},
    {"[a-c]x", "bx", false, true},
    {"[a-c]x", "dx", false, false},
    {"[!a-c]x", "dx", false, true},
    {"[^a-c]x", "ax", false, false},
    {"[]]x", "]x", false, true},
    {"[A-C]x", "bx", true, true},
    {"[a", "[a", false, true},
    {"\\*", "*", false, true},
    {"\\*", "a", false, false},
    {"dir/*.nmea", "dir/x.nmea", false, true},
    {"log\xC3\xA4.*", "log\xC3\xA4.txt", false, true},
};

TEST(NameGlob, MatchesAsTheShellDoes) {
    for (const GlobCase& c : kGlobCases) {
        EXPECT_EQ(GlobMatches(c.glob, c.name, c.anyCase), c.matches)
            << c.glob << " on " << c.name << (c.anyCase ? " (any case)" : "");
    }
}

}  // namespace
}  // namespace tarnimex
