// SPDX-License-Identifier: GPL-3.0-or-later
// The limits file: the tester's limits a log's verdict is judged against.
//
// INI text with one section, [Limits], whose keys are all optional: WarmUp
// (seconds), the scalar limits of kScalarLimitNames, and the masks MTIE and
// TDEV as comma-separated TAU:LIMIT points in seconds with TAU rising
// ("MTIE=1:0.1, 100:0.3, 1000:0.5"). Numbers have "." as decimal point
// whatever the region. Names match in any letter case; blank lines and lines
// beginning with ";" or "#" are passed over. The encodings are those of the
// settings file (profile_file.h).
//
// Unlike the settings file, whose foreign lines are kept and ignored, a limits
// file is read strictly: a limit silently dropped would pass a log that should
// fail. An unknown key or section, a line that is no KEY=VALUE, a value that
// is no finite number or is below zero, a key given twice, and a mask that is
// empty or whose TAU do not rise each throw SettingsError naming the file, the
// line and the key.
#pragma once

#include <string>

#include "conversion/statistics/verdict.h"
#include "settings/profile_file.h"

namespace tarnimex {

// A few dozen short lines make a limits file.
constexpr std::size_t kMaxLimitsFileBytes = 1 << 20;

// name: the file's name for the messages.
TimingLimits ParseLimits(const ProfileFile& file, const std::string& name);

// Reads a regular file of at most kMaxLimitsFileBytes; throws SettingsError
// with the file's name and the reason when it cannot, or when it is faulty.
TimingLimits ReadLimitsFile(const std::string& path);

}  // namespace tarnimex
