// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_host.h"

#include <algorithm>
#include <ostream>
#include <string_view>

#include "platform/console.h"

namespace tarnimex {

namespace {

constexpr int kBarWidth = 30;
constexpr int kNarrowBarWidth = 10;
constexpr int kDefaultColumns = 80;
constexpr std::string_view kEllipsis = "\u2026";

bool Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Terminal columns taken by UTF-8 text: one a character.
int Columns(std::string_view text) {
    int count = 0;
    for (char c : text) count += Continuation(c) ? 0 : 1;
    return count;
}

// Byte offset after the first n characters.
std::size_t AfterCharacters(std::string_view text, int n) {
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        if (!Continuation(text[i]) && n-- == 0) break;
    }
    return i;
}

int TerminalColumns() {
    const int columns = ConsoleColumns();
    return columns > 0 ? columns : kDefaultColumns;
}

}  // namespace

std::string ShortenMiddle(std::string_view text, int width) {
    const int columns = Columns(text);
    if (columns <= width) return std::string(text);
    if (width <= 0) return {};
    const int keep = width - 1;
    const int head = (keep + 1) / 2;
    const int tail = keep - head;
    return std::string(text.substr(0, AfterCharacters(text, head))) + std::string(kEllipsis) +
           std::string(text.substr(AfterCharacters(text, columns - tail)));
}

std::string ProgressLine(const std::string& status, double percent, int columns) {
    // The last column stays empty: writing there wraps the line on some terminals.
    const int room = columns - 1;
    const std::size_t open = status.rfind(" (");
    const std::string_view name(status.data(), open);
    const std::string_view progress(status.data() + open, status.size() - open);
    const int textColumns = Columns(status);
    int bar = kBarWidth;
    if (bar + 3 + textColumns > room) bar = std::max(kNarrowBarWidth, room - 3 - textColumns);
    // Too narrow even for the short bar and the figures: the figures alone.
    if (bar + 3 + Columns(progress) + 1 > room) bar = 0;
    const int barColumns = bar > 0 ? bar + 3 : 0;
    std::string line;
    if (bar > 0) {
        int filled = static_cast<int>(percent / 100.0 * bar + 0.5);
        filled = std::clamp(filled, 0, bar);
        line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(bar - filled), ' ') + "] ";
    }
    line += ShortenMiddle(name, room - barColumns - Columns(progress));
    line += progress;
    return ShortenMiddle(line, room);
}

CliStatus::~CliStatus() {
    EndLiveLine();
}

std::string CliSettings::FieldText(HostField field) {
    switch (field) {
        case HostField::Key:
            return fields_.key;
        case HostField::SecKey:
            return fields_.secondKey;
        case HostField::SecDec:
            return fields_.decimals;
        case HostField::TimeDiff:
            return fields_.threshold;
        case HostField::MaxStep:
            return fields_.maxStep;
    }
    return {};
}

void CliSettings::SetFieldText(HostField field, const std::string& text) {
    if (field == HostField::TimeDiff) fields_.threshold = text;
    if (field == HostField::MaxStep) fields_.maxStep = text;
}

void CliStatus::EndLiveLine() {
    if (liveLine_) {
        out_ << '\n' << std::flush;
        liveLine_ = false;
    }
}

void CliStatus::SetStatus(const std::string& text) {
    if (quiet_) return;
    if (!terminal_) {
        // Flushed at once so that a reader of the pipe follows the run.
        out_ << text << '\n' << std::flush;
        return;
    }
    if (liveLine_) out_ << "\r\x1b[K";
    liveLine_ = false;
    out_ << text << '\n' << std::flush;
}

void CliStatus::ShowProgress(const Progress& progress, const std::string& text) {
    if (quiet_ || !terminal_) return SetStatus(text);
    const double percent = progress.size > 0 ? static_cast<double>(progress.bytesRead) /
                                                   static_cast<double>(progress.size) * 100.0
                                             : 0.0;
    out_ << "\r\x1b[K" << ProgressLine(text, percent, TerminalColumns()) << std::flush;
    liveLine_ = true;
}

void CliStatus::LogFinished(const LogStatistics& statistics) {
    EndLiveLine();
    if (onLogFinished) onLogFinished(statistics);
}

void CliStatus::ShowError(const std::string& text, const std::string& detail) {
    EndLiveLine();
    out_ << std::flush;
    err_ << text << '\n';
    if (!detail.empty()) err_ << detail << '\n';
    err_ << std::flush;
}

}  // namespace tarnimex
