// SPDX-License-Identifier: GPL-3.0-or-later
// Regional formats from the user's locale. On POSIX the date order and
// separator come from the locale's short date format, the time separator from
// its time format, the decimal separator from its numeric category; a date
// format that is not three numbers with one separator keeps its field order
// with "/". On Windows the field order comes from the short date format and
// each separator from its own regional setting, as the system's own programs
// take them.
#include "platform/regional_format.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>

#ifdef _WIN32
#include <windows.h>

#include "platform/path_names.h"
#else
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#endif

namespace tarnimex {

namespace {

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

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

#ifdef _WIN32

namespace {

// The user's value of a regional setting, overrides included.
std::string LocaleText(LCTYPE type) {
    wchar_t buffer[LOCALE_NAME_MAX_LENGTH * 2];
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, std::size(buffer));
    return length > 1
               ? Utf8FromWide(std::wstring_view(buffer, static_cast<std::size_t>(length - 1)))
               : std::string();
}

// The field order of a picture such as "dd.MM.yyyy"; quoted text is not a field.
void ReadDatePicture(std::string_view picture, RegionalFormat& regional) {
    std::string order;
    bool quoted = false;
    for (char c : picture) {
        if (c == '\'') quoted = !quoted;
        if (quoted) continue;
        const char field = c == 'd' ? 'D' : c == 'M' ? 'M' : c == 'y' ? 'Y' : 0;
        if (field != 0 && order.find(field) == std::string::npos) order += field;
    }
    if (order == "YMD") regional.dateOrder = DateOrder::YMD;
    if (order == "MDY") regional.dateOrder = DateOrder::MDY;
    if (order == "DMY") regional.dateOrder = DateOrder::DMY;
}

// A separator is one character; an empty setting keeps the default.
void ReadSeparator(LCTYPE type, std::string& separator) {
    const std::string text = LocaleText(type);
    if (!text.empty()) separator = FirstCharacter(text);
}

UINT CodePage(const TextEncoding& encoding) {
    return encoding.utf8
               ? CP_UTF8
               : static_cast<UINT>(std::strtoul(encoding.charset.c_str() + 2, nullptr, 10));
}

}  // namespace

RegionalFormat RegionalFormatFromUserLocale() {
    RegionalFormat regional;
    ReadDatePicture(LocaleText(LOCALE_SSHORTDATE), regional);
    ReadSeparator(LOCALE_SDATE, regional.dateSeparator);
    ReadSeparator(LOCALE_STIME, regional.timeSeparator);
    ReadSeparator(LOCALE_SDECIMAL, regional.decimalSeparator);
    return regional;
}

TextEncoding TextEncodingFromUserLocale() {
    const UINT codePage = GetACP();
    return TextEncoding{"CP" + std::to_string(codePage), codePage == CP_UTF8};
}

// Through UTF-16, as every conversion between code pages goes on Windows.
std::string EncodeText(const std::string& utf8Text, const TextEncoding& encoding) {
    if (encoding.utf8 || IsAscii(utf8Text)) return utf8Text;
    return BytesFromWide(WideFromUtf8(utf8Text), CodePage(encoding));
}

std::string DecodeText(const std::string& text, const TextEncoding& encoding) {
    if (encoding.utf8 || IsAscii(text)) return text;
    return Utf8FromWide(WideFromBytes(text, CodePage(encoding)));
}

#else

namespace {

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

bool IsUtf8Name(std::string_view charset) {
    std::string lower;
    for (char c : charset) {
        if (c != '-' && c != '_') lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    return lower == "utf8";
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

}  // namespace

RegionalFormat RegionalFormatFromUserLocale() {
    RegionalFormat regional;
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
    return regional;
}

TextEncoding TextEncodingFromUserLocale() {
    TextEncoding encoding;
    const std::string name = LocaleName("LC_CTYPE");
    encoding.charset = kAsciiCharset;
    if (locale_t loc = newlocale(LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(0))) {
        encoding.charset = nl_langinfo_l(CODESET, loc);
        freelocale(loc);
    }
    // C.UTF-8 may be missing from a minimal system; its name still says UTF-8.
    if (name.size() > 2 && IsCLocale(name) && IsUtf8Name(name.substr(2)))
        encoding.charset = "UTF-8";
    encoding.utf8 = IsUtf8Name(encoding.charset);
    return encoding;
}

std::string EncodeText(const std::string& utf8Text, const TextEncoding& encoding) {
    if (encoding.utf8 || IsAscii(utf8Text)) return utf8Text;
    std::string out;
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
    for (char c : utf8Text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80)
            out += c;
        else if (u >= 0xC0)
            out += '?';
    }
    return out;
}

std::string DecodeText(const std::string& text, const TextEncoding& encoding) {
    if (encoding.utf8 || IsAscii(text)) return text;
    iconv_t cd = iconv_open("UTF-8", encoding.charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return text;
    std::string out;
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    while (inLeft > 0) {
        char buffer[256];
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += "\xEF\xBF\xBD";  // U+FFFD for the byte that does not decode
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

#endif

}  // namespace tarnimex
