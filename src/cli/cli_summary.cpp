// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_summary.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

#include "conversion/reports/time_stamp.h"

namespace tarnimex {

namespace {

constexpr int kTextDecimals = 6;  // microseconds: finer than any receiver reports
// The metrics' figures span many decades (a TDEV may be below a microsecond).
constexpr int kMetricDigits = 6;

// A date-time as the CSV writes it with these separators and decimals; empty for none.
std::string DateTime(double value, const RegionalFormat& format, int secondDecimals) {
    if (value == 0) return {};
    TimeStampWriter writer(format, secondDecimals);
    std::vector<char> room(writer.MaxLength());
    return std::string(room.data(), writer.Write(room.data(), value));
}

// Shortest text that reads back as the same double; null when not finite.
std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

// The regional decimal separator in place of a ".".
std::string Regional(std::string text, const RegionalFormat& regional) {
    const std::size_t point = text.find('.');
    if (point != std::string::npos) text.replace(point, 1, regional.decimalSeparator);
    return text;
}

// kMetricDigits significant digits, trailing zeros dropped.
std::string MetricNumber(double value, const RegionalFormat& regional) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value,
                                   std::chars_format::general, kMetricDigits)
                         .ptr;
    return Regional(std::string(buffer, end), regional);
}

class JsonObject {
  public:
    JsonObject() { text_ = "{"; }
    void Raw(std::string_view key, std::string_view value) {
        if (text_.size() > 1) text_ += ',';
        AppendJsonString(text_, key);
        text_ += ':';
        text_ += value;
    }
    void Number(std::string_view key, double value) { Raw(key, JsonNumber(value)); }
    void Count(std::string_view key, std::int64_t value) { Raw(key, std::to_string(value)); }
    // A delay figure: null when no delay could be read.
    void Delay(std::string_view key, double value, const LogStatistics& s) {
        Raw(key, s.delays > 0 ? JsonNumber(value) : "null");
    }
    void String(std::string_view key, std::string_view value) {
        std::string quoted;
        AppendJsonString(quoted, value);
        Raw(key, quoted);
    }
    void DateTime(std::string_view key, double value) {
        const std::string text = IsoDateTime(value);
        if (text.empty())
            Raw(key, "null");
        else
            String(key, text);
    }
    std::string Close() { return text_ + "}"; }

  private:
    std::string text_;
};

std::string Plural(std::int64_t n, std::string_view word) {
    return std::to_string(n) + " " + std::string(word) + (n == 1 ? "" : "s");
}

}  // namespace

std::string IsoDateTime(double value) {
    static const RegionalFormat kIso{DateOrder::YMD, "-", ":", "."};
    std::string text = DateTime(value, kIso, -1);
    if (text.empty()) return text;
    text[text.find(' ')] = 'T';
    return text + "Z";
}

std::string TextNumber(double value, const RegionalFormat& regional) {
    if (!std::isfinite(value)) return value > 0 ? "inf" : value < 0 ? "-inf" : "nan";
    char buffer[400];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                   kTextDecimals)
                         .ptr;
    std::string text(buffer, end);
    const std::size_t point = text.find('.');
    if (point != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.')
            text.pop_back();
        else
            text.replace(point, 1, regional.decimalSeparator);
    }
    if (text == "-0") text = "0";
    return text;
}

void AppendJsonString(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c < 0x20 || c == 0x7F) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // A well-formed UTF-8 sequence passes whole: no overlong forms, no
        // surrogates, nothing beyond U+10FFFF.
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        }
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = next >= (k == 1 ? low : 0x80) && next <= (k == 1 ? high : 0xBF);
        }
        if (valid) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            out += "\\ufffd";
            ++i;
        }
    }
    out += '"';
}

std::string SummaryJson(const LogStatistics& s, double warmUp, const Verdict* verdict) {
    JsonObject o;
    o.String("log", s.log);
    o.Count("reports", s.reports);
    o.Count("rows", s.rows);
    o.Delay("mean", s.mean, s);
    o.Delay("stddev", s.stddev, s);
    o.Delay("median", s.median, s);
    o.Delay("p95", s.p95, s);
    o.Delay("p99", s.p99, s);
    o.Delay("min", s.min, s);
    o.DateTime("min_time", s.delays > 0 ? s.minTime : 0);
    o.Delay("max", s.max, s);
    o.DateTime("max_time", s.delays > 0 ? s.maxTime : 0);
    o.Count("alarm_stretches", s.alarmStretches);
    o.Number("alarm_total_s", s.alarmTotal);
    o.Number("alarm_longest_s", s.alarmLongest);
    o.Count("gaps", s.gaps);
    o.Number("gap_total_s", s.gapTotal);
    o.Number("gap_longest_s", s.gapLongest);
    o.Count("backward_steps", s.backwardSteps);
    o.Count("unreadable_times", s.unreadableTimes);
    o.Count("unreadable_delays", s.unreadableDelays);
    o.Count("lines", s.lines);
    for (const auto& [key, tally] :
         {std::pair{"frames", s.frames.removed}, std::pair{"damaged_frames", s.frames.damaged}}) {
        JsonObject kinds;
        kinds.Count("ubx", tally.ubx);
        kinds.Count("sirf", tally.sirf);
        kinds.Count("mtk", tally.mtk);
        o.Raw(key, kinds.Close());
    }
    o.Count("delays", s.delays);
    o.Number("usual_step_s", s.usualStep);
    std::string stretches = "[";
    for (const AlarmStretch& a : s.alarmList) {
        JsonObject item;
        item.DateTime("start", a.start);
        item.DateTime("end", a.end);
        item.Number("peak", a.peak);
        stretches += (stretches.size() > 1 ? "," : "") + item.Close();
    }
    o.Raw("alarm_list", stretches + "]");
    std::string gaps = "[";
    for (const ReportGap& g : s.gapList) {
        JsonObject item;
        item.DateTime("start", g.start);
        item.DateTime("end", g.end);
        gaps += (gaps.size() > 1 ? "," : "") + item.Close();
    }
    o.Raw("gap_list", gaps + "]");
    o.Raw("gap_list_complete", s.gapListComplete ? "true" : "false");
    if (s.metrics) {
        const TimingMetrics& m = *s.metrics;
        JsonObject metrics;
        metrics.Number("warm_up_s", warmUp);
        metrics.Count("reports", m.reports);
        metrics.Number("tau0_s", m.tau0);
        // Extremes of no report are none, as the delays' are.
        metrics.Raw("max_abs", m.reports > 0 ? JsonNumber(m.maxAbsTimeError) : "null");
        metrics.Raw("pk_pk", m.reports > 0 ? JsonNumber(m.peakToPeak) : "null");
        for (const auto& [key, points] : {std::pair{"mtie", &m.mtie}, std::pair{"tdev", &m.tdev}}) {
            std::string list = "[";
            for (const TimingPoint& p : *points) {
                JsonObject item;
                item.Number("tau_s", p.tau);
                item.Number("s", p.value);
                list += (list.size() > 1 ? "," : "") + item.Close();
            }
            metrics.Raw(key, list + "]");
        }
        o.Raw("metrics", metrics.Close());
    }
    if (verdict) {
        JsonObject v;
        v.Raw("pass", verdict->outcome == Verdict::Outcome::kNoData ? "null"
                      : verdict->outcome == Verdict::Outcome::kPass ? "true"
                                                                    : "false");
        std::string checks = "[";
        for (const VerdictCheck& c : verdict->checks) {
            JsonObject item;
            item.String("name", c.name);
            if (c.tau) item.Number("tau_s", *c.tau);
            item.Number("limit", c.limit);
            item.Number("value", c.value);
            item.Raw("pass", c.pass ? "true" : "false");
            checks += (checks.size() > 1 ? "," : "") + item.Close();
        }
        v.Raw("checks", checks + "]");
        o.Raw("verdict", v.Close());
    }
    return o.Close() + "\n";
}

std::string SummaryText(const LogStatistics& s, const RegionalFormat& regional, double warmUp,
                        const Verdict* verdict) {
    auto n = [&](double value) { return TextNumber(value, regional); };
    auto at = [&](double time) {
        const std::string text = DateTime(time, regional, s.secondDecimals);
        return text.empty() ? std::string() : " at " + text;
    };
    std::string text = "Statistics of " + s.log + "\n";
    text += "  " + Plural(s.reports, "report") + ", " + Plural(s.rows, "row") + ", " +
            Plural(s.lines, "line") + "; unreadable: " + Plural(s.unreadableTimes, "date-time") +
            ", " + Plural(s.unreadableDelays, "delay") + "\n";
    if (s.delays > 0) {
        text += "  delay (s): mean " + n(s.mean) + ", stddev " + n(s.stddev) + ", median " +
                n(s.median) + ", p95 " + n(s.p95) + ", p99 " + n(s.p99) + "\n";
        text += "  smallest " + n(s.min) + at(s.minTime) + ", largest " + n(s.max) + at(s.maxTime) +
                "\n";
    } else {
        text += "  delay (s): none readable\n";
    }
    text += "  alarm stretches: " + std::to_string(s.alarmStretches) + ", " + n(s.alarmTotal) +
            " s in all, longest " + n(s.alarmLongest) + " s\n";
    text += "  gaps: " + std::to_string(s.gaps) + " (usual step " + n(s.usualStep) + " s), " +
            n(s.gapTotal) + " s missing in all, longest " + n(s.gapLongest) +
            " s; backward steps: " + std::to_string(s.backwardSteps) + "\n";
    const auto kinds = [](const FrameTally& t) {
        return "UBX " + std::to_string(t.ubx) + ", SiRF " + std::to_string(t.sirf) + ", MediaTek " +
               std::to_string(t.mtk);
    };
    text += "  frames removed: " + kinds(s.frames.removed) +
            "; damaged, left in the text: " + kinds(s.frames.damaged) + "\n";
    if (s.metrics) {
        const TimingMetrics& m = *s.metrics;
        auto g = [&](double value) { return MetricNumber(value, regional); };
        text += "  timing after a warm-up of " + g(warmUp) + " s: " + Plural(m.reports, "report");
        if (m.reports > 0) {
            text += ", tau0 " + g(m.tau0) + " s, largest |time error| " + g(m.maxAbsTimeError) +
                    " s, peak-to-peak " + g(m.peakToPeak) + " s";
        }
        text += "\n";
        for (const auto& [name, points] :
             {std::pair{"MTIE", &m.mtie}, std::pair{"TDEV", &m.tdev}}) {
            if (points->empty()) continue;
            text += std::string("  ") + name + " (s) at tau";
            const char* separator = " ";
            for (const TimingPoint& p : *points) {
                text += separator + g(p.tau) + " s: " + g(p.value);
                separator = ", ";
            }
            text += "\n";
        }
    }
    if (verdict) text += VerdictText(*verdict, regional) + "\n";
    return text;
}

std::string VerdictText(const Verdict& verdict, const RegionalFormat& regional) {
    return VerdictLine(verdict,
                       [&](double value) { return Regional(JsonNumber(value), regional); });
}

std::string UnreadableWarning(const LogStatistics& s) {
    if (s.unreadableTimes == 0 && s.unreadableDelays == 0) return {};
    std::string what;
    if (s.unreadableTimes > 0) what = Plural(s.unreadableTimes, "report date-time");
    if (s.unreadableDelays > 0) {
        if (!what.empty()) what += " and ";
        what += Plural(s.unreadableDelays, "delay");
    }
    return "tarnimex-convert: warning: " + s.log + ": " + what +
           " could not be read and count as 0\n";
}

}  // namespace tarnimex
