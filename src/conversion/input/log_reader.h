// SPDX-License-Identifier: GPL-3.0-or-later
// The mixed text and binary log reader.
//
// A log is NMEA text, possibly interleaved with SiRF binary, UBX and MediaTek
// binary frames. The reader returns the text lines with the frames removed:
// only the bytes LF, CR and 0x20..0x7F are kept, a line ends at CR or LF, and a
// frame is recognised by its two sync bytes and followed to its end (its length,
// or for SiRF its B0 B3 trailer, never past its 2048th byte). A frame whose
// checksum holds drops everything collected for the current line; one that does
// not leaves its printable bytes in the line. Bad content never raises: only an
// unreadable file does (IoError, with the path and the system's reason).
//
// Fast mode reads large blocks and takes runs of text, binary data of no known
// frame, and the bodies of frames in bulk; reference mode takes one byte at a
// time through 2048-byte blocks. Both return the same lines and the same
// BytesRead, which advances as if the log were read in 2048-byte blocks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/input/byte_source.h"
#include "conversion/input/frame_kinds.h"
#include "conversion/simd/kernels.h"
#include "platform/large_memory.h"

namespace tarnimex {

// Binary frames met in a log, by kind.
struct FrameTally {
    std::int64_t ubx = 0, sirf = 0, mtk = 0;
    bool operator==(const FrameTally&) const = default;
    FrameTally operator+(const FrameTally& o) const {
        return {ubx + o.ubx, sirf + o.sirf, mtk + o.mtk};
    }
    FrameTally operator-(const FrameTally& o) const {
        return {ubx - o.ubx, sirf - o.sirf, mtk - o.mtk};
    }
};

struct FrameCounts {
    FrameTally removed;  // frames whose checksum holds: taken out of the text
    FrameTally damaged;  // frames whose checksum fails (or that run too long): left in the text
    bool operator==(const FrameCounts&) const = default;
    FrameCounts operator+(const FrameCounts& o) const {
        return {removed + o.removed, damaged + o.damaged};
    }
    FrameCounts operator-(const FrameCounts& o) const {
        return {removed - o.removed, damaged - o.damaged};
    }
};

class LogReader {
  public:
    enum class Mode { Fast, Reference };
    static constexpr std::size_t kBlockSize = 2048;
    static constexpr std::size_t kFastBlockSize = 256 * 1024;

    explicit LogReader(Mode mode = Mode::Fast, std::size_t fastBlockSize = kFastBlockSize);

    // Opens an existing regular file for reading, decompressing it when its
    // content is compressed (compressed_source.h). On failure returns false with
    // EndOfLog set and, in reason, the system's explanation.
    bool OpenLogFile(const std::string& fileName, std::string* reason = nullptr);
    // Reads from any source; size is what LogFileSize reports.
    void Open(std::unique_ptr<ByteSource> source, std::int64_t size);
    // Reads a log from offset on, whose byte before offset was prevByte, as if
    // everything before had been read and a line had just ended there (where one
    // did, the reader then is exactly where a reader from the start would be).
    void OpenAt(std::unique_ptr<ByteSource> source, std::int64_t size, std::int64_t offset,
                unsigned char prevByte);
    void Close();

    // The next line: never empty, without its CR or LF. At the end of input an
    // empty view, with EndOfLog set; from a live stream (ByteSource::MoreToCome)
    // that has nothing yet, an empty view without it: the line so far is kept
    // for the next call, once more bytes have come. The view lives until the
    // next call.
    // Throws IoError when the file cannot be read, DamagedLog when its
    // compressed data do not decode. An abort (AbortRequested) ends the input
    // at the next block, whatever the log holds; the caller, which tests the
    // flag too, then drops what it read.
    std::string_view ReadLogLine();
    // From now on an abort does not end the input: for figures that are
    // wanted after an abort too.
    void ReadOnAfterAbort() { stopsOnAbort_ = false; }

    // Until Close, onLongLine is called, between two blocks, each time a call
    // of ReadLogLine has passed over another everyBytes without a line end (a
    // log without line ends is one such call).
    void WatchLongLines(std::int64_t everyBytes, std::function<void()> onLongLine);

    // Passes over up to maxLines whole lines that cannot hold key, as that many
    // ReadLogLine calls would, and returns how many it passed. Only plain text
    // already in the buffer is passed over (none in reference mode); a line
    // that may hold the key is left for ReadLogLine.
    std::size_t SkipLinesWithout(std::string_view key, std::size_t maxLines);

    bool EndOfLog() const { return endOfLog_; }
    std::int64_t BytesRead() const;
    // What BytesRead reports once the bytes before consumed are taken, of
    // available bytes read so far.
    static std::int64_t BytesReadAt(std::int64_t consumed, std::int64_t available);
    // The log's offset of the next byte to take, and the byte taken last.
    std::int64_t Position() const { return bufferOffset_ + static_cast<std::int64_t>(bufferPos_); }
    unsigned char PreviousByte() const { return prevByte_; }
    // Whether the log is compressed: its bytes can then only be read in order.
    bool Compressed() const { return inputConsumed_ >= 0; }
    // The open log's file when its bytes are read as they are (ByteSource::PlainFile).
    std::FILE* PlainFile() const { return source_ ? source_->PlainFile() : nullptr; }
    std::int64_t LogFileSize() const { return logFileSize_; }
    // The frames of the log opened last, so far.
    const FrameCounts& Frames() const { return frames_; }

  private:
    bool Step(unsigned char b);  // one byte of the state machine; true when the line is complete
    template <FrameKind kind>
    bool StepInFrame(unsigned char p, unsigned char b);  // true when the frame ended at b
    void StartFrame(FrameKind kind);
    void EndFrame(bool checksOut);
    void CountFrame(bool checksOut);
    // Text with bytes outside the line's set, up to the next line end or frame
    // start: the plain bytes join the line. False when no byte was taken.
    bool TakeMixedText();
    bool BulkFrame();  // the rest of a frame, when its end lies in the buffer
    // The check of a frame's rest in the buffer: the bytes it takes, or 0 when
    // the rest is not all there.
    template <FrameKind kind>
    std::int32_t CheckInBulk(bool& checksOut);
    template <FrameCheck check>
    void AddToCheck(unsigned char b);
    template <FrameCheck check>
    void AddToCheck(const unsigned char* bytes, std::size_t count);
    template <FrameCheck check>
    bool CheckFails(unsigned char p, unsigned char b) const;
    void AppendRange(std::size_t begin, std::size_t end);
    void FlushSpan();
    void ClearLine();
    std::string_view TakeLine();
    bool Refill();

    Mode mode_;
    std::size_t blockSize_;
    const Kernel* kernel_;
    std::unique_ptr<ByteSource> source_;
    const unsigned char* data_ = nullptr;  // the block in hand

    std::size_t bufferCount_ = 0;    // valid bytes in the block
    std::size_t bufferPos_ = 0;      // next byte to take, from 0
    std::int64_t bufferOffset_ = 0;  // file offset of the block's first byte
    std::int64_t rawRead_ = 0;       // bytes read from the source so far

    unsigned char prevByte_ = 0;
    FrameKind frameKind_ = FrameKind::Text;
    std::int32_t frameCount_ = 0;   // number of the byte last taken in the frame, from 1
    std::int32_t frameLength_ = 0;  // the frame's total, or just under the cap until known
    std::uint16_t frameSum_ = 0;    // running sum or XOR
    std::uint8_t fletcherA_ = 0;
    std::uint8_t fletcherB_ = 0;
    bool checksumError_ = false;
    // The end of the block last searched in vain for a trailer: the frame runs
    // past it, so no later byte of that block needs searching again.
    std::int64_t noTrailerBefore_ = -1;
    bool endOfLog_ = true;
    bool lineHeld_ = false;  // the line so far waits for a live stream's next bytes
    bool stopsOnAbort_ = true;
    std::int64_t bytesRead_ = 0;  // reference mode only; fast mode derives it
    std::int64_t logFileSize_ = 0;
    std::int64_t inputConsumed_ = -1;  // of a compressed log, else -1
    FrameCounts frames_;

    // Beyond any log, never reached.
    static constexpr std::int64_t kNoLongLines = std::int64_t{1} << 62;
    std::function<void()> onLongLine_;
    std::int64_t longLineBytes_ = kNoLongLines;
    std::int64_t longLineMark_ = kNoLongLines;  // the position at which it is called next

    // The line so far: line_ followed by data_[spanBegin_, spanEnd_). A line
    // of several MiB would otherwise fault on every 4 KiB page as it grows.
    std::basic_string<char, std::char_traits<char>, LargeAllocator<char>> line_;
    std::size_t spanBegin_ = 0;
    std::size_t spanEnd_ = 0;
};

}  // namespace tarnimex
