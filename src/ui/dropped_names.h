// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the names that Browse and a drop deliver.
#pragma once

#include <string_view>

#include "conversion/output/file_names.h"

namespace tarnimex {

// A settings file: extension ".ini" in any letter case.
bool IsSettingsFileName(std::string_view name);

}  // namespace tarnimex
