// SPDX-License-Identifier: GPL-3.0-or-later
// The reader is one state machine over bytes (Step). Fast mode adds two bulk
// moves that leave its state exactly as the byte steps would: a run of plain
// text bytes (0x20..0x7F) needs no decision unless it follows 0x04 or 0xB5, and
// the body of a UBX or MediaTek binary frame whose length is known and whose
// end lies in the buffer can be checked in one tight loop.
#include "log_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "compressed_source.h"
#include "conversion_host.h"
#include "platform/file_access.h"
#include "platform/path_names.h"
#include "platform/system_error.h"
#include "text_scan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnimex {

namespace {

constexpr unsigned char kLF = 0x0A;
constexpr unsigned char kCR = 0x0D;
constexpr std::int32_t kMaxFrame = 2048;

enum : unsigned char { kText = 0, kSirf = 1, kUbx = 2, kMtk = 3 };

bool InLineCharSet(unsigned char b) {
    return b == kLF || b == kCR || (b >= 0x20 && b <= 0x7F);
}

// The 8-bit Fletcher sums of UBX over m bytes: A gains each byte, B gains A
// after each byte, so byte j of m adds (m - j + 1) times its value to B.
void Fletcher(const unsigned char* data, std::size_t m, std::uint8_t& ckA, std::uint8_t& ckB) {
    std::uint32_t a = ckA;
    std::uint32_t b = ckB + static_cast<std::uint32_t>(m) * ckA;
    std::size_t j = 0;
#if defined(__SSE2__)
    if (m >= 16) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i stepLo = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
        const __m128i stepHi = _mm_setr_epi16(8, 9, 10, 11, 12, 13, 14, 15);
        __m128i sums = zero;
        __m128i weighted = zero;
        for (; j + 16 <= m; j += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j));
            const __m128i top = _mm_set1_epi16(static_cast<short>(m - j));
            weighted = _mm_add_epi32(
                weighted, _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), _mm_sub_epi16(top, stepLo)));
            weighted = _mm_add_epi32(
                weighted, _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), _mm_sub_epi16(top, stepHi)));
            sums = _mm_add_epi64(sums, _mm_sad_epu8(v, zero));
        }
        alignas(16) std::uint32_t w[4];
        alignas(16) std::uint64_t t[2];
        _mm_store_si128(reinterpret_cast<__m128i*>(w), weighted);
        _mm_store_si128(reinterpret_cast<__m128i*>(t), sums);
        a += static_cast<std::uint32_t>(t[0] + t[1]);
        b += w[0] + w[1] + w[2] + w[3];
    }
#endif
    for (; j < m; ++j) {
        a += data[j];
        b += static_cast<std::uint32_t>(m - j) * data[j];
    }
    ckA = static_cast<std::uint8_t>(a);
    ckB = static_cast<std::uint8_t>(b);
}

}  // namespace

LogReader::LogReader(Mode mode, std::size_t fastBlockSize)
    : mode_(mode),
      // Whole 2048-byte blocks keep BytesRead what a 2048-byte reader would report.
      blockSize_(mode == Mode::Fast ? (std::max<std::size_t>(fastBlockSize, 1) + kBlockSize - 1) /
                                          kBlockSize * kBlockSize
                                    : kBlockSize) {}

bool LogReader::OpenLogFile(const std::string& fileName, std::string* reason) {
    Close();
    auto fail = [&](const std::string& why) {
        if (reason != nullptr) *reason = why;
        endOfLog_ = true;
        bufferPos_ = bufferCount_ = 0;
        prevByte_ = frameKind_ = 0;
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
    logFileSize_ = size;
    bytesRead_ = 0;
    inputConsumed_ = source_->InputBytesConsumed();
    rawRead_ = 0;
    bufferOffset_ = 0;
    bufferPos_ = bufferCount_ = 0;
    prevByte_ = frameKind_ = 0;
    frameCount_ = frameLength_ = 0;
    frames_ = {};
    ClearLine();
}

void LogReader::Close() {
    source_.reset();
    data_ = nullptr;
}

std::int64_t LogReader::BytesRead() const {
    // A compressed log's progress is its compressed bytes against its size.
    if (inputConsumed_ >= 0) return inputConsumed_;
    if (mode_ == Mode::Reference) return bytesRead_;
    // What a reader of 2048-byte blocks would have read to reach this byte.
    const std::int64_t consumed = bufferOffset_ + static_cast<std::int64_t>(bufferPos_);
    const std::int64_t block = static_cast<std::int64_t>(kBlockSize);
    return std::min((consumed + block - 1) / block * block, rawRead_);
}

bool LogReader::Refill() {
    FlushSpan();
    if (!source_) return false;
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

void LogReader::StartFrame(unsigned char kind) {
    frameKind_ = kind;
    frameCount_ = 2;
    switch (kind) {
        case kSirf:
            frameSum_ = 0;
            sirfLength_ = 0;
            break;
        case kUbx:
            ubxCkA_ = ubxCkB_ = 0;
            checksumError_ = false;
            frameLength_ = kMaxFrame - 1;
            break;
        default:
            frameSum_ = 0;
            checksumError_ = false;
            frameLength_ = kMaxFrame - 1;
            break;
    }
}

void LogReader::CountFrame(bool checksOut) {
    FrameTally& tally = checksOut ? frames_.removed : frames_.damaged;
    ++(frameKind_ == kUbx ? tally.ubx : frameKind_ == kSirf ? tally.sirf : tally.mtk);
}

void LogReader::EndFrame(bool checksOut) {
    CountFrame(checksOut);
    // A frame that checks out takes with it everything collected for the line.
    if (checksOut) ClearLine();
    frameKind_ = kText;
    frameCount_ = 0;
    frameLength_ = 0;
}

bool LogReader::Step(unsigned char b) {
    const unsigned char p = prevByte_;
    if (frameCount_ > 0) ++frameCount_;
    bool complete = false;
    bool frameEnded = false;
    if (frameKind_ == kText) {
        const bool lineHasBytes = !line_.empty() || spanEnd_ != spanBegin_;
        if (b == kLF) {
            complete = p != kCR && lineHasBytes;
        } else if (b == kCR) {
            complete = p != kLF && lineHasBytes;
        } else if (b >= 0x20 && b <= 0x7F) {
            AppendRange(bufferPos_, bufferPos_ + 1);
            if (b == '$' && p == 0x04) StartFrame(kMtk);
            if (b == 'b' && p == 0xB5) StartFrame(kUbx);
        } else if (b == 0xA2 && p == 0xA0) {
            StartFrame(kSirf);
        }
    } else {
        if (InLineCharSet(b)) AppendRange(bufferPos_, bufferPos_ + 1);
        const std::int32_t n = frameCount_;
        switch (frameKind_) {
            case kSirf:
                if (n == 4) sirfLength_ = p * 256 + b;
                if (n >= 5 && n <= sirfLength_ + 4)
                    frameSum_ = static_cast<std::uint16_t>(frameSum_ + b);
                if (n == sirfLength_ + 6) checksumError_ = (p * 256 + b) != (frameSum_ & 0x7FFF);
                if ((b == 0xB3 && p == 0xB0) || n >= kMaxFrame) {
                    EndFrame(n == sirfLength_ + 8 && !checksumError_);
                    frameEnded = true;
                }
                break;
            case kUbx:
                if (n == 6) frameLength_ = p + b * 256 + 8;
                if (n >= 3 && n <= frameLength_ - 2) {
                    ubxCkA_ = static_cast<std::uint8_t>(ubxCkA_ + b);
                    ubxCkB_ = static_cast<std::uint8_t>(ubxCkB_ + ubxCkA_);
                }
                if ((n >= frameLength_ && frameLength_ > 0) || n >= kMaxFrame) {
                    EndFrame(n == frameLength_ && p == ubxCkA_ && b == ubxCkB_);
                    frameEnded = true;
                }
                break;
            default:
                if (n == 4) frameLength_ = p + b * 256;
                if (n >= 3 && n <= frameLength_ - 3)
                    frameSum_ = static_cast<std::uint16_t>(frameSum_ ^ b);
                if (n == frameLength_ - 2) checksumError_ = b != frameSum_;
                if ((n >= frameLength_ && frameLength_ > 0) || n >= kMaxFrame) {
                    EndFrame(n == frameLength_ && !checksumError_);
                    frameEnded = true;
                }
                break;
        }
    }
    // A frame's last byte never pairs with the next one.
    prevByte_ = frameEnded ? 0 : b;
    return complete;
}

bool LogReader::BulkFrame() {
    if (frameKind_ != kUbx && frameKind_ != kMtk) return false;
    const unsigned char* q = data_ + bufferPos_;
    const std::size_t available = bufferCount_ - bufferPos_;
    const std::int32_t first = frameCount_ + 1;  // the frame byte at q[0]
    auto byte = [&](std::int32_t n) { return n == frameCount_ ? prevByte_ : q[n - first]; };
    // The length field must be in hand: UBX bytes 5-6, MediaTek bytes 3-4.
    const std::int32_t lengthEnd = frameKind_ == kUbx ? 6 : 4;
    std::int32_t length = frameLength_;
    if (frameCount_ < lengthEnd) {
        if (available < static_cast<std::size_t>(lengthEnd - frameCount_)) return false;
        length = frameKind_ == kUbx ? byte(5) + byte(6) * 256 + 8 : byte(3) + byte(4) * 256;
    }
    std::int32_t end;
    if (frameKind_ == kUbx) {
        end = std::min(length, kMaxFrame);
    } else {
        // A MediaTek length of 1 to 3 ends the frame at byte 4; 0 runs it to the cap.
        end = length == 0 ? kMaxFrame : std::max(std::min(length, kMaxFrame), std::int32_t{4});
    }
    const std::int32_t remaining = end - frameCount_;
    if (remaining <= 0 || available < static_cast<std::size_t>(remaining)) return false;
    bool checksOut;
    if (frameKind_ == kUbx) {
        const std::int32_t from = std::max(first, std::int32_t{3});
        const std::int32_t lastSummed = std::min(length - 2, end);
        if (lastSummed >= from) {
            Fletcher(q + (from - first), static_cast<std::size_t>(lastSummed - from + 1), ubxCkA_,
                     ubxCkB_);
        }
        checksOut = end == length && byte(end - 1) == ubxCkA_ && byte(end) == ubxCkB_;
    } else {
        std::uint16_t sum = frameSum_;
        if (first <= 3) sum ^= byte(3);  // read while the length was still unknown
        const std::int32_t lastXored = std::min(length - 3, end);
        for (std::int32_t n = std::max(first, std::int32_t{4}); n <= lastXored; ++n)
            sum ^= q[n - first];
        frameSum_ = sum;
        const std::int32_t checkAt = length - 2;
        if (checkAt >= std::max(first, std::int32_t{4}) && checkAt <= end)
            checksumError_ = byte(checkAt) != sum;
        checksOut = end == length && !checksumError_;
    }
    CountFrame(checksOut);
    if (checksOut) {
        ClearLine();
    } else {
        std::size_t i = 0;
        const auto count = static_cast<std::size_t>(remaining);
        while (i < count) {
            while (i < count && !InLineCharSet(q[i])) ++i;
            const std::size_t runBegin = i;
            while (i < count && InLineCharSet(q[i])) ++i;
            if (i > runBegin) AppendRange(bufferPos_ + runBegin, bufferPos_ + i);
        }
    }
    bufferPos_ += static_cast<std::size_t>(remaining);
    frameKind_ = kText;
    frameCount_ = 0;
    frameLength_ = 0;
    prevByte_ = 0;
    return true;
}

std::size_t LogReader::SkipLinesWithout(std::string_view key, std::size_t maxLines) {
    if (mode_ != Mode::Fast || frameKind_ != kText || prevByte_ == 0x04 || prevByte_ == 0xB5 ||
        maxLines == 0) {
        return 0;
    }
    const LinesPassed passed = PassLinesWithout(data_, bufferPos_, bufferCount_, key, maxLines);
    if (passed.lines > 0) {
        prevByte_ = data_[passed.after - 1];
        bufferPos_ = passed.after;
    }
    return passed.lines;
}

std::string_view LogReader::ReadLogLine() {
    ClearLine();
    if (endOfLog_) return {};
    const bool fast = mode_ == Mode::Fast;
    for (;;) {
        if (bufferPos_ >= bufferCount_ && !Refill()) {
            ClearLine();
            endOfLog_ = true;
            return {};
        }
        if (fast) {
            if (frameKind_ == kText) {
                if (prevByte_ != 0x04 && prevByte_ != 0xB5) {
                    const std::size_t end = ScanPlain(data_, bufferPos_, bufferCount_);
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
