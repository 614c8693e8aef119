// SPDX-License-Identifier: GPL-3.0-or-later
// A whole conversion from log bytes to CSV bytes: the fast run must show the
// same status texts and write the same CSV as the byte-at-a-time run, never
// fail on content, and write a CSV only with a header and one summary.
//
// Input: byte 0 the settings (Limiting, decimals, keys, alarm step, decimal
// separator), byte 1 the threshold and max step, then the log.
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "conversion_run.h"
#include "support/fake_host.h"

namespace {

namespace fs = std::filesystem;
using namespace tarnimex;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "conversion: %s\n", what);
    std::abort();
}

// One folder per process, removed at exit.
struct Scratch {
    fs::path dir;
    std::string log;
    std::string csv;
    Scratch() {
        std::string name = (fs::temp_directory_path() / "tarnimex-fuzz-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) Fail("no scratch folder");
        dir = name;
        log = (dir / "fuzz.nmea").string();
        csv = (dir / "fuzz.csv").string();
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

struct Outcome {
    std::vector<std::string> statuses;
    std::vector<std::string> errors;
    bool written = false;
    std::string csv;
};

Outcome Run(const Scratch& scratch, test::FakeHost host, const RegionalFormat& regional,
            LogReader::Mode mode) {
    std::error_code ec;
    fs::remove(scratch.csv, ec);
    Converter converter(host, regional, TextEncoding{"UTF-8", true}, mode);
    try {
        converter.ConvertFiles(scratch.log);
    } catch (const IoError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        Fail("a run failed on content");
    }
    if (host.busy != 0) Fail("the busy cursor was left on");
    Outcome outcome{host.statuses, host.errors, fs::exists(scratch.csv), {}};
    if (outcome.written) outcome.csv = ReadAll(scratch.csv);
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Scratch scratch;
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

    {
        std::ofstream out(scratch.log, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data) + 2, static_cast<std::streamsize>(size - 2));
        if (!out) Fail("cannot write the log");
    }
    const Outcome reference = Run(scratch, host, regional, LogReader::Mode::Reference);
    const Outcome fast = Run(scratch, host, regional, LogReader::Mode::Fast);
    if (fast.statuses != reference.statuses) Fail("status texts differ");
    if (fast.errors != reference.errors) Fail("the modes show different errors");
    // The one error content may cause: a log that starts like compressed data
    // but does not decode, and then nothing is written.
    if (!fast.errors.empty() && (fast.written || !fast.errors[0].starts_with("Can not Open: ")))
        Fail("an error was shown");
    if (fast.written != reference.written || fast.csv != reference.csv) Fail("CSV files differ");
    if (reference.written) {
        const std::string_view header =
            "\xEF\xBB\xBFRMC time,UTC time,Time error,Count,Max,Min\r\n";
        if (!std::string_view(fast.csv).starts_with(header)) Fail("CSV without its header");
        if (!std::string_view(fast.csv).ends_with("\r\n")) Fail("CSV not ended by CR LF");
    }
    return 0;
}
