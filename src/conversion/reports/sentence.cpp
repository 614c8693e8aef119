// SPDX-License-Identifier: GPL-3.0-or-later
// Splitting a key sentence into fields and reading numbers from texts.
// Nothing here fails: a text that is not a number reads as 0, and fields past
// the end of the sentence are empty.
#include "conversion/reports/sentence.h"

#include <charconv>
#include <string>
#include <tuple>

#include "conversion/simd/kernels.h"

namespace tarnimex {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Trim over a pointer and a length, inlined where a report's fields are cut.
inline std::string_view TrimmedView(const char* data, std::size_t size) {
    std::size_t begin = 0;
    while (begin < size && IsBlank(data[begin])) ++begin;
    while (size > begin && IsBlank(data[size - 1])) --size;
    return {data + begin, size - begin};
}

}  // namespace

std::string_view Trim(std::string_view text) {
    return TrimmedView(text.data(), text.size());
}

std::size_t SplitReport(std::string_view text, std::size_t keyLength, SentenceFields& fields,
                        int& count) {
    static_assert(kReportCommas + 1 == std::tuple_size_v<decltype(fields.field)>);
    ReportMarks marks;
    ActiveKernel().reportMarks(text.data(), text.size(), keyLength, &marks);
    const char* const data = text.data();
    std::size_t fieldStart = 0;
    for (std::size_t i = 0; i < marks.commas; ++i) {
        fields.field[i] = TrimmedView(data + fieldStart, marks.comma[i] - fieldStart);
        fieldStart = marks.comma[i] + 1;
    }
    // The last field keeps its blanks; its checksum is cut off.
    const std::string_view last(data + fieldStart, marks.stop - fieldStart);
    const std::size_t star = last.find('*');
    fields.field[marks.commas] = star == std::string_view::npos ? last : last.substr(0, star);
    for (std::size_t k = marks.commas + 1; k < fields.field.size(); ++k) fields.field[k] = {};
    count = static_cast<int>(marks.commas) + 1;
    return marks.stop;
}

int SplitSentence(std::string_view line, SentenceFields& fields) {
    int count = 1;
    SplitReport(line, SIZE_MAX, fields, count);
    return count;
}

std::optional<double> ReadFloat(std::string_view text, std::string_view decimalSeparator) {
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
    if (intDigits.empty() && fracDigits.empty()) return std::nullopt;
    std::string_view expText;
    if (i < size && (text[i] == 'e' || text[i] == 'E')) {
        const std::size_t expBegin = ++i;
        if (i < size && (text[i] == '+' || text[i] == '-')) ++i;
        const std::size_t expDigits = i;
        while (i < size && IsDigit(text[i])) ++i;
        if (i == expDigits) return std::nullopt;
        expText = text.substr(expBegin, i - expBegin);
    }
    if (i != size) return std::nullopt;

    // Up to 15 significant digits and no exponent: the digits as an integer,
    // divided once by an exact power of ten, give the correctly rounded value.
    if (expText.empty() && intDigits.size() + fracDigits.size() <= 15) {
        static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        std::uint64_t mantissa = 0;
        for (char c : intDigits) mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        for (char c : fracDigits) mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        const double value = static_cast<double>(mantissa) / kPowers[fracDigits.size()];
        return negative ? -value : value;
    }

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
    if (result.ptr != p) return std::nullopt;
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond the largest double there is no number; an underflow's nearest
        // double is zero. Which one it is shows in the power of ten of the
        // first significant digit.
        long order = 0;
        const std::size_t lead = intDigits.find_first_not_of('0');
        if (lead != std::string_view::npos) {
            order = static_cast<long>(intDigits.size() - lead);
        } else {
            order = -static_cast<long>(fracDigits.find_first_not_of('0'));
        }
        long exponent = 0;
        for (char c : expText) {
            if (IsDigit(c) && exponent < 1000000) exponent = exponent * 10 + (c - '0');
        }
        if (!expText.empty() && expText[0] == '-') exponent = -exponent;
        if (order + exponent > 0) return std::nullopt;
        return 0.0;
    }
    if (result.ec != std::errc()) return std::nullopt;
    return value;
}

double ParseFloat(std::string_view text, std::string_view decimalSeparator) {
    return ReadFloat(text, decimalSeparator).value_or(0.0);
}

std::optional<double> ReadUserNumber(std::string_view text, std::string_view decimalSeparator) {
    if (const std::optional<double> value = ReadFloat(text, decimalSeparator)) return value;
    return ReadFloat(text, ".");
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
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
        magnitude =
            magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
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

int ParseInt(std::string_view text) {
    return ParseInt32(text).value_or(0);
}

}  // namespace tarnimex
