// Reading the names that Browse and a drop deliver.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnimex {

// The extension of a file name: from its last "." that stands after its last
// folder separator, to the end; empty when there is none.
std::string_view FileExtension(std::string_view name);

// A settings file: extension ".ini" in any letter case.
bool IsSettingsFileName(std::string_view name);

// The folder part of a path, up to and including its last folder separator.
std::string FolderPart(std::string_view path);

// Names joined with ";" between them, as the file box holds them.
std::string JoinNames(const std::vector<std::string>& names);

}  // namespace tarnimex
