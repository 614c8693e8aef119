// SPDX-License-Identifier: GPL-3.0-or-later
// What the tests of whole conversion runs share: a folder of their own, a
// recording host, whole-file reads and writes and report lines, with the short
// names the tests use them by.
#pragma once

#include <filesystem>
#include <string>

#include "support/fake_host.h"
#include "support/files.h"
#include "support/frames.h"
#include "support/scratch_folder.h"

namespace tarnimex {
namespace test {

// `count` reports a second apart, from `first` seconds after midnight on; with
// the default delay each is kReportLength bytes.
constexpr std::size_t kReportLength = 58;
inline std::string Reports(int first, int count, const std::string& delay = "0.5") {
    std::string bytes;
    for (int i = first; i < first + count; ++i) bytes += ReportLine(ReportTime(i, ".250"), delay);
    return bytes;
}

}  // namespace test

namespace fs = std::filesystem;
using test::FakeHost;
using test::kReportLength;
using test::ReadFile;
using test::Reports;
using test::WriteFile;

}  // namespace tarnimex
