// SPDX-License-Identifier: GPL-3.0-or-later
// q47v record against q47v-sim: a limited run, and a run stopped by SIGTERM, both
// leaving a whole .47V file that plays back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "../webview/raw_client.h"
#include "display.h"
#include <fstream>

#include "files/playback.h"
#include "app_state.h"
#include "child_process.h"

namespace {

// Records in a .47V file, counted by playing it back.
int PlayedRecords(const std::string& path) {
  AppState state;
  NullDisplay display;
  state.RunMode = 1;
  if (!OpenPlayback(state, display, path)) return -1;
  PlaybackHooks hooks;
  hooks.process_reply = [](AppState&, std::span<std::uint8_t>, const ReplyExpectation&) { return true; };
  int n = 0;
  while (n < 100000 && PlaybackStep(state, display, hooks).outcome == PlaybackOutcome::kPlayed) ++n;
  ClosePlayback(state);
  return n;
}

// Sonar pings (G, M, P replies) among the records of a .47V file.
int SonarRecords(const std::string& path) {
  AppState state;
  NullDisplay display;
  state.RunMode = 1;
  if (!OpenPlayback(state, display, path)) return -1;
  int sonar = 0;
  PlaybackHooks hooks;
  hooks.process_reply = [&sonar](AppState&, std::span<std::uint8_t> reply, const ReplyExpectation&) {
    if (reply.size() > 1 && (reply[1] == 'G' || reply[1] == 'M' || reply[1] == 'P')) ++sonar;
    return true;
  };
  int n = 0;
  while (n < 100000 && PlaybackStep(state, display, hooks).outcome == PlaybackOutcome::kPlayed) ++n;
  ClosePlayback(state);
  return sonar;
}

class RecordVerbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start({Bin("/src/sim/q47v-sim"), "--quiet", "--ini", "WINQ47V.INI", "--head-link", "head",
                           "--gps-link", "gps", "--gps-baud", "9600", "--gps-rate", "2"}));
    ASSERT_TRUE(sim.WaitForOutput("Q47V_SIM_GPS"));
  }
  Child sim;
};

TEST_F(RecordVerbTest, StopsAfterThePingsAsked) {
  Child rec;
  ASSERT_TRUE(rec.Start({Bin("/src/cli/q47v"), "record", "--ini", "WINQ47V.INI", "--out", "run.47v", "--pings", "15"}));
  EXPECT_EQ(rec.Wait(), 0);
  EXPECT_NE(rec.Output().find("pings"), std::string::npos);
  EXPECT_NE(rec.Output().find("limit reached"), std::string::npos);
  EXPECT_EQ(SonarRecords("run.47v"), 15);  // exactly, however late the limit is looked at
}

TEST_F(RecordVerbTest, SigtermClosesTheFileWhole) {
  Child rec;
  ASSERT_TRUE(rec.Start({Bin("/src/cli/q47v"), "record", "--ini", "WINQ47V.INI", "--out", "term.47v"}));
  ASSERT_TRUE(rec.WaitForOutput("   2 s  pings"));
  rec.Signal(SIGTERM);
  EXPECT_EQ(rec.Wait(), 0);
  EXPECT_NE(rec.Output().find("terminated"), std::string::npos);
  EXPECT_GT(PlayedRecords("term.47v"), 5);
}

// SIGHUP (a closed terminal) ends the run like SIGTERM: the file whole, the
// closing line printed, status 0.
TEST_F(RecordVerbTest, SighupClosesTheFileWhole) {
  Child rec;
  ASSERT_TRUE(rec.Start({Bin("/src/cli/q47v"), "record", "--ini", "WINQ47V.INI", "--out", "hup.47v"}));
  ASSERT_TRUE(rec.WaitForOutput("   2 s  pings"));
  rec.Signal(SIGHUP);
  EXPECT_EQ(rec.Wait(), 0);
  EXPECT_NE(rec.Output().find("hung up"), std::string::npos) << rec.Output();
  EXPECT_GT(PlayedRecords("hup.47v"), 5);
}

// A recording that cannot be made says why, with the path as given.
TEST_F(RecordVerbTest, FileThatCannotBeMadeIsToldWithItsReason) {
  Child rec;
  ASSERT_TRUE(rec.Start({"/bin/sh", "-c",
                         Bin("/src/cli/q47v") + " record --ini WINQ47V.INI --out no-such-folder/Run.47V --seconds 5 2>&1"}));
  EXPECT_EQ(rec.Wait(), 1);
  EXPECT_NE(rec.Output().find("cannot record to no-such-folder/Run.47V: No such file or directory"), std::string::npos)
      << rec.Output();
}

// A full disk (here a file size limit): the run stops with a clear message and
// a non-zero status, and the file holds whole records only.
TEST_F(RecordVerbTest, FullDiskStopsTheRunWithAFailure) {
  Child rec;
  ASSERT_TRUE(rec.Start({"/bin/sh", "-c",
                         "ulimit -f 20; exec " + Bin("/src/cli/q47v") +
                             " record --ini WINQ47V.INI --out full.47V --seconds 30 2>&1"}));
  EXPECT_EQ(rec.Wait(), 1) << rec.Output();
  EXPECT_NE(rec.Output().find("could not be written"), std::string::npos) << rec.Output();
  EXPECT_NE(rec.Output().find("full.47V"), std::string::npos) << "the path as given";
  const int records = PlayedRecords("full.47V");
  EXPECT_GT(records, 0);
  std::ifstream in("full.47V", std::ios::binary | std::ios::ate);
  EXPECT_LE(static_cast<long>(in.tellg()), 20L * 512);
}

// A head that falls silent: the status says so and shows no rep rate.
TEST(RecordVerb, SilentHeadIsReportedAsNoData) {
  Child sim;
  ASSERT_TRUE(sim.Start({Bin("/src/sim/q47v-sim"), "--quiet", "--ini", "WINQ47V.INI", "--no-gps", "--silent", "3:30"}));
  ASSERT_TRUE(sim.WaitForOutput("Q47V_SIM_HEAD"));
  Child rec;
  ASSERT_TRUE(rec.Start({Bin("/src/cli/q47v"), "record", "--ini", "WINQ47V.INI", "--out", "quiet.47v", "--seconds", "12"}));
  ASSERT_TRUE(rec.WaitForOutput("No Data at COM1", 30000)) << rec.Output();
  const std::string out = rec.Output();
  const std::size_t line = out.rfind('\n', out.find("No Data at COM1"));
  EXPECT_NE(out.substr(line, out.find("No Data at COM1") - line).find("rep rate -"), std::string::npos) << out;
  rec.Signal(SIGTERM);
  EXPECT_EQ(rec.Wait(), 0);
}

// --serve: a viewer gets the whole picture and the live readouts while the run
// records as it would without one.
TEST_F(RecordVerbTest, ServesTheLivePictureWhileRecording) {
  Child rec;
  ASSERT_TRUE(rec.Start({Bin("/src/cli/q47v"), "record", "--ini", "WINQ47V.INI", "--out", "served.47v", "--pings",
                         "40", "--serve", "127.0.0.1:0"}));
  ASSERT_TRUE(rec.WaitForOutput("live view at http://127.0.0.1:"));
  ASSERT_TRUE(rec.WaitForOutput("/\n"));
  const std::string& out = rec.Output();
  const int port = std::atoi(out.c_str() + out.find("http://127.0.0.1:") + 17);
  ASSERT_GT(port, 0) << out;
  RawClient viewer;
  ASSERT_TRUE(viewer.Connect(port));
  ASSERT_EQ(viewer.Handshake().rfind("HTTP/1.1 101", 0), 0u);
  bool whole = false, readouts = false;
  int opcode = 0;
  std::string payload;
  for (int i = 0; i < 200 && !(whole && readouts) && viewer.ReadFrame(opcode, payload, 10000); ++i) {
    if (opcode == 2 && payload.size() > 14 && payload[0] == 'P' && (payload[1] & 1)) whole = true;
    if (opcode == 1 && payload.find("\"source\":\"HEAD\"") != std::string::npos &&
        payload.find("served.47v") != std::string::npos)
      readouts = true;
  }
  EXPECT_TRUE(whole);
  EXPECT_TRUE(readouts) << payload;
  EXPECT_TRUE(rec.WaitForOutput("viewers 1"));
  EXPECT_EQ(rec.Wait(), 0);
  EXPECT_GE(PlayedRecords("served.47v"), 40);
}

TEST(RecordVerb, UsageAndMissingPort) {
  Child badServe;
  ASSERT_TRUE(badServe.Start({Bin("/src/cli/q47v"), "record", "--ini", "x.ini", "--out", "x.47v", "--serve", "::1:80"}));
  EXPECT_EQ(badServe.Wait(), 2);
  Child bad;
  ASSERT_TRUE(bad.Start({Bin("/src/cli/q47v"), "record", "--out", "x.47v"}));
  EXPECT_EQ(bad.Wait(), 2);
  FILE* ini = std::fopen("WINQ47V.INI", "w");
  std::fputs("[Serial Ports]\nCOM1=/nonexistent/tty\n", ini);
  std::fclose(ini);
  Child missing;
  ASSERT_TRUE(missing.Start({"/bin/sh", "-c", Bin("/src/cli/q47v") + " record --ini WINQ47V.INI --out x.47v --seconds 1 2>&1"}));
  EXPECT_EQ(missing.Wait(), 1);
  EXPECT_NE(missing.Output().find("no such device"), std::string::npos) << missing.Output();
  // A settings file that is not there is an error, not the defaults.
  Child noIni;
  ASSERT_TRUE(noIni.Start({Bin("/src/cli/q47v"), "record", "--ini", "missing.ini", "--out", "x.47v", "--seconds", "1"}));
  EXPECT_EQ(noIni.Wait(), 1);
  // Limits are positive finite numbers.
  for (const char* bad_limit : {"inf", "nan", "-3", "0", "1e999"}) {
    Child limit;
    ASSERT_TRUE(limit.Start({Bin("/src/cli/q47v"), "record", "--ini", "WINQ47V.INI", "--out", "x.47v", "--seconds", bad_limit}));
    EXPECT_EQ(limit.Wait(), 2) << bad_limit;
  }
}

}  // namespace
