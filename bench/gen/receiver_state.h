// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated receiver behind one epoch of output: its clock, a slowly
// wandering position (a receiver on a bench, with the usual jitter) and the
// satellites in view. Sentences and frames are all written from this state,
// so the text and the binary content of an epoch agree with each other.
#pragma once

#include <array>
#include <cstdint>

#include "gen/rng.h"

namespace tarnimex::bench {

struct Satellite {
    int prn;
    double phase;      // radians along its orbit
    double elevation;  // degrees, 0 below the horizon
    double azimuth;    // degrees
    int snr;           // dB-Hz, 0 when not tracked
};

struct ReceiverState {
    std::int64_t unixSeconds;  // the epoch's UTC time, whole seconds
    double latitude;           // degrees, north positive
    double longitude;          // degrees, east positive
    double altitude;           // metres above mean sea level
    double geoidSeparation;    // metres
    double speedKnots;
    double course;  // degrees true
    double hdop;
    double vdop;
    double pdop;
    int satellitesInView;  // 9..12
    std::array<Satellite, 12> satellites;

    int SatellitesUsed() const;
};

// A receiver at a fixed start time and place; the seed varies the rest.
ReceiverState StartReceiver(Rng& rng);

// Moves the receiver on by one second.
void AdvanceOneSecond(ReceiverState& state, Rng& rng);

}  // namespace tarnimex::bench
