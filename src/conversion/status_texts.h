// SPDX-License-Identifier: GPL-3.0-or-later
// The texts a conversion shows in the status line and its error boxes, each
// in one place; the front ends decide by outcomes, never by these texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnimex {

struct Progress;

inline constexpr char kErrorStatus[] = "Error!";
inline constexpr char kNoDataStatus[] = "No effective data.";
inline constexpr char kOutputStatus[] = "Output..";
inline constexpr char kAbortedStatus[] = "Aborted by user!";

// The error box of a log that cannot be opened or read: "Can not Open: name".
std::string CanNotOpenText(std::string_view name);
// The error box of a log that is not converted: "Can not Convert: name".
std::string CanNotConvertText(std::string_view name);

// "name ( 25.0%  12/40000Lines)": the percentage with one decimal in the
// regional separator, at least three characters wide.
std::string ProgressText(std::string_view name, const Progress& progress, std::string_view decimal);

// "Completed:  Max=0.5Sec.  Min=0.1Sec.  Output=12/40000Lines", the delays as
// general numbers in the regional separator.
std::string CompletedText(double maxDelay, double minDelay, std::int64_t rows, std::int64_t lines,
                          std::string_view decimal);

}  // namespace tarnimex
