// SPDX-License-Identifier: GPL-3.0-or-later
// The receivers' binary frames, built whole with valid checksums:
//   UBX NAV-PVT   B5 62 01 07, payload length 92 (LE), payload,
//                 Fletcher-8 CK_A CK_B over class..payload; 100 bytes.
//   SiRF MID 41   A0 A2, payload length 91 (BE), payload, 15-bit sum of the
//                 payload (BE), B0 B3; 99 bytes.
//   MediaTek      04 24, total length L (LE), message id (LE), data, XOR of
//                 bytes 3..L-3 at byte L-2, 0D 0A; 41 bytes.
#pragma once

#include <string>

#include "gen/receiver_state.h"

namespace tarnimex::bench {

void AppendUbxNavPvt(std::string& out, const ReceiverState& s);
void AppendSirfGeodetic(std::string& out, const ReceiverState& s);
void AppendMediaTekPosition(std::string& out, const ReceiverState& s);

}  // namespace tarnimex::bench
