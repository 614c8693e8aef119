// SPDX-License-Identifier: GPL-3.0-or-later
// The limits file: what a good one gives, and that every fault is refused with
// the file, line and key named rather than passed over.
#include "settings/limits_file.h"

#include <gtest/gtest.h>

#include <string>

#include "settings/settings_error.h"
#include "settings/test_files.h"

namespace tarnimex {
namespace {

using testing::ScratchFolder;
using testing::Utf16Bytes;

TimingLimits Parse(const std::string& bytes) {
    return ParseLimits(ProfileFile::FromBytes(bytes), "lim.ini");
}

TEST(LimitsFile, ReadsEveryKey) {
    const TimingLimits l = Parse(
        "; acceptance limits\r\n\r\n[limits]\r\nWarmUp = 600\r\nMaxAbsTimeError=1e-4\r\n"
        "PeakToPeak=0.25\nMean=0\nStdDev=1.5\nP99=2\nALARMSTRETCHES=3\n# gaps\nMissingTime=60\n"
        "MTIE=1:0.1, 100:0.3 ,1000 : 0.5\nTDEV=10:1e-9");
    EXPECT_EQ(l.warmUp, 600);
    const double want[] = {1e-4, 0.25, 0, 1.5, 2, 3, 60};
    for (std::size_t i = 0; i < std::size(want); ++i) EXPECT_EQ(l.scalar[i], want[i]) << i;
    ASSERT_EQ(l.mtie.points.size(), 3u);
    EXPECT_EQ(l.mtie.points[2].tau, 1000);
    EXPECT_EQ(l.mtie.points[2].limit, 0.5);
    ASSERT_EQ(l.tdev.points.size(), 1u);
    EXPECT_EQ(l.tdev.points[0].limit, 1e-9);

    const TimingLimits none = Parse("\xFF\xFE" + Utf16Bytes("[Limits]\r\nP99=0.5\r\n"));
    EXPECT_EQ(none.warmUp, 0) << "default";
    EXPECT_FALSE(none.scalar[0]);
    EXPECT_EQ(none.scalar[static_cast<std::size_t>(ScalarLimit::kP99)], 0.5) << "UTF-16";
    EXPECT_TRUE(none.mtie.points.empty());
}

TEST(LimitsFile, FaultsNameTheFileLineAndKey) {
    // Legend: the file's text; the message.
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"[Limits]\nMaxTE=1", "Limits file \"lim.ini\", line 2, MaxTE: no such limit."},
        {"[Limits]\n\nStdDev=0,5",
         "Limits file \"lim.ini\", line 3, StdDev: \"0,5\" is no number."},
        {"[Limits]\nP99=", "Limits file \"lim.ini\", line 2, P99: \"\" is no number."},
        {"[Limits]\nP99=nan", "Limits file \"lim.ini\", line 2, P99: \"nan\" is no number."},
        {"[Limits]\nP99=1 s", "Limits file \"lim.ini\", line 2, P99: \"1 s\" is no number."},
        {"[Limits]\nMean=-1", "Limits file \"lim.ini\", line 2, Mean: \"-1\" is below zero."},
        {"[Limits]\nMean=1\nmean=2",
         "Limits file \"lim.ini\", line 3, mean: given before, on line 2."},
        {"[Limits]\r\nMTIE=1:0.1, 1000:0.5, 100:0.3",
         "Limits file \"lim.ini\", line 2, MTIE: the TAU must rise, and \"100:0.3\" follows a TAU "
         "of 1000."},
        {"[Limits]\nTDEV=1:0.1,",
         "Limits file \"lim.ini\", line 2, TDEV: \"\" is no TAU:LIMIT point."},
        {"[Limits]\nTDEV=1=0.1",
         "Limits file \"lim.ini\", line 2, TDEV: \"1=0.1\" is no TAU:LIMIT "
         "point."},
        {"P99=1\n[Limits]",
         "Limits file \"lim.ini\", line 1, P99: the key stands outside the [Limits] section."},
        {"[Limits]\n[Other]\nP99=1",
         "Limits file \"lim.ini\", line 2: \"[Other]\" is no [Limits] "
         "section."},
        {"[Limits]\nP99 1", "Limits file \"lim.ini\", line 2: \"P99 1\" is no KEY=VALUE line."},
    };
    for (const auto& c : cases) {
        try {
            Parse(c.text);
            ADD_FAILURE() << c.text;
        } catch (const SettingsError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

TEST(LimitsFile, ReadsOnlyABoundedRegularFile) {
    ScratchFolder folder;
    testing::WriteBytes(folder / "good.ini", "[Limits]\nPeakToPeak=1\n");
    EXPECT_EQ(ReadLimitsFile(folder / "good.ini").scalar[1], 1);
    testing::WriteBytes(folder / "large.ini", std::string(kMaxLimitsFileBytes + 1, ';'));
    for (const char* name : {"missing.ini", "large.ini", "."}) {
        try {
            ReadLimitsFile(folder / name);
            ADD_FAILURE() << name;
        } catch (const SettingsError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Cannot read limits file \"" + folder / name, 0),
                      0u)
                << e.what();
        }
    }
}

}  // namespace
}  // namespace tarnimex
