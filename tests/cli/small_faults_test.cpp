// SPDX-License-Identifier: GPL-3.0-or-later
// Smaller faults of the tools: whole output paths made, a changed settings file
// said even when the report cannot be written, damage in a re-made survey told,
// the live view's keys listed, an empty recording called empty.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files_tool_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kPolar = std::string(Q47V_TESTDATA_DIR) + "/imaging/harbour_polar.47V";

TEST(SmallFaultsTest, XyzMakesTheWholeOutputPath) {
  const FilesToolRun run = RunQ47v("xyz " + kPolar + " --geometry vertical --out a/b/c");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists("a/b/c/08dec2026-0001.xyz"));
}

TEST(SmallFaultsTest, PortsSaysTheFileChangedWhenTheReportIsLost) {
  std::ofstream("WINQ47V.INI") << "[Settings]\nRange=5\n";
  const FilesToolRun run = RunQ47v("ports WINQ47V.INI --set COM3=/dev/ttyS3 >/dev/full");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the ports were set in WINQ47V.INI nevertheless"), std::string::npos) << run.err;
  std::ifstream in("WINQ47V.INI");
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("COM3=/dev/ttyS3"), std::string::npos);
}

TEST(SmallFaultsTest, XyzTellsTheDamagePassedOver) {
  std::vector<uint8_t> bytes = ReadBytes(kPolar);
  ASSERT_GT(bytes.size(), 100000u);
  bytes.insert(bytes.begin() + 100000, 3000, 0x55);
  WriteBytes("damaged.47V", bytes);
  const FilesToolRun run = RunQ47v("xyz damaged.47V --geometry vertical --out d");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("3000 damaged bytes in 1 stretch passed over"), std::string::npos) << run.err;
  const FilesToolRun whole = RunQ47v("xyz " + kPolar + " --geometry vertical --out w");
  EXPECT_EQ(whole.err.find("damaged"), std::string::npos) << whole.err;
}

TEST(SmallFaultsTest, SettingsListsTheLiveViewKeys) {
  std::ofstream("WINQ47V.INI") << "[Settings]\n[Live View]\nAddress=127.0.0.300\nPort=8100\n";
  const FilesToolRun run = RunQ47v("settings WINQ47V.INI --check");
  EXPECT_EQ(run.status, 3) << run.out << run.err;
  EXPECT_NE(run.out.find("\n[Live View]\nAddress=127.0.0.300 "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("not valid: the live view will not start"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nPort=8100\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nViewers=32 "), std::string::npos) << run.out;
}

TEST(SmallFaultsTest, AnEmptyRecordingIsCalledEmptyByName) {
  std::ofstream("empty.47V").flush();
  for (const std::string verb : {"xyz empty.47V --geometry vertical --out e", "render empty.47V --out e"}) {
    const FilesToolRun run = RunQ47v(verb);
    EXPECT_EQ(run.status, 1) << verb;
    EXPECT_NE(run.err.find("empty.47V is empty"), std::string::npos) << verb << ": " << run.err;
  }
}

}  // namespace
