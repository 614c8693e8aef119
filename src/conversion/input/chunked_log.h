// SPDX-License-Identifier: GPL-3.0-or-later
// One large log read on several threads.
//
// The log is cut into chunks at byte offsets; a thread reads each chunk with a
// reader of its own, which starts as if a line had just ended at the cut, and
// finds the chunk's reports. That start is only a guess: the cut may fall in a
// line or a binary frame. So each reader notes the points where it completes a
// line, densely near both ends of its chunk, and reads on past the chunk's end
// for a while. Two readers that complete a line at the same offset are in the
// same state from there on (text, an empty line, the same last byte), so the
// first such offset shared by the reader of chunk k, whose state is trusted,
// and the reader of chunk k+1 is their seam: lines and reports of chunk k up to
// it, of chunk k+1 after it. Where they share none (a cut in a long stretch of
// binary data, or lines longer than a reader reads past its end), chunk k+1 is
// read again from chunk k's last point until it comes to a line end that chunk
// k+1's reader noted, and from there on chunk k+1's reader is trusted.
//
// The stretches come out in the log's order, with exactly the lines, reports
// and frames one reader gives. What one reader's BytesRead and frame counts
// were after any line is rebuilt by reading again from the nearest point
// before it, at most kPointLines lines. Bad content never throws; an unreadable
// file throws IoError when the stretch that needs it is asked for.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "conversion/input/log_reader.h"
#include "conversion/input/seekable_log.h"
#include "conversion/reports/report_finder.h"

namespace tarnimex {

struct ChunkPlan {
    // Threads reading chunks; 1 reads every log with one reader, on the caller's thread.
    int threads = DefaultThreads();
    std::int64_t chunkBytes = 4 << 20;
    // Smaller logs are read by one reader: threads would not pay for themselves.
    std::int64_t minimumLogBytes = 16 << 20;
    // Near each end of its chunk a reader notes every line it completes, over
    // at least so many lines and bytes, and reads as far past the chunk's end.
    std::int64_t seamLines = 16;
    std::int64_t seamBytes = 16 << 10;
    // But never further past its end than this: with lines of several MiB the
    // lines would cost more than the chunk (the seam is then found by reading
    // again from the last line end).
    std::int64_t overrunBytes = 1 << 20;

    static int DefaultThreads();
};

// A report as a chunk's reader found it: 32 bytes, as a dense chunk holds
// tens of thousands and several chunks are read at once.
struct FoundReport {
    std::int64_t line;  // lines the chunk's reader completed before the report's line
    double time;
    double delay;          // NaN where the text is no number (a number read is never NaN)
    std::size_t textSize;  // the delay as written: so many next bytes of the chunk's texts
};
static_assert(sizeof(FoundReport) == 32);

// Where a chunk's reader completed a line (or started).
struct LinePoint {
    std::int64_t position = 0;  // the log's offset just past the line end
    std::int64_t lines = 0;     // lines the reader completed up to here
    std::size_t reports = 0;    // reports it found up to here
    std::size_t texts = 0;      // and the bytes of their delays' texts
    FrameCounts frames;         // frames it met up to here
    unsigned char prevByte = 0;
};

struct ChunkRead {
    std::vector<LinePoint> points;  // the start, then line ends, in order
    LinePoint end;                  // where the reader stopped
    bool reachedEnd = false;        // it met the end of the log
    bool cut = false;               // stopped early: the run was aborted
    // Read again up to a line end the next chunk's reader noted, there: its
    // index among that reader's points.
    std::optional<std::size_t> met;
    // In plain pages, which count only as they are filled: a large page for
    // each of the chunks in flight would hold 2 MiB of memory however few
    // reports a chunk has, and more than the CSV allows for where Limiting
    // keeps few of many.
    std::vector<FoundReport> reports;
    std::string texts;
    std::exception_ptr error;
};

class ChunkedLog {
  public:
    // Starts reading: the first chunks at once, the rest as the stretches before
    // them are taken. seams lists the chunks' starts after the first, ascending.
    ChunkedLog(const SeekableLog& log, const ReportFinder& finder, const ChunkPlan& plan,
               std::vector<std::int64_t> seams);
    // The threads reading chunks: the plan's, but no more than there are
    // chunks nor than the system would start. With none, nothing is read
    // and the log is for one reader on the caller's thread.
    std::size_t Readers() const { return threads_.size(); }
    ~ChunkedLog();
    ChunkedLog(const ChunkedLog&) = delete;
    ChunkedLog& operator=(const ChunkedLog&) = delete;

    // Starts of the chunks after the first for a log of size bytes.
    static std::vector<std::int64_t> EvenSeams(std::int64_t size, std::int64_t chunkBytes);

    struct Stretch {
        std::span<const FoundReport> reports;
        std::string_view texts;   // of the reports' delays, the first report's first
        std::int64_t lineOffset;  // a report's line plus this is its line in the log
        std::int64_t lines;       // lines of the log up to the stretch's end
        bool last;                // it ends at the end of the log
    };
    // The next stretch, valid until the next call; false at the end or when the
    // run was aborted. Throws IoError when the log cannot be read.
    bool Next(Stretch& stretch);

    struct After {
        std::int64_t bytesRead;
        FrameCounts frames;
    };
    // What one reader's BytesRead and frames were once it completed the log's
    // line numbered line (from 1), a line of the stretch handed out last, or
    // the one past the end after the last.
    After AfterLine(std::int64_t line);

  private:
    std::unique_ptr<ChunkRead> Take(std::size_t chunk);
    // On to the next chunk: the readers may start further ahead.
    void Advance();
    // Chunk records are used again: fresh memory for each would cost a page
    // fault per page. Spare is called with the mutex held.
    std::unique_ptr<ChunkRead> Spare();
    void Recycle(std::unique_ptr<ChunkRead> read);
    std::int64_t EndOf(std::size_t chunk) const;
    void Work();

    const SeekableLog& log_;
    const ReportFinder& finder_;
    ChunkPlan plan_;
    std::vector<std::int64_t> starts_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<ChunkRead>> results_;
    std::vector<std::unique_ptr<ChunkRead>> spare_;
    std::size_t nextChunk_ = 0;  // the next to start
    std::size_t needed_ = 0;     // the first the stretches still need
    std::size_t ahead_ = 0;      // chunks read ahead of needed_
    bool stopping_ = false;
    std::atomic<bool> stop_{false};
    std::vector<std::jthread> threads_;

    // The chunk being handed out: from its point from_ on it is trusted.
    std::size_t chunk_ = 0;
    std::unique_ptr<ChunkRead> current_;
    std::size_t from_ = 0;
    std::optional<LinePoint> rereadFrom_;  // read the current chunk again from here
    LogReader rereader_{LogReader::Mode::Fast};
    std::unique_ptr<ChunkRead> rereadMeets_;  // the current chunk as its own reader read it
    bool finished_ = false;

    // The stretch handed out last: its chunk, its points and the log's lines
    // and frames at its start.
    std::unique_ptr<ChunkRead> shown_;
    std::size_t shownFrom_ = 0, shownTo_ = 0;  // its points
    LinePoint shownStart_, shownEnd_;
    std::int64_t shownLinesBefore_ = 0;
    FrameCounts shownFramesBefore_;
};

}  // namespace tarnimex
