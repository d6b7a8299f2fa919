// SPDX-License-Identifier: GPL-3.0-or-later
// The shared output writer on real files: links written through at their target,
// nodes refused untouched, new names never taken over, nothing left by an
// abandoned file, and a FIFO never waited on.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "files/output_file.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t EntriesIn(const std::string& dir) {
  std::size_t n = 0;
  for (const auto& e : fs::directory_iterator(dir)) n += !e.path().empty();
  return n;
}

TEST(OutputFile, ThroughLinksReplacesTheTargetAndKeepsItsPermissions) {
  fs::create_directory("disk");
  std::ofstream("disk/data.bin") << "old";
  ::chmod("disk/data.bin", 0600);
  fs::create_symlink("disk/data.bin", "link.bin");
  std::string error;
  ASSERT_TRUE(WriteWholeOutput("link.bin", "new", OutputMode::kThroughLinks, &error)) << error;
  EXPECT_TRUE(fs::is_symlink("link.bin"));
  EXPECT_EQ(Read("disk/data.bin"), "new");
  struct stat st {};
  ASSERT_EQ(::stat("disk/data.bin", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(EntriesIn("disk"), 1u) << "a temporary file was left";
}

TEST(OutputFile, NodesAreRefusedUntouched) {
  ASSERT_EQ(::mkfifo("pipe", 0644), 0);
  fs::create_symlink("pipe", "to-pipe");
  for (OutputMode mode : {OutputMode::kThroughLinks, OutputMode::kNewName, OutputMode::kReplaceName}) {
    std::string error;
    EXPECT_FALSE(WriteWholeOutput("pipe", "x", mode, &error));
    EXPECT_NE(error.find("pipe is a FIFO, not a regular file"), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(WriteWholeOutput("to-pipe", "x", OutputMode::kThroughLinks, &error));
  EXPECT_EQ(RefusedOutputReason("to-pipe"), "to-pipe is a FIFO, not a regular file; it is left as it is");
  // Opened for a recording: refused at once, without waiting for a reader.
  EXPECT_EQ(OpenRegularOutput("to-pipe", &error), -1);
  EXPECT_NE(error.find("is a FIFO"), std::string::npos) << error;
  struct stat st {};
  ASSERT_EQ(::lstat("pipe", &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(OutputFile, NewNamesAreNeverTakenOver) {
  fs::create_symlink("outside.txt", "planted.xyz");  // dangling
  std::string error;
  EXPECT_FALSE(WriteWholeOutput("planted.xyz", "x", OutputMode::kNewName, &error));
  EXPECT_FALSE(fs::exists("outside.txt"));
  // A name taken between the start and the commit is not replaced either.
  WholeOutputFile file;
  ASSERT_TRUE(file.Open("late.xyz", OutputMode::kNewName, &error)) << error;
  ASSERT_TRUE(file.Write("mine", &error));
  std::ofstream("late.xyz") << "theirs";
  bool exists = false;
  EXPECT_FALSE(file.Commit(&error, &exists));
  EXPECT_TRUE(exists);
  EXPECT_EQ(Read("late.xyz"), "theirs");
  // An abandoned file leaves nothing.
  const std::size_t before = EntriesIn(".");
  {
    WholeOutputFile gone;
    ASSERT_TRUE(gone.Open("gone.xyz", OutputMode::kNewName, &error));
    ASSERT_TRUE(gone.Write("half", &error));
  }
  EXPECT_EQ(EntriesIn("."), before);
}

TEST(OutputFile, RecordingOpensEmptyTheRegularFileALinkNames) {
  fs::create_directory("disk");
  std::ofstream("disk/run.47v") << "older recording";
  fs::create_symlink("disk/run.47v", "run.47v");
  std::string error;
  const int fd = OpenRegularOutput("run.47v", &error);
  ASSERT_GE(fd, 0) << error;
  ASSERT_EQ(::write(fd, "ab", 2), 2);
  ::close(fd);
  EXPECT_EQ(Read("disk/run.47v"), "ab");
  EXPECT_TRUE(fs::is_symlink("run.47v"));
}

}  // namespace
