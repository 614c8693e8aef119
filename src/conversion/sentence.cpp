// Splitting a key sentence into fields and reading numbers from texts.
// Nothing here fails: a text that is not a number reads as 0, and fields past
// the end of the sentence are empty.
#include "sentence.h"

#include <charconv>
#include <string>

namespace tarnimex {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view Trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

int SplitSentence(std::string_view line, SentenceFields& fields) {
    int n = 1;
    if (!line.empty()) {
        for (;;) {
            std::size_t comma = line.find(',');
            if (comma == std::string_view::npos) break;
            fields.field[static_cast<std::size_t>(n - 1)] = Trim(line.substr(0, comma));
            line.remove_prefix(comma + 1);
            ++n;
            if (n == 10) break;
        }
        // The last field keeps its blanks; its checksum is cut off.
        std::size_t star = line.find('*');
        fields.field[static_cast<std::size_t>(n - 1)] =
            star == std::string_view::npos ? line : line.substr(0, star);
    } else {
        fields.field[0] = {};
    }
    for (int i = n; i < 10; ++i) fields.field[static_cast<std::size_t>(i)] = {};
    return n;
}

double ParseFloat(std::string_view text, std::string_view decimalSeparator) {
    text = Trim(text);
    std::size_t i = 0;
    const std::size_t size = text.size();
    bool negative = false;
    if (i < size && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t intBegin = i;
    while (i < size && IsDigit(text[i])) ++i;
    const std::string_view intDigits = text.substr(intBegin, i - intBegin);
    std::string_view fracDigits;
    if (!decimalSeparator.empty() && text.substr(i, decimalSeparator.size()) == decimalSeparator) {
        i += decimalSeparator.size();
        const std::size_t fracBegin = i;
        while (i < size && IsDigit(text[i])) ++i;
        fracDigits = text.substr(fracBegin, i - fracBegin);
    }
    if (intDigits.empty() && fracDigits.empty()) return 0.0;
    std::string_view expText;
    if (i < size && (text[i] == 'e' || text[i] == 'E')) {
        const std::size_t expBegin = ++i;
        if (i < size && (text[i] == '+' || text[i] == '-')) ++i;
        const std::size_t expDigits = i;
        while (i < size && IsDigit(text[i])) ++i;
        if (i == expDigits) return 0.0;
        expText = text.substr(expBegin, i - expBegin);
    }
    if (i != size) return 0.0;

    // Rebuilt in the one form from_chars reads whatever the separator.
    char small[64];
    std::string large;
    const std::size_t needed = intDigits.size() + fracDigits.size() + expText.size() + 4;
    char* out = small;
    if (needed > sizeof small) {
        large.resize(needed);
        out = large.data();
    }
    char* p = out;
    if (negative) *p++ = '-';
    if (intDigits.empty()) *p++ = '0';
    for (char c : intDigits) *p++ = c;
    if (!fracDigits.empty()) {
        *p++ = '.';
        for (char c : fracDigits) *p++ = c;
    }
    if (!expText.empty()) {
        *p++ = 'e';
        for (char c : expText) *p++ = c;
    }
    double value = 0.0;
    const auto result = std::from_chars(out, p, value, std::chars_format::general);
    // Out of range is either beyond the largest double (0 by rule) or an
    // underflow, whose nearest double is zero.
    if (result.ec != std::errc() || result.ptr != p) return 0.0;
    return value;
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) return std::nullopt;
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (IsDigit(c)) {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (magnitude > 0xFFFFFFFFull) return std::nullopt;
    }
    if (base == 16) {
        // Hexadecimal digits give the 32-bit pattern: $FFFFFFFF is -1.
        std::int32_t value = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
        return negative ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(value)) : value;
    }
    if (negative) {
        if (magnitude > 2147483648ull) return std::nullopt;
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
    }
    if (magnitude > 2147483647ull) return std::nullopt;
    return static_cast<std::int32_t>(magnitude);
}

int ParseInt(std::string_view text) { return ParseInt32(text).value_or(0); }

}  // namespace tarnimex
