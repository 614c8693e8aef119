// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files that are damaged, huge or may not be written: load and save
// never fail, keep every line that is not one of the ten keys, and a save
// replaces the file whole or not at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "settings/fake_window.h"
#include "settings/options.h"
#include "settings/profile_file.h"
#include "settings/settings_location.h"
#include "settings/test_files.h"
#include "support/child_process.h"

namespace tarnimex {
namespace {

using testing::FakeWindow;

// Bytes of every kind, line breaks and NULs among them, but never a line that
// reads as a section or a key.
std::string Garbage(std::size_t size) {
    std::mt19937 random(6);
    std::string bytes;
    while (bytes.size() < size) {
        const auto b = static_cast<char>(random());
        if (b != '[' && b != '=') bytes += b;
    }
    return bytes;
}

class SettingsFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        IniFileName = folder / "Conv.ini";
        AlarmStep = 0;
        SymbolOfAlarm.clear();
    }
    ScratchFolder folder;
};

TEST_F(SettingsFaults, DamagedAndHugeFilesLoadAndSave) {
    const std::string garbage = Garbage(64 << 10);
    std::string big = "[Big]\r\n";
    while (big.size() < kMaxSettingsFileBytes - 1000)
        big += "Line" + std::to_string(big.size()) + "=" + std::string(50, 'x') + "\r\n";
    const std::string longValue = "Other=" + std::string(5000, 'o') + "\r\n";
    // Legend: the file; the key box after the load; byte strings the saved file
    // must still hold.
    const struct {
        const char* legend;
        std::string file;
        std::string keyText;
        std::vector<std::string> kept;
    } cases[] = {
        {"an empty file", "", "$GPTXT", {}},
        {"binary garbage", garbage, "$GPTXT", {garbage}},
        {"UTF-16 of an odd length",
         "\xFF\xFE" + Utf16Bytes("; mine\r\n[Option]\r\nKeyText=$GNTXT\r\nOther=1") + "x",
         "$GNTXT",
         {"\xFF\xFE" + Utf16Bytes("; mine\r\n[Option]\r\n"), Utf16Bytes("Other=1") + "x"}},
        {"UTF-16 that is garbage", "\xFF\xFE" + garbage, "$GPTXT", {"\xFF\xFE" + garbage}},
        {"just below the size limit", big + "[Option]\r\nKeyText=$GNTXT\r\n", "$GNTXT", {big}},
        {"values of 5,000 characters",
         "[Option]\r\nKeyText=" + std::string(5000, 'k') + "\r\n" + longValue,
         std::string(2047, 'k'),
         {longValue}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        WriteBytes(IniFileName, c.file);
        FakeWindow window;
        LoadOptions(window, {});
        EXPECT_EQ(window.edits[HostField::Key], c.keyText);
        window.edits[HostField::SecKey] = "saved";
        SaveOptions(window, {});
        const std::string saved = ReadBytes(IniFileName);
        const ProfileFile profile = ProfileFile::FromBytes(saved);
        EXPECT_EQ(profile.Read("Option", "KeyText"), c.keyText);
        EXPECT_EQ(profile.Read("Option", "SecKeyText"), "saved");
        for (const std::string& kept : c.kept) {
            EXPECT_NE(saved.find(kept), std::string::npos) << "a line that is not ours was lost";
        }
    }
}

TEST_F(SettingsFaults, ASaveIsWholeOrNothing) {
    const std::string before =
        "\xFF\xFE" + Utf16Bytes("; mine\r\n[Option]\r\nKeyText=$GNTXT\r\nOther=1\r\n" +
                                std::string(4000, ' ') + "\r\n[Tail]\r\nx=y\r\n");
    // Legend: how the save fails: the child's user and file size limit, and the
    // permissions of the file and its folder.
    const struct {
        const char* legend;
        test::ChildLimits limits;
        fs::perms file, folder;
    } cases[] = {
        {"a read-only file",
         {true, 0},
         fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
         fs::perms::all},
        {"a folder that may not be written",
         {true, 0},
         fs::perms::all,
         fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
             fs::perms::others_exec},
        {"a disk that fills during the save", {false, 100}, fs::perms::all, fs::perms::all},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        if (!test::kFileSizeLimits && c.limits.maxFileSize > 0) continue;
        if (!test::kFolderPermissions && c.folder != fs::perms::all) continue;
        fs::permissions(folder.path(), fs::perms::all);
        WriteBytes(IniFileName, before);
        fs::permissions(IniFileName, c.file);
        fs::permissions(folder.path(), c.folder);
        const std::string loaded = test::RunInChild(c.limits, [&] {
            FakeWindow window;
            LoadOptions(window, {});
            const std::string keyText = window.edits[HostField::Key];
            window.edits[HostField::Key] = "$CHANGED";
            SaveOptions(window, {});
            return keyText;
        });
        fs::permissions(folder.path(), fs::perms::all);
        EXPECT_EQ(loaded, "$GNTXT") << "the file still loads";
        EXPECT_EQ(ReadBytes(IniFileName), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1)
            << "a temporary file was left";
    }
}

}  // namespace
}  // namespace tarnimex
