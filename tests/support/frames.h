// SPDX-License-Identifier: GPL-3.0-or-later
// Byte builders for test logs: NMEA sentences, the receiver's time-error
// reports, and the three binary frame kinds with checksums that hold (or are
// broken on purpose).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace tarnimex::test {

inline std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

// "$" body "*hh" CR LF with the body's XOR checksum.
inline std::string Nmea(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body) sum ^= c;
    static const char* hex = "0123456789ABCDEF";
    return "$" + body + "*" + hex[sum >> 4] + hex[sum & 15] + "\r\n";
}

// A time-error report as the receivers write it:
// "$GPTXT,01,01,02,RMC delay,<date-time>,<delay>*hh" CR LF.
inline std::string ReportLine(const std::string& dateTime, const std::string& delay) {
    return Nmea("GPTXT,01,01,02,RMC delay," + dateTime + "," + delay);
}

// "2023/07/05 hh:mm:ss" `second` seconds after midnight, then the fraction.
inline std::string ReportTime(int second, const char* fraction = ".000") {
    char time[48];
    std::snprintf(time, sizeof time, "2023/07/05 %02d:%02d:%02d%s", second / 3600 % 24,
                  second / 60 % 60, second % 60, fraction);
    return time;
}

inline std::string Ubx(int cls, int id, const std::string& payload, bool good = true) {
    std::string body;
    body += static_cast<char>(cls);
    body += static_cast<char>(id);
    body += static_cast<char>(payload.size() & 0xFF);
    body += static_cast<char>(payload.size() >> 8);
    body += payload;
    std::uint8_t a = 0, b = 0;
    for (unsigned char c : body) {
        a = static_cast<std::uint8_t>(a + c);
        b = static_cast<std::uint8_t>(b + a);
    }
    if (!good) b = static_cast<std::uint8_t>(b + 1);
    return "\xB5\x62" + body + static_cast<char>(a) + static_cast<char>(b);
}

inline std::string Sirf(const std::string& payload, bool good = true) {
    unsigned sum = 0;
    for (unsigned char c : payload) sum += c;
    sum &= 0x7FFF;
    if (!good) sum ^= 1;
    std::string out = "\xA0\xA2";
    out += static_cast<char>(payload.size() >> 8);
    out += static_cast<char>(payload.size() & 0xFF);
    out += payload;
    out += static_cast<char>(sum >> 8);
    out += static_cast<char>(sum & 0xFF);
    return out + "\xB0\xB3";
}

// MediaTek binary: the length field counts the whole frame, sync to trailer.
inline std::string Mtk(const std::string& payload, bool good = true) {
    const std::size_t length = payload.size() + 7;
    std::string body;
    body += static_cast<char>(length & 0xFF);
    body += static_cast<char>(length >> 8);
    body += payload;
    unsigned char sum = 0;
    for (unsigned char c : body) sum ^= c;
    if (!good) sum ^= 1;
    return "\x04\x24" + body + static_cast<char>(sum) + "\r\n";
}

}  // namespace tarnimex::test
