// SPDX-License-Identifier: GPL-3.0-or-later
// The receivers' binary frames, built whole with valid checksums:
//   UBX NAV-PVT   B5 62 01 07, payload length 92 (LE), payload,
//                 Fletcher-8 CK_A CK_B over class..payload; 100 bytes.
//   SiRF MID 41   A0 A2, payload length 91 (BE), payload, 15-bit sum of the
//                 payload (BE), B0 B3; 99 bytes.
//   MediaTek      04 24, total length L (LE), message id (LE), data, XOR of
//                 bytes 3..L-3 at byte L-2, 0D 0A; 41 bytes.
//   RTCM 3        D3, 10-bit payload length (BE), payload, CRC-24Q (BE): a
//                 frame the converter does not know, its payload as random
//                 as compressed observations are.
#pragma once

#include <cstddef>
#include <string>

#include "gen/receiver_state.h"
#include "gen/rng.h"

namespace tarnimex::bench {

void AppendUbxNavPvt(std::string& out, const ReceiverState& s);
void AppendSirfGeodetic(std::string& out, const ReceiverState& s);
void AppendMediaTekPosition(std::string& out, const ReceiverState& s);
void AppendRtcm3(std::string& out, Rng& rng, std::size_t payloadLength);

}  // namespace tarnimex::bench
