// SPDX-License-Identifier: GPL-3.0-or-later
// What a source to watch is, as the command line names it:
// "serial:PORT[@BAUD]", "tcp:HOST:PORT", "file:PATH" or "-" (standard input).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnimex {

enum class SourceKind { Serial, Tcp, File, StandardInput };
enum class Parity { None, Even, Odd, Mark, Space };
enum class FlowControl { None, Hardware, Software };

// A serial port's line settings: 8N1 without flow control by default.
struct SerialLine {
    int baud = 9600;
    int dataBits = 8;
    Parity parity = Parity::None;
    int stopBits = 1;  // 1 or 2
    FlowControl flow = FlowControl::None;
};

struct SourceAddress {
    SourceKind kind = SourceKind::StandardInput;
    std::string text;  // as given
    std::string path;  // the port's or the file's name
    std::string host;  // without the brackets of an IPv6 address
    int port = 0;
    SerialLine line;
    // What the source's logs are named by: the port's or the file's name, or
    // "HOST_PORT", or "stdin"; only letters, digits, ".", "-" and "_".
    std::string label;
};

// The source, with serial ports set to line (a baud rate after "@" wins);
// nullopt with the reason when the text names none.
std::optional<SourceAddress> ParseSource(std::string_view text, const SerialLine& line,
                                         std::string& error);

}  // namespace tarnimex
