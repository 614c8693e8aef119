// SPDX-License-Identifier: GPL-3.0-or-later
#include "file_names.h"

#include "compressed_source.h"
#include "sentence.h"

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

std::string FolderPart(std::string_view path) {
    const std::size_t separator = path.find_last_of(kSeparators);
    return separator == std::string_view::npos ? std::string{}
                                               : std::string{path.substr(0, separator + 1)};
}

std::string CsvFileName(std::string_view logName) {
    // A compressed log's CSV is that of the name it would have uncompressed.
    if (HasCompressedExtension(logName)) logName.remove_suffix(FileExtension(logName).size());
    return std::string(logName.substr(0, logName.size() - FileExtension(logName).size())) + ".csv";
}

std::vector<std::string> SplitFileList(std::string_view list) {
    std::vector<std::string> entries;
    bool more = !list.empty();
    while (more) {
        const std::size_t semicolon = list.find(';');
        entries.emplace_back(Trim(list.substr(0, semicolon)));
        if (semicolon == std::string_view::npos) {
            more = false;
        } else {
            list.remove_prefix(semicolon + 1);
            more = !list.empty();
        }
    }
    return entries;
}

std::string JoinFileNames(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += ';';
        text += names[i];
    }
    return text;
}

}  // namespace tarnimex
