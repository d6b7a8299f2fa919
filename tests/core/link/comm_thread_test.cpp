// SPDX-License-Identifier: GPL-3.0-or-later
// The comm thread's turn logic with a fake port and a fake clock: no-data counts,
// blink and resend, Hold, a reply in two pieces, the send-then-process order, the
// orientation interleave, azimuth positioning and give-up, head scan stepping and
// the loss and return of the device.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "display.h"
#include "link/azimuth_drive.h"
#include "link/comm_thread.h"
#include "link/head_scan.h"
#include "link/orientation_module.h"
#include "app_state.h"

namespace {

class FakePort : public HeadPort {
 public:
  bool IsOpen() const override { return open; }
  bool SetRts(bool) override { return true; }
  bool SetDtr(bool) override { return true; }
  bool Write(std::span<const std::uint8_t> bytes) override {
    if (!open) return false;
    writes.emplace_back(bytes.begin(), bytes.end());
    if (answer) answer(writes.back());
    return true;
  }
  void Purge() override { input.clear(); }
  PortStatus Status() override {
    // A device answers after the sender's purge.
    input.insert(input.end(), pending.begin(), pending.end());
    pending.clear();
    PortStatus s;
    s.Ok = open;
    s.QueuedBytes = static_cast<int>(input.size());
    return s;
  }
  int Read(std::span<std::uint8_t> bytes) override {
    std::size_t n = std::min(bytes.size(), input.size());
    for (std::size_t i = 0; i < n; ++i) {
      bytes[i] = input.front();
      input.pop_front();
    }
    return static_cast<int>(n);
  }
  bool WaitForInput(std::chrono::milliseconds) override { return !input.empty(); }
  void Push(const std::vector<std::uint8_t>& bytes) { input.insert(input.end(), bytes.begin(), bytes.end()); }
  void Answer(const std::vector<std::uint8_t>& bytes) { pending.insert(pending.end(), bytes.begin(), bytes.end()); }

  bool open = true;
  std::deque<std::uint8_t> input;
  std::deque<std::uint8_t> pending;
  std::vector<std::vector<std::uint8_t>> writes;
  std::function<void(const std::vector<std::uint8_t>&)> answer;
};

struct Event {
  int second;
  std::string what;
};

class RecordingDisplay : public Display {
 public:
  void ShowStatus(const std::string& text, const StatusColours& c) override {
    events.push_back({second, "show:" + text});
    colours = c;
  }
  void EraseStatus() override { events.push_back({second, "erase"}); }
  void ShowAzimuthNotFound(bool shown) override { events.push_back({second, shown ? "notfound" : "found"}); }
  void ScanWindowChanged() override { ++scanRedraws; }
  int second = 0;
  std::vector<Event> events;
  StatusColours colours;
  int scanRedraws = 0;
};

class CountingSink : public LinkSink {
 public:
  explicit CountingSink(FakePort& port) : port_(port) {}
  void ReplyAccepted(AppState&, std::span<const std::uint8_t> reply, const ReplyExpectation& e) override {
    kinds.push_back(e.Kind);
    writesAtAccept.push_back(port_.writes.size());
    lengths.push_back(reply.size());
  }
  std::vector<char> kinds;
  std::vector<std::size_t> writesAtAccept;
  std::vector<std::size_t> lengths;

 private:
  FakePort& port_;
};

// A reply frame of a kind and length with a plausible body.
std::vector<std::uint8_t> Reply(char kind, int length, int id = 0x10) {
  std::vector<std::uint8_t> r(static_cast<std::size_t>(length), 0x20);
  r[0] = 'I';
  r[1] = static_cast<std::uint8_t>(kind);
  r[2] = 'X';
  r[3] = static_cast<std::uint8_t>(id);
  r[4] = 0;
  r[5] = 600 & 0x7F;
  r[6] = 600 >> 7;
  r[7] = 5;
  r[8] = r[9] = r[10] = r[11] = 0;
  r.back() = 0xFC;
  return r;
}

class CommThreadTest : public ::testing::Test {
 protected:
  CommThreadTest() : port(std::make_shared<FakePort>()), sink(*port) {
    state.RunMode = 0;
    state.EnableOrientationModule = 0;
    state.GridMode = 0;  // Sector: "G", 513 bytes at 8 bits
    state.DataBits = 8;
    state.ComPort = 2;
  }
  CommThread& Thread() {
    if (!thread)
      thread = std::make_unique<CommThread>(state, display, sink, clock, port, [this] { return reopen ? reopen() : nullptr; });
    return *thread;
  }
  void AtSecond(int s) {
    LocalTime t = clock.Now();
    t.second = s % 60;
    t.minute = s / 60;
    clock.SetLocal(t);
    display.second = s;
  }
  std::vector<int> SecondsOf(const std::string& what) {
    std::vector<int> out;
    for (const auto& e : display.events)
      if (e.what == what) out.push_back(e.second);
    return out;
  }

  AppState state;
  FakeClock clock;
  std::shared_ptr<FakePort> port;
  RecordingDisplay display;
  CountingSink sink;
  std::function<std::shared_ptr<HeadPort>()> reopen;
  std::unique_ptr<CommThread> thread;
};

TEST_F(CommThreadTest, SilentHeadResendsAndBlinks) {
  AtSecond(0);
  Thread().SendFirstCommand();
  ASSERT_EQ(port->writes.size(), 1u);
  std::vector<int> resent;
  for (int s = 1; s <= 10; ++s) {
    AtSecond(s);
    const auto before = port->writes.size();
    for (int turn = 0; turn < 5; ++turn) Thread().Turn();  // many turns, one check per second
    if (port->writes.size() > before) resent.push_back(s);
    EXPECT_LE(port->writes.size(), before + 1);
  }
  EXPECT_EQ(resent, (std::vector<int>{3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(SecondsOf("erase"), (std::vector<int>{3, 5, 7, 9}));
  EXPECT_EQ(SecondsOf("show:No Data at COM3"), (std::vector<int>{6, 8, 10}));
  EXPECT_EQ(display.colours, kStatusMessageColours);
  EXPECT_EQ(state.NoDataShowCount.load(), 5);

  // Data return: the message goes, the counts restart, the blink phase stays.
  const int blink = state.NoDataBlink.load();
  port->Push(Reply('G', 513));
  AtSecond(11);
  Thread().Turn();
  EXPECT_EQ(display.events.back().what, "erase");
  EXPECT_EQ(state.NoDataSeconds.load(), 0);
  EXPECT_EQ(state.NoDataBlink.load(), blink);
  EXPECT_EQ(sink.kinds.size(), 1u);
}

// Data stopping while an auto-profile scan awaits its sweep start: the wait's
// message keeps its place over "No Data" when the blink shows the line.
TEST_F(CommThreadTest, AdjustingTransducerOutranksNoData) {
  state.AutoProfileScanActive = true;
  state.AutoProfileWaitSweepStart = true;
  AtSecond(0);
  Thread().SendFirstCommand();
  for (int s = 1; s <= 8; ++s) {
    AtSecond(s);
    Thread().Turn();
  }
  EXPECT_TRUE(SecondsOf("show:No Data at COM3").empty());
  EXPECT_EQ(SecondsOf("show:Wait - Adjusting Transducer"), (std::vector<int>{6, 8}));
  EXPECT_EQ(display.colours, kStatusScanColours);
  // Once the sweep has begun, silence is told as before.
  state.AutoProfileWaitSweepStart = false;
  AtSecond(9);
  Thread().Turn();
  AtSecond(10);
  Thread().Turn();
  EXPECT_EQ(SecondsOf("show:No Data at COM3"), (std::vector<int>{10}));
}

TEST_F(CommThreadTest, HoldSendsNothingAndShowsNothing) {
  state.HoldActive = true;
  AtSecond(0);
  Thread().SendFirstCommand();
  for (int s = 1; s <= 12; ++s) {
    AtSecond(s);
    Thread().Turn();
  }
  EXPECT_EQ(port->writes.size(), 1u);
  EXPECT_TRUE(display.events.empty());
}

TEST_F(CommThreadTest, ReplyInTwoPiecesIsReadWhenComplete) {
  AtSecond(0);
  Thread().SendFirstCommand();
  const auto reply = Reply('G', 513);
  port->Push(std::vector<std::uint8_t>(reply.begin(), reply.begin() + 200));
  Thread().Turn();
  EXPECT_TRUE(sink.kinds.empty());
  EXPECT_EQ(port->input.size(), 200u);  // left queued, nothing read
  port->Push(std::vector<std::uint8_t>(reply.begin() + 200, reply.end()));
  Thread().Turn();
  ASSERT_EQ(sink.kinds.size(), 1u);
  EXPECT_EQ(sink.lengths[0], 513u);
  // Without the orientation module the next command went out before processing.
  EXPECT_EQ(sink.writesAtAccept[0], 2u);
  EXPECT_EQ(state.RepliesAccepted.load(), 1);
}

TEST_F(CommThreadTest, BadFramesAreDroppedAndSurplusPurged) {
  AtSecond(0);
  Thread().SendFirstCommand();
  auto bad = Reply('G', 513);
  bad[512] = 0xFD;
  port->Push(bad);
  Thread().Turn();
  EXPECT_TRUE(sink.kinds.empty());
  EXPECT_EQ(state.RepliesRejected.load(), 1);
  auto good = Reply('G', 513);
  good.push_back(0x55);  // surplus after the reply
  port->Push(good);
  Thread().Turn();
  EXPECT_EQ(sink.kinds.size(), 1u);
  EXPECT_TRUE(port->input.empty());
}

TEST_F(CommThreadTest, OrientationQueryOncePerSecondBetweenPings) {
  state.EnableOrientationModule = 1;
  port->answer = [&](const std::vector<std::uint8_t>& cmd) {
    if (cmd[2] == 0x18) port->Answer(Reply('O', 29, 0x18));
    else port->Answer(Reply('G', 513));
  };
  std::vector<int> queriesPerSecond;
  for (int s = 0; s <= 5; ++s) {
    AtSecond(s);
    const auto before = s == 0 ? 0 : port->writes.size();
    if (s == 0) Thread().SendFirstCommand();
    for (int turn = 0; turn < 20; ++turn) Thread().Turn();
    int queries = 0;
    for (std::size_t i = before; i < port->writes.size(); ++i) queries += port->writes[i][2] == 0x18;
    queriesPerSecond.push_back(queries);
  }
  EXPECT_EQ(queriesPerSecond, (std::vector<int>{1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(state.OrientationUnanswered.load(), 0);
  // With the module on, each reply is processed before the next command goes out.
  EXPECT_EQ(sink.writesAtAccept[0], 1u);
  EXPECT_NE(std::count(sink.kinds.begin(), sink.kinds.end(), 'O'), 0);
}

TEST_F(CommThreadTest, SimulatedDriveIsFoundOneSecondLater) {
  state.AzimuthDriveEnable = 1;
  state.SimulateAzimuthDrive = 1;
  state.AzimuthAngle = 900;
  state.AzimuthMoveRequest = true;
  port->answer = [&](const std::vector<std::uint8_t>& cmd) {
    if (cmd[2] == 0x10) port->Answer(Reply('G', 513));
  };
  AtSecond(0);
  Thread().SendFirstCommand();
  Thread().Turn();  // the ping's reply, then the move request is taken
  EXPECT_TRUE(state.AzimuthPositioning.load());
  EXPECT_EQ(display.events.back().what, "show:Detecting Azimuth Drive...");
  EXPECT_EQ(display.colours, kStatusScanColours);
  Thread().Turn();  // the head's bytes are ignored while the drive is simulated
  EXPECT_FALSE(state.AzimuthDriveFound.load());
  AtSecond(1);
  Thread().Turn();
  EXPECT_TRUE(state.AzimuthDriveFound.load());
  EXPECT_FALSE(state.AzimuthPositioning.load());
  EXPECT_EQ(state.AzimuthPosition.load(), 900);
  EXPECT_EQ(sink.kinds, std::vector<char>{'G'});  // the simulated reply is not drawn or recorded
}

TEST_F(CommThreadTest, MissingDriveIsGivenUpAfterFortySeconds) {
  state.AzimuthDriveEnable = 1;
  state.AzimuthMoveRequest = true;
  AtSecond(0);
  Thread().Turn();  // takes the request: positioning, but nothing answers
  ASSERT_TRUE(state.AzimuthPositioning.load());
  int notFoundAt = -1;
  for (int s = 1; s <= 45 && notFoundAt < 0; ++s) {
    AtSecond(s);
    Thread().Turn();
    if (!SecondsOf("notfound").empty()) notFoundAt = s;
    if (s >= 3 && s <= 40) {
      EXPECT_EQ(port->writes.back()[2], 0x1F) << s;  // azimuth commands repeated
    }
  }
  EXPECT_EQ(notFoundAt, 41);
  EXPECT_FALSE(state.AzimuthPositioning.load());
  EXPECT_FALSE(state.AzimuthDriveFound.load());
  EXPECT_EQ(state.AzimuthWaitSeconds.load(), 0);
  AtSecond(46);
  Thread().Turn();
  EXPECT_EQ(port->writes.back()[2], 0x10);  // normal pings resume
}

TEST_F(CommThreadTest, HeadScanWithNoHeadCyclesOneIdPerSecond) {
  AtSecond(0);
  StartHeadScan(state, 0);
  Thread().SendFirstCommand();
  std::vector<int> ids;
  for (int s = 1; s <= 20; ++s) {
    AtSecond(s);
    Thread().Turn();
    ids.push_back(state.ScanId.load());
  }
  // Commands go out from the third second; each unanswered second moves on.
  EXPECT_EQ(ids[0], 16);
  EXPECT_EQ(ids[1], 16);
  EXPECT_EQ(ids[2], 17);  // the resend of second 3 is the first unanswered scan command
  for (std::size_t i = 3; i < ids.size(); ++i) EXPECT_EQ(ids[i], ids[i - 1] == 31 ? 16 : ids[i - 1] + 1);
  EXPECT_TRUE(std::find(ids.begin(), ids.end(), 16) != ids.end());  // wrapped after 31
  EXPECT_EQ(display.events.back().what.rfind("show:Scanning Head ID's . . .", 0), 0u);
}

TEST_F(CommThreadTest, LostDeviceShowsNoDataAndIsReopened) {
  AtSecond(0);
  Thread().SendFirstCommand();
  port->open = false;  // unplugged
  auto fresh = std::make_shared<FakePort>();
  int attempts = 0;
  reopen = [&]() -> std::shared_ptr<HeadPort> { return ++attempts >= 7 ? fresh : nullptr; };
  for (int s = 1; s <= 10; ++s) {
    AtSecond(s);
    Thread().Turn();
    Thread().Turn();
  }
  EXPECT_TRUE(state.HeadPortLost.load() || attempts >= 7);
  EXPECT_EQ(SecondsOf("show:No Data at COM3").front(), 6);
  ASSERT_FALSE(fresh->writes.empty());  // the first command went out on the new port
  fresh->Push(Reply('G', 513));
  AtSecond(11);
  Thread().Turn();
  EXPECT_EQ(sink.kinds.size(), 1u);
  EXPECT_FALSE(state.HeadPortLost.load());
  EXPECT_EQ(state.HeadPortReopens.load(), 1);
}

TEST_F(CommThreadTest, ProfileMenuTakesEffectBetweenPings) {
  state.ProfileMenu = 3;
  AtSecond(0);
  Thread().Turn();
  EXPECT_EQ(state.Profile.load(), 3);
}

TEST(PortProbe, HeadAndGpsPortMoves) {
  struct Case {
    int head, gps;
    std::array<bool, 8> present;
    int wantHead, wantGps, wantAvailable;
  } cases[] = {
      {0, 1, {true, true}, 0, 1, 1},
      {0, 1, {false, false, true, false, true}, 2, 4, 1},
      {3, 3, {false, false, false, true}, 3, 3, 0},  // GPS on the head port: available kept
      {0, 0, {true, false, false, false, false, true}, 0, 5, 1},
      {5, 1, {}, 5, 1, 0},  // nothing present: both stay
  };
  for (const auto& c : cases) {
    AppState state;
    state.ComPort = c.head;
    state.ComPortGPS = c.gps;
    state.GpsPortAvailable = 0;
    ApplyPortProbe(state, c.present);
    EXPECT_EQ(state.ComPort.load(), c.wantHead);
    EXPECT_EQ(state.ComPortGPS.load(), c.wantGps);
    EXPECT_EQ(state.GpsPortAvailable.load(), c.wantAvailable);
    if (c.present[static_cast<std::size_t>(c.wantHead)]) {
      EXPECT_TRUE(state.ComPortTaken[static_cast<std::size_t>(c.wantHead)].load());
    }
  }
}

}  // namespace
