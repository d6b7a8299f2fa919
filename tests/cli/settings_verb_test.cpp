// SPDX-License-Identifier: GPL-3.0-or-later
// The `q47v settings` verb run as a program, as field engineers and scripts run it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

namespace {

struct ToolRun {
  int status = -1;
  std::string out;
};

ToolRun RunTool(const std::string& args) {
  std::string command = std::string(Q47V_BINARY_DIR) + "/src/cli/q47v settings " + args + " 2>&1";
  ToolRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
  int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

std::string Read(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string LineOf(const std::string& out, const std::string& key) {
  std::size_t at = out.find("\n" + key + "=");
  if (at == std::string::npos) return "";
  std::size_t end = out.find('\n', at + 1);
  return out.substr(at + 1, end - at - 1);
}

TEST(SettingsVerbTest, MarksEveryKeyThatTookItsDefaultOrFallback) {
  Write("WINQ47V.INI",
        "[Settings]\nRange=15\nGain=abc\nFrequency=677\nSSTrain=2\nConfigFile=gone.cfg\n"
        "MasterHeadID=19\nUserText=Survey\n[Serial Ports]\nCOM2=/dev/pts/3\n");
  ToolRun run = RunTool("");
  EXPECT_EQ(run.status, 0) << run.out;
  struct Case {
    const char* key;
    const char* line_start;  // the value as written back
    const char* mark;        // text expected after it ("" for none)
  } cases[] = {
      {"Range", "Range=9 ", "; out of range"},
      {"Gain", "Gain=0 ", "; unreadable"},
      {"Frequency", "Frequency=675 ", "; rounded from 677"},
      {"SSTrain", "SSTrain=2", ""},
      {"UserText", "UserText=Survey", ""},
      {"Speed", "Speed=2 ", "; missing"},
      {"ConfigFile", "ConfigFile=Default ", "; not loaded"},
      {"MasterHeadID", "MasterHeadID=16 ", "the file holds 19"},
      {"ProfileMinimumRange", "ProfileMinimumRange= 0.0 ", "; missing"},
      {"SoundVelocityMeters", "SoundVelocityMeters=1500.0 ", "; missing"},
      {"OrientationHeadingOffset", "OrientationHeadingOffset=0.0 ", "; missing"},
      {"COM2", "COM2=/dev/pts/3", ""},
      {"COM5", "COM5=/dev/ttyS0 ", "; missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    std::string line = LineOf(run.out, c.key);
    EXPECT_EQ(line.rfind(c.line_start, 0), 0u) << line;
    if (*c.mark) EXPECT_NE(line.find(c.mark), std::string::npos) << line;
    else EXPECT_EQ(line.find(';'), std::string::npos) << line;
  }
  EXPECT_LT(run.out.find("[Settings]\nMasterHeadID="), run.out.find("[Orientation Module Settings]"));
  EXPECT_EQ(RunTool("--check").status, 3);
}

TEST(SettingsVerbTest, CheckPassesForAFileTheProgramWrote) {
  ASSERT_EQ(RunTool("--write WINQ47V.INI").status, 0);  // no file: defaults, then saved
  ToolRun run = RunTool("--check");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out.find("; missing"), run.out.find("COM1=") + 41) << run.out;  // only ports
}

TEST(SettingsVerbTest, FileElsewhereIsLoadedAsIfTheProgramRanThere) {
  std::filesystem::create_directory("site");
  // A .CFG beside the settings file: 5200 bytes, row 9 frequency 800.
  std::string cfg(5200, '\0');
  cfg.replace(0, 4, std::string("CFG\0", 4));
  cfg[4] = 1;
  for (int row = 0; row < 15; ++row) {
    const int values[4] = {0, 675, 20, 100};
    for (int f = 0; f < 4; ++f) {
      int v = (row == 9 && f == 1) ? 800 : values[f];
      std::size_t at = 80 + 256 * static_cast<std::size_t>(row) + 4 * static_cast<std::size_t>(f);
      cfg[at] = static_cast<char>(v & 0xFF);
      cfg[at + 1] = static_cast<char>(v >> 8);
    }
  }
  std::ofstream("site/harbour.cfg", std::ios::binary) << cfg;
  Write("site/WINQ47V.INI", "; keep\n[Settings]\nConfigFile=harbour.cfg\nGain=20\n[Mine]\nx=1\n");

  for (const char* arg : {"site", "site/WINQ47V.INI"}) {
    SCOPED_TRACE(arg);
    ToolRun run = RunTool(arg);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(LineOf(run.out, "ConfigFile"), "ConfigFile=harbour.cfg");
    EXPECT_NE(run.out.find("user configuration: loaded"), std::string::npos) << run.out;
  }
  ASSERT_EQ(RunTool("site/WINQ47V.INI --write out.ini").status, 0);
  std::string out = Read("out.ini");
  EXPECT_EQ(out.rfind("; keep\n[Settings]\nConfigFile=harbour.cfg\nGain=20\nMasterHeadID=16\n", 0), 0u)
      << out;
  EXPECT_NE(out.find("[Mine]\nx=1\n"), std::string::npos);
  EXPECT_EQ(Read("site/WINQ47V.INI"), "; keep\n[Settings]\nConfigFile=harbour.cfg\nGain=20\n[Mine]\nx=1\n");
  EXPECT_FALSE(std::filesystem::exists("WINQ47V.INI"));  // nothing written in the working directory
}

TEST(SettingsVerbTest, BadInput) {
  std::filesystem::create_directory("adir");
  std::filesystem::create_directory("adir/WINQ47V.INI");
  struct Case {
    const char* args;
    int status;
    const char* message;
  } cases[] = {
      {"missing.ini", 1, "no such file"},
      {"--bogus", 2, "unknown option"},
      {"a.ini b.ini", 2, "only one"},
      {"--write", 2, "needs a file name"},
      {"adir", 1, "not a regular file"},
      {"--write no/such/dir/out.ini", 1, "out.ini"},
      {"--help", 0, "usage: q47v settings"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    ToolRun run = RunTool(c.args);
    EXPECT_EQ(run.status, c.status) << run.out;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
  }
}

}  // namespace
