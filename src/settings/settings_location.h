// SPDX-License-Identifier: GPL-3.0-or-later
// Where the settings file lives: beside the executable, named after it, unless
// that folder cannot be written; then in a per-user folder, with a newer source
// file copied there first so settings made elsewhere carry over.
#pragma once

#include <string>

#include "settings/file_date.h"
#include "settings/settings_error.h"

namespace tarnimex {

// The full path of the settings file in use; empty until the window sets it.
extern std::string IniFileName;

// The full path for a settings file name: the default one beside the executable
// for an empty name, a bare name beside the executable, any other made absolute.
// Throws SettingsError ("Cannot create : ...", "Cannot Copy : ...").
std::string GetIniFileName(const std::string& name);

// The full path itself when its folder can be written, else its per-user copy.
// Throws SettingsError ("Cannot create : ...", "Cannot Copy : ...").
std::string GetWritableFileName(const std::string& name);

// Test seam: the executable's path to use instead of the real one; empty restores it.
void SetExecutablePathForTesting(std::string path);

}  // namespace tarnimex
