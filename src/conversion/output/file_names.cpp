// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/output/file_names.h"

#include "conversion/input/compressed_source.h"
#include "conversion/reports/sentence.h"

namespace tarnimex {

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
