// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a file (the settings, a CSV): all or nothing, and never through a
// file that should not be written.
#include "platform/safe_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include "settings/test_files.h"
#include "support/environment.h"

namespace tarnimex {
namespace {

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
    // A name as long as names may be (the new file's too, then), cut in the
    // middle of a character.
    const std::string longest = std::string(1, 'n') + [] {
        std::string umlauts;
        for (int i = 0; i < 125; ++i) umlauts += "\xC3\xA4";
        return umlauts;
    }() + ".csv";
    WriteFileAtomically(folder / longest, "new", Durability::kCached);
    EXPECT_EQ(ReadBytes(folder / longest), "new");
    constexpr std::ptrdiff_t kEntries = 3;
#endif
    EXPECT_EQ(ReadBytes(folder / "real.ini"), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()),
              kEntries);

    // A large file replacing another is written out while it is written (on
    // ext4): in many writes, every byte stays in its place.
    std::string large;
    for (int i = 0; large.size() < (9u << 20); ++i) large += std::to_string(i) + ',';
    {
        SafeFile file(folder / "real.ini", Durability::kCached);
        for (std::size_t at = 0; at < large.size(); at += 100'000)
            ASSERT_TRUE(file.Write(std::string_view(large).substr(at, 100'000)));
        file.Commit();
    }
    EXPECT_EQ(ReadBytes(folder / "real.ini"), large);
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

#ifndef _WIN32  // FIFOs, sockets and owners
TEST(SafeFileTest, ADeviceOrPipeIsWrittenInPlaceAndNothingElseIsReplaced) {
    ScratchFolder folder;
    // A pipe's reader gets the bytes, as from /dev/null nothing is left over.
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    const int reader = ::open((folder / "pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    WriteFileAtomically(folder / "pipe", "new", Durability::kSynced);
    char received[8] = {};
    EXPECT_EQ(::read(reader, received, sizeof received), 3);
    ::close(reader);
    EXPECT_STREQ(received, "new");
    EXPECT_TRUE(fs::is_fifo(folder.path() / "pipe"));
    // A socket is neither.
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = folder / "socket";
    ASSERT_LT(name.size(), sizeof address.sun_path);
    name.copy(address.sun_path, name.size());
    ASSERT_EQ(::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_THROW(WriteFileAtomically(name, "new", Durability::kCached), FileError);
    ::close(socket);
    EXPECT_TRUE(fs::is_socket(name));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2);
}

TEST(SafeFileTest, AnotherUsersFileKeepsItsOwnerAndTheirPlantedLinkIsNotFollowed) {
    if (!test::IsRoot()) GTEST_SKIP() << "files of another user need root";
    constexpr uid_t kOther = 65534;
    ScratchFolder folder;
    WriteBytes(folder / "theirs.csv", "old");
    ASSERT_EQ(::chown((folder / "theirs.csv").c_str(), kOther, kOther), 0);
    WriteFileAtomically(folder / "theirs.csv", "new", Durability::kCached);
    struct stat theirs {};
    ASSERT_EQ(::stat((folder / "theirs.csv").c_str(), &theirs), 0);
    EXPECT_EQ(theirs.st_uid, kOther);
    EXPECT_EQ(theirs.st_gid, kOther);
    // In a folder anyone may write, sticky as /tmp: a link the folder's owner
    // made is followed, one of another user is not.
    fs::create_directory(folder.path() / "shared");
    fs::permissions(folder.path() / "shared", fs::perms::all | fs::perms::sticky_bit);
    WriteBytes(folder / "target", "kept");
    fs::create_symlink(folder / "target", folder / "shared/planted");
    ASSERT_EQ(::lchown((folder / "shared/planted").c_str(), kOther, kOther), 0);
    try {
        WriteFileAtomically(folder / "shared/planted", "new", Durability::kCached);
        ADD_FAILURE() << "followed";
    } catch (const FileError& e) {
        EXPECT_NE(e.Reason().find("symbolic link"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadBytes(folder / "target"), "kept");
    fs::create_symlink(folder / "target", folder / "shared/mine");
    WriteFileAtomically(folder / "shared/mine", "new", Durability::kCached);
    EXPECT_EQ(ReadBytes(folder / "target"), "new");
}
#endif

}  // namespace
}  // namespace tarnimex
