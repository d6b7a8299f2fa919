// SPDX-License-Identifier: GPL-3.0-or-later
// Every verb that writes, pointed at outputs that are not regular files (a FIFO,
// a device node) or at symbolic links: nodes are refused and left as they are,
// links are written through at the file they name, and nothing waits for ever.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "child_process.h"
#include "files_tool_support.h"

namespace {

namespace fs = std::filesystem;

bool IsFifo(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

bool IsCharDevice(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// A private copy of the null device in the working directory, when this user may
// make device nodes (nothing of the system's /dev is risked).
bool MakeNullDevice(const std::string& path) { return ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; }

// The outputs every case is tried on: a FIFO and, where it can be made, a device.
std::vector<std::string> NodeOutputs(const std::string& stem, const std::string& ext) {
  std::vector<std::string> nodes;
  const std::string fifo = stem + "-fifo" + ext;
  if (::mkfifo(fifo.c_str(), 0644) == 0) nodes.push_back(fifo);
  const std::string device = stem + "-dev" + ext;
  if (MakeNullDevice(device)) nodes.push_back(device);
  return nodes;
}

bool StillNode(const std::string& path) { return IsFifo(path) || IsCharDevice(path); }

TEST(HostileOutputsTest, CutRefusesNodesAndWritesThroughLinks) {
  MakeToolFile("in.47v", 5);
  for (const std::string& node : NodeOutputs("out", ".47v")) {
    const FilesToolRun run = RunQ47v("cut in.47v --from 0 --to 2 " + node);
    EXPECT_EQ(run.status, 1) << node << run.err;
    EXPECT_NE(run.err.find(node + " is a"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
    EXPECT_TRUE(StillNode(node)) << node << " was replaced";
  }
  fs::create_directory("elsewhere");
  WriteBytes("elsewhere/target.47v", {1, 2, 3});
  fs::create_symlink("elsewhere/target.47v", "link.47v");
  const FilesToolRun run = RunQ47v("cut in.47v --from 0 --to 2 link.47v");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink("link.47v")) << "the link was replaced by a file";
  EXPECT_EQ(ReadBytes("elsewhere/target.47v").size(), 3u * 640u);
  // Nothing left beside the link or the target.
  int entries = 0;
  for (const auto& e : fs::directory_iterator("elsewhere")) entries += e.path().filename() != "target.47v";
  EXPECT_EQ(entries, 0);
}

TEST(HostileOutputsTest, SettingsWriteRefusesNodes) {
  std::ofstream("WINQ47V.INI") << "[Settings]\nRange=5\n";
  for (const std::string& node : NodeOutputs("out", ".ini")) {
    const FilesToolRun run = RunQ47v("settings WINQ47V.INI --write " + node);
    EXPECT_EQ(run.status, 1) << node << run.err;
    EXPECT_NE(run.err.find(node + " is a"), std::string::npos) << run.err;
    EXPECT_TRUE(StillNode(node)) << node << " was replaced";
  }
  // A settings file that is a link to a node: the node is not replaced either.
  if (MakeNullDevice("null")) {
    fs::create_symlink("null", "linked.ini");
    const FilesToolRun run = RunQ47v("settings WINQ47V.INI --write linked.ini");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(IsCharDevice("null"));
    EXPECT_TRUE(fs::is_symlink("linked.ini"));
  }
}

TEST(HostileOutputsTest, RenderRefusesANodeUnderAPictureName) {
  fs::create_directory("pics");
  ASSERT_EQ(::mkfifo("pics/harbour_sector-0001.png", 0644), 0);
  Child render;
  ASSERT_TRUE(render.Start({"/bin/sh", "-c",
                            "timeout -s KILL 60 " + Bin("/src/cli/q47v") + " render " + Q47V_TESTDATA_DIR +
                                "/imaging/harbour_sector.47V --out pics 2>&1; echo status=$?"}));
  render.Wait();
  EXPECT_NE(render.Output().find("status=1"), std::string::npos) << render.Output();
  EXPECT_NE(render.Output().find("is a FIFO, not a regular file"), std::string::npos) << render.Output();
  EXPECT_TRUE(IsFifo("pics/harbour_sector-0001.png"));
}

// The recorder against the simulator: a FIFO or a device as --out is refused at
// once (the open never waits for a reader), and a link is recorded through.
class RecordOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start({Bin("/src/sim/q47v-sim"), "--quiet", "--ini", "WINQ47V.INI", "--no-gps"}));
    ASSERT_TRUE(sim.WaitForOutput("Q47V_SIM_HEAD"));
  }
  // The run's output and "status=N" (137 when it had to be killed).
  std::string Record(const std::string& out) {
    Child rec;
    if (!rec.Start({"/bin/sh", "-c",
                    "timeout -s KILL 20 " + Bin("/src/cli/q47v") + " record --ini WINQ47V.INI --out " + out +
                        " --pings 5 2>&1; echo status=$?"}))
      return "";
    rec.Wait();
    return rec.Output();
  }
  Child sim;
};

TEST_F(RecordOutputTest, NodesAreRefusedWithoutWaiting) {
  for (const std::string& node : NodeOutputs("run", ".47v")) {
    const std::string out = Record(node);
    EXPECT_NE(out.find("status=1"), std::string::npos) << node << ": " << out;
    EXPECT_NE(out.find("cannot record to " + node + ": " + node + " is a"), std::string::npos) << out;
    EXPECT_TRUE(StillNode(node));
  }
}

TEST_F(RecordOutputTest, ALinkIsRecordedThrough) {
  fs::create_directory("disk");
  fs::create_symlink("disk/run.47v", "run.47v");  // dangling: the recording makes its file
  const std::string out = Record("run.47v");
  EXPECT_NE(out.find("status=0"), std::string::npos) << out;
  EXPECT_TRUE(fs::is_symlink("run.47v"));
  EXPECT_GT(fs::file_size("disk/run.47v"), 1000u);
}

}  // namespace
