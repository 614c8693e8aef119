// SPDX-License-Identifier: GPL-3.0-or-later
// The problem and the error policy are told in limits_file.h.
#include "settings/limits_file.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/file_access.h"
#include "settings/settings_error.h"

namespace tarnimex {

namespace {

constexpr std::string_view kSection = "Limits";
constexpr std::string_view kWarmUpName = "WarmUp";
constexpr std::string_view kCommentStarts = ";#";
constexpr char kPointSeparator = ',';
constexpr char kTauSeparator = ':';

// Where a key goes: a number or a mask, and the line that gave it.
struct Slot {
    std::string_view name;
    std::optional<double>* number = nullptr;
    LimitMask* mask = nullptr;
    std::size_t line = 0;
};

class Parser {
  public:
    Parser(const std::string& name, TimingLimits& limits) : name_(name) {
        slots_.push_back({kWarmUpName, &warmUp_});
        for (std::size_t i = 0; i < kScalarLimitNames.size(); ++i)
            slots_.push_back({kScalarLimitNames[i], &limits.scalar[i]});
        slots_.push_back({kMtieName, nullptr, &limits.mtie});
        slots_.push_back({kTdevName, nullptr, &limits.tdev});
    }

    void Line(std::size_t number, std::string_view text) {
        line_ = number;
        key_ = {};
        text = TrimBlanks(text);
        if (text.empty() || kCommentStarts.find(text.front()) != std::string_view::npos) return;
        if (text.front() == '[') {
            inSection_ = text.back() == ']' &&
                         EqualIgnoringCase(TrimBlanks(text.substr(1, text.size() - 2)), kSection);
            if (!inSection_) Fail("\"" + std::string(text) + "\" is no [Limits] section");
            return;
        }
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos)
            Fail("\"" + std::string(text) + "\" is no KEY=VALUE line");
        key_ = TrimBlanks(text.substr(0, equals));
        const std::string_view value = TrimBlanks(text.substr(equals + 1));
        if (!inSection_) Fail("the key stands outside the [Limits] section");
        Slot* slot = Find(key_);
        if (!slot) Fail("no such limit");
        if (slot->line != 0) Fail("given before, on line " + std::to_string(slot->line));
        slot->line = number;
        if (slot->number)
            *slot->number = Number(value);
        else
            slot->mask->points = Mask(value);
    }

    double WarmUp() const { return warmUp_.value_or(0); }

  private:
    Slot* Find(std::string_view key) {
        for (Slot& slot : slots_) {
            if (EqualIgnoringCase(slot.name, key)) return &slot;
        }
        return nullptr;
    }

    double Number(std::string_view text) const {
        double value = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
            !std::isfinite(value))
            Fail("\"" + std::string(text) + "\" is no number");
        if (value < 0) Fail("\"" + std::string(text) + "\" is below zero");
        return value;
    }

    std::vector<LimitMask::Point> Mask(std::string_view text) const {
        std::vector<LimitMask::Point> points;
        while (true) {
            const std::size_t comma = text.find(kPointSeparator);
            const std::string_view point = TrimBlanks(text.substr(0, comma));
            const std::size_t colon = point.find(kTauSeparator);
            if (colon == std::string_view::npos)
                Fail("\"" + std::string(point) + "\" is no TAU:LIMIT point");
            const double tau = Number(TrimBlanks(point.substr(0, colon)));
            const double limit = Number(TrimBlanks(point.substr(colon + 1)));
            if (!points.empty() && tau <= points.back().tau)
                Fail("the TAU must rise, and \"" + std::string(point) + "\" follows a TAU of " +
                     Shortest(points.back().tau));
            points.push_back({tau, limit});
            if (comma == std::string_view::npos) return points;
            text.remove_prefix(comma + 1);
        }
    }

    static std::string Shortest(double value) {
        char buffer[32];
        return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
    }

    [[noreturn]] void Fail(const std::string& reason) const {
        std::string where = "Limits file \"" + name_ + "\", line " + std::to_string(line_);
        if (!key_.empty()) where += ", " + std::string(key_);
        throw SettingsError(where + ": " + reason + ".");
    }

    const std::string& name_;
    std::vector<Slot> slots_;
    std::optional<double> warmUp_;
    bool inSection_ = false;
    std::size_t line_ = 0;
    std::string_view key_;
};

}  // namespace

TimingLimits ParseLimits(const ProfileFile& file, const std::string& name) {
    TimingLimits limits;
    Parser parser(name, limits);
    const std::vector<std::string> lines = file.TextLines();
    for (std::size_t i = 0; i < lines.size(); ++i) parser.Line(i + 1, lines[i]);
    limits.warmUp = parser.WarmUp();
    return limits;
}

TimingLimits ReadLimitsFile(const std::string& path) {
    std::string reason;
    const std::optional<std::string> bytes = ReadFileBytes(path, kMaxLimitsFileBytes, reason);
    if (!bytes) throw SettingsError("Cannot read limits file \"" + path + "\". " + reason);
    return ParseLimits(ProfileFile::FromBytes(*bytes, SettingsTextEncoding()), path);
}

}  // namespace tarnimex
