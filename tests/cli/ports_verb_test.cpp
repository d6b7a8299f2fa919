// SPDX-License-Identifier: GPL-3.0-or-later
// `q47v ports` run as a program: the devices present (a pseudo-terminal made here
// among them), the mapping of COM1..COM8 in a settings file, and --set.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

#include "../core/link/pty_pair.h"

namespace {

struct ToolRun {
  int status = -1;
  std::string out;
};

ToolRun RunPorts(const std::string& args) {
  std::string command = std::string(Q47V_BINARY_DIR) + "/src/cli/q47v ports " + args + " 2>&1";
  ToolRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Read(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(PortsVerbTest, ListsTheDevicesAndTheMappingWithTheHeadAndGpsPorts) {
  PtyPair head, gps;
  ASSERT_TRUE(head.ok() && gps.ok());
  std::ofstream("WINQ47V.INI") << "[Settings]\nComPort=1\nUseGPS=1\nComPortGPS=3\n[Serial Ports]\nCOM2="
                               << head.path() << "\nCOM4=" << gps.path() << "\n";
  const ToolRun run = RunPorts("");
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string label = " (Pseudo-terminal, software line)";
  EXPECT_NE(run.out.find("Serial devices present:\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\n  " + head.path() + label + "\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Ports in ./WINQ47V.INI:\n  COM1=/dev/ttyUSB0 (missing)\n  COM2=" + head.path() + label +
                         "  [head]\n  COM3=/dev/ttyUSB2 (missing)\n  COM4=" + gps.path() + label + "  [GPS]\n"),
            std::string::npos)
      << run.out;
}

TEST(PortsVerbTest, SetWritesOnlyThePortsGivenAndKeepsTheRest) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  std::ofstream("WINQ47V.INI") << "; survey boat\n[Settings]\nRange=5\n";
  const ToolRun run = RunPorts("--set COM3=" + pty.path() + " --set=com8=/dev/serial/by-id/usb-X-if00-port0");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(Read("WINQ47V.INI"), "; survey boat\n[Settings]\nRange=5\n[Serial Ports]\nCOM3=" + pty.path() +
                                     "\nCOM8=/dev/serial/by-id/usb-X-if00-port0\n");
  EXPECT_NE(run.out.find("  COM8=/dev/serial/by-id/usb-X-if00-port0 (missing)\n"), std::string::npos) << run.out;
}

TEST(PortsVerbTest, RefusesABadAssignment) {
  for (const char* bad : {"--set COM9=/dev/ttyS0", "--set COM1", "--set", "--bogus"}) {
    const ToolRun run = RunPorts(bad);
    EXPECT_EQ(run.status, 2) << bad << ": " << run.out;
  }
}

}  // namespace
