// SPDX-License-Identifier: GPL-3.0-or-later
// The survey files of q47v xyz and q47v record on hostile ground: a full disk,
// links planted under the next names, a used-up numbering. Only whole files are
// left and listed, nothing is written through a link, and the runs fail loudly.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "child_process.h"
#include "files_tool_support.h"

namespace fs = std::filesystem;

namespace {

// One complete 360-degree turn: one survey file named 08dec2026-0001.
const std::string kPolar = std::string(Q47V_TESTDATA_DIR) + "/imaging/harbour_polar.47V";

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A full disk, as a file size limit (20 KB; a whole revolution's file is larger):
// the run fails, says which file and why once, and lists and leaves behind only
// files written whole.
TEST(SurveyFilesTest, XyzOnAFullDiskLeavesAndListsNothingIncomplete) {
  const std::string command = "ulimit -f 40; " + Bin("/src/cli/q47v") + " xyz " + kPolar +
                              " --geometry vertical --out full --ply --svg >out.txt 2>err.txt; echo $? >status.txt";
  ASSERT_EQ(std::system(("/bin/sh -c '" + command + "'").c_str()), 0);
  const std::string out = ReadText("out.txt"), err = ReadText("err.txt");
  EXPECT_EQ(ReadText("status.txt"), "1\n") << out << err;
  // The file that did not fit is named once with the reason and not listed; what
  // is left in the folder belongs to a file written whole and listed.
  const std::size_t named = err.find("could not be saved to full/");
  ASSERT_NE(named, std::string::npos) << err;
  const std::string failed = err.substr(named + std::string("could not be saved to ").size(), 23);  // full/08dec2026-NNNN.xyz
  EXPECT_EQ(out.find(failed), std::string::npos) << "listed as written: " << out;
  EXPECT_NE(err.find("File too large"), std::string::npos) << err;
  EXPECT_EQ(Count(err, "File too large"), 1u) << err;
  EXPECT_EQ(err.find("pinging goes on"), std::string::npos) << err;
  for (const std::string& name : Entries("full"))
    EXPECT_NE(out.find("full/" + name.substr(0, 14) + ".xyz"), std::string::npos) << "left behind: " << name;
}

// Links planted under the next picture name and under the last number: nothing
// is written through them, the targets are untouched, and the run fails saying
// why and how many sweeps it could not write.
TEST(SurveyFilesTest, XyzNeverWritesThroughPlantedLinks) {
  fs::create_directory("out");
  fs::create_symlink("../outside.ply", "out/08dec2026-0001.ply");  // dangling
  FilesToolRun run = RunQ47v("xyz " + kPolar + " --geometry vertical --out out --ply --svg");
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_FALSE(fs::exists("outside.ply")) << "written through the link";
  EXPECT_TRUE(fs::is_symlink("out/08dec2026-0001.ply"));
  EXPECT_NE(run.err.find("08dec2026-0001.ply exists already"), std::string::npos) << run.err;

  fs::create_directory("used");
  std::ofstream("target.txt") << "keep";
  fs::create_symlink("../target.txt", "used/08dec2026-9999.xyz");
  run = RunQ47v("xyz " + kPolar + " --geometry vertical --out used");
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_EQ(ReadText("target.txt"), "keep");
  EXPECT_TRUE(fs::is_symlink("used/08dec2026-9999.xyz"));
  EXPECT_EQ(run.out.find("points"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("numbering of 08dec2026 is used up"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(" could not be written"), std::string::npos) << run.err;
  EXPECT_EQ(Entries("used").size(), 1u);
}

// A headless survey whose survey folder fills up: a small file system of its own
// (a tmpfs in a private mount namespace, where this user may make one).
TEST(SurveyFilesTest, RecordSurveyOnAFullDiskFails) {
  if (std::system("unshare -m true 2>/dev/null") != 0) GTEST_SKIP() << "no private mounts here";
  std::ofstream("WINQ47V.INI") << "[Settings]\nRunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\n"
                                  "Units=0\nXYZTimestamp=1\nXYZRangeHorVer=1\nUseGPS=0\n"
                                  "[Orientation Module Settings]\nEnableOrientationModule=0\n";
  Child sim;
  ASSERT_TRUE(sim.Start({Bin("/src/sim/q47v-sim"), "--quiet", "--ini", "WINQ47V.INI", "--fast", "--scene", "channel",
                         "--head-link", "head", "--no-gps", "--no-azimuth", "--no-orientation"}));
  ASSERT_TRUE(sim.WaitForOutput("Q47V_SIM_HEAD"));
  fs::create_directory("full");
  Child rec;
  ASSERT_TRUE(rec.Start({"/bin/sh", "-c",
                         "unshare -m sh -c 'mount -t tmpfs -o size=4k tmpfs full && timeout -s KILL 120 " +
                             Bin("/src/cli/q47v") +
                             " record --ini WINQ47V.INI --out run.47V --auto-profile vertical --sweeps 2 "
                             "--xyz-dir full 2>&1; echo status=$?; echo listing:; ls -a full' 2>&1"}));
  rec.Wait();
  const std::string out = rec.Output();
  EXPECT_NE(out.find("status=1"), std::string::npos) << out;
  EXPECT_NE(out.find("could not be written"), std::string::npos) << out;
  EXPECT_EQ(out.find("survey complete"), std::string::npos) << out;
  const std::size_t listing = out.find("listing:");
  ASSERT_NE(listing, std::string::npos) << out;
  // Only the files told as written, whole; nothing half-made (no temporary files).
  std::size_t files = 0;
  for (std::size_t at = out.find('\n', listing); at != std::string::npos && at + 1 < out.size();
       at = out.find('\n', at + 1)) {
    const std::string name = out.substr(at + 1, out.find('\n', at + 1) - at - 1);
    if (name == "." || name == ".." || name.empty()) continue;
    EXPECT_NE(name[0], '.') << "left on the full disk: " << name;
    ++files;
  }
  EXPECT_NE(out.find("2 sweeps, " + std::to_string(files) + " .XYZ files in full; " + std::to_string(2 - files) +
                     " could not be written"),
            std::string::npos)
      << out;
}

}  // namespace
