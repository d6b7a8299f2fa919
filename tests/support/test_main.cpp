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

// Sanitizer builds read these hooks at start-up. They leave out what system libraries
// do that the tests cannot change: fontconfig keeps its configuration for the life of
// the process once Qt has loaded fonts, and Qt's own thread pools (painting of large
// images, the offscreen platform) are not built with ThreadSanitizer.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core\nrace:libQt6Gui\nrace:libQt6Widgets\ncalled_from_lib:libQt6Gui\n";
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new TempDirPerTest);
  return RUN_ALL_TESTS();
}
