// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file reader and writer on arbitrary bytes, as an 8-bit file and
// as a UTF-16 one: the file is kept byte for byte until written; a load then a
// save of the ten keys leaves a file that reads back the saved values; and
// every line that is not one of our keys or our section survives, in order.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/profile_file.h"

namespace {

using tarnimex::ProfileFile;

constexpr std::array<std::string_view, 10> kKeys = {
    "KeyText",  "SecKeyText", "SecondDec",     "TimeDiff", "MaxStep",
    "UseLimit", "AlarmStep",  "SymbolOfAlarm", "MainTop",  "MainLeft"};
constexpr std::array<std::string_view, 10> kDefaults = {"$GPTXT", "RMC delay", "0",  "0.2", "10.0",
                                                        "0",      "50",        "!!", "100", "-200"};

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "settings file: %s\n", what);
    std::abort();
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return t;
}

// The file's lines without their breaks (CR LF, LF or CR, in code units of the
// file's width), each with its text as ASCII for telling ours from foreign.
struct Lines {
    std::vector<std::string> raw;
    std::vector<std::string> ascii;
};

Lines SplitLines(std::string_view file) {
    std::size_t width = 1;
    std::string_view bytes = file;
    std::string completed;
    if (bytes.starts_with("\xFF\xFE")) {
        width = 2;
        bytes.remove_prefix(2);
        // A stray last byte may be completed to a whole character (a cut CR or
        // LF then becomes one again).
        if (bytes.size() % 2 != 0) {
            completed = std::string(bytes) + '\0';
            bytes = completed;
        }
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    auto unit = [&](std::size_t i) -> unsigned {
        if (i + width > bytes.size()) return 0xFFFF;
        const auto low = static_cast<unsigned char>(bytes[i]);
        return width == 1 ? low : low | static_cast<unsigned char>(bytes[i + 1]) << 8;
    };
    Lines lines;
    std::string ascii;
    std::size_t start = 0;
    std::size_t i = 0;
    auto finish = [&](std::size_t end) {
        lines.raw.emplace_back(bytes.substr(start, end - start));
        lines.ascii.push_back(ascii);
        ascii.clear();
    };
    while (i < bytes.size()) {
        const unsigned u = unit(i);
        if (u != '\r' && u != '\n') {
            ascii += u < 0x80 ? static_cast<char>(u) : '\x80';
            i += width;
            continue;
        }
        finish(i);
        i += width;
        if (u == '\r' && unit(i) == '\n') i += width;
        start = i;
    }
    if (start < bytes.size()) finish(bytes.size());
    return lines;
}

// Our section's line, or a line of one of our keys in any section.
bool Ours(std::string_view ascii) {
    const std::string_view text = TrimBlanks(ascii);
    if (text.starts_with('[')) {
        return SameLetters(TrimBlanks(text.substr(1, text.find(']') - 1)), "Option");
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return false;
    for (std::string_view key : kKeys) {
        if (SameLetters(TrimBlanks(text.substr(0, equals)), key)) return true;
    }
    return false;
}

// The lines that are not ours, in order, and the number of blank lines.
struct ForeignLines {
    std::vector<std::string> text;
    std::size_t blank = 0;
};

ForeignLines Foreign(std::string_view bytes) {
    const Lines lines = SplitLines(bytes);
    ForeignLines foreign;
    for (std::size_t i = 0; i < lines.raw.size(); ++i) {
        if (TrimBlanks(lines.ascii[i]).empty()) {
            ++foreign.blank;
        } else if (!Ours(lines.ascii[i])) {
            foreign.text.push_back(lines.raw[i]);
        }
    }
    return foreign;
}

// Every foreign line is kept; a blank line may be added, never lost.
bool Kept(std::string_view before, std::string_view after) {
    const ForeignLines was = Foreign(before);
    const ForeignLines is = Foreign(after);
    return is.text == was.text && is.blank >= was.blank;
}

void Check(std::string_view bytes, std::string_view anyValue) {
    ProfileFile profile = ProfileFile::FromBytes(bytes);
    if (profile.ToBytes() != bytes) Fail("a file read is not kept byte for byte");

    // Load, then save what was loaded (a default for what was missing).
    std::array<std::string, 10> values;
    for (std::size_t k = 0; k < kKeys.size(); ++k) {
        const std::optional<std::string> value = profile.Read("Option", kKeys[k]);
        values[k] = value ? *value : std::string(kDefaults[k]);
    }
    for (std::size_t k = 0; k < kKeys.size(); ++k) profile.Write("Option", kKeys[k], values[k]);
    const std::string saved = profile.ToBytes();
    const ProfileFile reread = ProfileFile::FromBytes(saved);
    for (std::size_t k = 0; k < kKeys.size(); ++k) {
        if (reread.Read("Option", kKeys[k]) != values[k]) Fail("a saved value does not read back");
    }
    if (!Kept(bytes, saved)) Fail("a foreign line was lost or changed");

    // Any value at all (line breaks, bytes that are no UTF-8) still gives a
    // readable key and harms no other line.
    ProfileFile other = ProfileFile::FromBytes(bytes);
    other.Write("Option", "SymbolOfAlarm", anyValue);
    const std::string written = other.ToBytes();
    if (!ProfileFile::FromBytes(written).Read("Option", "SymbolOfAlarm"))
        Fail("a written key cannot be read");
    if (!Kept(bytes, written)) Fail("a foreign line was lost or changed by a written value");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string_view anyValue = bytes.substr(size > 64 ? size - 64 : 0);
    Check(bytes, anyValue);
    Check("\xFF\xFE" + std::string(bytes), anyValue);
    return 0;
}
