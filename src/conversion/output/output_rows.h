// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV data rows of one log, held until reading ends. A row is kept as its
// values (RMC time, delay, the delay as written, the alarm mark) rather than as
// text: less than half the memory, and the text is made once, into a small
// buffer that goes straight to the file. Records live in large chunks that are
// never moved; only the last row can be taken back, and the summary goes
// behind the first row when the file is written. Every 4096th record's place
// is noted, so that the text of a long CSV is made in pieces on several
// threads and written in order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "conversion/reports/time_stamp.h"
#include "platform/large_memory.h"

namespace tarnimex {

class OutputRows {
  public:
    static constexpr std::size_t kChunkSize = kLargeBlockBytes;

    // A row: "RMC time,UTC time,delay text" and ",mark" when there is a mark;
    // the UTC time is the RMC time less delay seconds.
    void Add(double time, double delay, std::string_view delayText, std::string_view mark);
    void RemoveLast();
    bool Empty() const { return count_ == 0; }
    std::int64_t Count() const { return count_; }

    // The header line, then every row with CR LF and the summary appended to the
    // first, through write, on the calling thread. The rows' text is made on
    // up to `threads` threads, one of them the caller's. Returns false when
    // write does, and then writes no more.
    bool WriteAll(std::string_view header, std::string_view summary, const TimeStampWriter& times,
                  const std::function<bool(std::string_view)>& write, int threads = 1) const;

  private:
    struct Free {
        std::size_t bytes;  // as allocated
        void operator()(char* p) const;
    };
    struct Chunk {
        std::unique_ptr<char[], Free> data;
        std::size_t size = 0;
        std::size_t capacity = 0;
        std::size_t records = 0;
        std::vector<std::size_t> pieces;  // where every kPieceRecords-th record starts
    };
    static constexpr std::size_t kPieceRecords = 4096;
    std::vector<Chunk> chunks_;
    std::size_t lastStart_ = 0;  // offset of the last record in the last chunk
    std::int64_t count_ = 0;
};

}  // namespace tarnimex
