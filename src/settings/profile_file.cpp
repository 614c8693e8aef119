// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/profile_file.h"

#include <cstddef>

#include "platform/file_access.h"
#include "settings/settings_error.h"
#include "settings/utf.h"

namespace tarnimex {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

constexpr std::string_view kUtf16Mark = "\xFF\xFE";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::size_t kMaxValueCharacters = 2047;

// One line of the file, as far as the profile rules see it.
struct ParsedLine {
    enum class Kind { Other, Section, Entry } kind = Kind::Other;
    std::string_view name;   // section or key
    std::string_view value;  // entries only
};

ParsedLine ParseLine(std::string_view text) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        return {ParsedLine::Kind::Section, TrimBlanks(text.substr(1, close - 1)), {}};
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return {};
    return {ParsedLine::Kind::Entry, TrimBlanks(text.substr(0, equals)),
            TrimBlanks(text.substr(equals + 1))};
}

// Cuts after the given number of characters; a character is a UTF-8 sequence.
std::string CutToCharacters(std::string_view text, std::size_t count) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (characters++ == count) return std::string(text.substr(0, i));
    }
    return std::string(text);
}

std::string OnOneLine(std::string_view value) {
    std::string text(value);
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

ProfileFile ProfileFile::NewUtf16() {
    ProfileFile profile;
    profile.utf16_ = true;
    profile.preamble_ = kUtf16Mark;
    return profile;
}

ProfileFile ProfileFile::FromBytes(std::string_view bytes, const TextEncoding& eightBit) {
    ProfileFile profile;
    if (bytes.starts_with(kUtf16Mark)) {
        profile = NewUtf16();
    } else if (bytes.starts_with(kUtf8Mark)) {
        profile.preamble_ = kUtf8Mark;
    } else {
        profile.eightBit_ = eightBit;
    }
    bytes.remove_prefix(profile.preamble_.size());

    // Breaks are CR LF, LF or CR, found in code units of the file's width.
    const std::size_t width = profile.utf16_ ? 2 : 1;
    // A stray last byte of a UTF-16 file counts as the whole character it
    // becomes when a line is added after it (see EndLine), so the file reads the
    // same before and after a save.
    auto unitAt = [&](std::size_t i) -> unsigned {
        if (i >= bytes.size()) return 0xFFFF;
        const auto low = static_cast<unsigned char>(bytes[i]);
        return width == 1 || i + 1 == bytes.size()
                   ? low
                   : low | static_cast<unsigned char>(bytes[i + 1]) << 8;
    };
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned unit = unitAt(i);
        if (unit != '\r' && unit != '\n') {
            i += width;
            continue;
        }
        std::size_t end = i + width;
        if (unit == '\r' && unitAt(end) == '\n') end += width;
        profile.lines_.push_back(
            {std::string(bytes.substr(start, i - start)), std::string(bytes.substr(i, end - i))});
        start = i = end;
    }
    if (start < bytes.size()) profile.lines_.push_back({std::string(bytes.substr(start)), {}});
    return profile;
}

std::string ProfileFile::ToBytes() const {
    std::string bytes = preamble_;
    for (const Line& line : lines_) bytes += line.text + line.end;
    return bytes;
}

std::string ProfileFile::Decode(const Line& line) const {
    if (!utf16_) return DecodeText(line.text, eightBit_);
    std::u16string units;
    for (std::size_t i = 0; i + 1 < line.text.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<unsigned char>(line.text[i]) |
                                       static_cast<unsigned char>(line.text[i + 1]) << 8);
    }
    if (line.text.size() % 2 != 0) {
        units += static_cast<char16_t>(static_cast<unsigned char>(line.text.back()));
    }
    return Utf8FromUtf16(units);
}

std::string ProfileFile::Encode(std::string_view utf8) const {
    if (!utf16_) return EncodeText(std::string(utf8), eightBit_);
    std::string bytes;
    for (char16_t unit : Utf16FromUtf8(utf8)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::optional<std::size_t> ProfileFile::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string text = Decode(lines_[i]);
        const ParsedLine parsed = ParseLine(text);
        if (parsed.kind == ParsedLine::Kind::Section && EqualIgnoringCase(parsed.name, section)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ProfileFile::Read(std::string_view section, std::string_view key) const {
    const std::optional<std::size_t> start = FindSection(section);
    if (!start) return std::nullopt;
    for (std::size_t i = *start + 1; i < lines_.size(); ++i) {
        const std::string text = Decode(lines_[i]);
        const ParsedLine parsed = ParseLine(text);
        if (parsed.kind == ParsedLine::Kind::Section) break;
        if (parsed.kind == ParsedLine::Kind::Entry && EqualIgnoringCase(parsed.name, key)) {
            return CutToCharacters(parsed.value, kMaxValueCharacters);
        }
    }
    return std::nullopt;
}

void ProfileFile::Write(std::string_view section, std::string_view key, std::string_view value) {
    const std::string entry = Encode(std::string(key) + "=" + OnOneLine(value));
    const std::string lineBreak = Encode("\r\n");

    const std::optional<std::size_t> start = FindSection(section);
    if (!start) {
        if (!lines_.empty()) EndLine(lines_.back(), lineBreak);
        lines_.push_back({Encode("[" + std::string(section) + "]"), lineBreak});
        lines_.push_back({entry, lineBreak});
        return;
    }
    std::size_t last = *start;  // the section's last non-blank line
    for (std::size_t i = *start + 1; i < lines_.size(); ++i) {
        const std::string text = Decode(lines_[i]);
        const ParsedLine parsed = ParseLine(text);
        if (parsed.kind == ParsedLine::Kind::Section) break;
        if (parsed.kind == ParsedLine::Kind::Entry && EqualIgnoringCase(parsed.name, key)) {
            lines_[i].text = entry;
            return;
        }
        if (!TrimBlanks(text).empty()) last = i;
    }
    EndLine(lines_[last], lineBreak);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last) + 1, Line{entry, lineBreak});
}

std::vector<std::string> ProfileFile::TextLines() const {
    std::vector<std::string> texts;
    texts.reserve(lines_.size());
    for (const Line& line : lines_) texts.push_back(Decode(line));
    return texts;
}

void ProfileFile::EndLine(Line& line, const std::string& lineBreak) const {
    // A UTF-16 file cut after half a character: the half becomes a whole one, or
    // every line written after it would be out of step and unreadable.
    if (utf16_ && (line.text.size() + line.end.size()) % 2 != 0) {
        (line.end.empty() ? line.text : line.end) += '\0';
    }
    if (line.end.empty()) line.end = lineBreak;
}

TextEncoding SettingsTextEncoding() {
    TextEncoding encoding = TextEncodingFromUserLocale();
    if (encoding.charset == kAsciiCharset) encoding = TextEncoding{};
    return encoding;
}

ProfileFile ReadProfileFile(const std::string& path) {
    std::string reason;
    const std::optional<std::string> bytes = ReadFileBytes(path, kMaxSettingsFileBytes, reason);
    if (!bytes) throw SettingsError("Cannot read settings file \"" + path + "\". " + reason);
    return ProfileFile::FromBytes(*bytes, SettingsTextEncoding());
}

}  // namespace tarnimex
