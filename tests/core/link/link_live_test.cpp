// SPDX-License-Identifier: GPL-3.0-or-later
// The head link end to end: the comm thread on a real pty against the q47v-sim
// program. Live pings decoded, drawn and recorded, the file played back equal to
// what was received; faults on the line; the simulator killed and restarted; a
// head scan over two heads with a new ID; the azimuth drive and orientation module.
// The simulator answers at a real head's pace: a head never answers before its
// switch delay, and the sender purges its queues a few milliseconds after a command.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "display.h"
#include "files/playback.h"
#include "files/recorder.h"
#include "gps/gps_reader.h"
#include "link/comm_thread.h"
#include "link/head_scan.h"
#include "link/live_ping_sink.h"
#include "app_state.h"
#include "sim_process.h"

namespace {

// Keeps a copy of every reply handed on, then processes it as the program does.
class CapturingSink : public LivePingSink {
 public:
  explicit CapturingSink(Display& display) : LivePingSink(display) {}
  void ReplyAccepted(AppState& state, std::span<const std::uint8_t> reply,
                     const ReplyExpectation& expected) override {
    {
      std::lock_guard lock(mutex_);
      replies_.emplace_back(reply.begin(), reply.end());
      kinds_.push_back(expected.Kind);
    }
    LivePingSink::ReplyAccepted(state, reply, expected);
  }
  std::vector<std::vector<std::uint8_t>> Replies() {
    std::lock_guard lock(mutex_);
    return replies_;
  }
  long Count(char kind) {
    std::lock_guard lock(mutex_);
    return std::count(kinds_.begin(), kinds_.end(), kind);
  }

 private:
  std::mutex mutex_;
  std::vector<std::vector<std::uint8_t>> replies_;
  std::vector<char> kinds_;
};

class StatusDisplay : public Display {
 public:
  void ShowStatus(const std::string& text, const StatusColours&) override {
    std::lock_guard lock(mutex);
    shown.push_back(text);
  }
  bool Saw(const std::string& text) {
    std::lock_guard lock(mutex);
    return std::find(shown.begin(), shown.end(), text) != shown.end();
  }
  std::mutex mutex;
  std::vector<std::string> shown;
};

std::vector<std::vector<std::uint8_t>> PlayBack(AppState& state, Display& display, const std::string& path) {
  std::vector<std::vector<std::uint8_t>> out;
  state.RunMode = 1;
  EXPECT_TRUE(OpenPlayback(state, display, path));
  PlaybackHooks hooks;
  hooks.process_reply = [&](AppState&, std::span<std::uint8_t> reply, const ReplyExpectation& e) {
    out.emplace_back(reply.begin(), reply.begin() + e.Length);
    return true;
  };
  for (int i = 0; i < 100000; ++i) {
    const PlaybackStepResult r = PlaybackStep(state, display, hooks);
    if (r.outcome != PlaybackOutcome::kPlayed) break;
  }
  ClosePlayback(state);
  return out;
}

int ImagePixelsSet(AppState& state) {
  std::vector<std::uint8_t> pixels;
  state.Image.CopyOut(pixels);
  return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), [](std::uint8_t p) { return (p & 0x7F) != 0; }));
}

class LinkLiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state.RunMode = 0;
    state.EnableOrientationModule = 0;
    state.GridMode = 0;
    state.Range = 4;
    state.DataBits = 4;  // 265-byte replies: more pings per second at the head's own pace
    state.Grid = 0;
  }
  void TearDown() override {
    StopLink(state);
    sim.Kill();
  }
  void Open() {
    ASSERT_TRUE(OpenHeadPort(state, link));
    ASSERT_TRUE(StartLink(state, display, sink, *clock));
  }

  std::string link = "head-line";
  AppState state;
  StatusDisplay display;
  CapturingSink sink{display};
  Clock realClock;
  SteppingClock stepping;
  const Clock* clock = &realClock;
  SimProcess sim;
};

TEST_F(LinkLiveTest, LivePingsAreDrawnRecordedAndPlayedBackEqual) {
  ASSERT_TRUE(sim.Start({"--head-link", link, "--no-gps", "--no-azimuth", "--no-orientation"}, link));
  Open();
  ASSERT_TRUE(StartRecording(state, display, "live.47v"));
  ASSERT_TRUE(WaitUntil([&] { return state.PingsProcessed.load() >= 100; }))
      << state.CommandsSent.load() << " sent, " << state.RepliesAccepted.load() << " accepted, "
      << state.RepliesRejected.load() << " rejected, " << state.PingsProcessed.load() << " processed";
  StopLink(state);
  StopRecording(state, display);
  const auto received = sink.Replies();
  EXPECT_EQ(static_cast<long>(received.size()), state.PingsProcessed.load());
  EXPECT_EQ(state.RepliesRejected.load(), 0);
  EXPECT_GT(ImagePixelsSet(state), 1000);  // the sector picture was painted
  const auto played = PlayBack(state, display, "live.47v");
  ASSERT_EQ(played.size(), received.size());
  for (std::size_t i = 0; i < played.size(); ++i) ASSERT_EQ(played[i], received[i]) << "record " << i;
}

TEST_F(LinkLiveTest, FaultyLineDropsBadFramesAndRecordingGoesOn) {
  clock = &stepping;  // the resend after a short reply comes a few "seconds" later
  ASSERT_TRUE(sim.Start({"--head-link", link, "--no-gps", "--no-azimuth", "--no-orientation",
                         "--drop", "0.0002", "--corrupt", "0.01", "--split", "0.01", "--garbage", "0.01", "--seed", "7"},
                        link));
  Open();
  ASSERT_TRUE(StartRecording(state, display, "faulty.47v"));
  ASSERT_TRUE(WaitUntil([&] { return state.PingsProcessed.load() >= 60; }, &stepping, 200))
      << state.CommandsSent.load() << " sent, " << state.RepliesAccepted.load() << " accepted, "
      << state.RepliesRejected.load() << " rejected, " << state.PingsProcessed.load() << " processed, "
      << state.NoDataSeconds.load() << " no-data s, second " << state.ClockSecond.load();
  StopLink(state);
  StopRecording(state, display);
  // Corrupted envelopes are dropped; everything accepted is in the file.
  const auto received = sink.Replies();
  const auto played = PlayBack(state, display, "faulty.47v");
  ASSERT_EQ(played.size(), received.size());
  for (std::size_t i = 0; i < played.size(); ++i) ASSERT_EQ(played[i], received[i]) << "record " << i;
  for (const auto& r : received) {
    ASSERT_EQ(r.front(), 'I');
    ASSERT_EQ(r.back(), 0xFC);
  }
}

TEST_F(LinkLiveTest, SimulatorKilledAndRestartedComesBack) {
  ASSERT_TRUE(sim.Start({"--head-link", link, "--no-gps", "--no-azimuth", "--no-orientation"}, link));
  Open();
  ASSERT_TRUE(WaitUntil([&] { return state.PingsProcessed.load() >= 5; }));
  sim.Kill();
  ::unlink(link.c_str());
  ASSERT_TRUE(WaitUntil([&] { return display.Saw("No Data at COM1"); }, nullptr, 30, 20000));
  EXPECT_TRUE(state.HeadPortLost.load());
  const long before = state.PingsProcessed.load();
  const auto restart = std::chrono::steady_clock::now();
  ASSERT_TRUE(sim.Start({"--head-link", link, "--no-gps", "--no-azimuth", "--no-orientation"}, link));
  ASSERT_TRUE(WaitUntil([&] { return state.PingsProcessed.load() > before; }, nullptr, 30, 20000));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - restart).count();
  RecordProperty("SecondsToFirstPingAfterRestart", std::to_string(seconds));
  std::printf("first ping %.2f s after the simulator came back\n", seconds);
  EXPECT_FALSE(state.HeadPortLost.load());
  EXPECT_EQ(state.HeadPortReopens.load(), 1);
}

TEST_F(LinkLiveTest, HeadScanOverTwoHeadsWithNewId) {
  clock = &stepping;
  ASSERT_TRUE(sim.Start({"--head-link", link, "--no-gps", "--no-azimuth", "--no-orientation",
                         "--heads", "0x10,0x13"},
                        link));
  StartHeadScan(state, 0);
  Open();
  // Watch which IDs answer while the scan goes round once.
  std::vector<int> answered;
  long seen = 0;
  auto watch = [&] {
    const long accepted = state.RepliesAccepted.load();
    const int id = state.AnsweredHeadId.load();
    if (accepted != seen && state.LastReplyKind.load() == 'T' &&
        std::find(answered.begin(), answered.end(), id) == answered.end())
      answered.push_back(id);
    seen = accepted;
  };
  ASSERT_TRUE(WaitUntil([&] { watch(); return answered.size() >= 2; }, &stepping, 150));
  std::sort(answered.begin(), answered.end());
  EXPECT_EQ(answered, (std::vector<int>{0x10, 0x13}));
  // The "T" reply decodes into the window's texts.
  const LinkShown shown = state.Shown();
  ASSERT_TRUE(shown.ScanReplyValid);
  const HeadInfoTexts info = DecodeHeadInfo(std::span<const std::uint8_t, 64>(shown.ScanReply.data() + 12, 64));
  EXPECT_EQ(info.NvRam[0].label, "nv_ram [ 0 ]");
  // Give head 0x13 the new ID 0x15 while the scan stands on it.
  ASSERT_TRUE(WaitUntil([&] { return state.AnsweredHeadId.load() == 0x13 && state.LastReplyKind.load() == 'T'; }, &stepping, 150));
  state.NewHeadId = 0x15;
  state.NewIdRequest = true;
  ASSERT_TRUE(WaitUntil([&] { return !state.NewIdRequest.load(); }, &stepping, 150));
  EXPECT_EQ(state.MasterHeadID.load(), 0x15);
  // Round the scan again (from the next ID on, past the answer to the command
  // that carried the change): 0x15 answers, 0x13 no more.
  const int changedAt = state.ScanId.load();
  ASSERT_TRUE(WaitUntil([&] { return state.ScanId.load() != changedAt; }, &stepping, 150));
  answered.clear();
  const int start = state.ScanId.load();
  bool wrapped = false;
  ASSERT_TRUE(WaitUntil([&] {
    watch();
    if (state.ScanId.load() != start) wrapped = true;
    return wrapped && state.ScanId.load() == start && answered.size() >= 2;
  }, &stepping, 150));
  std::sort(answered.begin(), answered.end());
  EXPECT_EQ(answered, (std::vector<int>{0x10, 0x15}));
}

TEST_F(LinkLiveTest, AzimuthDriveIsPositionedAndOrientationModuleQueried) {
  state.EnableOrientationModule = 1;
  state.AzimuthDriveEnable = 1;
  state.AzimuthAngle = 630;  // 9 degrees
  state.AzimuthMoveRequest = true;
  ASSERT_TRUE(sim.Start({"--head-link", link, "--no-gps", "--azimuth-rate", "90"}, link));
  Open();
  ASSERT_TRUE(WaitUntil([&] { return state.AzimuthDriveFound.load(); }));
  EXPECT_TRUE(display.Saw("Detecting Azimuth Drive..."));
  // Each move request sends one azimuth command; repeat until the drive is there.
  ASSERT_TRUE(WaitUntil([&] {
    if (!state.AzimuthPositioning.load() && !state.AzimuthMoveRequest.load()) state.AzimuthMoveRequest = true;
    return state.AzimuthPosition.load() == 630;
  }));
  ASSERT_TRUE(WaitUntil([&] { return sink.Count('O') >= 2; }));
  EXPECT_LT(state.OrientationUnanswered.load(), 5);
  EXPECT_GT(sink.Count('G'), 0);
}

// A long session with every device on the line and the GPS reader, for the
// thread sanitizer build: Q47V_LONG_SESSION=<seconds> runs it.
TEST_F(LinkLiveTest, LongSessionWithAllDevices) {
  const char* env = std::getenv("Q47V_LONG_SESSION");
  if (!env) GTEST_SKIP() << "set Q47V_LONG_SESSION=<seconds> to run";
  const int seconds = std::max(1, std::atoi(env));
  state.EnableOrientationModule = 1;
  state.AzimuthDriveEnable = 1;
  state.UseGPS = 1;
  state.GPSType = 1;
  state.GPSBaudRate = 5;
  // A longer switch delay keeps the head's answer clear of the sender's purge when
  // the sanitizer slows the sender down.
  state.SwitchDelay = 40;
  ASSERT_TRUE(sim.Start({"--head-link", link, "--gps-link", "gps-line", "--gps-baud", "115200", "--gps-rate", "5"}, link));
  Open();
  ASSERT_TRUE(OpenGpsPort(state, "gps-line"));
  ASSERT_TRUE(StartGpsThread(state, display));
  ASSERT_TRUE(StartRecording(state, display, "long.47v"));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int angle = 600;
  for (int turn = 0; std::chrono::steady_clock::now() < end; ++turn) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // The GUI's side: settings, requests and reads while the threads run. (A move
    // request restarts the no-data count, so it comes only now and then.)
    if (turn % 10 == 0) {
      angle = angle == 600 ? 700 : 600;
      state.AzimuthAngle = angle;
      state.AzimuthMoveRequest = true;
    }
    state.Gain = (state.Gain.load() + 1) % 40;
    state.ReverseRequest = true;
    (void)state.Shown();
    (void)state.GpsSnapshot();
    (void)ImagePixelsSet(state);
  }
  StopRecording(state, display);
  CloseGpsPort(state);
  StopLink(state);
  EXPECT_GT(state.PingsProcessed.load(), seconds)
      << state.CommandsSent.load() << " sent, " << state.RepliesRejected.load() << " rejected";
  EXPECT_NE(state.GpsSnapshot().GpsPositionText[0], '\0');
}

}  // namespace
