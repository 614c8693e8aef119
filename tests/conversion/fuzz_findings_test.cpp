// SPDX-License-Identifier: GPL-3.0-or-later
// Inputs the fuzzers (fuzz/) found faults with, kept so that the faults stay
// fixed. Some faults show only in the sanitizer build (build-asan), which runs
// these tests too.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "conversion/conversion_run.h"
#include "support/fake_host.h"
#include "support/files.h"

namespace tarnimex {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

// The CSV a default conversion writes for the log bytes, or "" for none.
std::string ConvertBytes(const std::string& bytes, LogReader::Mode mode) {
    const fs::path dir =
        fs::path(::testing::TempDir()) / ("tarnimex-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path log = dir / "found.nmea";
    std::ofstream(log, std::ios::binary) << bytes;
    fs::remove(dir / "found.csv");
    test::FakeHost host;
    Converter converter(host, RegionalFormat{}, TextEncoding{"ANSI_X3.4-1968", false}, mode);
    converter.ConvertFiles(log.string());
    std::string csv = fs::exists(dir / "found.csv") ? ReadFile(dir / "found.csv") : "";
    fs::remove_all(dir);
    return csv;
}

TEST(FuzzFindings, Conversions) {
    // Legend: what the fuzzer found, the log bytes, the CSV expected.
    const struct {
        const char* legend;
        std::string log;
        std::string csv;
    } cases[] = {
        {"a report without field 7 copied its missing delay from a null pointer",
         "garbage$GPTXT,01,01,02,RMC delay,2023/07/05 12:34:01.000,0.1*51\r\n$GPTXT,1,1,1,RMC "
         "delay\r\n",
         "RMC time,UTC time,Time error,Count,Max,Min\r\n"
         "2023/07/05 12:34:01,2023/07/05 12:34:00.9,0.1,2,0.1,0\r\n"
         "1899/12/30 00:00:00,1899/12/30 00:00:00,\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ConvertBytes(c.log, LogReader::Mode::Fast), c.csv) << c.legend;
        EXPECT_EQ(ConvertBytes(c.log, LogReader::Mode::Reference), c.csv) << c.legend;
    }
}

}  // namespace
}  // namespace tarnimex
