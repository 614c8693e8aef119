// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/status_texts.h"

#include <charconv>

#include "conversion/conversion_host.h"
#include "conversion/reports/general_number.h"

namespace tarnimex {

std::string CanNotOpenText(std::string_view name) {
    return "Can not Open: " + std::string(name);
}

std::string CanNotConvertText(std::string_view name) {
    return "Can not Convert: " + std::string(name);
}

std::string ProgressText(std::string_view name, const Progress& progress,
                         std::string_view decimal) {
    const std::int64_t bytesRead = progress.bytesRead;
    const std::int64_t size = progress.size;
    const double percent =
        size > 0 ? static_cast<double>(bytesRead) / static_cast<double>(size) * 100.0 : 0.0;
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, percent, std::chars_format::fixed, 1);
    std::string text;
    for (const char* p = buffer; p != result.ptr; ++p) {
        if (*p == '.')
            text += decimal;
        else
            text += *p;
    }
    while (text.size() < 3) text.insert(text.begin(), ' ');
    return std::string(name) + " (" + text + "%  " + std::to_string(progress.rows) + "/" +
           std::to_string(progress.lines) + "Lines)";
}

std::string CompletedText(double maxDelay, double minDelay, std::int64_t rows, std::int64_t lines,
                          std::string_view decimal) {
    return "Completed:  Max=" + FormatGeneralNumber(maxDelay, decimal) +
           "Sec.  Min=" + FormatGeneralNumber(minDelay, decimal) +
           "Sec.  Output=" + std::to_string(rows) + "/" + std::to_string(lines) + "Lines";
}

}  // namespace tarnimex
