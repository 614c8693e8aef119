// SPDX-License-Identifier: GPL-3.0-or-later
// The reader is one state machine over bytes (Step). Fast mode adds bulk
// moves that leave its state exactly as the byte steps would: a run of plain
// text bytes (0x20..0x7F) needs no decision unless it follows the first sync
// byte of a frame that starts with text; text mixed with other bytes (binary
// data of no known frame) needs one only at a line end or a frame's sync pair;
// and the body of a frame, once its length is known and its end (its length,
// or for SiRF the first B0 B3) lies in the buffer, can be checked in one tight
// loop. Frame geometry comes from frame_kinds.h.
#include "conversion/input/log_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "conversion/abort_request.h"
#include "conversion/input/compressed_source.h"
#include "conversion/io_errors.h"
#include "conversion/simd/kernels.h"
#include "platform/file_access.h"
#include "platform/path_names.h"
#include "platform/system_error.h"

namespace tarnimex {

namespace {

constexpr unsigned char kLF = 0x0A;
constexpr unsigned char kCR = 0x0D;
constexpr unsigned char kFirstPlain = 0x20;
constexpr unsigned char kLastPlain = 0x7F;
// A frame's length is taken as this until its length field has been read.
constexpr std::int32_t kLengthUnknown = kMaxFrameBytes - 1;
constexpr std::uint16_t kSum15Mask = 0x7FFF;

bool IsPlain(unsigned char b) {
    return b >= kFirstPlain && b <= kLastPlain;
}

bool InLineCharSet(unsigned char b) {
    return b == kLF || b == kCR || IsPlain(b);
}

constexpr SyncPairs kSyncPairs = [] {
    static_assert(kFrameLayouts.size() == kSyncPairCount);
    SyncPairs pairs{};
    for (std::size_t k = 0; k < kSyncPairCount; ++k) {
        pairs.first[k] = kFrameLayouts[k].sync[0];
        pairs.second[k] = kFrameLayouts[k].sync[1];
    }
    return pairs;
}();

}  // namespace

LogReader::LogReader(Mode mode, std::size_t fastBlockSize)
    : mode_(mode),
      // Whole 2048-byte blocks keep BytesRead what a 2048-byte reader would report.
      blockSize_(mode == Mode::Fast ? (std::max<std::size_t>(fastBlockSize, 1) + kBlockSize - 1) /
                                          kBlockSize * kBlockSize
                                    : kBlockSize),
      kernel_(&ActiveKernel()) {}

bool LogReader::OpenLogFile(const std::string& fileName, std::string* reason) {
    Close();
    auto fail = [&](const std::string& why) {
        if (reason != nullptr) *reason = why;
        endOfLog_ = true;
        bufferPos_ = bufferCount_ = 0;
        prevByte_ = 0;
        frameKind_ = FrameKind::Text;
        frameCount_ = frameLength_ = 0;
        frames_ = {};
        return false;
    };
    if (fileName.empty()) return fail("No file name");
    std::error_code ec;
    const std::filesystem::path path = PathFromUtf8(fileName);
    const auto status = std::filesystem::status(path, ec);
    if (ec) return fail(ec.message());
    if (!std::filesystem::is_regular_file(status)) return fail("Not a regular file");
    errno = 0;
    std::FILE* file = OpenForReading(fileName);
    if (file == nullptr) return fail(LibraryReason(errno != 0 ? errno : EIO));
    // Our own blocks are large enough; a second buffer would only copy.
    std::setvbuf(file, nullptr, _IONBF, 0);
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        std::fclose(file);
        return fail(ec.message());
    }
    std::unique_ptr<ByteSource> source;
    try {
        source = OpenLogSource(file, fileName);
    } catch (const IoError& e) {
        return fail(e.what());
    }
    Open(std::move(source), static_cast<std::int64_t>(size));
    return true;
}

void LogReader::Open(std::unique_ptr<ByteSource> source, std::int64_t size) {
    source_ = std::move(source);
    endOfLog_ = false;
    lineHeld_ = false;
    logFileSize_ = size;
    bytesRead_ = 0;
    inputConsumed_ = source_->InputBytesConsumed();
    rawRead_ = 0;
    bufferOffset_ = 0;
    bufferPos_ = bufferCount_ = 0;
    prevByte_ = 0;
    frameKind_ = FrameKind::Text;
    frameCount_ = frameLength_ = 0;
    noTrailerBefore_ = -1;
    frames_ = {};
    ClearLine();
}

void LogReader::OpenAt(std::unique_ptr<ByteSource> source, std::int64_t size, std::int64_t offset,
                       unsigned char prevByte) {
    Open(std::move(source), size);
    bufferOffset_ = rawRead_ = bytesRead_ = offset;
    prevByte_ = prevByte;
}

void LogReader::Close() {
    source_.reset();
    data_ = nullptr;
    onLongLine_ = nullptr;
    longLineBytes_ = kNoLongLines;
}

void LogReader::WatchLongLines(std::int64_t everyBytes, std::function<void()> onLongLine) {
    longLineBytes_ = everyBytes;
    onLongLine_ = std::move(onLongLine);
}

std::int64_t LogReader::BytesRead() const {
    // A compressed log's progress is its compressed bytes against its size.
    if (inputConsumed_ >= 0) return inputConsumed_;
    if (mode_ == Mode::Reference) return bytesRead_;
    return BytesReadAt(Position(), rawRead_);
}

std::int64_t LogReader::BytesReadAt(std::int64_t consumed, std::int64_t available) {
    // What a reader of 2048-byte blocks would have read to reach this byte.
    const std::int64_t block = static_cast<std::int64_t>(kBlockSize);
    return std::min((consumed + block - 1) / block * block, available);
}

bool LogReader::Refill() {
    FlushSpan();
    if (Position() >= longLineMark_) {
        longLineMark_ += longLineBytes_;
        onLongLine_();
    }
    // Tested here, not only between lines: a log without line ends would
    // otherwise be read to its end first.
    if (!source_ || (stopsOnAbort_ && AbortRequested.load(std::memory_order_relaxed))) return false;
    const std::span<const unsigned char> block = source_->Next(blockSize_);
    const std::size_t n = block.size();
    data_ = block.data();
    bufferOffset_ += static_cast<std::int64_t>(bufferCount_);
    bufferCount_ = n;
    bufferPos_ = 0;
    rawRead_ += static_cast<std::int64_t>(n);
    bytesRead_ += static_cast<std::int64_t>(n);
    inputConsumed_ = source_->InputBytesConsumed();
    return n > 0;
}

void LogReader::AppendRange(std::size_t begin, std::size_t end) {
    if (spanEnd_ == begin && spanEnd_ != spanBegin_) {
        spanEnd_ = end;
        return;
    }
    FlushSpan();
    spanBegin_ = begin;
    spanEnd_ = end;
}

void LogReader::FlushSpan() {
    if (spanEnd_ != spanBegin_) {
        line_.append(reinterpret_cast<const char*>(data_) + spanBegin_, spanEnd_ - spanBegin_);
    }
    spanBegin_ = spanEnd_ = 0;
}

void LogReader::ClearLine() {
    line_.clear();
    spanBegin_ = spanEnd_ = 0;
}

std::string_view LogReader::TakeLine() {
    if (line_.empty()) {
        return {reinterpret_cast<const char*>(data_) + spanBegin_, spanEnd_ - spanBegin_};
    }
    FlushSpan();
    return line_;
}

void LogReader::StartFrame(FrameKind kind) {
    frameKind_ = kind;
    frameCount_ = 2;  // at the second sync byte
    frameLength_ = kLengthUnknown;
    frameSum_ = 0;
    fletcherA_ = fletcherB_ = 0;
    checksumError_ = false;
}

void LogReader::CountFrame(bool checksOut) {
    FrameTally& tally = checksOut ? frames_.removed : frames_.damaged;
    switch (frameKind_) {
        case FrameKind::SirfBinary:
            ++tally.sirf;
            break;
        case FrameKind::Ubx:
            ++tally.ubx;
            break;
        default:
            ++tally.mtk;
            break;
    }
}

void LogReader::EndFrame(bool checksOut) {
    CountFrame(checksOut);
    // A frame that checks out takes with it everything collected for the line.
    if (checksOut) ClearLine();
    frameKind_ = FrameKind::Text;
    frameCount_ = 0;
    frameLength_ = 0;
}

template <FrameCheck check>
void LogReader::AddToCheck(unsigned char b) {
    if constexpr (check == FrameCheck::Fletcher) {
        fletcherA_ = static_cast<std::uint8_t>(fletcherA_ + b);
        fletcherB_ = static_cast<std::uint8_t>(fletcherB_ + fletcherA_);
    } else {
        frameSum_ =
            static_cast<std::uint16_t>(check == FrameCheck::Sum15 ? frameSum_ + b : frameSum_ ^ b);
    }
}

template <FrameCheck check>
void LogReader::AddToCheck(const unsigned char* bytes, std::size_t count) {
    if constexpr (check == FrameCheck::Fletcher) {
        kernel_->fletcher(bytes, count, &fletcherA_, &fletcherB_);
    } else if constexpr (check == FrameCheck::Sum15) {
        frameSum_ = static_cast<std::uint16_t>(frameSum_ + kernel_->byteSum(bytes, count));
    } else {
        for (std::size_t i = 0; i < count; ++i) AddToCheck<check>(bytes[i]);
    }
}

// The stored check value ends at b; a two-byte one starts at p.
template <FrameCheck check>
bool LogReader::CheckFails(unsigned char p, unsigned char b) const {
    if constexpr (check == FrameCheck::Sum15) {
        return p * 256 + b != (frameSum_ & kSum15Mask);
    } else if constexpr (check == FrameCheck::Fletcher) {
        return p != fletcherA_ || b != fletcherB_;
    } else {
        return b != frameSum_;
    }
}

template <FrameKind kind>
bool LogReader::StepInFrame(unsigned char p, unsigned char b) {
    constexpr const FrameLayout& f = LayoutOf(kind);
    const std::int32_t n = frameCount_;
    if (n == f.LengthEnd()) frameLength_ = f.ReadLength(p, b) + f.lengthExtra;
    if (n >= f.firstChecked && n <= frameLength_ - f.checkedBefore) AddToCheck<f.check>(b);
    if (n == frameLength_ - f.checkBefore) checksumError_ = CheckFails<f.check>(p, b);
    const bool ends = f.hasTrailer ? p == f.trailer[0] && b == f.trailer[1]
                                   : n >= frameLength_ && frameLength_ > 0;
    if (!ends && n < kMaxFrameBytes) return false;
    EndFrame(n == frameLength_ && !checksumError_);
    return true;
}

bool LogReader::Step(unsigned char b) {
    const unsigned char p = prevByte_;
    if (frameCount_ > 0) ++frameCount_;
    bool complete = false;
    bool frameEnded = false;
    if (frameKind_ == FrameKind::Text) {
        const bool lineHasBytes = !line_.empty() || spanEnd_ != spanBegin_;
        if (b == kLF) {
            complete = p != kCR && lineHasBytes;
        } else if (b == kCR) {
            complete = p != kLF && lineHasBytes;
        } else {
            if (IsPlain(b)) AppendRange(bufferPos_, bufferPos_ + 1);
            const FrameKind started = FrameStartedBy(p, b);
            if (started != FrameKind::Text) StartFrame(started);
        }
    } else {
        if (InLineCharSet(b)) AppendRange(bufferPos_, bufferPos_ + 1);
        switch (frameKind_) {
            case FrameKind::SirfBinary:
                frameEnded = StepInFrame<FrameKind::SirfBinary>(p, b);
                break;
            case FrameKind::Ubx:
                frameEnded = StepInFrame<FrameKind::Ubx>(p, b);
                break;
            default:
                frameEnded = StepInFrame<FrameKind::MediatekBinary>(p, b);
                break;
        }
    }
    // A frame's last byte never pairs with the next one.
    prevByte_ = frameEnded ? 0 : b;
    return complete;
}

bool LogReader::TakeMixedText() {
    // Kept bytes gather here first: a std::string cannot be written past its size.
    constexpr std::size_t kPiece = 1024;
    char kept[kPiece];
    std::size_t i = bufferPos_;
    FlushSpan();
    for (;;) {
        const std::size_t pieceEnd = std::min(bufferCount_, i + kPiece);
        const MixedText taken = kernel_->takeMixed(
            data_, i, pieceEnd, i == bufferPos_ ? prevByte_ : data_[i - 1], &kSyncPairs, kept);
        line_.append(kept, taken.kept);
        i = taken.stop;
        if (i < pieceEnd || i == bufferCount_) break;
    }
    if (i == bufferPos_) return false;
    prevByte_ = data_[i - 1];
    bufferPos_ = i;
    return true;
}

bool LogReader::BulkFrame() {
    std::int32_t remaining = 0;
    bool checksOut = false;
    switch (frameKind_) {
        case FrameKind::Ubx:
            remaining = CheckInBulk<FrameKind::Ubx>(checksOut);
            break;
        case FrameKind::MediatekBinary:
            remaining = CheckInBulk<FrameKind::MediatekBinary>(checksOut);
            break;
        case FrameKind::SirfBinary:
            remaining = CheckInBulk<FrameKind::SirfBinary>(checksOut);
            break;
        default:
            break;
    }
    if (remaining <= 0) return false;
    CountFrame(checksOut);
    const std::size_t end = bufferPos_ + static_cast<std::size_t>(remaining);
    if (checksOut) {
        ClearLine();
    } else {
        // The frame leaves its line bytes, CR and LF among them.
        FlushSpan();
        char kept[kMaxFrameBytes];
        line_.append(kept, kernel_->keepLineBytes(data_, bufferPos_, end, kept));
    }
    bufferPos_ = end;
    frameKind_ = FrameKind::Text;
    frameCount_ = 0;
    frameLength_ = 0;
    prevByte_ = 0;
    return true;
}

template <FrameKind kind>
std::int32_t LogReader::CheckInBulk(bool& checksOut) {
    constexpr const FrameLayout& f = LayoutOf(kind);
    const unsigned char* q = data_ + bufferPos_;
    const std::size_t available = bufferCount_ - bufferPos_;
    const std::int32_t first = frameCount_ + 1;  // the frame byte at q[0]
    auto byte = [&](std::int32_t n) { return n == frameCount_ ? prevByte_ : q[n - first]; };
    // The length field must be in hand.
    std::int32_t length = frameLength_;
    if (frameCount_ < f.LengthEnd()) {
        if (available < static_cast<std::size_t>(f.LengthEnd() - frameCount_)) return 0;
        length = f.ReadLength(byte(f.lengthAt), byte(f.LengthEnd())) + f.lengthExtra;
    }
    std::int32_t end = kMaxFrameBytes;
    if constexpr (f.hasTrailer) {
        // The byte steps end the frame at the first trailer pair, the byte
        // before q included, or at the cap.
        const std::int64_t blockEnd = bufferOffset_ + static_cast<std::int64_t>(bufferCount_);
        if (blockEnd == noTrailerBefore_) return 0;
        const std::size_t room =
            std::min(available, static_cast<std::size_t>(kMaxFrameBytes - frameCount_));
        const unsigned char* t = q;
        while ((t = static_cast<const unsigned char*>(
                    std::memchr(t, f.trailer[1], room - static_cast<std::size_t>(t - q)))) &&
               (t == q ? prevByte_ : t[-1]) != f.trailer[0]) {
            ++t;
        }
        if (t != nullptr) {
            end = first + static_cast<std::int32_t>(t - q);
        } else if (room < static_cast<std::size_t>(kMaxFrameBytes - frameCount_)) {
            noTrailerBefore_ = blockEnd;
            return 0;
        }
    } else if (length != 0) {
        // The byte steps end the frame at its length, but not before the length
        // field's end; a length of 0 runs it to the cap.
        end = std::clamp(length, f.LengthEnd(), kMaxFrameBytes);
    }
    const std::int32_t remaining = end - frameCount_;
    if (remaining <= 0 || available < static_cast<std::size_t>(remaining)) return 0;
    // Bytes before the length field's end are checked whatever the length.
    const std::int32_t from = std::max(first, f.firstChecked);
    const std::int32_t lastChecked =
        std::max(std::min(length - f.checkedBefore, end), f.LengthEnd() - 1);
    if (lastChecked >= from) {
        AddToCheck<f.check>(q + (from - first), static_cast<std::size_t>(lastChecked - from + 1));
    }
    const std::int32_t checkAt = length - f.checkBefore;
    if (checkAt >= std::max(first, f.LengthEnd()) && checkAt <= end) {
        checksumError_ =
            CheckFails<f.check>(f.checkWidth > 1 ? byte(checkAt - 1) : 0, byte(checkAt));
    }
    checksOut = end == length && !checksumError_;
    return remaining;
}

std::size_t LogReader::SkipLinesWithout(std::string_view key, std::size_t maxLines) {
    if (mode_ != Mode::Fast || frameKind_ != FrameKind::Text || OpensFrameBeforeText(prevByte_) ||
        lineHeld_ || maxLines == 0) {
        return 0;
    }
    const LinesPassed passed = kernel_->passLines(
        data_, bufferPos_, bufferCount_, reinterpret_cast<const unsigned char*>(key.data()),
        key.size(), maxLines);
    if (passed.lines > 0) {
        prevByte_ = data_[passed.after - 1];
        bufferPos_ = passed.after;
    }
    return passed.lines;
}

std::string_view LogReader::ReadLogLine() {
    if (!std::exchange(lineHeld_, false)) ClearLine();
    if (endOfLog_) return {};
    longLineMark_ = Position() + longLineBytes_;
    const bool fast = mode_ == Mode::Fast;
    for (;;) {
        if (bufferPos_ >= bufferCount_ && !Refill()) {
            if (source_ && source_->MoreToCome()) {
                lineHeld_ = true;  // Refill put the line's bytes aside
                return {};
            }
            ClearLine();
            endOfLog_ = true;
            return {};
        }
        if (fast) {
            if (frameKind_ == FrameKind::Text) {
                if (!OpensFrameBeforeText(prevByte_)) {
                    const std::size_t end = kernel_->scanPlain(data_, bufferPos_, bufferCount_);
                    if (end > bufferPos_) {
                        AppendRange(bufferPos_, end);
                        prevByte_ = data_[end - 1];
                        bufferPos_ = end;
                        if (end == bufferCount_) continue;
                    }
                    // Line ends are most of what is left: decided here as Step would.
                    const unsigned char b = data_[bufferPos_];
                    if (b == kCR || b == kLF) {
                        const bool lineHasBytes = spanEnd_ != spanBegin_ || !line_.empty();
                        const bool complete = prevByte_ != (b ^ (kCR ^ kLF)) && lineHasBytes;
                        prevByte_ = b;
                        ++bufferPos_;
                        if (complete) return TakeLine();
                        continue;
                    }
                    if (kFrameByFirstSync[b] == FrameKind::Text) {
                        if (TakeMixedText()) continue;
                    } else {
                        // A frame's first sync byte, met at every frame: its step,
                        // then the next byte's below, without a scan between.
                        Step(b);
                        if (++bufferPos_ == bufferCount_) continue;
                    }
                }
            } else if (BulkFrame()) {
                continue;
            }
        }
        const bool complete = Step(data_[bufferPos_]);
        ++bufferPos_;
        if (complete) return TakeLine();
    }
}

}  // namespace tarnimex
