// SPDX-License-Identifier: GPL-3.0-or-later
// Tests with a folder of their own: named after the process and the test, made
// empty before each test and removed after it, whatever permissions the test
// left on it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/path_names.h"
#include "support/files.h"

namespace tarnimex::test {

class ScratchFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("tarnimex-" + std::to_string(::getpid()) + "-" + test->test_suite_name() + "-" +
                test->name());
        Remove(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { Remove(dir_); }
    // The UTF-8 path of an entry of the folder (name in UTF-8).
    std::string Path(const std::string& name) const {
        return Utf8FromPath(dir_ / PathFromUtf8(name));
    }
    // A file of these bytes in the folder; its path.
    std::string Log(const std::string& name, const std::string& bytes) {
        WriteFile(PathFromUtf8(Path(name)), bytes);
        return Path(name);
    }

    std::filesystem::path dir_;

  private:
    // Windows removes no read-only file (copies of read-only files are read-only too).
    static void Remove(const std::filesystem::path& dir) {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        std::error_code walk;
        for (fs::recursive_directory_iterator it(dir, walk), end; !walk && it != end;
             it.increment(walk))
            fs::permissions(it->path(), fs::perms::owner_all,
                            fs::perm_options::add | fs::perm_options::nofollow, ec);
        fs::remove_all(dir, ec);
    }
};

}  // namespace tarnimex::test
