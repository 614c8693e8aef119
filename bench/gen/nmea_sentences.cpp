// SPDX-License-Identifier: GPL-3.0-or-later
#include "gen/nmea_sentences.h"

#include <cmath>

#include "gen/civil_time.h"
#include "gen/text_format.h"

namespace tarnimex::bench {
namespace {

// Opens a sentence; Finish closes it with the XOR of everything between "$" and "*".
std::size_t Begin(std::string& out, const char* address) {
    const std::size_t start = out.size();
    out += address;
    return start;
}

void Finish(std::string& out, std::size_t start) {
    unsigned sum = 0;
    for (std::size_t i = start + 1; i < out.size(); ++i) sum ^= static_cast<unsigned char>(out[i]);
    out.push_back('*');
    AppendHex2(out, sum);
    out += "\r\n";
}

struct Clock {
    CivilDate date;
    int hour;
    int minute;
    int second;
};

Clock ClockOf(std::int64_t unixSeconds) {
    const std::int64_t days = unixSeconds / 86400;
    const int secondOfDay = static_cast<int>(unixSeconds - days * 86400);
    return Clock{CivilFromDays(days), secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60};
}

void AppendHhmmss(std::string& out, const Clock& c) {
    AppendUint(out, static_cast<std::uint64_t>(c.hour), 2);
    AppendUint(out, static_cast<std::uint64_t>(c.minute), 2);
    AppendUint(out, static_cast<std::uint64_t>(c.second), 2);
    out += ".00";
}

// ddmm.mmmm or dddmm.mmmm, then the hemisphere letter.
void AppendAngle(std::string& out, double degrees, int degreeDigits, char positive, char negative) {
    const double magnitude = std::fabs(degrees);
    auto tenThousandths = static_cast<std::uint64_t>(std::llround(magnitude * 600000.0));
    AppendUint(out, tenThousandths / 600000, degreeDigits);
    AppendFixed(out, static_cast<double>(tenThousandths % 600000) / 10000.0, 4, 2);
    out.push_back(',');
    out.push_back(degrees < 0 ? negative : positive);
}

void AppendPosition(std::string& out, const ReceiverState& s) {
    AppendAngle(out, s.latitude, 2, 'N', 'S');
    out.push_back(',');
    AppendAngle(out, s.longitude, 3, 'E', 'W');
}

}  // namespace

void AppendGga(std::string& out, const ReceiverState& s) {
    const std::size_t start = Begin(out, "$GPGGA,");
    AppendHhmmss(out, ClockOf(s.unixSeconds));
    out.push_back(',');
    AppendPosition(out, s);
    out += ",1,";
    AppendUint(out, static_cast<std::uint64_t>(s.SatellitesUsed()), 2);
    out.push_back(',');
    AppendFixed(out, s.hdop, 2);
    out.push_back(',');
    AppendFixed(out, s.altitude, 1);
    out += ",M,";
    AppendFixed(out, s.geoidSeparation, 1);
    out += ",M,,";
    Finish(out, start);
}

void AppendRmc(std::string& out, const ReceiverState& s) {
    const Clock c = ClockOf(s.unixSeconds);
    const std::size_t start = Begin(out, "$GPRMC,");
    AppendHhmmss(out, c);
    out += ",A,";
    AppendPosition(out, s);
    out.push_back(',');
    AppendFixed(out, s.speedKnots, 3);
    out.push_back(',');
    AppendFixed(out, s.course, 2);
    out.push_back(',');
    AppendUint(out, static_cast<std::uint64_t>(c.date.day), 2);
    AppendUint(out, static_cast<std::uint64_t>(c.date.month), 2);
    AppendUint(out, static_cast<std::uint64_t>(c.date.year % 100), 2);
    out += ",,,A";
    Finish(out, start);
}

void AppendGsa(std::string& out, const ReceiverState& s) {
    const std::size_t start = Begin(out, "$GPGSA,A,3,");
    int listed = 0;
    for (int i = 0; i < s.satellitesInView; ++i) {
        const Satellite& sat = s.satellites[i];
        if (sat.snr >= 20 && sat.elevation >= 10.0) {
            AppendUint(out, static_cast<std::uint64_t>(sat.prn), 2);
            out.push_back(',');
            ++listed;
        }
    }
    for (; listed < 12; ++listed) out.push_back(',');
    AppendFixed(out, s.pdop, 1);
    out.push_back(',');
    AppendFixed(out, s.hdop, 1);
    out.push_back(',');
    AppendFixed(out, s.vdop, 1);
    Finish(out, start);
}

void AppendGsv(std::string& out, const ReceiverState& s, int part) {
    const std::size_t start = Begin(out, "$GPGSV,3,");
    AppendUint(out, static_cast<std::uint64_t>(part + 1));
    out.push_back(',');
    AppendUint(out, static_cast<std::uint64_t>(s.satellitesInView), 2);
    for (int i = part * 4; i < part * 4 + 4 && i < s.satellitesInView; ++i) {
        const Satellite& sat = s.satellites[i];
        out.push_back(',');
        AppendUint(out, static_cast<std::uint64_t>(sat.prn), 2);
        out.push_back(',');
        AppendUint(out, static_cast<std::uint64_t>(std::lround(sat.elevation)), 2);
        out.push_back(',');
        AppendUint(out, static_cast<std::uint64_t>(std::lround(sat.azimuth)) % 360, 3);
        out.push_back(',');
        if (sat.snr > 0) AppendUint(out, static_cast<std::uint64_t>(sat.snr), 2);
    }
    Finish(out, start);
}

void AppendVtg(std::string& out, const ReceiverState& s) {
    const std::size_t start = Begin(out, "$GPVTG,");
    AppendFixed(out, s.course, 2);
    out += ",T,,M,";
    AppendFixed(out, s.speedKnots, 3);
    out += ",N,";
    AppendFixed(out, s.speedKnots * 1.852, 3);
    out += ",K,A";
    Finish(out, start);
}

void AppendDelayReport(std::string& out, std::int64_t unixSeconds, int milliseconds,
                       double delaySeconds) {
    const Clock c = ClockOf(unixSeconds);
    const std::size_t start = Begin(out, "$GPTXT,01,01,02,RMC delay,");
    AppendUint(out, static_cast<std::uint64_t>(c.date.year), 4);
    out.push_back('/');
    AppendUint(out, static_cast<std::uint64_t>(c.date.month), 2);
    out.push_back('/');
    AppendUint(out, static_cast<std::uint64_t>(c.date.day), 2);
    out.push_back(' ');
    AppendUint(out, static_cast<std::uint64_t>(c.hour), 2);
    out.push_back(':');
    AppendUint(out, static_cast<std::uint64_t>(c.minute), 2);
    out.push_back(':');
    AppendUint(out, static_cast<std::uint64_t>(c.second), 2);
    out.push_back('.');
    AppendUint(out, static_cast<std::uint64_t>(milliseconds), 3);
    out.push_back(',');
    AppendFixed(out, delaySeconds, 3);
    Finish(out, start);
}

}  // namespace tarnimex::bench
