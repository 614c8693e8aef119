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

#include "conversion_host.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnimex {

namespace {

constexpr unsigned char kLF = 0x0A;
constexpr unsigned char kCR = 0x0D;
constexpr std::int32_t kMaxFrame = 2048;

enum : unsigned char { kText = 0, kSirf = 1, kUbx = 2, kMtk = 3 };

bool InLineCharSet(unsigned char b) { return b == kLF || b == kCR || (b >= 0x20 && b <= 0x7F); }

// Index of the first byte in [begin, end) outside 0x20..0x7F, or end.
std::size_t ScanPlain(const unsigned char* data, std::size_t begin, std::size_t end) {
    std::size_t i = begin;
#if defined(__SSE2__)
    // As signed bytes, 0x80..0xFF are negative: one compare finds both kinds.
    const __m128i limit = _mm_set1_epi8(0x20);
    for (; i + 16 <= end; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const int mask = _mm_movemask_epi8(_mm_cmplt_epi8(v, limit));
        if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    for (; i < end; ++i) {
        if (data[i] < 0x20 || data[i] > 0x7F) return i;
    }
    return end;
}

std::string SystemReason(int error) { return std::generic_category().message(error); }

}  // namespace

FileSource::~FileSource() {
    if (file_ != nullptr) std::fclose(file_);
}

std::size_t FileSource::Read(unsigned char* buffer, std::size_t size) {
    errno = 0;
    const std::size_t n = std::fread(buffer, 1, size, file_);
    if (n < size && std::ferror(file_)) {
        const int error = errno != 0 ? errno : EIO;
        std::clearerr(file_);
        throw IoError("Cannot read file \"" + path_ + "\". " + SystemReason(error));
    }
    return n;
}

std::size_t MemorySource::Read(unsigned char* buffer, std::size_t size) {
    const std::size_t n = std::min({size, maxPiece_, bytes_.size() - pos_});
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return n;
}

LogReader::LogReader(Mode mode, std::size_t fastBlockSize)
    : mode_(mode),
      // Whole 2048-byte blocks keep BytesRead what a 2048-byte reader would report.
      buffer_(mode == Mode::Fast ? (std::max<std::size_t>(fastBlockSize, 1) + kBlockSize - 1) / kBlockSize *
                                       kBlockSize
                                 : kBlockSize) {}

bool LogReader::OpenLogFile(const std::string& fileName, std::string* reason) {
    Close();
    auto fail = [&](const std::string& why) {
        if (reason != nullptr) *reason = why;
        endOfLog_ = true;
        bufferPos_ = bufferCount_ = 0;
        prevByte_ = frameKind_ = 0;
        frameCount_ = frameLength_ = 0;
        return false;
    };
    if (fileName.empty()) return fail("No file name");
    std::error_code ec;
    const auto status = std::filesystem::status(fileName, ec);
    if (ec) return fail(ec.message());
    if (!std::filesystem::is_regular_file(status)) return fail("Not a regular file");
    errno = 0;
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr) return fail(SystemReason(errno != 0 ? errno : EIO));
    auto source = std::make_unique<FileSource>(file, fileName);
    const auto size = std::filesystem::file_size(fileName, ec);
    if (ec) return fail(ec.message());
    // Our own blocks are large enough; a second buffer would only copy.
    std::setvbuf(file, nullptr, _IONBF, 0);
    Open(std::move(source), static_cast<std::int64_t>(size));
    return true;
}

void LogReader::Open(std::unique_ptr<ByteSource> source, std::int64_t size) {
    source_ = std::move(source);
    endOfLog_ = false;
    logFileSize_ = size;
    bytesRead_ = 0;
    rawRead_ = 0;
    bufferOffset_ = 0;
    bufferPos_ = bufferCount_ = 0;
    prevByte_ = frameKind_ = 0;
    frameCount_ = frameLength_ = 0;
    ClearLine();
}

void LogReader::Close() { source_.reset(); }

std::int64_t LogReader::BytesRead() const {
    if (mode_ == Mode::Reference) return bytesRead_;
    // What a reader of 2048-byte blocks would have read to reach this byte.
    const std::int64_t consumed = bufferOffset_ + static_cast<std::int64_t>(bufferPos_);
    const std::int64_t block = static_cast<std::int64_t>(kBlockSize);
    return std::min((consumed + block - 1) / block * block, rawRead_);
}

bool LogReader::Refill() {
    FlushSpan();
    if (!source_) return false;
    const std::size_t n = source_->Read(buffer_.data(), buffer_.size());
    bufferOffset_ += static_cast<std::int64_t>(bufferCount_);
    bufferCount_ = n;
    bufferPos_ = 0;
    rawRead_ += static_cast<std::int64_t>(n);
    bytesRead_ += static_cast<std::int64_t>(n);
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
        line_.append(reinterpret_cast<const char*>(buffer_.data()) + spanBegin_, spanEnd_ - spanBegin_);
    }
    spanBegin_ = spanEnd_ = 0;
}

void LogReader::ClearLine() {
    line_.clear();
    spanBegin_ = spanEnd_ = 0;
}

std::string_view LogReader::TakeLine() {
    if (line_.empty()) {
        return {reinterpret_cast<const char*>(buffer_.data()) + spanBegin_, spanEnd_ - spanBegin_};
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

void LogReader::EndFrame(bool checksOut) {
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
                if (n >= 5 && n <= sirfLength_ + 4) frameSum_ = static_cast<std::uint16_t>(frameSum_ + b);
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
                if (n >= 3 && n <= frameLength_ - 3) frameSum_ = static_cast<std::uint16_t>(frameSum_ ^ b);
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
    std::int32_t end;
    if (frameKind_ == kUbx && frameCount_ >= 6) {
        end = std::min(frameLength_, kMaxFrame);
    } else if (frameKind_ == kMtk && frameCount_ >= 4) {
        end = frameLength_ > 0 ? std::min(frameLength_, kMaxFrame) : kMaxFrame;
    } else {
        return false;
    }
    const std::int32_t remaining = end - frameCount_;
    if (remaining <= 0 || bufferCount_ - bufferPos_ < static_cast<std::size_t>(remaining)) return false;
    const unsigned char* q = buffer_.data() + bufferPos_;
    const std::int32_t first = frameCount_ + 1;
    bool checksOut;
    if (frameKind_ == kUbx) {
        std::uint8_t a = ubxCkA_, s = ubxCkB_;
        const std::int32_t lastSummed = std::min(frameLength_ - 2, end);
        for (std::int32_t n = first; n <= lastSummed; ++n) {
            a = static_cast<std::uint8_t>(a + q[n - first]);
            s = static_cast<std::uint8_t>(s + a);
        }
        ubxCkA_ = a;
        ubxCkB_ = s;
        const unsigned char last = q[remaining - 1];
        const unsigned char beforeLast = remaining >= 2 ? q[remaining - 2] : prevByte_;
        checksOut = end == frameLength_ && beforeLast == a && last == s;
    } else {
        std::uint16_t sum = frameSum_;
        const std::int32_t lastXored = std::min(frameLength_ - 3, end);
        for (std::int32_t n = std::max(first, 3); n <= lastXored; ++n) sum ^= q[n - first];
        frameSum_ = sum;
        const std::int32_t checkAt = frameLength_ - 2;
        if (checkAt >= first && checkAt <= end) checksumError_ = q[checkAt - first] != sum;
        checksOut = end == frameLength_ && !checksumError_;
    }
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
                    const std::size_t end = ScanPlain(buffer_.data(), bufferPos_, bufferCount_);
                    if (end > bufferPos_) {
                        AppendRange(bufferPos_, end);
                        prevByte_ = buffer_[end - 1];
                        bufferPos_ = end;
                        continue;
                    }
                }
            } else if (BulkFrame()) {
                continue;
            }
        }
        const bool complete = Step(buffer_[bufferPos_]);
        ++bufferPos_;
        if (complete) return TakeLine();
    }
}

}  // namespace tarnimex
