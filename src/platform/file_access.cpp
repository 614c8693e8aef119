// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_access.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/path_names.h"
#include "platform/safe_file.h"

namespace tarnimex {

std::FILE* OpenForReading(const std::string& name) {
#ifdef _WIN32
    return _wfopen(WideFromUtf8(name).c_str(), L"rb");
#else
    return std::fopen(name.c_str(), "rb");
#endif
}

bool SeekTo(std::FILE* file, std::int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::optional<std::string> ReadFileBytes(const std::string& name) {
    std::error_code ec;
    const std::filesystem::path path = PathFromUtf8(name);
    if (std::filesystem::is_directory(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return bytes;
}

bool FolderAcceptsNewFiles(const std::string& folder) {
    try {
        std::string probe = folder;
        if (!probe.empty() && kFolderSeparators.find(probe.back()) == std::string::npos)
            probe += kFolderSeparator;
        // Never committed: the new file goes when the probe does.
        SafeFile file(probe + "$$$", Durability::kCached);
        return true;
    } catch (const FileError&) {
        return false;
    }
}

}  // namespace tarnimex
