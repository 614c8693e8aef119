// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line options of tarnimex-convert.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/conversion_settings.h"

namespace tarnimex {

enum class SummaryFormat { None, Text, Json };

struct CliOptions {
    // What the options set of the record; the alarm step and symbol come apart
    // as typed, since a settings file may give them too.
    ConversionSettings settings;
    std::optional<std::string> alarmStep;
    std::optional<std::string> alarmSymbol;
    std::optional<std::string> dateOrder, dateSeparator, timeSeparator, decimalSeparator;
    std::optional<std::string> settingsFile;
    std::optional<std::string> limitsFile;
    std::optional<std::string> reportDir;
    bool quiet = false;
    SummaryFormat summary = SummaryFormat::None;
    bool help = false;
    bool version = false;
    bool recursive = false;
    std::vector<std::string> includes;
    std::optional<std::string> outputDir, output;
    int jobs = 0;  // 0: one per core
    std::vector<std::string> logs;
    // Options given on the command line, so that they win over a settings file.
    std::vector<std::string> given;
    bool Given(const std::string& name) const;
};

// Whether the text holds a C0 control character or DEL. The alarm symbol may
// hold none: it lands in the CSV's cells, where a line break splits the row.
bool HoldsControlCharacter(std::string_view text);
inline constexpr std::string_view kControlExamples = " such as a tab, a line break or NUL";

// Parses argv[1..]; on a usage error returns false with a message.
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error);

std::string CliUsage();

}  // namespace tarnimex
