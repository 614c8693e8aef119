#include "ui/dropped_names.h"

#include <cctype>

namespace tarnimex {

namespace {

#ifdef _WIN32
constexpr std::string_view kSeparators = "\\:/";
#else
constexpr std::string_view kSeparators = "/";
#endif

}  // namespace

std::string_view FileExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    const std::size_t separator = name.find_last_of(kSeparators);
    if (separator != std::string_view::npos && separator > dot) return {};
    return name.substr(dot);
}

bool IsSettingsFileName(std::string_view name) {
    const std::string_view extension = FileExtension(name);
    if (extension.size() != 4) return false;
    std::string lower;
    for (const char c : extension) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower == ".ini";
}

std::string FolderPart(std::string_view path) {
    const std::size_t separator = path.find_last_of(kSeparators);
    return separator == std::string_view::npos ? std::string{}
                                               : std::string{path.substr(0, separator + 1)};
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += ';';
        text += names[i];
    }
    return text;
}

}  // namespace tarnimex
