// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/output/output_rows.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

namespace tarnimex {

namespace {

// A record: the RMC time and the delay as doubles, the lengths of the delay
// text and of the mark, then their bytes. A length below 255 takes one byte;
// 255 announces four more.
constexpr std::size_t kMaxLengthBytes = 5;
// The first chunk of rows: about 11,000 of them.
constexpr std::size_t kFirstChunkSize = 256 << 10;
// Pieces made ahead of the one being written, per thread that makes them.
constexpr std::size_t kPiecesAhead = 2;

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
        // The first in plain pages, which count only as they are filled: a
        // CSV of a few rows would hold a large page. The rest on large pages
        // where there are any: a few page faults instead of one per 4 KiB.
        const std::size_t size = chunks_.empty() ? kFirstChunkSize : kChunkSize;
        chunk.capacity = std::max(needed, size);
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
    if (chunk.records % kPieceRecords == 0) chunk.pieces.push_back(chunk.size);
    ++chunk.records;
    lastStart_ = chunk.size;
    chunk.size = static_cast<std::size_t>(p - chunk.data.get());
    ++count_;
}

void OutputRows::RemoveLast() {
    if (count_ == 0) return;
    Chunk& chunk = chunks_.back();
    chunk.size = lastStart_;
    if (--chunk.records % kPieceRecords == 0) chunk.pieces.pop_back();
    --count_;
}

namespace {

// The text of a piece, in memory that is used again for later pieces.
class Text {
  public:
    void Clear() { size_ = 0; }
    // Room for n more bytes at the end.
    char* Room(std::size_t n) {
        if (capacity_ - size_ < n) {
            const std::size_t capacity = std::max(size_ + n, 2 * capacity_);
            std::unique_ptr<char[]> bigger(new char[capacity]);
            if (size_ > 0) std::memcpy(bigger.get(), data_.get(), size_);
            data_ = std::move(bigger);
            capacity_ = capacity;
        }
        return data_.get() + size_;
    }
    void EndAt(const char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }
    std::string_view View() const { return {data_.get(), size_}; }

  private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0, capacity_ = 0;
};

char* Put(char* out, std::string_view bytes) {
    if (!bytes.empty()) std::memcpy(out, bytes.data(), bytes.size());
    return out + bytes.size();
}

// The rows of the records from p to end, the summary behind the first of them
// when it is given.
void MakeRows(const char* p, const char* end, std::string_view summary, TimeStampWriter& times,
              Text& text) {
    text.Clear();
    const std::size_t timesLength = 2 * times.MaxLength() + 2;
    while (p < end) {
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
        char* out = text.Room(timesLength + delayLength + 1 + markLength + summary.size() + 2);
        out = times.Write(out, time);
        *out++ = ',';
        out = times.Write(out, time - delay / 86400.0);
        *out++ = ',';
        out = Put(out, delayText);
        if (!mark.empty()) {
            *out++ = ',';
            out = Put(out, mark);
        }
        out = Put(out, summary);
        summary = {};
        *out++ = '\r';
        *out++ = '\n';
        text.EndAt(out);
    }
}

}  // namespace

bool OutputRows::WriteAll(std::string_view header, std::string_view summary,
                          const TimeStampWriter& times,
                          const std::function<bool(std::string_view)>& write, int threads) const {
    if (count_ == 0) return true;
    struct Piece {
        const char* begin;
        const char* end;
    };
    std::vector<Piece> pieces;
    for (const Chunk& chunk : chunks_) {
        const char* data = chunk.data.get();
        for (std::size_t i = 0; i < chunk.pieces.size(); ++i) {
            const std::size_t end = i + 1 < chunk.pieces.size() ? chunk.pieces[i + 1] : chunk.size;
            pieces.push_back({data + chunk.pieces[i], data + end});
        }
    }
    if (!write(std::string(header) + "\r\n")) return false;

    const auto makers = static_cast<std::size_t>(std::clamp(threads, 1, 64)) - 1;
    if (makers == 0 || pieces.size() < 2) {
        TimeStampWriter writer = times;
        Text text;
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            MakeRows(pieces[k].begin, pieces[k].end, k == 0 ? summary : "", writer, text);
            if (!write(text.View())) return false;
        }
        return true;
    }

    // Every thread makes pieces, each into the slot of its number, and the
    // caller writes them in order: while the piece it is to write is still
    // being made, it makes one further on. A slot is free again once its piece
    // is written.
    const std::size_t slots = kPiecesAhead * (makers + 1) + 1;
    std::vector<Text> texts(slots);
    std::vector<std::size_t> made(slots, static_cast<std::size_t>(-1));
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t next = 0;     // the next piece to make
    std::size_t written = 0;  // pieces written
    bool stop = false;
    std::exception_ptr error;
    auto make = [&] {
        TimeStampWriter writer = times;
        for (;;) {
            std::size_t k;
            {
                std::unique_lock lock(mutex);
                changed.wait(
                    lock, [&] { return stop || next >= pieces.size() || next < written + slots; });
                if (stop || next >= pieces.size()) return;
                k = next++;
            }
            try {
                MakeRows(pieces[k].begin, pieces[k].end, k == 0 ? summary : "", writer,
                         texts[k % slots]);
            } catch (...) {
                const std::lock_guard lock(mutex);
                if (!error) error = std::current_exception();
                stop = true;
            }
            {
                const std::lock_guard lock(mutex);
                made[k % slots] = k;
            }
            changed.notify_all();
        }
    };
    bool ok = true;
    {
        std::vector<std::jthread> makerThreads;
        try {
            for (std::size_t i = 0; i < std::min(makers, pieces.size()); ++i)
                makerThreads.emplace_back(make);
        } catch (const std::system_error&) {
            // Fewer threads, or none: the caller makes what is left.
        }
        try {
            TimeStampWriter writer = times;
            bool stopped = false;
            for (std::size_t k = 0; k < pieces.size() && ok && !stopped; ++k) {
                for (;;) {
                    std::size_t j;
                    {
                        std::unique_lock lock(mutex);
                        changed.wait(lock, [&] {
                            return made[k % slots] == k || stop ||
                                   (next < pieces.size() && next < written + slots);
                        });
                        stopped = stop;
                        if (made[k % slots] == k || stopped) break;
                        j = next++;
                    }
                    MakeRows(pieces[j].begin, pieces[j].end, j == 0 ? summary : "", writer,
                             texts[j % slots]);
                    {
                        const std::lock_guard lock(mutex);
                        made[j % slots] = j;
                    }
                    changed.notify_all();
                }
                if (stopped) break;
                ok = write(texts[k % slots].View());
                {
                    const std::lock_guard lock(mutex);
                    written = k + 1;
                    if (!ok) stop = true;
                }
                changed.notify_all();
            }
        } catch (...) {
            // The threads stop before the error goes on.
            {
                const std::lock_guard lock(mutex);
                stop = true;
            }
            changed.notify_all();
            throw;
        }
        {
            const std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
    }
    if (error) std::rethrow_exception(error);
    return ok;
}

}  // namespace tarnimex
