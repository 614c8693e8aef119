// SPDX-License-Identifier: GPL-3.0-or-later
// Decompression through zlib, liblzma, libzstd and libbz2 directly: each one
// verifies its format's checks, and a stream that stops early is told apart
// from one that ended, which is what keeps a damaged log from being converted
// in part.
#include "conversion/input/compressed_source.h"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "conversion/abort_request.h"
#include "conversion/io_errors.h"

namespace tarnimex {

namespace {

constexpr std::size_t kInputBlock = 256 * 1024;
// The longest magic below: bzip2's "BZh", its level and a 48-bit block magic.
constexpr std::size_t kMagicBytes = 10;

struct Step {
    std::size_t in = 0;   // input bytes taken
    std::size_t out = 0;  // output bytes made
    bool end = false;     // a whole stream has been decoded and checked
};

// One format's decoder over one stream; Reset starts the next stream.
class Decoder {
  public:
    virtual ~Decoder() = default;
    // Throws DamagedLog with the library's reason.
    virtual Step Run(const unsigned char* in, std::size_t inSize, unsigned char* out,
                     std::size_t outSize) = 0;
    virtual void Reset() = 0;
};

[[noreturn]] void Damaged(const std::string& format, const std::string& reason) {
    throw DamagedLog("Damaged " + format + " data: " + reason);
}

// The library interfaces count in unsigned int.
unsigned int Clamp(std::size_t n) {
    return static_cast<unsigned int>(std::min<std::size_t>(n, UINT_MAX));
}

class GzipDecoder : public Decoder {
  public:
    GzipDecoder() {
        // 16 + window bits: a gzip wrapper, whose CRC-32 and length zlib checks.
        if (inflateInit2(&z_, 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();
    }
    ~GzipDecoder() override { inflateEnd(&z_); }
    Step Run(const unsigned char* in, std::size_t inSize, unsigned char* out,
             std::size_t outSize) override {
        z_.next_in = const_cast<unsigned char*>(in);
        z_.avail_in = Clamp(inSize);
        z_.next_out = out;
        z_.avail_out = Clamp(outSize);
        const int result = inflate(&z_, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
            Damaged("gzip", z_.msg != nullptr ? z_.msg : "error " + std::to_string(result));
        }
        return {Clamp(inSize) - z_.avail_in, Clamp(outSize) - z_.avail_out, result == Z_STREAM_END};
    }
    void Reset() override { inflateReset(&z_); }

  private:
    z_stream z_{};
};

std::string LzmaReason(lzma_ret result) {
    switch (result) {
        case LZMA_MEM_ERROR:
            return "out of memory";
        case LZMA_FORMAT_ERROR:
            return "not in the xz format";
        case LZMA_OPTIONS_ERROR:
            return "unsupported options";
        case LZMA_DATA_ERROR:
            return "corrupt data";
        case LZMA_BUF_ERROR:
            return "unexpected end of input";
        default:
            return "error " + std::to_string(static_cast<int>(result));
    }
}

class XzDecoder : public Decoder {
  public:
    XzDecoder() { Reset(); }
    ~XzDecoder() override { lzma_end(&z_); }
    Step Run(const unsigned char* in, std::size_t inSize, unsigned char* out,
             std::size_t outSize) override {
        z_.next_in = in;
        z_.avail_in = inSize;
        z_.next_out = out;
        z_.avail_out = outSize;
        // Without input the stream must be complete: FINISH makes lzma say so.
        const lzma_ret result = lzma_code(&z_, inSize == 0 ? LZMA_FINISH : LZMA_RUN);
        if (result != LZMA_OK && result != LZMA_STREAM_END) Damaged("xz", LzmaReason(result));
        return {inSize - z_.avail_in, outSize - z_.avail_out, result == LZMA_STREAM_END};
    }
    void Reset() override {
        lzma_end(&z_);
        z_ = LZMA_STREAM_INIT;
        // Concatenated: liblzma itself takes the stream padding xz allows between streams.
        const lzma_ret result = lzma_stream_decoder(&z_, UINT64_MAX, LZMA_CONCATENATED);
        if (result != LZMA_OK) Damaged("xz", LzmaReason(result));
    }

  private:
    lzma_stream z_ = LZMA_STREAM_INIT;
};

class ZstdDecoder : public Decoder {
  public:
    ZstdDecoder() : z_(ZSTD_createDCtx()) {
        if (z_ == nullptr) throw std::bad_alloc();
    }
    ~ZstdDecoder() override { ZSTD_freeDCtx(z_); }
    Step Run(const unsigned char* in, std::size_t inSize, unsigned char* out,
             std::size_t outSize) override {
        ZSTD_inBuffer input{in, inSize, 0};
        ZSTD_outBuffer output{out, outSize, 0};
        const std::size_t result = ZSTD_decompressStream(z_, &output, &input);
        if (ZSTD_isError(result)) Damaged("zstd", ZSTD_getErrorName(result));
        // 0: a frame is decoded, checked and wholly handed out.
        return {input.pos, output.pos, result == 0};
    }
    void Reset() override { ZSTD_DCtx_reset(z_, ZSTD_reset_session_only); }

  private:
    ZSTD_DCtx* z_;
};

class Bzip2Decoder : public Decoder {
  public:
    Bzip2Decoder() { Reset(); }
    ~Bzip2Decoder() override { BZ2_bzDecompressEnd(&z_); }
    Step Run(const unsigned char* in, std::size_t inSize, unsigned char* out,
             std::size_t outSize) override {
        z_.next_in = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
        z_.avail_in = Clamp(inSize);
        z_.next_out = reinterpret_cast<char*>(out);
        z_.avail_out = Clamp(outSize);
        const int result = BZ2_bzDecompress(&z_);
        if (result != BZ_OK && result != BZ_STREAM_END) {
            Damaged("bzip2", result == BZ_DATA_ERROR         ? "data integrity error"
                             : result == BZ_DATA_ERROR_MAGIC ? "not in the bzip2 format"
                             : result == BZ_MEM_ERROR        ? "out of memory"
                                                             : "error " + std::to_string(result));
        }
        return {Clamp(inSize) - z_.avail_in, Clamp(outSize) - z_.avail_out,
                result == BZ_STREAM_END};
    }
    void Reset() override {
        if (started_) BZ2_bzDecompressEnd(&z_);
        z_ = bz_stream{};
        if (BZ2_bzDecompressInit(&z_, 0, 0) != BZ_OK) throw std::bad_alloc();
        started_ = true;
    }

  private:
    bz_stream z_{};
    bool started_ = false;
};

using namespace std::string_view_literals;

bool StartsWith(std::string_view bytes, std::string_view magic) {
    return bytes.substr(0, magic.size()) == magic;
}

bool IsBzip2(std::string_view b) {
    // "BZh", the block size 1-9, then the magic of a block or of the stream's end.
    return b.size() >= kMagicBytes && StartsWith(b, "BZh") && b[3] >= '1' && b[3] <= '9' &&
           (b.substr(4, 6) == "\x31\x41\x59\x26\x53\x59"sv ||
            b.substr(4, 6) == "\x17\x72\x45\x38\x50\x90"sv);
}

struct Format {
    std::string_view extension;
    bool (*recognise)(std::string_view firstBytes);
    std::unique_ptr<Decoder> (*make)();
};

template <class D>
std::unique_ptr<Decoder> Make() {
    return std::make_unique<D>();
}

constexpr std::string_view kGzipMagic = "\x1F\x8B\x08"sv;  // and deflate, gzip's one method
constexpr std::string_view kXzMagic = "\xFD\x37\x7A\x58\x5A\x00"sv;
constexpr std::string_view kZstdMagic = "\x28\xB5\x2F\xFD"sv;

// A zstd frame, or a skippable frame (magic 0x184D2A50 to 0x184D2A5F, little
// endian), which zstd allows anywhere, the first place too; the decoder skips it.
bool IsZstd(std::string_view b) {
    return StartsWith(b, kZstdMagic) ||
           (b.size() >= 4 && (static_cast<unsigned char>(b[0]) & 0xF0) == 0x50 &&
            b.substr(1, 3) == "\x2A\x4D\x18"sv);
}

const Format kFormats[] = {
    {".gz", [](std::string_view b) { return StartsWith(b, kGzipMagic); }, Make<GzipDecoder>},
    {".xz", [](std::string_view b) { return StartsWith(b, kXzMagic); }, Make<XzDecoder>},
    {".zst", IsZstd, Make<ZstdDecoder>},
    {".bz2", IsBzip2, Make<Bzip2Decoder>},
};

const Format* Recognise(std::string_view firstBytes) {
    for (const Format& format : kFormats) {
        if (format.recognise(firstBytes)) return &format;
    }
    return nullptr;
}

// Reads a file, or a pipe, once: the bytes already taken to recognise the
// format come first. Decodes them when a decoder is given.
class StreamSource : public ByteSource {
  public:
    StreamSource(std::FILE* file, std::string path, std::vector<unsigned char> first,
                 std::unique_ptr<Decoder> decoder)
        : file_(file),
          path_(std::move(path)),
          input_(std::move(first)),
          inputEnd_(input_.size()),
          decoder_(std::move(decoder)) {}
    ~StreamSource() override {
        if (file_ != stdin) std::fclose(file_);
    }

    std::span<const unsigned char> Next(std::size_t maxSize) override {
        if (output_.size() < maxSize) output_.resize(maxSize);
        if (decoder_) return {output_.data(), Decode(output_.data(), maxSize)};
        if (inputPos_ < inputEnd_) {
            const std::size_t n = std::min(maxSize, inputEnd_ - inputPos_);
            std::memcpy(output_.data(), input_.data() + inputPos_, n);
            inputPos_ += n;
            return {output_.data(), n};
        }
        return {output_.data(), ReadBlock(file_, output_.data(), maxSize, path_)};
    }

    // Decodes up to size bytes into out; 0 at the end of the last stream, or
    // on an abort.
    std::size_t Decode(unsigned char* out, std::size_t size) {
        for (;;) {
            // An abort ends the output: input that makes none (empty streams)
            // may run long, and a read it cut short is no end of the data.
            if (AbortRequested.load(std::memory_order_relaxed)) return 0;
            if (inputPos_ == inputEnd_ && !endOfFile_) {
                if (input_.size() < kInputBlock) input_.resize(kInputBlock);
                inputEnd_ = ReadBlock(file_, input_.data(), input_.size(), path_);
                inputPos_ = 0;
                endOfFile_ = inputEnd_ == 0;
                continue;
            }
            const std::size_t available = inputEnd_ - inputPos_;
            if (betweenStreams_) {
                if (available == 0) return 0;
                decoder_->Reset();
                betweenStreams_ = false;
            }
            const Step step = decoder_->Run(input_.data() + inputPos_, available, out, size);
            inputPos_ += step.in;
            consumed_ += static_cast<std::int64_t>(step.in);
            betweenStreams_ = step.end;
            if (step.out > 0) return step.out;
            if (step.end) continue;
            if (available == 0) throw DamagedLog("The compressed data end early: truncated.");
            if (step.in == 0) throw DamagedLog("The compressed data do not decode.");
        }
    }

    std::int64_t InputBytesConsumed() const override { return decoder_ ? consumed_ : -1; }

  private:
    std::FILE* file_;
    std::string path_;
    std::vector<unsigned char> input_;
    std::size_t inputPos_ = 0;
    std::size_t inputEnd_;
    bool endOfFile_ = false;
    bool betweenStreams_ = false;
    std::int64_t consumed_ = 0;
    std::unique_ptr<Decoder> decoder_;
    std::vector<unsigned char> output_;
};

// Decodes on a thread of its own, a few blocks ahead of the reader: decoding
// costs more than converting, and the two then overlap. Only for files, whose
// reads always return, so that closing never waits on a pipe.
class DecodeAhead : public ByteSource {
  public:
    explicit DecodeAhead(std::unique_ptr<StreamSource> stream) : stream_(std::move(stream)) {}
    ~DecodeAhead() override {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    std::span<const unsigned char> Next(std::size_t maxSize) override {
        if (alone_ || (!thread_.joinable() && !Start(maxSize))) {
            alone_ = true;
            return stream_->Next(maxSize);
        }
        if (handedOut_ < current_.size) return HandOut(maxSize);
        std::unique_lock lock(mutex_);
        if (current_.data) free_.push_back(std::move(current_));
        changed_.notify_all();
        changed_.wait(lock, [&] { return !ready_.empty() || finished_; });
        if (ready_.empty()) {
            consumed_ = finalConsumed_;
            if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
            return {};
        }
        current_ = std::move(ready_.front());
        ready_.pop_front();
        handedOut_ = 0;
        return HandOut(maxSize);
    }

    std::int64_t InputBytesConsumed() const override {
        return alone_ ? stream_->InputBytesConsumed() : consumed_;
    }

  private:
    struct Block {
        std::unique_ptr<unsigned char[]> data;
        std::size_t size = 0;
        std::int64_t consumed = 0;  // input bytes taken up to the block's end
    };
    static constexpr int kBlocksAhead = 4;

    // False when the system refuses the thread: the reader's thread then decodes.
    bool Start(std::size_t blockSize) {
        for (int i = 0; i < kBlocksAhead; ++i) {
            free_.push_back({std::make_unique<unsigned char[]>(blockSize), 0, 0});
        }
        blockSize_ = blockSize;
        try {
            thread_ = std::thread([this] { Produce(); });
        } catch (const std::system_error&) {
            free_.clear();
            return false;
        }
        return true;
    }

    std::span<const unsigned char> HandOut(std::size_t maxSize) {
        const std::size_t n = std::min(maxSize, current_.size - handedOut_);
        const unsigned char* data = current_.data.get() + handedOut_;
        handedOut_ += n;
        consumed_ = current_.consumed;
        return {data, n};
    }

    void Produce() {
        for (;;) {
            Block block;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return !free_.empty() || stop_; });
                if (stop_) return;
                block = std::move(free_.back());
                free_.pop_back();
            }
            std::exception_ptr error;
            try {
                block.size = stream_->Decode(block.data.get(), blockSize_);
                block.consumed = stream_->InputBytesConsumed();
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard lock(mutex_);
            if (error || block.size == 0) {
                error_ = error;
                finalConsumed_ = stream_->InputBytesConsumed();
                finished_ = true;
                changed_.notify_all();
                return;
            }
            ready_.push_back(std::move(block));
            changed_.notify_all();
        }
    }

    std::unique_ptr<StreamSource> stream_;
    std::size_t blockSize_ = 0;
    bool alone_ = false;  // no thread of its own: decodes when asked
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Block> free_;
    std::deque<Block> ready_;
    bool stop_ = false;
    bool finished_ = false;
    std::exception_ptr error_;
    std::int64_t finalConsumed_ = 0;
    // The reader's side only.
    Block current_;
    std::size_t handedOut_ = 0;
    std::int64_t consumed_ = 0;
};

}  // namespace

bool HasCompressedExtension(std::string_view name) {
    for (const Format& format : kFormats) {
        const std::string_view ext = format.extension;
        if (name.size() >= ext.size() &&
            std::equal(ext.begin(), ext.end(), name.end() - static_cast<std::ptrdiff_t>(ext.size()),
                       [](char a, char b) {
                           return a ==
                                  (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
                       })) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<ByteSource> OpenLogSource(std::FILE* file, std::string path) {
    struct Closer {
        std::FILE* file;
        ~Closer() {
            if (file != nullptr && file != stdin) std::fclose(file);
        }
    } closer{file};
    std::vector<unsigned char> first(kMagicBytes);
    try {
        first.resize(ReadBlock(file, first.data(), first.size(), path));
    } catch (const IoError&) {
        if (file == stdin) throw;
        // A file that cannot be read fails while it is read, as a plain log would.
        first.clear();
    }
    const Format* format = Recognise({reinterpret_cast<const char*>(first.data()), first.size()});
    closer.file = nullptr;
    if (format == nullptr && file != stdin && std::fseek(file, 0, SEEK_SET) == 0) {
        return std::make_unique<FileSource>(file, std::move(path));
    }
    auto stream = std::make_unique<StreamSource>(file, std::move(path), std::move(first),
                                                 format != nullptr ? format->make() : nullptr);
    if (format != nullptr && file != stdin) return std::make_unique<DecodeAhead>(std::move(stream));
    return stream;
}

}  // namespace tarnimex
