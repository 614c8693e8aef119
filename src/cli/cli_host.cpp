#include "cli_host.h"

#include <cstdlib>
#include <ostream>

namespace tarnimex {

namespace {

// "name (25.0%  12/40000Lines)" carries its percentage before the last "%  ".
bool ProgressPercent(const std::string& text, double& percent) {
    const std::size_t mark = text.rfind("%  ");
    const std::size_t open = text.rfind(" (", mark);
    if (mark == std::string::npos || open == std::string::npos || text.back() != ')') return false;
    std::string number = text.substr(open + 2, mark - open - 2);
    for (char& c : number) {
        if (c < '0' || c > '9') c = '.';
    }
    percent = std::atof(number.c_str());
    return true;
}

}  // namespace

CliHost::~CliHost() {
    EndLiveLine();
}

std::string CliHost::FieldText(HostField field) {
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

void CliHost::SetFieldText(HostField field, const std::string& text) {
    if (field == HostField::TimeDiff) fields_.threshold = text;
    if (field == HostField::MaxStep) fields_.maxStep = text;
}

void CliHost::EndLiveLine() {
    if (liveLine_) {
        out_ << '\n' << std::flush;
        liveLine_ = false;
    }
}

void CliHost::SetStatus(const std::string& text) {
    if (quiet_) return;
    if (!terminal_) {
        // Flushed at once so that a reader of the pipe follows the run.
        out_ << text << '\n' << std::flush;
        return;
    }
    double percent = 0;
    if (ProgressPercent(text, percent)) {
        constexpr int kWidth = 30;
        int filled = static_cast<int>(percent / 100.0 * kWidth + 0.5);
        filled = filled < 0 ? 0 : filled > kWidth ? kWidth : filled;
        out_ << "\r\x1b[K[" << std::string(static_cast<std::size_t>(filled), '#')
             << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] " << text
             << std::flush;
        liveLine_ = true;
        return;
    }
    if (liveLine_) out_ << "\r\x1b[K";
    liveLine_ = false;
    out_ << text << '\n' << std::flush;
}

void CliHost::LogFinished(const LogStatistics& statistics) {
    EndLiveLine();
    if (onLogFinished) onLogFinished(statistics);
}

void CliHost::ShowError(const std::string& text, const std::string& detail) {
    EndLiveLine();
    out_ << std::flush;
    err_ << text << '\n';
    if (!detail.empty()) err_ << detail << '\n';
    err_ << std::flush;
}

}  // namespace tarnimex
