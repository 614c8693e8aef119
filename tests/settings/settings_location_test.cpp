// SPDX-License-Identifier: GPL-3.0-or-later
// Where the settings file goes: beside the executable when its folder can be
// written, else the per-user copy, refreshed only from a newer source.
#include "settings/settings_location.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "settings/test_files.h"
#include "support/child_process.h"
#include "support/environment.h"

namespace tarnimex {
namespace {

// Sets or clears an environment variable for one test, restoring it after.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? test::SetVariable(name, value->c_str()) : test::UnsetVariable(name);
    }
    ~ScopedVariable() {
        old_ ? test::SetVariable(name_, old_->c_str()) : test::UnsetVariable(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

void SetWriteTime(const std::string& path, std::time_t seconds) {
    fs::last_write_time(
        path, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(seconds)));
}

// The executable is <scratch>/Tools/Conv, the per-user root <scratch>/AppData.
class SettingsLocationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(folder.path() / "Tools");
        SetExecutablePathForTesting(folder / "Tools/Conv");
    }
    void TearDown() override {
        SetExecutablePathForTesting("");
        std::error_code ec;  // so the scratch folder can be removed
        fs::permissions(folder.path() / "Tools", fs::perms::owner_all, fs::perm_options::add, ec);
    }

    // GetIniFileName("") by a user who may not write Tools: this one with Tools
    // made read-only, or, as root ignores permissions, a child running as nobody
    // (the scratch folder opened to it). The path, or the error's message.
    std::string ResolveWithoutWriteAccess() {
        fs::permissions(folder.path() / "Tools", fs::perms::owner_write, fs::perm_options::remove);
        if (test::IsRoot()) fs::permissions(folder.path(), fs::perms::all);
        return test::RunInChild({.asNobody = true}, Resolve);
    }

    static std::string Resolve() {
        try {
            return GetIniFileName("");
        } catch (const SettingsError& e) {
            return e.what();
        }
    }

    ScratchFolder folder;
    ScopedVariable appData{"APPDATA", folder / "AppData"};
};

TEST_F(SettingsLocationTest, NamesResolveBesideTheExecutableOrAgainstTheWorkingFolder) {
    const fs::path cwd = fs::current_path();
    fs::current_path(folder.path());
    // Legend: the name given, the path expected (the Tools folder is writable).
    const struct {
        std::string name, expected;
    } cases[] = {
        {"", folder / "Tools/Conv.ini"},
        {"my.ini", folder / "Tools/my.ini"},
#ifndef _WIN32  // ordinary characters on POSIX
        {"back\\slash:colon.ini", folder / "Tools/back\\slash:colon.ini"},
#endif
        {"Tools/../Tools/./sub.ini", folder / "Tools/sub.ini"},
        {folder / "Tools/x/../abs.ini", folder / "Tools/abs.ini"},
    };
    for (const auto& c : cases) EXPECT_EQ(GetIniFileName(c.name), c.expected) << c.name;
    fs::current_path(cwd);

    SetExecutablePathForTesting(folder / "Tools/Conv.bin");
    EXPECT_EQ(GetIniFileName(""), folder / "Tools/Conv.ini");
    for (const auto& entry : fs::directory_iterator(folder.path() / "Tools")) {
        ADD_FAILURE() << "left behind: " << entry.path();
    }
}

TEST_F(SettingsLocationTest, MissingFolderGivesThePerUserPathWithoutACopy) {
    EXPECT_EQ(GetWritableFileName(folder / "Gone/other.ini"), folder / "AppData/Conv/other.ini");
    EXPECT_TRUE(fs::is_directory(folder.path() / "AppData/Conv"));
    EXPECT_FALSE(fs::exists(folder.path() / "AppData/Conv/other.ini"));
}

TEST_F(SettingsLocationTest, PerUserRootFallsBackToXdgThenHome) {
#ifdef _WIN32
    GTEST_SKIP() << "XDG_CONFIG_HOME and HOME are the POSIX fallbacks";
#endif
    ScopedVariable noAppData{"APPDATA", std::nullopt};
    {
        ScopedVariable xdg{"XDG_CONFIG_HOME", folder / "xdg"};
        EXPECT_EQ(GetWritableFileName(folder / "Gone/a.ini"), folder / "xdg/Conv/a.ini");
    }
    ScopedVariable noXdg{"XDG_CONFIG_HOME", std::nullopt};
    ScopedVariable home{"HOME", folder / "home"};
    EXPECT_EQ(GetWritableFileName(folder / "Gone/a.ini"), folder / "home/.config/Conv/a.ini");
}

TEST_F(SettingsLocationTest, UncreatablePerUserFolderIsReported) {
    WriteBytes(folder / "AppData", "a file, not a folder");
    try {
        GetWritableFileName(folder / "Gone/a.ini");
        FAIL() << "no error";
    } catch (const SettingsError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create : " + (folder / "AppData/Conv/"));
    }
}

TEST_F(SettingsLocationTest, UnwritableFolderCopiesOnlyANewerSource) {
    if (!test::kFolderPermissions) GTEST_SKIP() << "no folder made unwritable on this system";
    const std::string source = folder / "Tools/Conv.ini";
    const std::string copy = folder / "AppData/Conv/Conv.ini";
    const std::time_t future = std::time(nullptr) + 3600;
    WriteBytes(source, "source");

    // No copy yet: the source is copied.
    EXPECT_EQ(ResolveWithoutWriteAccess(), copy);
    EXPECT_EQ(ReadBytes(copy), "source");

    // A copy written after the source stays untouched.
    WriteBytes(copy, "edited copy");
    SetWriteTime(copy, future);
    EXPECT_EQ(ResolveWithoutWriteAccess(), copy);
    EXPECT_EQ(ReadBytes(copy), "edited copy");

    // A source written after the copy replaces it.
    SetWriteTime(copy, std::time(nullptr) - 3600);
    SetWriteTime(source, future);
    EXPECT_EQ(ResolveWithoutWriteAccess(), copy);
    EXPECT_EQ(ReadBytes(copy), "source");
}

TEST_F(SettingsLocationTest, FailedCopyIsReportedWithTheCopysPath) {
    if (!test::kFolderPermissions) GTEST_SKIP() << "no folder made unwritable on this system";
    const std::string copy = folder / "AppData/Conv/Conv.ini";
    fs::create_directories(copy);  // a folder where the copy should go
    WriteBytes(folder / "Tools/Conv.ini", "source");
    SetWriteTime(folder / "Tools/Conv.ini", std::time(nullptr) + 3600);
    EXPECT_EQ(ResolveWithoutWriteAccess(), "Cannot Copy : " + copy);
}

TEST(FileDateTest, FileTimesBecomeLocalDatesToTheMillisecond) {
    struct RestoreZone {
        ~RestoreZone() { tzset(); }
    } restore;                           // destroyed last, after TZ is put back
    ScopedVariable zone{"TZ", "XXX-2"};  // two hours east of UTC
    tzset();
    constexpr std::int64_t kUnixEpoch = 116'444'736'000'000'000;  // 1970-01-01 in file time
    constexpr double kTwoHours = 2.0 / 24;
    EXPECT_EQ(FileTimeToDate(0), 0);
    EXPECT_EQ(FileTimeToDate(-1), 0);
    EXPECT_DOUBLE_EQ(FileTimeToDate(kUnixEpoch), 25569 + kTwoHours);
    EXPECT_DOUBLE_EQ(FileTimeToDate(kUnixEpoch + 864'000'000'000 + 5'000), 25570 + kTwoHours);
    // Ticks within one millisecond are equal; the next millisecond is later.
    EXPECT_EQ(FileTimeToDate(kUnixEpoch + 10'000), FileTimeToDate(kUnixEpoch + 19'999));
    EXPECT_LT(FileTimeToDate(kUnixEpoch + 19'999), FileTimeToDate(kUnixEpoch + 20'000));
}

TEST(FileDateTest, DateIsTheLaterOfCreationAndLastWrite) {
    ScratchFolder folder;
    EXPECT_EQ(GetFileDate(folder / "missing"), 0);
    WriteBytes(folder / "f", "x");
    const std::time_t future = std::time(nullptr) + 86'400;
    SetWriteTime(folder / "f", future);
    EXPECT_EQ(GetFileDate(folder / "f"), FileTimeToDate((future + 11'644'473'600LL) * 10'000'000));
}

}  // namespace
}  // namespace tarnimex
