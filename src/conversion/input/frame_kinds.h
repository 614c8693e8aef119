// SPDX-License-Identifier: GPL-3.0-or-later
// The binary frame kinds a log may interleave with its text, and the layout of
// each, named once: the reader's byte steps and its bulk moves both read them.
// Byte numbers count from the first sync byte as 1; "total" is the frame's
// whole length, sync bytes included.
#pragma once

#include <array>
#include <cstdint>

namespace tarnimex {

enum class FrameKind : unsigned char { Text, SirfBinary, Ubx, MediatekBinary };

enum class ByteOrder : unsigned char { BigEndian, LittleEndian };

// How the running check over a frame's bytes is formed and compared.
enum class FrameCheck : unsigned char {
    Sum15,     // 16-bit sum; the stored value is compared with its low 15 bits
    Fletcher,  // the two 8-bit Fletcher sums, first then second
    Xor,       // 8-bit XOR
};

struct FrameLayout {
    FrameKind kind;
    std::array<unsigned char, 2> sync;  // the first two bytes
    std::int32_t lengthAt;              // byte number of the 2-byte length field's first byte
    ByteOrder lengthOrder;
    std::int32_t lengthExtra;    // total minus the length field's value
    std::int32_t firstChecked;   // first byte the check covers
    std::int32_t checkedBefore;  // the check covers bytes up to total minus this
    FrameCheck check;
    std::int32_t checkWidth;               // bytes of the stored check value
    std::int32_t checkBefore;              // its last byte is byte total minus this
    std::array<unsigned char, 2> trailer;  // ends the frame where met from byte 3 on
    bool hasTrailer;                       // else the frame ends by its length

    // Byte number of the length field's last byte: the total is known from it on.
    constexpr std::int32_t LengthEnd() const { return lengthAt + 1; }
    constexpr std::int32_t ReadLength(unsigned char first, unsigned char second) const {
        return lengthOrder == ByteOrder::BigEndian ? first * 256 + second : first + second * 256;
    }
};

// No frame is followed past this byte, sync bytes included.
constexpr std::int32_t kMaxFrameBytes = 2048;

// One row per frame kind, in the enum's order.
inline constexpr std::array<FrameLayout, 3> kFrameLayouts{{
    // SiRF binary: A0 A2, payload length big-endian, payload, 15-bit sum, B0 B3.
    {.kind = FrameKind::SirfBinary,
     .sync = {0xA0, 0xA2},
     .lengthAt = 3,
     .lengthOrder = ByteOrder::BigEndian,
     .lengthExtra = 8,
     .firstChecked = 5,
     .checkedBefore = 4,
     .check = FrameCheck::Sum15,
     .checkWidth = 2,
     .checkBefore = 2,
     .trailer = {0xB0, 0xB3},
     .hasTrailer = true},
    // UBX: B5 62, class, id, payload length little-endian, payload, Fletcher A and B.
    {.kind = FrameKind::Ubx,
     .sync = {0xB5, 0x62},
     .lengthAt = 5,
     .lengthOrder = ByteOrder::LittleEndian,
     .lengthExtra = 8,
     .firstChecked = 3,
     .checkedBefore = 2,
     .check = FrameCheck::Fletcher,
     .checkWidth = 2,
     .checkBefore = 0,
     .trailer = {},
     .hasTrailer = false},
    // MediaTek binary: 04 24, total length little-endian, payload, XOR, two end bytes unchecked.
    {.kind = FrameKind::MediatekBinary,
     .sync = {0x04, 0x24},
     .lengthAt = 3,
     .lengthOrder = ByteOrder::LittleEndian,
     .lengthExtra = 0,
     .firstChecked = 3,
     .checkedBefore = 3,
     .check = FrameCheck::Xor,
     .checkWidth = 1,
     .checkBefore = 2,
     .trailer = {},
     .hasTrailer = false},
}};

constexpr const FrameLayout& LayoutOf(FrameKind kind) {
    return kFrameLayouts[static_cast<std::size_t>(kind) - 1];
}

// The frame kind whose first sync byte is b, else Text.
inline constexpr std::array<FrameKind, 256> kFrameByFirstSync = [] {
    std::array<FrameKind, 256> kinds{};
    for (const FrameLayout& layout : kFrameLayouts) kinds[layout.sync[0]] = layout.kind;
    return kinds;
}();

// The frame kind whose two sync bytes are p then b, else Text.
constexpr FrameKind FrameStartedBy(unsigned char p, unsigned char b) {
    const FrameKind kind = kFrameByFirstSync[p];
    return kind != FrameKind::Text && b == LayoutOf(kind).sync[1] ? kind : FrameKind::Text;
}

// Whether b is the first sync byte of a frame whose second sync byte is plain
// text (0x20..0x7F): text that follows it cannot be taken in bulk.
constexpr bool OpensFrameBeforeText(unsigned char b) {
    for (const FrameLayout& layout : kFrameLayouts) {
        if (b == layout.sync[0] && layout.sync[1] >= 0x20 && layout.sync[1] <= 0x7F) return true;
    }
    return false;
}

static_assert(
    [] {
        for (std::size_t i = 0; i < kFrameLayouts.size(); ++i) {
            if (static_cast<std::size_t>(kFrameLayouts[i].kind) != i + 1) return false;
            for (std::size_t j = 0; j < i; ++j) {
                if (kFrameLayouts[i].sync[0] == kFrameLayouts[j].sync[0]) return false;
            }
        }
        return true;
    }(),
    "frame layouts follow the enum's order and differ in their first sync byte");

}  // namespace tarnimex
