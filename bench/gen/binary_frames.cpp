// SPDX-License-Identifier: GPL-3.0-or-later
#include "gen/binary_frames.h"

#include <cmath>
#include <cstdint>

#include "gen/civil_time.h"

namespace tarnimex::bench {
namespace {

void PutLe(std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutBe(std::string& out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint64_t Signed(std::int64_t v) {
    return static_cast<std::uint64_t>(v);
}

unsigned char ByteAt(const std::string& out, std::size_t i) {
    return static_cast<unsigned char>(out[i]);
}

struct UtcParts {
    CivilDate date;
    int hour;
    int minute;
    int second;
    std::int64_t gpsWeek;
    std::int64_t gpsMillisecondOfWeek;
};

UtcParts PartsOf(std::int64_t unixSeconds) {
    constexpr std::int64_t kGpsEpochDays = DaysFromCivil(CivilDate{1980, 1, 6});
    constexpr std::int64_t kLeapSeconds = 18;
    const std::int64_t days = unixSeconds / 86400;
    const int secondOfDay = static_cast<int>(unixSeconds - days * 86400);
    const std::int64_t gpsSeconds = unixSeconds - kGpsEpochDays * 86400 + kLeapSeconds;
    return UtcParts{CivilFromDays(days), secondOfDay / 3600,  secondOfDay / 60 % 60,
                    secondOfDay % 60,    gpsSeconds / 604800, gpsSeconds % 604800 * 1000};
}

std::int64_t Scaled(double v, double scale) {
    return std::llround(v * scale);
}

}  // namespace

void AppendUbxNavPvt(std::string& out, const ReceiverState& s) {
    const UtcParts t = PartsOf(s.unixSeconds);
    const std::size_t start = out.size();
    out += "\xB5\x62\x01\x07";
    PutLe(out, 92, 2);
    PutLe(out, Signed(t.gpsMillisecondOfWeek), 4);  // iTOW
    PutLe(out, Signed(t.date.year), 2);
    out.push_back(static_cast<char>(t.date.month));
    out.push_back(static_cast<char>(t.date.day));
    out.push_back(static_cast<char>(t.hour));
    out.push_back(static_cast<char>(t.minute));
    out.push_back(static_cast<char>(t.second));
    out.push_back('\x37');       // valid: date, time, fully resolved, magnetic
    PutLe(out, 25, 4);           // tAcc, ns
    PutLe(out, Signed(-12), 4);  // nano
    out.push_back('\x03');       // fixType: 3D
    out.push_back('\x01');       // flags: gnssFixOK
    out.push_back('\xE0');       // flags2: confirmed date and time
    out.push_back(static_cast<char>(s.SatellitesUsed()));
    PutLe(out, Signed(Scaled(s.longitude, 1e7)), 4);
    PutLe(out, Signed(Scaled(s.latitude, 1e7)), 4);
    PutLe(out, Signed(Scaled(s.altitude + s.geoidSeparation, 1e3)), 4);  // height
    PutLe(out, Signed(Scaled(s.altitude, 1e3)), 4);                      // hMSL
    PutLe(out, Signed(Scaled(s.hdop * 900.0, 1.0)), 4);                  // hAcc, mm
    PutLe(out, Signed(Scaled(s.vdop * 1300.0, 1.0)), 4);                 // vAcc, mm
    const double speed = s.speedKnots * 514.444;                         // mm/s
    const double course = s.course * 0.017453292519943295;
    PutLe(out, Signed(Scaled(speed * std::cos(course), 1.0)), 4);  // velN
    PutLe(out, Signed(Scaled(speed * std::sin(course), 1.0)), 4);  // velE
    PutLe(out, 0, 4);                                              // velD
    PutLe(out, Signed(Scaled(speed, 1.0)), 4);                     // gSpeed
    PutLe(out, Signed(Scaled(s.course, 1e5)), 4);                  // headMot
    PutLe(out, 380, 4);                                            // sAcc
    PutLe(out, 18000000, 4);                                       // headAcc
    PutLe(out, Signed(Scaled(s.pdop, 100.0)), 2);
    PutLe(out, 0, 6);  // flags3, reserved
    PutLe(out, 0, 4);  // headVeh
    PutLe(out, 0, 2);  // magDec
    PutLe(out, 0, 2);  // magAcc

    unsigned a = 0;
    unsigned b = 0;
    for (std::size_t i = start + 2; i < out.size(); ++i) {
        a = (a + ByteAt(out, i)) & 0xFF;
        b = (b + a) & 0xFF;
    }
    out.push_back(static_cast<char>(a));
    out.push_back(static_cast<char>(b));
}

void AppendSirfGeodetic(std::string& out, const ReceiverState& s) {
    const UtcParts t = PartsOf(s.unixSeconds);
    const std::size_t start = out.size();
    out += "\xA0\xA2";
    PutBe(out, 91, 2);
    const std::size_t payload = out.size();
    out.push_back('\x29');  // message id 41
    PutBe(out, 0, 2);       // nav valid
    PutBe(out, 0x0204, 2);  // nav type: 3D fix, DOP mask
    PutBe(out, Signed(t.gpsWeek), 2);
    PutBe(out, Signed(t.gpsMillisecondOfWeek), 4);
    PutBe(out, Signed(t.date.year), 2);
    out.push_back(static_cast<char>(t.date.month));
    out.push_back(static_cast<char>(t.date.day));
    out.push_back(static_cast<char>(t.hour));
    out.push_back(static_cast<char>(t.minute));
    PutBe(out, Signed(t.second * 1000), 2);
    std::uint32_t satelliteMask = 0;
    for (int i = 0; i < s.satellitesInView; ++i) satelliteMask |= 1u << (s.satellites[i].prn - 1);
    PutBe(out, satelliteMask, 4);
    PutBe(out, Signed(Scaled(s.latitude, 1e7)), 4);
    PutBe(out, Signed(Scaled(s.longitude, 1e7)), 4);
    PutBe(out, Signed(Scaled(s.altitude + s.geoidSeparation, 100.0)), 4);
    PutBe(out, Signed(Scaled(s.altitude, 100.0)), 4);
    out.push_back('\x15');                                          // map datum: WGS 84
    PutBe(out, Signed(Scaled(s.speedKnots * 0.514444, 100.0)), 2);  // SOG, cm/s
    PutBe(out, Signed(Scaled(s.course, 100.0)), 2);
    PutBe(out, 0, 2);                                     // magnetic variation
    PutBe(out, 0, 2);                                     // climb rate
    PutBe(out, 0, 2);                                     // heading rate
    PutBe(out, Signed(Scaled(s.hdop * 900.0, 1.0)), 4);   // EHPE, cm
    PutBe(out, Signed(Scaled(s.vdop * 1300.0, 1.0)), 4);  // EVPE, cm
    PutBe(out, 0, 4);                                     // ETE
    PutBe(out, 38, 2);                                    // EHVE
    PutBe(out, 96234, 4);                                 // clock bias, cm
    PutBe(out, 1200, 4);                                  // clock bias error
    PutBe(out, Signed(-9450), 4);                         // clock drift, cm/s
    PutBe(out, 45, 4);                                    // clock drift error
    PutBe(out, 0, 4);                                     // distance
    PutBe(out, 0, 2);                                     // distance error
    PutBe(out, 18000, 2);                                 // heading error
    out.push_back(static_cast<char>(s.SatellitesUsed()));
    out.push_back(static_cast<char>(std::lround(s.hdop * 5.0)));
    out.push_back('\x00');  // additional mode info

    // A B0 B3 pair anywhere after the sync would end a SiRF frame early; a
    // receiver's value that happens to hold one is off by one bit here instead.
    for (std::size_t i = start + 2; i + 1 < out.size(); ++i) {
        if (ByteAt(out, i) == 0xB0 && ByteAt(out, i + 1) == 0xB3) out[i + 1] = '\xB2';
    }

    unsigned sum = 0;
    for (std::size_t i = payload; i < out.size(); ++i) sum = (sum + ByteAt(out, i)) & 0xFFFF;
    PutBe(out, sum & 0x7FFF, 2);
    out += "\xB0\xB3";
}

void AppendMediaTekPosition(std::string& out, const ReceiverState& s) {
    const UtcParts t = PartsOf(s.unixSeconds);
    constexpr int kTotalLength = 41;
    const std::size_t start = out.size();
    out += "\x04\x24";
    PutLe(out, kTotalLength, 2);
    PutLe(out, 0x0002, 2);  // message id: navigation data
    PutLe(out, Signed(Scaled(s.latitude, 1e6)), 4);
    PutLe(out, Signed(Scaled(s.longitude, 1e6)), 4);
    PutLe(out, Signed(Scaled(s.altitude, 100.0)), 4);
    PutLe(out, Signed(Scaled(s.speedKnots * 1.852, 100.0)), 4);  // km/h
    PutLe(out, Signed(Scaled(s.course, 100.0)), 4);
    out.push_back(static_cast<char>(3));  // fix type
    out.push_back(static_cast<char>(s.SatellitesUsed()));
    PutLe(out, Signed(t.date.year % 100 * 10000 + t.date.month * 100 + t.date.day), 4);
    PutLe(out, Signed((t.hour * 10000 + t.minute * 100 + t.second) * 1000), 4);
    PutLe(out, Signed(Scaled(s.hdop, 100.0)), 2);

    unsigned sum = 0;
    for (std::size_t i = start + 2; i < out.size(); ++i) sum ^= ByteAt(out, i);
    out.push_back(static_cast<char>(sum));
    out += "\r\n";
}

void AppendRtcm3(std::string& out, Rng& rng, std::size_t payloadLength) {
    const std::size_t start = out.size();
    out.push_back('\xD3');
    PutBe(out, payloadLength & 0x3FF, 2);
    for (std::size_t i = 0; i < payloadLength; i += 8) {
        const std::uint64_t bits = rng.Next();
        for (std::size_t k = i; k < payloadLength && k < i + 8; ++k)
            out.push_back(static_cast<char>(bits >> (8 * (k - i))));
    }
    constexpr std::uint32_t kCrc24Q = 0x1864CFB;
    std::uint32_t crc = 0;
    for (std::size_t i = start; i < out.size(); ++i) {
        crc ^= static_cast<std::uint32_t>(ByteAt(out, i)) << 16;
        for (int bit = 0; bit < 8; ++bit) {
            crc <<= 1;
            if ((crc & 0x1000000) != 0) crc ^= kCrc24Q;
        }
    }
    PutBe(out, crc & 0xFFFFFF, 3);
}

}  // namespace tarnimex::bench
