// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and saving the ten settings through a stand-in for the main window.
#include "settings/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings/converter_settings.h"
#include "settings/fake_window.h"
#include "settings/profile_file.h"
#include "settings/settings_location.h"
#include "settings/test_files.h"

namespace tarnimex {
namespace {

using testing::FakeWindow;

class OptionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        IniFileName = folder / "Conv.ini";
        AlarmStep = 0;
        SymbolOfAlarm.clear();
    }
    // Loads an 8-bit file holding the section "Option" with these lines.
    void LoadLines(const std::string& lines, const RegionalFormat& regional = {}) {
        WriteBytes(IniFileName, "[Option]\r\n" + lines);
        LoadOptions(window, regional);
    }

    ScratchFolder folder;
    FakeWindow window;
};

TEST_F(OptionsTest, FreshFileIsCreatedThenSavedAsUtf16WithTheTenKeys) {
    LoadOptions(window, {});
    EXPECT_EQ(ReadBytes(IniFileName), "\xFF\xFE");
    EXPECT_EQ(window.edits[HostField::Key], "$GPTXT");
    EXPECT_EQ(window.secDec, 0);
    EXPECT_FALSE(window.limit);
    EXPECT_EQ(AlarmStep, 50);
    EXPECT_EQ(SymbolOfAlarm, "!!");
    EXPECT_EQ(window.outer, (Rect{650, 434, 1270, 606}));

    SaveOptions(window, {});
    const std::string bytes = ReadBytes(IniFileName);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\xFF\xFE[\0O\0p\0", 8));
    EXPECT_EQ(bytes, "\xFF\xFE" + Utf16Bytes("[Option]\r\n"
                                             "KeyText=$GPTXT\r\n"
                                             "SecKeyText=RMC delay\r\n"
                                             "SecondDec=0\r\n"
                                             "TimeDiff=0.2\r\n"
                                             "MaxStep=10.0\r\n"
                                             "UseLimit=0\r\n"
                                             "AlarmStep=50\r\n"
                                             "SymbolOfAlarm=!!\r\n"
                                             "MainTop=434\r\n"
                                             "MainLeft=650\r\n"));
}

TEST_F(OptionsTest, IntegerKeysTakeOnlyWhole32BitIntegers) {
    // Legend: file lines, decimals position before the load, check state before;
    // position, check state and Limit clicks after.
    const struct {
        const char* lines;
        int secDecBefore;
        bool limitBefore;
        int secDec;
        bool limit;
        int clicks;
    } cases[] = {
        {"SecondDec=2\r\nUseLimit=1\r\n", -1, false, 2, true, 1},
        {"SecondDec=7\r\nUseLimit=2\r\n", 3, false, 0, true, 1},
        {"SecondDec=-3\r\nUseLimit=0\r\n", 3, true, 0, false, 1},
        {"SecondDec=abc\r\nUseLimit=abc\r\n", -1, true, 0, true, 0},
        {"SecondDec=abc\r\nUseLimit=\r\n", 3, false, 3, false, 0},
        {"SecondDec=$3\r\nUseLimit=0x0\r\n", -1, true, 3, false, 1},
        {"SecondDec=x4\r\nUseLimit=X1\r\n", -1, false, 4, true, 1},
        {"SecondDec=0X2\r\nUseLimit=1\r\n", -1, true, 2, true, 0},
        {"SecondDec=4294967298\r\nUseLimit=0x100000000\r\n", 3, true, 3, true, 0},
        {"SecondDec=-2147483649\r\nUseLimit=1.0\r\n", 1, false, 1, false, 0},
        {"SecondDec=2147483647\r\n", 1, false, 0, false, 0},
    };
    for (const auto& c : cases) {
        window = FakeWindow();
        window.secDec = c.secDecBefore;
        window.limit = c.limitBefore;
        LoadLines(c.lines);
        EXPECT_EQ(window.secDec, c.secDec) << c.lines;
        EXPECT_EQ(window.limit, c.limit) << c.lines;
        EXPECT_EQ(window.clicks, c.clicks) << c.lines;
    }
}

TEST_F(OptionsTest, TextKeysFollowTheirLoadRules) {
    RegionalFormat comma;
    comma.decimalSeparator = ",";
    // Legend: file lines, decimal separator; AlarmStep, SymbolOfAlarm, threshold box after.
    const struct {
        const char* lines;
        RegionalFormat regional;
        double alarmStep;
        const char* symbol;
        const char* threshold;
    } cases[] = {
        {"", {}, 50, "!!", "0.2"},
        {"AlarmStep=12.5\r\nSymbolOfAlarm= \t** \r\nTimeDiff= 1.5 \r\n", {}, 12.5, "**", "1.5"},
        {"AlarmStep=abc\r\nSymbolOfAlarm=\r\nTimeDiff=\r\n", {}, 0, "", ""},
        {"", comma, 50, "!!", "0.2"},
        {"AlarmStep=2,5\r\n", comma, 2.5, "!!", "0.2"},
        {"AlarmStep=50.5\r\n", comma, 50.5, "!!", "0.2"},
    };
    for (const auto& c : cases) {
        window = FakeWindow();
        LoadLines(c.lines, c.regional);
        EXPECT_EQ(AlarmStep, c.alarmStep) << c.lines;
        EXPECT_EQ(SymbolOfAlarm, c.symbol) << c.lines;
        EXPECT_EQ(window.edits[HostField::TimeDiff], c.threshold) << c.lines;
    }
}

TEST_F(OptionsTest, StoredPositionIsKeptOnScreenAndAHalfOneCentres) {
    // Legend: file lines; the window's outer top-left after the load.
    const struct {
        const char* lines;
        int top, left;
    } cases[] = {
        {"MainTop=300\r\nMainLeft=40\r\n", 300, 40},
        {"MainTop=100\r\n", 434, 650},
        {"MainTop=$7FFFFFFF\r\nMainLeft=10\r\n", 434, 650},
        {"MainTop=3000\r\nMainLeft=-700\r\n", 868, 0},
    };
    for (const auto& c : cases) {
        LoadLines(c.lines);
        EXPECT_EQ(window.outer.top, c.top) << c.lines;
        EXPECT_EQ(window.outer.left, c.left) << c.lines;
    }
}

TEST_F(OptionsTest, SaveKeepsOtherLinesAndTheFilesEncoding) {
    WriteBytes(IniFileName,
               "; mine\n[Other]\r\nKeyText=keep\r\n[option]\r\nkeytext=old\r\nExtra=1\r\n\r\n"
               "[Tail]\r\nx=y");
    window.edits[HostField::Key] = "$GNTXT";
    window.secDec = 2;
    window.limit = true;
    AlarmStep = 0.25;
    SymbolOfAlarm = "\xE2\x80\xBC";  // in the 8-bit file's character set, the system's
    SaveOptions(window, {});
    EXPECT_EQ(ReadBytes(IniFileName),
              "; mine\n[Other]\r\nKeyText=keep\r\n[option]\r\nKeyText=$GNTXT\r\nExtra=1\r\n"
              "SecKeyText=RMC delay\r\nSecondDec=2\r\nTimeDiff=0.2\r\nMaxStep=10.0\r\n"
              "UseLimit=1\r\nAlarmStep=0.25\r\nSymbolOfAlarm=" +
                  EncodeText(SymbolOfAlarm, SettingsTextEncoding()) +
                  "\r\nMainTop=200\r\n"
                  "MainLeft=100\r\n\r\n[Tail]\r\nx=y");
}

TEST_F(OptionsTest, FailuresChangeNothing) {
    // A folder that is gone: nothing is created and nothing loaded.
    IniFileName = folder / "gone/Conv.ini";
    window.edits[HostField::Key] = "typed";
    LoadOptions(window, {});
    EXPECT_EQ(window.edits[HostField::Key], "typed");
    EXPECT_EQ(window.secDec, -1);
    EXPECT_EQ(AlarmStep, 0);
    EXPECT_EQ(window.outer.top, 200);
    SaveOptions(window, {});
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "gone"));

    // A settings file that cannot be read is not replaced by a fresh one.
    IniFileName = folder / "dir.ini";
    std::filesystem::create_directory(IniFileName);
    SaveOptions(window, {});
    EXPECT_TRUE(std::filesystem::is_directory(IniFileName));

    // Nor one too large to be a settings file, which is not loaded either; nor
    // a device that never ends, which must neither hang nor fill memory.
    const std::string big =
        "[Option]\r\nKeyText=$BIG\r\n" + std::string(kMaxSettingsFileBytes, ';');
    IniFileName = folder / "big.ini";
    WriteBytes(IniFileName, big);
    std::vector<std::string> files = {IniFileName};
#ifndef _WIN32
    files.push_back("/dev/zero");
#endif
    for (const std::string& file : files) {
        IniFileName = file;
        LoadOptions(window, {});
        EXPECT_EQ(window.edits[HostField::Key], "typed") << file;
        SaveOptions(window, {});
    }
    EXPECT_EQ(ReadBytes(folder / "big.ini"), big);
}

TEST_F(OptionsTest, ConverterReadsTheFileAsTheWindowWouldWithoutTouchingIt) {
    RegionalFormat comma;
    comma.decimalSeparator = ",";
    const std::string file =
        "[Option]\r\nKeyText=$GNTXT\r\nSecondDec=9\r\nUseLimit=abc\r\nMaxStep=\r\n"
        "AlarmStep=7,5\r\nSymbolOfAlarm= # \r\nMainTop=1\r\n";
    WriteBytes(IniFileName, file);
    const ConverterSettings settings = ReadConverterSettings(IniFileName, comma);
    EXPECT_EQ(settings.key, "$GNTXT");
    EXPECT_EQ(settings.secondKey, std::nullopt);
    EXPECT_EQ(settings.threshold, std::nullopt);
    EXPECT_EQ(settings.maxStep, "");
    EXPECT_EQ(settings.secDecIndex, 0);
    EXPECT_EQ(settings.limit, std::nullopt);
    EXPECT_EQ(settings.alarmStep, 7.5);
    EXPECT_EQ(settings.symbolOfAlarm, "#");
    EXPECT_EQ(ReadBytes(IniFileName), file);

    EXPECT_THROW(ReadConverterSettings(folder / "none.ini", {}), SettingsError);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "none.ini"));
}

}  // namespace
}  // namespace tarnimex
