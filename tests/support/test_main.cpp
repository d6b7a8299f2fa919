// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry point: every test case runs in a fresh temporary working directory,
// because the program reads and writes WINQ47V.INI where it runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

class TempDirPerTest : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override {
    std::string pattern = (std::filesystem::temp_directory_path() / "q47v-test-XXXXXX").string();
    if (char* made = ::mkdtemp(pattern.data())) {
      dir_ = made;
      if (::chdir(dir_.c_str()) != 0) dir_.clear();
    }
  }
  void OnTestEnd(const ::testing::TestInfo& info) override {
    if (dir_.empty()) return;
    [[maybe_unused]] int rc = ::chdir(std::filesystem::temp_directory_path().c_str());
    // Keep the folder of a failed test for inspection.
    if (info.result() && info.result()->Passed() && !std::getenv("Q47V_KEEP_TEST_DIRS")) {
      std::error_code ec;
      std::filesystem::remove_all(dir_, ec);
    }
    dir_.clear();
  }

 private:
  std::string dir_;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new TempDirPerTest);
  return RUN_ALL_TESTS();
}
