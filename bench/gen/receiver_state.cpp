// SPDX-License-Identifier: GPL-3.0-or-later
#include "gen/receiver_state.h"

#include <algorithm>
#include <cmath>

#include "gen/civil_time.h"

namespace tarnimex::bench {
namespace {

constexpr double kHomeLatitude = 48.117300;
constexpr double kHomeLongitude = 11.516667;
constexpr double kHomeAltitude = 545.4;
constexpr double kTwoPi = 6.283185307179586;

int SnrFor(double elevation, Rng& rng) {
    if (elevation < 5.0) return 0;
    const double snr = 22.0 + elevation * 0.3 + rng.Normal() * 2.0;
    return std::clamp(static_cast<int>(std::lround(snr)), 10, 54);
}

}  // namespace

int ReceiverState::SatellitesUsed() const {
    int used = 0;
    for (int i = 0; i < satellitesInView; ++i) {
        if (satellites[i].snr >= 20 && satellites[i].elevation >= 10.0) ++used;
    }
    return used;
}

ReceiverState StartReceiver(Rng& rng) {
    ReceiverState s{};
    s.unixSeconds = DaysFromCivil(CivilDate{2024, 6, 1}) * 86400;
    s.latitude = kHomeLatitude;
    s.longitude = kHomeLongitude;
    s.altitude = kHomeAltitude;
    s.geoidSeparation = 47.9;
    s.satellitesInView = 12;
    int prn = 1 + static_cast<int>(rng.Below(4));
    for (auto& sat : s.satellites) {
        sat.prn = prn;
        prn += 1 + static_cast<int>(rng.Below(2));  // PRNs stay within 1..32
        sat.phase = rng.Uniform(0.0, kTwoPi);
        sat.azimuth = rng.Uniform(0.0, 360.0);
    }
    AdvanceOneSecond(s, rng);
    return s;
}

void AdvanceOneSecond(ReceiverState& s, Rng& rng) {
    ++s.unixSeconds;

    // A static receiver: the fix jitters by a metre or two around home.
    constexpr double kMetresPerDegree = 111320.0;
    s.latitude = kHomeLatitude + rng.Normal() * 1.2 / kMetresPerDegree;
    s.longitude = kHomeLongitude + rng.Normal() * 1.2 / (kMetresPerDegree * 0.668);
    s.altitude = kHomeAltitude + rng.Normal() * 2.5;
    s.speedKnots = std::fabs(rng.Normal()) * 0.05;
    s.course = rng.Uniform(0.0, 360.0);

    // A GPS orbit takes half a sidereal day; each satellite is up most of it.
    constexpr double kPhasePerSecond = kTwoPi / 43082.0;
    for (auto& sat : s.satellites) {
        sat.phase = std::fmod(sat.phase + kPhasePerSecond, kTwoPi);
        sat.elevation = std::max(0.0, 39.0 + 49.0 * std::sin(sat.phase));
        sat.azimuth = std::fmod(sat.azimuth + 0.004, 360.0);
        sat.snr = SnrFor(sat.elevation, rng);
    }
    if (rng.Chance(1.0 / 600)) s.satellitesInView = 9 + static_cast<int>(rng.Below(4));

    const double used = std::max(4, s.SatellitesUsed());
    s.hdop = std::max(0.5, 0.4 + 6.0 / used + rng.Normal() * 0.03);
    s.vdop = s.hdop * 1.4;
    s.pdop = std::sqrt(s.hdop * s.hdop + s.vdop * s.vdop);
}

}  // namespace tarnimex::bench
