// SPDX-License-Identifier: GPL-3.0-or-later
// Tests with a folder of their own: named after the process and the test, made
// empty before each test and removed after it, whatever permissions the test
// left on it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "files.h"

namespace tarnimex::test {

class ScratchFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("tarnimex-" + std::to_string(::getpid()) + "-" + test->test_suite_name() + "-" +
                test->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    // A file of these bytes in the folder; its path.
    std::string Log(const std::string& name, const std::string& bytes) {
        WriteFile(dir_ / name, bytes);
        return (dir_ / name).string();
    }

    std::filesystem::path dir_;
};

}  // namespace tarnimex::test
