// SPDX-License-Identifier: GPL-3.0-or-later
// The sentence and date-time routines on arbitrary text. Each quick path is
// held against a plain one: the field split against a comma-by-comma split,
// numbers against strtod and a digit-by-digit integer reader, the fixed-place
// date-time reader against the general one (made to decide by widening the
// separators), cached date writing and reading against fresh writing and
// reading, splits through a line's index against splits from each key on.
// Formatted values must read back as themselves.
//
// Input: byte 0 picks the key length for the report split, the rest is text
// (and, eight bytes at a time, raw doubles for the formatters).
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/reports/general_number.h"
#include "conversion/reports/sentence.h"
#include "conversion/reports/time_stamp.h"
#include "platform/regional_format.h"
#include "support/split_check.h"

namespace {

using namespace tarnimex;

[[noreturn]] void Fail(const char* what, std::string_view text) {
    std::fprintf(stderr, "%s: \"", what);
    for (unsigned char c : text) std::fprintf(stderr, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
    std::fprintf(stderr, "\"\n");
    std::abort();
}

bool Blank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view PlainTrim(std::string_view t) {
    while (!t.empty() && Blank(t.front())) t.remove_prefix(1);
    while (!t.empty() && Blank(t.back())) t.remove_suffix(1);
    return t;
}

// Fields 1 to 9 end at a comma and are trimmed; the tenth takes the rest. The
// report ends at a CR, LF or "$" from keyLength on; its last field keeps its
// blanks and loses everything from "*".
void PlainSplit(std::string_view text, std::size_t keyLength, std::string_view (&out)[10],
                int& count) {
    std::size_t stop = text.size();
    for (std::size_t i = keyLength; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n' || text[i] == '$') {
            stop = i;
            break;
        }
    }
    text = text.substr(0, stop);
    int n = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size() && n < 9; ++i) {
        if (text[i] == ',') {
            out[n++] = PlainTrim(text.substr(start, i - start));
            start = i + 1;
        }
    }
    std::string_view last = text.substr(start);
    last = last.substr(0, last.find('*'));
    out[n++] = last;
    count = n;
    for (int k = n; k < 10; ++k) out[k] = {};
}

void CheckSplit(std::string_view text, std::size_t keyLength) {
    SentenceFields fields;
    int count = 0;
    if (keyLength == SIZE_MAX) {
        count = SplitSentence(text, fields);
    } else {
        SplitReport(text, keyLength, fields, count);
    }
    std::string_view expected[10];
    int expectedCount = 0;
    PlainSplit(text, keyLength == SIZE_MAX ? text.size() : keyLength, expected, expectedCount);
    if (count != expectedCount) Fail("field count", text);
    for (int k = 0; k < 10; ++k) {
        if (fields.field[static_cast<std::size_t>(k)] != expected[k]) Fail("field text", text);
    }
}

// The grammar ParseFloat accepts, rewritten for strtod: nullopt-like false
// when the text is not a number.
bool PlainNumber(std::string_view text, std::string_view separator, std::string& out) {
    text = PlainTrim(text);
    std::size_t i = 0;
    out.clear();
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) out += text[i++];
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') out += text[i++], ++digits;
    if (!separator.empty() && text.substr(i, separator.size()) == separator) {
        i += separator.size();
        out += '.';
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') out += text[i++], ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        out += text[i++];
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) out += text[i++];
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') out += text[i++];
        if (i == start) return false;
    }
    return i == text.size();
}

void CheckFloat(std::string_view text, std::string_view separator) {
    const double value = ParseFloat(text, separator);
    if (!std::isfinite(value)) Fail("ParseFloat gave a value that is not finite", text);
    std::string plain;
    if (!PlainNumber(text, separator, plain)) {
        if (value != 0.0) Fail("ParseFloat read a text that is no number", text);
        return;
    }
    const double expected = std::strtod(plain.c_str(), nullptr);
    // Beyond the largest double reads as 0; what underflows may read as 0.
    if (std::isinf(expected) || std::fabs(expected) < DBL_MIN) {
        if (value != 0.0 && value != expected) Fail("ParseFloat out of range", text);
        return;
    }
    if (value != expected) Fail("ParseFloat differs from strtod", text);
}

void CheckInt(std::string_view text) {
    const std::optional<std::int32_t> value = ParseInt32(text);
    // Sign, then "$", "x", "X", "0x" or "0X" for hexadecimal, then only digits.
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (text.substr(i, 1) == "$" || text.substr(i, 1) == "x" || text.substr(i, 1) == "X") {
        base = 16, i += 1;
    } else if (text.substr(i, 2) == "0x" || text.substr(i, 2) == "0X") {
        base = 16, i += 2;
    }
    std::int64_t magnitude = 0;
    bool ok = i < text.size();
    for (; ok && i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        ok = digit >= 0;
        magnitude = magnitude * base + digit;
        if (magnitude > 0xFFFFFFFFll) ok = false;
    }
    std::optional<std::int32_t> expected;
    if (ok && base == 16) {
        const auto bits = static_cast<std::uint32_t>(magnitude);
        expected = static_cast<std::int32_t>(negative ? 0u - bits : bits);
    } else if (ok) {
        const std::int64_t signed_ = negative ? -magnitude : magnitude;
        if (signed_ >= INT32_MIN && signed_ <= INT32_MAX)
            expected = static_cast<std::int32_t>(signed_);
    }
    if (value != expected) Fail("ParseInt32 differs", text);
    if (ParseInt(text) != expected.value_or(0)) Fail("ParseInt differs", text);
}

// Formats whose separators are neither digits nor each other, so that a text
// has one reading.
const RegionalFormat kFormats[] = {
    {DateOrder::YMD, "/", ":", "."},  {DateOrder::YMD, "-", ".", ","},
    {DateOrder::DMY, ".", ":", ","},  {DateOrder::MDY, "/", ":", "."},
    {DateOrder::YMD, ". ", "h", ","}, {DateOrder::YMD, "\xE5\xB9\xB4", "\xEF\xBC\x9A", "."},
};

// The same text with each date and time separator widened by one byte: the
// fixed-place reader then declines and the general one decides.
bool Widened(std::string_view text, const RegionalFormat& regional, std::string& out,
             RegionalFormat& wide) {
    if (regional.dateSeparator.size() != 1 || regional.timeSeparator.size() != 1) return false;
    // A separator that is also the fraction's point or the blank has no one reading.
    for (char c : {regional.dateSeparator[0], regional.timeSeparator[0]}) {
        if (c == '.' || c == ' ' || (c >= '0' && c <= '9')) return false;
    }
    wide = regional;
    wide.dateSeparator += '\x01';
    wide.timeSeparator += '\x02';
    out.clear();
    for (char c : text) {
        if (c == '\x01' || c == '\x02') return false;
        out += c;
        if (c == regional.dateSeparator[0]) out += '\x01';
        if (c == regional.timeSeparator[0]) out += '\x02';
    }
    return true;
}

void CheckTime(std::string_view text) {
    for (const RegionalFormat& regional : kFormats) {
        const double value = ParseTimeStamp(text, regional);
        // A reader that remembers the date of the text before, and of this one.
        static TimeStampReader* readers[std::size(kFormats)];
        TimeStampReader*& reader = readers[&regional - kFormats];
        if (reader == nullptr) reader = new TimeStampReader(regional);
        if (reader->Read(text) != value || reader->Read(text) != value) {
            Fail("the date-remembering reader differs", text);
        }
        if (!std::isfinite(value)) Fail("ParseTimeStamp gave a value that is not finite", text);
        std::string wideText;
        RegionalFormat wide;
        if (Widened(text, regional, wideText, wide) &&
            ParseRegionalTimeStamp(wideText, wide) != ParseRegionalTimeStamp(text, regional)) {
            Fail("the fixed-place reader differs from the general one", text);
        }
        if (value == 0 || regional.dateOrder != DateOrder::YMD) continue;
        // Texts are written year first; read back they give the same value.
        const std::string written = FormatTimeStamp(value, TimeStampFormat(3), regional);
        if (written.empty()) Fail("a parsed date-time does not format", text);
        if (ParseTimeStamp(written, regional) != value) Fail("date-time round trip", text);
    }
}

void CheckFormatting(double value, std::string_view text) {
    const std::string general = FormatGeneralNumber(value);
    // Subnormal values read back as 0 by rule, and so do those that 15 digits
    // round beyond the largest double.
    if (std::isfinite(value) && (value == 0 || std::fabs(value) >= DBL_MIN) &&
        std::fabs(value) < 1.79769313486231e308) {
        const double back = ParseFloat(general);
        if (FormatGeneralNumber(back) != general) Fail("general number round trip", text);
        if (FormatGeneralNumber(value, ",") !=
            (general.find('.') == std::string::npos
                 ? general
                 : std::string(general).replace(general.find('.'), 1, ",")))
            Fail("general number separator", text);
    }
    for (const RegionalFormat& regional : kFormats) {
        for (int decimals = -1; decimals <= 3; ++decimals) {
            // One writer for many values: its remembered date must never leak.
            static TimeStampWriter* writers[std::size(kFormats)][5];
            TimeStampWriter*& writer = writers[&regional - kFormats][decimals + 1];
            if (writer == nullptr) writer = new TimeStampWriter(regional, decimals);
            char buffer[128];
            if (writer->MaxLength() > sizeof buffer) Fail("writer room", text);
            const std::string_view cached(
                buffer, static_cast<std::size_t>(writer->Write(buffer, value) - buffer));
            if (cached.size() > writer->MaxLength()) Fail("writer overran its room", text);
            if (cached != FormatTimeStamp(value, TimeStampFormat(decimals), regional)) {
                Fail("cached date writing differs from fresh writing", text);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    CheckSplit(text, SIZE_MAX);
    CheckSplit(text, data[0] % 12);
    if (const std::string difference = test::SplitDifference(text, data[0] % 12);
        !difference.empty())
        Fail(("index: " + difference).c_str(), text);
    for (std::string_view separator : {".", ",", "\xD9\xAB", "", ". "}) CheckFloat(text, separator);
    CheckInt(text);
    CheckInt(PlainTrim(text));
    CheckTime(text);
    CheckTime(PlainTrim(text));
    // Values near the texts' own, and raw bit patterns.
    CheckFormatting(ParseFloat(text), text);
    CheckFormatting(ParseTimeStamp(PlainTrim(text), kFormats[0]) - ParseFloat(text) / 86400.0,
                    text);
    for (std::size_t i = 0; i + 8 <= text.size(); i += 8) {
        double raw;
        std::memcpy(&raw, text.data() + i, sizeof raw);
        CheckFormatting(raw, text);
    }
    return 0;
}
