// SPDX-License-Identifier: GPL-3.0-or-later
// The profile file at byte level: what a read finds, what a write changes, and
// that everything else in the file stays as it was.
#include "settings/profile_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "settings/settings_error.h"
#include "settings/test_files.h"

namespace tarnimex {
namespace {

// Legend: file bytes (8-bit unless they begin with FF FE), key looked up in
// section "Option", the value expected (nullopt: missing).
struct ReadCase {
    const char* legend;
    std::string file;
    const char* key;
    std::optional<std::string> expected;
};

TEST(ProfileFileTest, ReadsValuesByTheProfileRules) {
    const ReadCase cases[] = {
        {"names in any letter case", "[oPTION]\r\nkeytext=abc\r\n", "KeyText", "abc"},
        {"blanks around a value dropped", "[Option]\r\n  KeyText \t= a b \t\r\n", "KeyText", "a b"},
        {"empty value is not missing", "[Option]\r\nKeyText=\r\n", "KeyText", ""},
        {"missing key", "[Option]\r\nOther=1\r\n", "KeyText", std::nullopt},
        {"key of another section", "[Other]\r\nKeyText=x\r\n[Option]\r\n", "KeyText", std::nullopt},
        {"key before any section", "KeyText=x\r\n[Option]\r\n", "KeyText", std::nullopt},
        {"first of duplicate keys", "[Option]\r\nKeyText=1\r\nKeyText=2\r\n", "KeyText", "1"},
        {"value holding '='", "[Option]\r\nKeyText=a=b\r\n", "KeyText", "a=b"},
        {"comment line is no key", "[Option]\r\n;KeyText=x\r\n", "KeyText", std::nullopt},
        {"LF line ends", "[Option]\nA=1\nKeyText=lf\n", "KeyText", "lf"},
        {"CR line ends", "[Option]\rKeyText=cr\rB=2", "KeyText", "cr"},
        {"last line without a break", "[Option]\r\nKeyText=end", "KeyText", "end"},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF[Option]\r\nKeyText=bom\r\n", "KeyText", "bom"},
        {"cut to 2047 characters", "[Option]\r\nKeyText=" + std::string(3000, 'x'), "KeyText",
         std::string(2047, 'x')},
        {"cut counts characters, not bytes",
         "[Option]\r\nKeyText=" + std::string(2046, 'x') + "\xC3\xA9\xC3\xA9", "KeyText",
         std::string(2046, 'x') + "\xC3\xA9"},
        {"a UTF-16 file's stray last byte reads as a whole character",
         "\xFF\xFE" + Utf16Bytes("[Option]\r\nKeyText=a") + "X", "KeyText", "aX"},
        {"UTF-16LE file, value as UTF-8",
         "\xFF\xFE" + Utf16Bytes("[Option]\r\nKeyText= ") + std::string("\x05\x26x\0", 4) +
             Utf16Bytes(" \r\n"),
         "KeyText", "\xE2\x98\x85x"},
    };
    for (const ReadCase& c : cases) {
        EXPECT_EQ(ProfileFile::FromBytes(c.file).Read("Option", c.key), c.expected) << c.legend;
    }
}

TEST(ProfileFileTest, EightBitFileIsInTheSystemCharacterSet) {
    const TextEncoding cp1252{"CP1252", false};
    ProfileFile profile = ProfileFile::FromBytes("[Option]\r\nSymbolOfAlarm=\x80\xA7\r\n", cp1252);
    EXPECT_EQ(profile.Read("Option", "SymbolOfAlarm"), "\u20AC\u00A7");
    profile.Write("Option", "KeyText", "Z\u00E4hler \u65E5");
    EXPECT_EQ(profile.ToBytes(), "[Option]\r\nSymbolOfAlarm=\x80\xA7\r\nKeyText=Z\xE4hler ?\r\n");
    // A UTF-8 file says so with its mark, whatever the system's set.
    EXPECT_EQ(ProfileFile::FromBytes("\xEF\xBB\xBF[Option]\r\nA=\xC3\xA4\r\n", cp1252)
                  .Read("Option", "A"),
              "\u00E4");
}

// Legend: file bytes before, the key and value written to section "Option",
// the exact bytes after.
struct WriteCase {
    const char* legend;
    std::string before;
    const char* key;
    const char* value;
    std::string after;
};

TEST(ProfileFileTest, WritesChangeOnlyTheirOwnLine) {
    const WriteCase cases[] = {
        {"replaced in place, other lines and breaks kept",
         "; note\n[Other]\r\nKeyText=keep\r\n[option]\nkeytext = old \nX=1\n", "KeyText", "new",
         "; note\n[Other]\r\nKeyText=keep\r\n[option]\nKeyText=new\nX=1\n"},
        {"added after the section's last entry, before its blank lines",
         "[Option]\r\nA=1\r\n\r\n[Tail]\r\nB=2\r\n", "KeyText", "v",
         "[Option]\r\nA=1\r\nKeyText=v\r\n\r\n[Tail]\r\nB=2\r\n"},
        {"section added at the end, last line ended first", "[Other]\r\nA=1", "KeyText", "v",
         "[Other]\r\nA=1\r\n[Option]\r\nKeyText=v\r\n"},
        {"empty 8-bit file stays 8-bit", "", "KeyText", "v", "[Option]\r\nKeyText=v\r\n"},
        {"8-bit bytes pass through", "[Option]\r\n", "SymbolOfAlarm", "\xE9\xA7",
         "[Option]\r\nSymbolOfAlarm=\xE9\xA7\r\n"},
        {"line breaks in a value cannot start a new key", "[Option]\r\n", "KeyText",
         "a\r\nSecondDec=3", "[Option]\r\nKeyText=a  SecondDec=3\r\n"},
        {"UTF-16 file stays UTF-16", "\xFF\xFE", "SymbolOfAlarm", "\xE2\x98\x85",
         "\xFF\xFE" + Utf16Bytes("[Option]\r\nSymbolOfAlarm=") + "\x05\x26" + Utf16Bytes("\r\n")},
        // Found by fuzzing: keys added after half a character could not be read.
        {"a UTF-16 file's stray last byte becomes a whole character",
         "\xFF\xFE" + Utf16Bytes("[Option]\r\nKeyText=a") + "X", "SymbolOfAlarm", "!!",
         "\xFF\xFE" + Utf16Bytes("[Option]\r\nKeyText=a") + std::string("X\0", 2) +
             Utf16Bytes("\r\nSymbolOfAlarm=!!\r\n")},
        {"a stray CR becomes a whole line break", "\xFF\xFE" + Utf16Bytes("[Option]\r\nA=1") + "\r",
         "KeyText", "v",
         "\xFF\xFE" + Utf16Bytes("[Option]\r\nA=1") + std::string("\r\0", 2) +
             Utf16Bytes("KeyText=v\r\n")},
        {"a stray byte that completes the section's own line",
         "\xFF\xFE" + Utf16Bytes("[Optio") + "n", "KeyText", "v",
         "\xFF\xFE" + Utf16Bytes("[Option\r\nKeyText=v\r\n")},
        {"a stray byte before a new section", "\xFF\xFE" + Utf16Bytes("; x") + "Y", "KeyText", "v",
         "\xFF\xFE" + Utf16Bytes("; x") + std::string("Y\0", 2) +
             Utf16Bytes("\r\n[Option]\r\nKeyText=v\r\n")},
    };
    for (const WriteCase& c : cases) {
        ProfileFile profile = ProfileFile::FromBytes(c.before);
        profile.Write("Option", c.key, c.value);
        EXPECT_EQ(profile.ToBytes(), c.after) << c.legend;
    }
}

TEST(ProfileFileTest, ReadingAMissingFileThrowsAndCreatesNothing) {
    ScratchFolder folder;
    EXPECT_THROW(ReadProfileFile(folder / "none.ini"), SettingsError);
    EXPECT_FALSE(std::filesystem::exists(folder / "none.ini"));
}

}  // namespace
}  // namespace tarnimex
