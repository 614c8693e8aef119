// SPDX-License-Identifier: GPL-3.0-or-later
// Sentence fields and numbers: the small stateless routines that cut a key
// sentence into its comma fields and read numbers out of texts. None of them
// fails: a text that is not a number reads as 0.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnimex {

// Ten fields, numbered 1 to 10; views into the split line.
struct SentenceFields {
    std::array<std::string_view, 10> field{};
    std::string_view operator[](int n) const { return field[static_cast<std::size_t>(n - 1)]; }
};

// Removes leading and trailing characters with codes 0 to 32.
std::string_view Trim(std::string_view text);

// Fills the fields from the line; returns the number of the last field written.
int SplitSentence(std::string_view line, SentenceFields& fields);

// Splits the key sentence at the front of text, which ends at the first CR, LF
// or "$" after its key (keyLength characters); returns where it ended and sets
// count as SplitSentence's result.
std::size_t SplitReport(std::string_view text, std::size_t keyLength, SentenceFields& fields,
                        int& count);

// An optional sign, digits with an optional decimal separator (at least one
// digit in all), an optional exponent; surrounding codes 0 to 32 are ignored.
// Anything else, and a magnitude beyond the largest double, gives no number.
std::optional<double> ReadFloat(std::string_view text, std::string_view decimalSeparator = ".");

// ReadFloat, with 0 for a text that is not a number.
double ParseFloat(std::string_view text, std::string_view decimalSeparator = ".");

// A number the user typed (threshold, max time step, alarm step): in the
// regional decimal separator, else with ".", so that "0.2" means the same under
// a decimal comma. Nothing when it is neither.
std::optional<double> ReadUserNumber(std::string_view text, std::string_view decimalSeparator);

// A whole 32-bit integer: optional sign and decimal digits, or hexadecimal digits
// after "$", "x" or "0x" (either letter case). Nothing else.
std::optional<std::int32_t> ParseInt32(std::string_view text);

// ParseInt32, with 0 for a text that is not an integer.
int ParseInt(std::string_view text);

}  // namespace tarnimex
