// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/output/output_rows.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tarnimex {

namespace {

// A record: the RMC time and the delay as doubles, the lengths of the delay
// text and of the mark, then their bytes. A length below 255 takes one byte;
// 255 announces four more.
constexpr std::size_t kMaxLengthBytes = 5;
constexpr std::size_t kStagingSize = 256 * 1024;

char* PutLength(char* p, std::size_t length) {
    if (length < 255) {
        *p++ = static_cast<char>(length);
        return p;
    }
    *p++ = static_cast<char>(255);
    const auto wide = static_cast<std::uint32_t>(length);
    std::memcpy(p, &wide, sizeof wide);
    return p + sizeof wide;
}

const char* GetLength(const char* p, std::size_t& length) {
    const auto first = static_cast<unsigned char>(*p++);
    if (first < 255) {
        length = first;
        return p;
    }
    std::uint32_t wide = 0;
    std::memcpy(&wide, p, sizeof wide);
    length = wide;
    return p + sizeof wide;
}

}  // namespace

void OutputRows::Free::operator()(char* p) const {
    FreeLarge(p, bytes);
}

void OutputRows::Add(double time, double delay, std::string_view delayText, std::string_view mark) {
    const std::size_t needed =
        2 * sizeof(double) + 2 * kMaxLengthBytes + delayText.size() + mark.size();
    if (chunks_.empty() || chunks_.back().capacity - chunks_.back().size < needed) {
        // A record never spans chunks; an oversized one gets a chunk of its own.
        if (!chunks_.empty() && chunks_.back().size == 0) chunks_.pop_back();
        Chunk chunk;
        chunk.capacity = needed > kChunkSize ? needed : kChunkSize;
        // On large pages where there are any: a few page faults instead of
        // one per 4 KiB of rows.
        chunk.data = {static_cast<char*>(AllocateLarge(chunk.capacity)), Free{chunk.capacity}};
        chunks_.push_back(std::move(chunk));
    }
    Chunk& chunk = chunks_.back();
    char* p = chunk.data.get() + chunk.size;
    std::memcpy(p, &time, sizeof time);
    std::memcpy(p + sizeof time, &delay, sizeof delay);
    p = PutLength(p + 2 * sizeof(double), delayText.size());
    p = PutLength(p, mark.size());
    // A missing field is an empty view that may point nowhere.
    if (!delayText.empty()) std::memcpy(p, delayText.data(), delayText.size());
    p += delayText.size();
    if (!mark.empty()) std::memcpy(p, mark.data(), mark.size());
    p += mark.size();
    lastStart_ = chunk.size;
    chunk.size = static_cast<std::size_t>(p - chunk.data.get());
    ++count_;
}

void OutputRows::RemoveLast() {
    if (count_ == 0) return;
    chunks_.back().size = lastStart_;
    --count_;
}

bool OutputRows::WriteAll(std::string_view header, std::string_view summary, TimeStampWriter& times,
                          const std::function<bool(std::string_view)>& write) const {
    if (count_ == 0) return true;
    // The two times of a row always fit, however long the regional separators.
    const std::size_t timesLength = 2 * times.MaxLength() + 2;
    const std::size_t capacity = std::max(kStagingSize, timesLength);
    const std::unique_ptr<char[]> staging(new char[capacity]);
    std::size_t used = 0;
    bool ok = true;
    // Makes room for n bytes; false once a write has failed.
    auto room = [&](std::size_t n) {
        if (ok && capacity - used < n) {
            ok = used == 0 || write({staging.get(), used});
            used = 0;
        }
        return ok;
    };
    auto put = [&](std::string_view bytes) {
        if (!room(bytes.size())) return;
        if (bytes.size() > capacity) {
            ok = write(bytes);
        } else {
            std::memcpy(staging.get() + used, bytes.data(), bytes.size());
            used += bytes.size();
        }
    };
    put(header);
    put("\r\n");
    bool first = true;
    for (const Chunk& chunk : chunks_) {
        const char* p = chunk.data.get();
        const char* const end = p + chunk.size;
        while (p < end && ok) {
            double time = 0;
            double delay = 0;
            std::memcpy(&time, p, sizeof time);
            std::memcpy(&delay, p + sizeof time, sizeof delay);
            std::size_t delayLength = 0;
            std::size_t markLength = 0;
            p = GetLength(GetLength(p + 2 * sizeof(double), delayLength), markLength);
            const std::string_view delayText(p, delayLength);
            const std::string_view mark(p + delayLength, markLength);
            p += delayLength + markLength;
            if (!room(timesLength)) break;
            char* out = times.Write(staging.get() + used, time);
            *out++ = ',';
            out = times.Write(out, time - delay / 86400.0);
            *out++ = ',';
            used = static_cast<std::size_t>(out - staging.get());
            put(delayText);
            if (!mark.empty()) {
                put(",");
                put(mark);
            }
            if (first) {
                put(summary);
                first = false;
            }
            put("\r\n");
        }
    }
    return room(capacity);
}

}  // namespace tarnimex
