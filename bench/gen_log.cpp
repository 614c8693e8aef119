// SPDX-License-Identifier: GPL-3.0-or-later
// tarnimex-gen-log: writes a synthetic receiver log for benchmarking the
// converter. Each 1 Hz epoch holds a UBX NAV-PVT frame, GGA, RMC, GSA, three
// GSV and VTG sentences and the "RMC delay" report; SiRF binary and MediaTek
// binary frames come every 20 to 40 s, and about one frame in a hundred has a
// damaged byte. With --binary-heavy every epoch also holds the SiRF frame and
// four RTCM 3 frames of 120 to 300 bytes, which the converter does not know.
// The same options and seed always give the same bytes.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "gen/binary_frames.h"
#include "gen/delay_model.h"
#include "gen/nmea_sentences.h"
#include "gen/receiver_state.h"
#include "gen/rng.h"

namespace {

using namespace tarnimex::bench;

struct Options {
    double days = 1.0;
    std::uint64_t seed = 1;
    bool nmeaOnly = false;
    bool reportsEveryLine = false;
    bool binaryHeavy = false;
    std::uint64_t reportEvery = 1;  // epochs
    std::string output;
};

constexpr const char* kUsage =
    "usage: tarnimex-gen-log [--days N] [--seed N] [--nmea-only] [--reports-every-line]\n"
    "                        [--report-every N] [--binary-heavy] -o FILE\n"
    "  --days N              length of the log in days of 1 Hz epochs (default 1, may be a "
    "fraction)\n"
    "  --seed N              seed of the pseudo-random content (default 1)\n"
    "  --nmea-only           no binary frames\n"
    "  --reports-every-line  a delay report after every sentence\n"
    "  --report-every N      the epoch's report only every N epochs (default 1)\n"
    "  --binary-heavy        a SiRF frame and four RTCM 3 frames in every epoch\n"
    "  -o FILE               the log to write\n";

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool takesValue =
            arg == "--days" || arg == "--seed" || arg == "--report-every" || arg == "-o";
        if (takesValue && i + 1 >= argc) {
            std::fprintf(stderr, "tarnimex-gen-log: %s needs a value\n", argv[i]);
            return false;
        }
        if (arg == "--days") {
            char* end = nullptr;
            options.days = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(options.days >= 0.0) || options.days > 1e5) {
                std::fprintf(stderr, "tarnimex-gen-log: bad --days: %s\n", argv[i]);
                return false;
            }
        } else if (arg == "--seed" || arg == "--report-every") {
            std::uint64_t& value = arg == "--seed" ? options.seed : options.reportEvery;
            const std::string_view text = argv[++i];
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (ec != std::errc() || end != text.data() + text.size() ||
                (value == 0 && arg == "--report-every")) {
                std::fprintf(stderr, "tarnimex-gen-log: bad %s: %s\n", argv[i - 1], argv[i]);
                return false;
            }
        } else if (arg == "-o") {
            options.output = argv[++i];
        } else if (arg == "--nmea-only") {
            options.nmeaOnly = true;
        } else if (arg == "--reports-every-line") {
            options.reportsEveryLine = true;
        } else if (arg == "--binary-heavy") {
            options.binaryHeavy = true;
        } else {
            std::fprintf(stderr, "tarnimex-gen-log: unknown argument: %s\n", argv[i]);
            return false;
        }
    }
    if (options.output.empty()) {
        std::fprintf(stderr, "tarnimex-gen-log: -o FILE is required\n");
        return false;
    }
    return true;
}

class LogGenerator {
  public:
    explicit LogGenerator(const Options& options)
        : options_(options),
          rng_(options.seed),
          receiver_(StartReceiver(rng_)),
          nextSirf_(NextInterval()),
          nextMediaTek_(NextInterval()) {}

    // Appends one epoch to out and moves the receiver on.
    void Epoch(std::string& out) {
        if (!options_.nmeaOnly) {
            Frame(out, AppendUbxNavPvt);
            if (--nextSirf_ <= 0 || options_.binaryHeavy) {
                Frame(out, AppendSirfGeodetic);
                nextSirf_ = NextInterval();
            }
            for (int i = 0; i < (options_.binaryHeavy ? kRtcmFrames : 0); ++i)
                AppendRtcm3(out, rng_, 120 + rng_.Below(181));
        }
        reportInEpoch_ = 0;
        Sentence(out, AppendGga);
        Sentence(out, AppendRmc);
        Sentence(out, AppendGsa);
        for (int part = 0; part < kGsvSentences; ++part) {
            AppendGsv(out, receiver_, part);
            ExtraReport(out);
        }
        Sentence(out, AppendVtg);
        if (!options_.nmeaOnly && --nextMediaTek_ <= 0) {
            Frame(out, AppendMediaTekPosition);
            nextMediaTek_ = NextInterval();
        }
        if (++epoch_ % options_.reportEvery == 0) Report(out);
        AdvanceOneSecond(receiver_, rng_);
    }

  private:
    static constexpr int kRtcmFrames = 4;  // MSM observations of four constellations

    int NextInterval() { return 20 + static_cast<int>(rng_.Below(21)); }

    void Sentence(std::string& out, void (*append)(std::string&, const ReceiverState&)) {
        append(out, receiver_);
        ExtraReport(out);
    }

    // A frame as the receiver sent it, now and then with one bit flipped on the line.
    void Frame(std::string& out, void (*append)(std::string&, const ReceiverState&)) {
        const std::size_t start = out.size();
        append(out, receiver_);
        if (rng_.Chance(0.01)) {
            const std::size_t at =
                start + rng_.Below(static_cast<std::uint32_t>(out.size() - start));
            out[at] = static_cast<char>(out[at] ^ (1 << rng_.Below(8)));
        }
    }

    // The report for this epoch's RMC; in the many-reports variant each
    // further one is 100 ms later.
    void Report(std::string& out) {
        AppendDelayReport(out, receiver_.unixSeconds, 100 * reportInEpoch_, delays_.Next(rng_));
        ++reportInEpoch_;
    }

    void ExtraReport(std::string& out) {
        if (options_.reportsEveryLine) Report(out);
    }

    const Options& options_;
    Rng rng_;
    ReceiverState receiver_;
    DelayModel delays_;
    int nextSirf_;
    int nextMediaTek_;
    int reportInEpoch_ = 0;
    std::uint64_t epoch_ = 0;
};

bool WriteAll(std::FILE* file, const std::string& bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::FILE* file = std::fopen(options.output.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "tarnimex-gen-log: cannot create %s: %s\n", options.output.c_str(),
                     std::strerror(errno));
        return 1;
    }

    constexpr std::size_t kChunk = 1 << 20;
    std::string out;
    out.reserve(kChunk + 16384);
    LogGenerator generator(options);
    const auto epochs = static_cast<std::int64_t>(std::llround(options.days * 86400.0));
    bool ok = true;
    for (std::int64_t e = 0; e < epochs && ok; ++e) {
        generator.Epoch(out);
        if (out.size() >= kChunk) {
            ok = WriteAll(file, out);
            out.clear();
        }
    }
    ok = ok && WriteAll(file, out);
    ok = (std::fclose(file) == 0) && ok;
    if (!ok) {
        std::fprintf(stderr, "tarnimex-gen-log: cannot write %s: %s\n", options.output.c_str(),
                     std::strerror(errno));
        return 1;
    }
    return 0;
}
