// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop entry's start: the program works in ~/WinQ47V, made when missing.
#include "bridge/work_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class HomeFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* h = std::getenv("HOME");
    old_home_ = h ? h : "";
    had_home_ = h != nullptr;
    home_ = fs::current_path() / "home";
    fs::create_directory(home_);
    ::setenv("HOME", home_.c_str(), 1);
  }
  void TearDown() override {
    if (had_home_) ::setenv("HOME", old_home_.c_str(), 1);
    else ::unsetenv("HOME");
  }
  fs::path home_;
  std::string old_home_;
  bool had_home_ = false;
};

TEST_F(HomeFolder, MakesTheFolderOnFirstStartAndWorksThere) {
  std::string error;
  ASSERT_TRUE(EnterDesktopWorkFolder(&error)) << error;
  EXPECT_EQ(fs::current_path(), home_ / "WinQ47V");
  std::ofstream("WINQ47V.INI") << "[Settings]\n";
  // Next start: the folder and what is in it stay.
  fs::current_path(home_);
  ASSERT_TRUE(EnterDesktopWorkFolder(&error)) << error;
  EXPECT_EQ(fs::current_path(), home_ / "WinQ47V");
  EXPECT_TRUE(fs::exists("WINQ47V.INI"));
}

TEST_F(HomeFolder, StaysWhereItIsWhenTheFolderCannotBeMade) {
  std::ofstream(home_ / "WinQ47V") << "a file in the way\n";
  const fs::path before = fs::current_path();
  std::string error;
  EXPECT_FALSE(EnterDesktopWorkFolder(&error));
  EXPECT_NE(error.find("WinQ47V"), std::string::npos) << error;
  EXPECT_EQ(fs::current_path(), before);
}

}  // namespace
