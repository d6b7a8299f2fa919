// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers the runs cannot keep are refused with the limits, and numbers out of a
// setting's range are called that, not "not a number".
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "files_tool_support.h"

namespace {

TEST(NumbersTest, RecordRefusesLimitsItCannotKeep) {
  std::ofstream("WINQ47V.INI") << "[Settings]\n";
  struct Case {
    const char* args;
    const char* limit;
  } cases[] = {
      {"--seconds 5e9", "2147483647"},
      {"--seconds 1e300", "2147483647"},
      {"--pings 1e19", "2147483647"},
      {"--auto-profile vertical --sweeps 3000000000", "2147483647"},
      {"--auto-profile horizontal --payout 1e308", "999.99"},
      {"--auto-profile horizontal --payout 1e30", "999.99"},
  };
  for (const Case& c : cases) {
    const FilesToolRun run = RunQ47v(std::string("record --ini WINQ47V.INI --out x.47v ") + c.args);
    EXPECT_EQ(run.status, 2) << c.args << ": " << run.err;
    EXPECT_NE(run.err.find(c.limit), std::string::npos) << c.args << ": " << run.err;
  }
}

TEST(NumbersTest, OutOfRangeIsCalledThat) {
  std::ofstream("WINQ47V.INI") << "[Settings]\nProfileChainage=1e308\n";
  FilesToolRun run = RunQ47v("settings WINQ47V.INI");
  EXPECT_EQ(run.status, 0) << run.err;
  const std::size_t at = run.out.find("\nProfileChainage=");
  ASSERT_NE(at, std::string::npos) << run.out;
  const std::string line = run.out.substr(at + 1, run.out.find('\n', at + 1) - at - 1);
  EXPECT_NE(line.find("'1e308' is not in the range of the setting, any number from -3.4e38 to 3.4e38"),
            std::string::npos)
      << line;
  EXPECT_EQ(line.find("finite"), std::string::npos) << line;

  MakeToolFile("few.47v", 3);
  run = RunQ47v("xyz few.47v --geometry vertical --out o --set ProfileChainage=1e999");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("'1e999' is out of range for the setting"), std::string::npos) << run.err;
  run = RunQ47v("xyz few.47v --geometry vertical --out o --set ProfileChainage=1e39");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("'1e39' is out of range for the setting"), std::string::npos) << run.err;
  // Too small to tell from zero: a number, read as 0.
  run = RunQ47v("xyz few.47v --geometry vertical --out o --set ProfileChainage=1e-320");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("not a number"), std::string::npos) << run.err;
}

}  // namespace
