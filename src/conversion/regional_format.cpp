// SPDX-License-Identifier: GPL-3.0-or-later
// Regional formats from the user's locale. The date order and separator come
// from the locale's short date format, the time separator from its time format,
// the decimal separator from its numeric category. A date format that is not
// three numbers with one separator keeps its field order with "/".
#include "regional_format.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#if defined(__unix__) || defined(__APPLE__)
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#define TARNIMEX_HAVE_LANGINFO 1
#endif

namespace tarnimex {

namespace {

// Reading the POSIX locale (other systems keep the defaults for now).
#ifdef TARNIMEX_HAVE_LANGINFO
// The locale name in force for a category, as setlocale(category, "") would choose it.
std::string LocaleName(const char* category) {
    for (const char* var : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(var);
        if (value != nullptr && *value != '\0') return value;
    }
    return "C";
}

bool IsCLocale(const std::string& name) {
    return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

// One UTF-8 character at the start of text.
std::string_view FirstCharacter(std::string_view text) {
    if (text.empty()) return text;
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC0 ? 2
                                        : 1;
    return text.substr(0, length < text.size() ? length : text.size());
}

// Reads "%d.%m.%Y"-like formats: three numeric fields and the text between them.
void ReadDateFormat(std::string_view format, RegionalFormat& regional) {
    std::string order;
    std::string separators[2];
    std::size_t fields = 0;
    bool uniform = true;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            char c = format[++i];
            while ((c == '-' || c == '_' || c == '0' || c == 'E' || c == 'O') &&
                   i + 1 < format.size()) {
                c = format[++i];
            }
            char field = 0;
            if (c == 'd' || c == 'e') field = 'D';
            if (c == 'm' || c == 'b' || c == 'B' || c == 'h') field = 'M';
            if (c == 'y' || c == 'Y' || c == 'C' || c == 'G') field = 'Y';
            if (c == 'D') {
                ReadDateFormat("%m/%d/%y", regional);
                return;
            }
            if (c == 'F') {
                ReadDateFormat("%Y-%m-%d", regional);
                return;
            }
            if (field != 0 && order.find(field) == std::string::npos) {
                order += field;
                ++fields;
            }
        } else if (fields == 1 || fields == 2) {
            separators[fields - 1] += format[i];
        } else {
            uniform = false;  // text before the first or after the last field
        }
    }
    if (order == "YMD")
        regional.dateOrder = DateOrder::YMD;
    else if (order == "MDY")
        regional.dateOrder = DateOrder::MDY;
    else if (order == "DMY")
        regional.dateOrder = DateOrder::DMY;
    else
        return;
    const std::string_view sep = separators[0];
    if (uniform && !sep.empty() && separators[0] == separators[1] && FirstCharacter(sep) == sep) {
        regional.dateSeparator = separators[0];
    } else {
        regional.dateSeparator = "/";
    }
}

void ReadTimeFormat(std::string_view format, RegionalFormat& regional) {
    const std::size_t hour = format.find("%H");
    const std::size_t minute = format.find("%M");
    if (hour == std::string_view::npos || minute == std::string_view::npos || minute <= hour + 2)
        return;
    const std::string_view sep = format.substr(hour + 2, minute - hour - 2);
    if (FirstCharacter(sep) == sep) regional.timeSeparator = sep;
}
#endif

bool IsUtf8Name(std::string_view charset) {
    std::string lower;
    for (char c : charset) {
        if (c != '-' && c != '_') lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    return lower == "utf8";
}

}  // namespace

RegionalFormat RegionalFormatFromUserLocale() {
    RegionalFormat regional;
#ifdef TARNIMEX_HAVE_LANGINFO
    const std::string timeName = LocaleName("LC_TIME");
    if (!IsCLocale(timeName)) {
        if (locale_t loc = newlocale(LC_TIME_MASK, timeName.c_str(), static_cast<locale_t>(0))) {
            ReadDateFormat(nl_langinfo_l(D_FMT, loc), regional);
            ReadTimeFormat(nl_langinfo_l(T_FMT, loc), regional);
            freelocale(loc);
        }
    }
    const std::string numericName = LocaleName("LC_NUMERIC");
    if (!IsCLocale(numericName)) {
        if (locale_t loc =
                newlocale(LC_NUMERIC_MASK, numericName.c_str(), static_cast<locale_t>(0))) {
            const std::string_view radix = nl_langinfo_l(RADIXCHAR, loc);
            if (!radix.empty()) regional.decimalSeparator = radix;
            freelocale(loc);
        }
    }
#endif
    return regional;
}

TextEncoding TextEncodingFromUserLocale() {
    TextEncoding encoding;
#ifdef TARNIMEX_HAVE_LANGINFO
    const std::string name = LocaleName("LC_CTYPE");
    encoding.charset = "ANSI_X3.4-1968";
    if (locale_t loc = newlocale(LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(0))) {
        encoding.charset = nl_langinfo_l(CODESET, loc);
        freelocale(loc);
    }
    // C.UTF-8 may be missing from a minimal system; its name still says UTF-8.
    if (name.size() > 2 && IsCLocale(name) && IsUtf8Name(name.substr(2)))
        encoding.charset = "UTF-8";
#endif
    encoding.utf8 = IsUtf8Name(encoding.charset);
    return encoding;
}

std::string EncodeText(const std::string& utf8Text, const TextEncoding& encoding) {
    if (encoding.utf8) return utf8Text;
    bool ascii = true;
    for (char c : utf8Text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return utf8Text;
    std::string out;
#ifdef TARNIMEX_HAVE_LANGINFO
    iconv_t cd = iconv_open(encoding.charset.c_str(), "UTF-8");
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        std::size_t i = 0;
        while (i < utf8Text.size()) {
            const std::string_view ch = FirstCharacter(std::string_view(utf8Text).substr(i));
            char in[4];
            std::memcpy(in, ch.data(), ch.size());
            char outBuf[16];
            char* inPtr = in;
            char* outPtr = outBuf;
            std::size_t inLeft = ch.size(), outLeft = sizeof outBuf;
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
                out += '?';
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
            } else {
                out.append(outBuf, static_cast<std::size_t>(outPtr - outBuf));
            }
            i += ch.size();
        }
        iconv_close(cd);
        return out;
    }
#endif
    for (char c : utf8Text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80)
            out += c;
        else if (u >= 0xC0)
            out += '?';
    }
    return out;
}

}  // namespace tarnimex
