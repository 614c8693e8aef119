// SPDX-License-Identifier: GPL-3.0-or-later
#include "live/source_address.h"

#include <charconv>

#include "platform/path_names.h"

namespace tarnimex {

namespace {

std::optional<int> Number(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::string Label(std::string_view name) {
    std::string label;
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        label += plain ? c : '_';
    }
    return label.empty() ? "source" : label;
}

}  // namespace

std::optional<SourceAddress> ParseSource(std::string_view text, const SerialLine& line,
                                         std::string& error) {
    SourceAddress address;
    address.text = std::string(text);
    address.line = line;
    const auto fail = [&](const std::string& why) {
        error = "\"" + std::string(text) + "\": " + why;
        return std::nullopt;
    };
    if (text == "-") {
        address.label = "stdin";
        return address;
    }
    const std::size_t colon = text.find(':');
    const std::string_view kind = text.substr(0, colon);
    const std::string_view rest = colon == std::string_view::npos ? "" : text.substr(colon + 1);
    if (kind == "serial") {
        address.kind = SourceKind::Serial;
        const std::size_t at = rest.rfind('@');
        address.path = std::string(rest.substr(0, at));
        if (at != std::string_view::npos) {
            const std::optional<int> baud = Number(rest.substr(at + 1), 1, 100000000);
            if (!baud) return fail("the baud rate is no positive whole number");
            address.line.baud = *baud;
        }
        if (address.path.empty()) return fail("no port after \"serial:\"");
        address.label = Label(FileNamePart(address.path));
    } else if (kind == "tcp") {
        address.kind = SourceKind::Tcp;
        const std::size_t last = rest.rfind(':');
        if (last == std::string_view::npos) return fail("no port: tcp:HOST:PORT");
        std::string_view host = rest.substr(0, last);
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
            host = host.substr(1, host.size() - 2);
        const std::optional<int> port = Number(rest.substr(last + 1), 1, 65535);
        if (host.empty()) return fail("no host: tcp:HOST:PORT");
        if (!port) return fail("the port is no number from 1 to 65535");
        address.host = std::string(host);
        address.port = *port;
        address.label = Label(address.host + "_" + std::to_string(address.port));
    } else if (kind == "file") {
        address.kind = SourceKind::File;
        address.path = std::string(rest);
        if (address.path.empty()) return fail("no file after \"file:\"");
        address.label = Label(FileNamePart(address.path));
    } else {
        return fail("a source is serial:PORT[@BAUD], tcp:HOST:PORT, file:PATH or -");
    }
    return address;
}

}  // namespace tarnimex
