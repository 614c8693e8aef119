// SPDX-License-Identifier: GPL-3.0-or-later
// A whole conversion from log bytes to CSV bytes: the fast run, and the fast
// run in chunks on two threads, must show the same status texts and write the
// same CSV as the byte-at-a-time run, never fail on content, and write a CSV
// only with a header and one summary.
//
// Input: byte 0 the settings (Limiting, decimals, keys, alarm step, decimal
// separator), byte 1 the threshold and max step, and the chunks' size, then
// the log.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/conversion_run.h"
#include "conversion/input/byte_source.h"
#include "conversion/input/chunked_log.h"
#include "conversion/input/seekable_log.h"
#include "support/fake_host.h"

namespace {

using namespace tarnimex;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "conversion: %s\n", what);
    std::abort();
}

// The log and its CSV in memory: no file is made, so that a run costs only
// the conversion.
class MemoryFiles : public ConversionFiles {
  public:
    explicit MemoryFiles(std::string_view log) : log_(log) {}
    bool OpenLog(LogReader& reader, const std::string&, std::string&) override {
        reader.Open(std::make_unique<MemorySource>(log_), static_cast<std::int64_t>(log_.size()));
        return true;
    }
    std::unique_ptr<CsvOutput> OpenCsv(const std::string&) override {
        return std::make_unique<Csv>(*this);
    }
    std::unique_ptr<SeekableLog> OpenSeekable(const std::string&) override {
        return std::make_unique<SeekableMemory>(log_);
    }
    bool written = false;
    std::string csv;

  private:
    class Csv : public CsvOutput {
      public:
        explicit Csv(MemoryFiles& files) : files_(files) {}
        bool Write(std::string_view bytes) override {
            bytes_ += bytes;
            return true;
        }
        void Commit() override {
            files_.csv = std::move(bytes_);
            files_.written = true;
        }
        [[noreturn]] void Fail() override { std::abort(); }  // memory does not fail

      private:
        MemoryFiles& files_;
        std::string bytes_;
    };
    std::string_view log_;
};

struct Outcome {
    std::vector<std::string> statuses;
    std::vector<std::string> errors;
    bool written = false;
    std::string csv;
};

Outcome Run(std::string_view log, test::FakeHost host, const RegionalFormat& regional,
            LogReader::Mode mode, const ChunkPlan& plan = {.threads = 1}) {
    MemoryFiles files(log);
    Converter converter(host, regional, TextEncoding{"UTF-8", true}, mode);
    converter.UseFiles(files);
    converter.SplitLargeLogs(plan);
    try {
        converter.ConvertFiles("fuzz.nmea");
    } catch (const IoError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        Fail("a run failed on content");
    }
    if (host.busy != 0) Fail("the busy cursor was left on");
    return {host.statuses, host.errors, files.written, files.csv};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t flags = data[0];
    test::FakeHost host;
    host.limit = (flags & 1) != 0;
    static const char* const kDecimals[] = {"Auto", "0", "1", "3", "", "Auto", "2", "xyz"};
    host.fields[HostField::SecDec] = kDecimals[(flags >> 1) & 7];
    if ((flags & 0x10) != 0) host.fields[HostField::SecKey] = "";
    if ((flags & 0x20) != 0) host.fields[HostField::Key] = "$G";
    host.alarmStep = (flags & 0x40) != 0 ? 0.25 : 50.0;
    RegionalFormat regional;
    if ((flags & 0x80) != 0) regional.decimalSeparator = ",";
    static const char* const kSteps[] = {"0.2", "0", "-1", "1e-9", "abc", "10.0", "0,5", "1e300"};
    host.fields[HostField::TimeDiff] = kSteps[data[1] & 7];
    host.fields[HostField::MaxStep] = kSteps[(data[1] >> 3) & 7];

    const std::string_view log(reinterpret_cast<const char*>(data) + 2, size - 2);
    const Outcome reference = Run(log, host, regional, LogReader::Mode::Reference);
    const Outcome fast = Run(log, host, regional, LogReader::Mode::Fast);
    if (fast.statuses != reference.statuses) Fail("status texts differ");
    if (fast.errors != reference.errors) Fail("the modes show different errors");
    if (!fast.errors.empty()) Fail("an error was shown");
    if (fast.written != reference.written || fast.csv != reference.csv) Fail("CSV files differ");
    // Two to eight chunks (the tests try each seam of small logs), joined over
    // as few lines as can be.
    const auto chunkBytes =
        1 + static_cast<std::int64_t>(log.size() * (32u + data[1] % 96u) / 256u);
    const ChunkPlan chunks{2, chunkBytes, 0, 1 + (flags & 3), 0};
    const Outcome chunked = Run(log, host, regional, LogReader::Mode::Fast, chunks);
    if (chunked.statuses != reference.statuses) Fail("status texts differ in chunks");
    if (chunked.csv != reference.csv) Fail("CSV files differ in chunks");
    if (reference.written) {
        const std::string_view header =
            "\xEF\xBB\xBFRMC time,UTC time,Time error,Count,Max,Min\r\n";
        if (!std::string_view(fast.csv).starts_with(header)) Fail("CSV without its header");
        if (!std::string_view(fast.csv).ends_with("\r\n")) Fail("CSV not ended by CR LF");
    }
    return 0;
}
