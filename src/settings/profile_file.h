// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: INI text of "[Section]" lines and "Key=Value" lines.
// A file that begins with FF FE is UTF-16 little-endian; one that begins with
// the UTF-8 byte-order mark is UTF-8; any other is 8-bit text in the system's
// character set (the locale's; the ANSI code page on Windows). Parsing never
// fails: a line that is neither a section nor holds "=" is kept and ignored,
// so comments and foreign lines survive a save byte for byte. Only reading or
// writing the file itself throws (SettingsError).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/regional_format.h"

namespace tarnimex {

class ProfileFile {
  public:
    // The file the program creates: nothing but the UTF-16 byte-order mark.
    static ProfileFile NewUtf16();
    // eightBit: the character set of a file without a byte-order mark.
    static ProfileFile FromBytes(std::string_view bytes, const TextEncoding& eightBit = {});
    std::string ToBytes() const;

    // The value in UTF-8 without the blanks around it, cut to 2047 characters;
    // nullopt when the key is missing. Names match in any letter case; the first
    // section and the first key of a name count.
    std::optional<std::string> Read(std::string_view section, std::string_view key) const;

    // Replaces the key's line, or adds one after the section's last non-blank
    // line, or adds the section at the end. Line breaks in the value become
    // blanks, as they would otherwise start a line of their own.
    void Write(std::string_view section, std::string_view key, std::string_view value);

    // Every line in UTF-8, in order, without its break: for a stricter reader
    // that names the line of a fault.
    std::vector<std::string> TextLines() const;

  private:
    struct Line {
        std::string text;  // in the file's encoding, without the line break
        std::string end;   // the line break as found; empty on a last, unended line
    };

    std::string Decode(const Line& line) const;
    std::string Encode(std::string_view utf8) const;
    std::optional<std::size_t> FindSection(std::string_view section) const;
    // Gives a last, unended line its break before a line is added after it, and
    // completes a UTF-16 file's stray last byte.
    void EndLine(Line& line, const std::string& lineBreak) const;

    bool utf16_ = false;
    TextEncoding eightBit_;  // when not UTF-16
    std::string preamble_;   // byte-order mark
    std::vector<Line> lines_;
};

// The profile rules for names and values, which the limits file keeps too:
// blanks (spaces and tabs) around them do not count, and names match in any
// letter case.
std::string_view TrimBlanks(std::string_view text);
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// The character set of 8-bit settings files here. The C locale names none
// beyond ASCII; its files' bytes are taken as UTF-8, the likeliest.
TextEncoding SettingsTextEncoding();

// Ten short keys make a settings file; a larger file is none, and reading on
// would only fill memory (a device such as /dev/zero never ends).
constexpr std::size_t kMaxSettingsFileBytes = 4 << 20;

// Reads an existing settings file; throws SettingsError naming the file and
// the reason when it is missing, cannot be read, is no regular file or is
// larger than kMaxSettingsFileBytes. Never creates or changes it.
ProfileFile ReadProfileFile(const std::string& path);

}  // namespace tarnimex
