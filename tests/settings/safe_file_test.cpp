// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a file (the settings, a CSV): all or nothing, and never through a
// file that should not be written.
#include "platform/safe_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "../support/environment.h"
#include "test_files.h"

namespace tarnimex {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;

TEST(SafeFileTest, ReplacesTheContentsAndLeavesNoTemporaryFile) {
    ScratchFolder folder;
    WriteBytes(folder / "real.ini", "old");
#ifdef _WIN32  // symbolic links need a privilege there: the file itself
    WriteFileAtomically(folder / "real.ini", "new", Durability::kSynced);
    constexpr std::ptrdiff_t kEntries = 1;
#else  // written through a link, which stays a link
    fs::create_symlink(folder / "real.ini", folder.path() / "link.ini");
    WriteFileAtomically(folder / "link.ini", "new", Durability::kSynced);
    EXPECT_TRUE(fs::is_symlink(folder.path() / "link.ini"));
    constexpr std::ptrdiff_t kEntries = 2;
#endif
    EXPECT_EQ(ReadBytes(folder / "real.ini"), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()),
              kEntries);
}

TEST(SafeFileTest, ReadOnlyFileIsRefusedAndKept) {
    if (test::IsRoot()) GTEST_SKIP() << "permissions do not bind root";
    ScratchFolder folder;
    WriteBytes(folder / "a.ini", "kept");
    fs::permissions(folder.path() / "a.ini", fs::perms::owner_read);
    EXPECT_THROW(WriteFileAtomically(folder / "a.ini", "new", Durability::kCached), FileError);
    EXPECT_EQ(ReadBytes(folder / "a.ini"), "kept");
}

// The temporary file's exclusive create (the C library's "x" is not honoured
// on Windows).
TEST(SafeFileTest, ANewFileNeverTakesANameThatExists) {
    ScratchFolder folder;
    WriteBytes(folder / "a.tmp", "kept");
    EXPECT_EQ(CreateNewFile(folder / "a.tmp"), kNoFile);
    EXPECT_EQ(ReadBytes(folder / "a.tmp"), "kept");
}

TEST(SafeFileTest, FailedRenameKeepsTheOldFileAndCleansUp) {
    ScratchFolder folder;
    fs::create_directories(folder.path() / "a.ini/inside");  // rename cannot replace it
    EXPECT_THROW(WriteFileAtomically(folder / "a.ini", "new", Durability::kCached), FileError);
    EXPECT_TRUE(fs::is_directory(folder.path() / "a.ini/inside"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace tarnimex
