// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/input/chunked_log.h"

#include <algorithm>
#include <limits>
#include <system_error>

#include "conversion/abort_request.h"

namespace tarnimex {

namespace {

// Away from its ends a chunk's reader notes every so many lines, so that any
// line's BytesRead is rebuilt by reading at most so many lines again.
constexpr std::int64_t kPointLines = 64;
// The last chunk's reader reads to the end of the log, however far it is.
constexpr std::int64_t kNoEnd = std::numeric_limits<std::int64_t>::max();
// Chunks read ahead of the one being handed out, beyond one per thread: two
// took 0.91 of the time of one on the 4-day logs on two cores, 0.95-0.98 on
// a log with a report on every line; none took 1.4 times as long. What a
// chunk read ahead holds is its reports, 32 bytes each.
constexpr std::size_t kExtraAhead = 2;

// A chunk's reports get room for one every so many bytes of the chunk at once:
// growing through smaller blocks would touch each of them, page by page, where
// pages of the room are only counted and faulted as they are filled.
constexpr std::int64_t kRoomPerReportBytes = 32;

LinePoint PointOf(const LogReader& reader, std::int64_t lines, const ChunkRead& read) {
    return {reader.Position(), lines,           read.reports.size(),
            read.texts.size(), reader.Frames(), reader.PreviousByte()};
}

// A line is found again from a point in blocks of this size: its few lines
// need no more.
constexpr std::size_t kRereadBlock = 16 << 10;

// The source's first bytes, up to a limit: the rest reads as the end.
class LimitedSource : public ByteSource {
  public:
    LimitedSource(std::unique_ptr<ByteSource> source, std::int64_t limit)
        : source_(std::move(source)), left_(limit) {}
    std::span<const unsigned char> Next(std::size_t maxSize) override {
        const std::span<const unsigned char> block =
            source_->Next(static_cast<std::size_t>(std::min<std::int64_t>(
                static_cast<std::int64_t>(maxSize), std::max<std::int64_t>(left_, 0))));
        left_ -= static_cast<std::int64_t>(block.size());
        return block;
    }

  private:
    std::unique_ptr<ByteSource> source_;
    std::int64_t left_;
};

// Reads the chunk from start to end, and on past end until the seam window is
// noted, into read (whose storage is used again). A known previous byte means
// the start is a trusted line end: such a reader goes past the overrun's limit
// to the next line end, so that a chunk read again always ends further on;
// others stop at the limit, in a line if need be (which is then not noted). With
// meet, the points of the chunk's own reader, it stops at the first line end
// among them. The file's bytes go through block, its lines through reader
// (used again: a long line's storage costs a page fault per page when fresh).
// Inlined whole, like the one-reader loop.
[[gnu::flatten]] void ReadChunk(ChunkRead& read, LogReader& reader, const SeekableLog& log,
                                ReportFinder finder, const ChunkPlan& plan, std::int64_t start,
                                std::int64_t end, std::optional<unsigned char> prevByte,
                                std::span<unsigned char> block, const std::atomic<bool>& stop,
                                const std::vector<LinePoint>* meet = nullptr) {
    read.points.clear();
    read.reports.clear();
    read.texts.clear();
    read.reports.reserve(static_cast<std::size_t>(plan.chunkBytes / kRoomPerReportBytes));
    read.reachedEnd = read.cut = false;
    read.met.reset();
    read.error = nullptr;
    std::unique_ptr<ByteSource> source =
        log.From(prevByte || start == 0 ? start : start - 1, block);
    unsigned char before = prevByte.value_or(0);
    if (!prevByte && start > 0) {
        // A reader that ends a line here has the line end as its last byte.
        const auto first = source->Next(1);
        if (!first.empty()) before = first[0];
    }
    const bool ends = end != kNoEnd;
    const bool trusted = prevByte.has_value();
    const std::int64_t limit = ends && !trusted ? end + plan.overrunBytes : kNoEnd;
    if (limit != kNoEnd) source = std::make_unique<LimitedSource>(std::move(source), limit - start);
    reader.OpenAt(std::move(source), log.Size(), start, before);
    read.points.push_back(PointOf(reader, 0, read));

    std::int64_t lines = 0;
    std::int64_t linesPastEnd = 0;
    // Every line end is noted while one may still be among meet's.
    std::size_t meetAt = 0;
    bool meeting = meet != nullptr && !meet->empty();
    for (;;) {
        if (stop.load(std::memory_order_relaxed) ||
            AbortRequested.load(std::memory_order_relaxed)) {
            read.cut = true;
            break;
        }
        const std::int64_t at = reader.Position();
        if (ends && at >= end &&
            ((linesPastEnd >= plan.seamLines && at - end >= plan.seamBytes) ||
             (at - end >= plan.overrunBytes && linesPastEnd > 0))) {
            break;
        }
        const bool nearEnd = meeting || at - start < plan.seamBytes || lines < plan.seamLines ||
                             (ends && end - at <= plan.seamBytes);
        const auto most = static_cast<std::size_t>(nearEnd ? 1 : kPointLines - lines % kPointLines);
        auto passed =
            static_cast<std::int64_t>(reader.SkipLinesWithout(finder.SentenceKey(), most));
        if (passed == 0) {
            const std::string_view line = reader.ReadLogLine();
            if (reader.EndOfLog()) {
                // An abort ends a reader's input too, which is no end of the log.
                read.cut = AbortRequested.load(std::memory_order_relaxed);
                read.reachedEnd = !read.cut && reader.Position() < limit;
                break;
            }
            passed = 1;
            finder.Find(line, [&](const ReportValues& values) {
                read.reports.push_back(
                    {lines, values.time,
                     values.delay.value_or(std::numeric_limits<double>::quiet_NaN()),
                     values.delayText.size()});
                read.texts += values.delayText;
            });
        }
        lines += passed;
        if (ends && reader.Position() > end) linesPastEnd += passed;
        if (nearEnd || lines % kPointLines == 0)
            read.points.push_back(PointOf(reader, lines, read));
        if (meeting) {
            const std::int64_t position = reader.Position();
            while (meetAt < meet->size() && (*meet)[meetAt].position < position) ++meetAt;
            if (meetAt == meet->size()) {
                meeting = false;
            } else if ((*meet)[meetAt].position == position) {
                read.met = meetAt;
                break;
            }
        }
    }
    read.end = PointOf(reader, lines, read);
    reader.Close();
}

// The first line end both readers share, the first at or after from in a:
// their indexes in a and b.
std::optional<std::pair<std::size_t, std::size_t>> Seam(const std::vector<LinePoint>& a,
                                                        std::size_t from,
                                                        const std::vector<LinePoint>& b) {
    std::size_t i = from, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].position == b[j].position) return std::pair{i, j};
        if (a[i].position < b[j].position)
            ++i;
        else
            ++j;
    }
    return std::nullopt;
}

}  // namespace

int ChunkPlan::DefaultThreads() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

std::vector<std::int64_t> ChunkedLog::EvenSeams(std::int64_t size, std::int64_t chunkBytes) {
    std::vector<std::int64_t> seams;
    // A last piece under half a chunk joins the one before.
    for (std::int64_t at = chunkBytes; at + chunkBytes / 2 < size; at += chunkBytes)
        seams.push_back(at);
    return seams;
}

ChunkedLog::ChunkedLog(const SeekableLog& log, const ReportFinder& finder, const ChunkPlan& plan,
                       std::vector<std::int64_t> seams)
    : log_(log), finder_(finder), plan_(plan) {
    starts_.push_back(0);
    starts_.insert(starts_.end(), seams.begin(), seams.end());
    results_.resize(starts_.size());
    const std::size_t wanted =
        std::min(static_cast<std::size_t>(std::max(1, plan_.threads)), starts_.size());
    threads_.reserve(wanted);
    // The readers wait until they know how many they are.
    std::lock_guard lock(mutex_);
    for (std::size_t t = 0; t < wanted; ++t) {
        try {
            threads_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            break;  // refused (memory, a limit on processes): fewer read
        }
    }
    ahead_ = threads_.size() + kExtraAhead;
}

ChunkedLog::~ChunkedLog() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_ = true;
    changed_.notify_all();
    threads_.clear();  // joins
}

std::int64_t ChunkedLog::EndOf(std::size_t chunk) const {
    return chunk + 1 < starts_.size() ? starts_[chunk + 1] : kNoEnd;
}

void ChunkedLog::Work() {
    std::vector<unsigned char> block(LogReader::kFastBlockSize);
    LogReader reader(LogReader::Mode::Fast);
    for (;;) {
        std::size_t chunk;
        std::unique_ptr<ChunkRead> read;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] {
                return stopping_ || nextChunk_ >= starts_.size() || nextChunk_ < needed_ + ahead_;
            });
            if (stopping_ || nextChunk_ >= starts_.size()) return;
            chunk = nextChunk_++;
            read = Spare();
        }
        try {
            ReadChunk(*read, reader, log_, finder_, plan_, starts_[chunk], EndOf(chunk),
                      chunk == 0 ? std::optional<unsigned char>(0) : std::nullopt, block, stop_);
        } catch (...) {
            read->error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            results_[chunk] = std::move(read);
        }
        changed_.notify_all();
    }
}

std::unique_ptr<ChunkRead> ChunkedLog::Spare() {
    if (spare_.empty()) return std::make_unique<ChunkRead>();
    std::unique_ptr<ChunkRead> read = std::move(spare_.back());
    spare_.pop_back();
    return read;
}

void ChunkedLog::Recycle(std::unique_ptr<ChunkRead> read) {
    if (!read) return;
    std::lock_guard lock(mutex_);
    spare_.push_back(std::move(read));
}

void ChunkedLog::Advance() {
    {
        std::lock_guard lock(mutex_);
        needed_ = ++chunk_;
    }
    changed_.notify_all();
}

std::unique_ptr<ChunkRead> ChunkedLog::Take(std::size_t chunk) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return results_[chunk] != nullptr; });
    return std::move(results_[chunk]);
}

bool ChunkedLog::Next(Stretch& stretch) {
    if (finished_) return false;
    if (!current_) {
        if (rereadFrom_) {
            {
                std::lock_guard lock(mutex_);
                current_ = Spare();
            }
            // Where the chunk's own reader completed no line past the point to
            // read from, its lines are longer than a chunk: the rest of the log
            // is read here, as by one reader, rather than each line twice.
            const bool alone =
                rereadMeets_ && (rereadMeets_->points.size() == 1 ||
                                 rereadMeets_->points.back().position <= rereadFrom_->position);
            if (alone) {
                Recycle(std::move(rereadMeets_));
                {
                    std::lock_guard lock(mutex_);
                    stopping_ = true;
                }
                changed_.notify_all();
            }
            ReadChunk(*current_, rereader_, log_, finder_, plan_, rereadFrom_->position,
                      alone ? kNoEnd : EndOf(chunk_), rereadFrom_->prevByte, {}, stop_,
                      rereadMeets_ ? &rereadMeets_->points : nullptr);
            rereadFrom_.reset();
            if (!current_->met) Recycle(std::move(rereadMeets_));
        } else {
            current_ = Take(chunk_);
        }
        if (current_->error) std::rethrow_exception(current_->error);
    }
    if (current_->cut) return false;

    const std::size_t from = from_;
    std::size_t to = current_->points.size() - 1;
    LinePoint end = current_->end;
    std::unique_ptr<ChunkRead> next;
    if (current_->reachedEnd) {
        finished_ = true;
    } else if (current_->met) {
        // Read again up to a line end of the chunk's own reader: it goes on from there.
        next = std::move(rereadMeets_);
        from_ = *current_->met;
    } else {
        std::optional<std::pair<std::size_t, std::size_t>> seam;
        for (;;) {
            next = Take(chunk_ + 1);
            if (next->cut) return false;
            if (!next->error) seam = Seam(current_->points, from_, next->points);
            // A chunk that ends before the last line end noted here was read
            // through (a line longer than it): the seam is with one after it.
            if (seam || EndOf(chunk_ + 1) > current_->points[to].position) break;
            Recycle(std::move(next));
            Advance();
        }
        if (seam) {
            to = seam->first;
            from_ = seam->second;
        } else {
            // Read the next chunk again from the last line end known to be true
            // (where an unreadable file throws, if it still is), until it meets
            // its own reader's line ends.
            rereadFrom_ = current_->points[to];
            if (next->error)
                Recycle(std::move(next));
            else
                rereadMeets_ = std::move(next);
            from_ = 0;
        }
        end = current_->points[to];
        Advance();
    }

    if (shown_) {
        shownLinesBefore_ += shownEnd_.lines - shownStart_.lines;
        shownFramesBefore_ = shownFramesBefore_ + (shownEnd_.frames - shownStart_.frames);
    }
    Recycle(std::move(shown_));
    shown_ = std::move(current_);
    current_ = std::move(next);
    shownFrom_ = from;
    shownTo_ = to;
    shownStart_ = shown_->points[from];
    shownEnd_ = end;

    const auto& reports = shown_->reports;
    stretch.reports =
        std::span(reports).subspan(shownStart_.reports, shownEnd_.reports - shownStart_.reports);
    stretch.texts = std::string_view(shown_->texts).substr(shownStart_.texts);
    stretch.lineOffset = shownLinesBefore_ - shownStart_.lines;
    stretch.lines = shownLinesBefore_ + shownEnd_.lines - shownStart_.lines;
    stretch.last = finished_;
    return true;
}

ChunkedLog::After ChunkedLog::AfterLine(std::int64_t line) {
    if (!shown_) return {0, {}};
    const FrameCounts framesAtEnd = shownFramesBefore_ + (shownEnd_.frames - shownStart_.frames);
    const std::int64_t target = shownStart_.lines + (line - shownLinesBefore_);
    // One reader's last step takes it to the end of the log.
    if (target > shownEnd_.lines) return {shownEnd_.position, framesAtEnd};

    const auto first = shown_->points.begin() + static_cast<std::ptrdiff_t>(shownFrom_);
    const auto last = shown_->points.begin() + static_cast<std::ptrdiff_t>(shownTo_) + 1;
    const LinePoint& base = *std::prev(std::upper_bound(
        first, last, target, [](std::int64_t n, const LinePoint& p) { return n < p.lines; }));
    LogReader reader(LogReader::Mode::Fast, kRereadBlock);
    reader.ReadOnAfterAbort();
    reader.OpenAt(log_.From(base.position), log_.Size(), base.position, base.prevByte);
    for (std::int64_t n = base.lines; n < target; ++n) reader.ReadLogLine();
    const std::int64_t position = reader.Position();
    const FrameCounts frames = base.frames + reader.Frames();
    return {LogReader::BytesReadAt(position, std::max(log_.Size(), position)),
            shownFramesBefore_ + (frames - shownStart_.frames)};
}

}  // namespace tarnimex
