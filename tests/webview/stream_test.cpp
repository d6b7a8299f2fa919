// SPDX-License-Identifier: GPL-3.0-or-later
// The live view end to end on the loopback: a recording played through the
// program's playback and ping processing, viewers rebuilding the picture from the
// stream (this suite's own bare client, and the python3-websockets client of
// live_view_client.py), equal pixel for pixel and colour for colour to the
// program's image; a viewer that stops reading skips to a whole picture without
// holding up the others.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "replay.h"
#include "viewer.h"
#include "webview/live_view_server.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

const std::string kSector = std::string(Q47V_TESTDATA_DIR) + "/imaging/harbour_sector.47V";
const std::string kPolar = std::string(Q47V_TESTDATA_DIR) + "/imaging/harbour_polar.47V";

webview::ServerOptions Loopback() {
  webview::ServerOptions o;
  o.port = 0;
  o.interval = 10ms;
  return o;
}

std::vector<uint8_t> ProgramPicture(AppState& state) {
  std::vector<uint8_t> px;
  std::lock_guard lock(state.Image.Lock());
  px.assign(state.Image.Pixels(), state.Image.Pixels() + kImageBytes);
  return px;
}

std::string ProgramPalette(AppState& state) { return webview::EncodePalette(state.Palette()); }

template <class Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds limit = 20s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

long DifferentPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return -1;
  long n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

}  // namespace

TEST(LiveViewStream, ViewersRebuildThePlayedPictureExactly) {
  auto state = std::make_unique<AppState>();
  Replay replay(*state, kSector);
  ASSERT_TRUE(replay.Opened());
  Clock clock;
  webview::LiveViewServer server(*state, clock);
  std::string error;
  ASSERT_TRUE(server.Start(Loopback(), &error)) << error;
  EXPECT_FALSE(server.TokenRequired());

  TestViewer first(server.Port());
  ASSERT_TRUE(first.Ok());
  for (int i = 0; i < 150; ++i) {
    replay.Step();
    if (i % 10 == 0) server.Flush();
  }
  // A second viewer joins in the middle and starts from a whole picture.
  TestViewer second(server.Port());
  ASSERT_TRUE(second.Ok());
  replay.Colours(3);
  for (int i = 0; i < 600; ++i) {  // past the end of the file: playback starts again
    replay.Step();
    if (i % 10 == 0) server.Flush();
  }
  const uint32_t last = server.Flush();
  for (TestViewer* v : {&first, &second}) {
    ASSERT_TRUE(v->WaitForSequence(last));
    EXPECT_FALSE(v->Malformed());
    EXPECT_EQ(DifferentPixels(v->Picture(), ProgramPicture(*state)), 0);
    EXPECT_EQ(v->Palette(), ProgramPalette(*state));
    EXPECT_NE(v->LastReadouts().find("\"source\":\"FILE\""), std::string::npos) << v->LastReadouts();
    EXPECT_NE(v->LastReadouts().find("harbour_sector.47V"), std::string::npos) << v->LastReadouts();
  }
  EXPECT_GE(second.Wholes(), 1);
  EXPECT_GT(server.Stats().pictureMessages, 20);
  server.Stop();
  EXPECT_EQ(server.Viewers(), 0);
}

// The same check through a WebSocket client of another implementation: Debian's
// python3-websockets, in live_view_client.py.
TEST(LiveViewStream, PythonClientRebuildsThePictureExactly) {
  auto state = std::make_unique<AppState>();
  Replay replay(*state, kPolar);
  ASSERT_TRUE(replay.Opened());
  Clock clock;
  webview::LiveViewServer server(*state, clock);
  std::string error;
  webview::ServerOptions o = Loopback();
  o.interval = 20ms;
  ASSERT_TRUE(server.Start(o, &error)) << error;

  int toChild[2];
  ASSERT_EQ(pipe(toChild), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
  posix_spawn_file_actions_addclose(&actions, toChild[1]);
  posix_spawn_file_actions_addopen(&actions, 1, "client.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const std::string script = std::string(Q47V_SOURCE_DIR) + "/tests/webview/live_view_client.py";
  const std::string url = "ws://127.0.0.1:" + std::to_string(server.Port()) + "/stream";
  std::vector<std::string> args = {Q47V_PYTHON, script, url, "expected.bin"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(toChild[0]);
  auto log = [] {
    std::ifstream f("client.log");
    return std::string(std::istreambuf_iterator<char>(f), {});
  };

  // The script connects one viewer at once and a second one after the first has
  // seen a few pictures; playback goes on in between.
  ASSERT_TRUE(WaitFor([&] { return server.Viewers() >= 1; })) << log();
  int played = 0;
  ASSERT_TRUE(WaitFor([&] {
    replay.Step();
    ++played;
    std::this_thread::sleep_for(2ms);
    return server.Viewers() >= 2;
  })) << log();
  replay.Colours(6);
  for (int i = 0; i < 700; ++i) {
    replay.Step();
    if (i % 4 == 0) std::this_thread::sleep_for(2ms);
  }
  const uint32_t last = server.Flush();
  {
    std::vector<uint8_t> expected = ProgramPicture(*state);
    const std::string palette = ProgramPalette(*state);
    std::ofstream f("expected.bin", std::ios::binary);
    f.write(reinterpret_cast<const char*>(expected.data()), static_cast<std::streamsize>(expected.size()));
    f.write(palette.data() + 1, 768);
  }
  const std::string line = std::to_string(last) + "\n";
  ASSERT_EQ(write(toChild[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
  close(toChild[1]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "records played before the second viewer: " << played
                                                            << "\n" << log();
  std::printf("%s", log().c_str());
}

TEST(LiveViewStream, AStalledViewerSkipsToAWholePictureAndHoldsNobodyUp) {
  auto state = std::make_unique<AppState>();
  Replay replay(*state, kSector);
  ASSERT_TRUE(replay.Opened());
  Clock clock;
  webview::LiveViewServer server(*state, clock);
  webview::ServerOptions o = Loopback();
  o.viewerQueueBytes = 64 * 1024;
  std::string error;
  ASSERT_TRUE(server.Start(o, &error)) << error;

  // The stalled viewer upgrades, then never reads; its socket buffers are small.
  RawClient stalled;
  ASSERT_TRUE(stalled.Connect(server.Port(), 4096));
  ASSERT_EQ(stalled.Handshake().rfind("HTTP/1.1 101", 0), 0u);
  TestViewer reader(server.Port());
  ASSERT_TRUE(reader.Ok());
  // Whole new pictures until the stalled viewer's queue has overflowed.
  int rounds = 0;
  for (; rounds < 400 && server.Stats().skips == 0; ++rounds) {
    {
      std::lock_guard lock(state->Image.Lock());
      uint8_t* px = state->Image.Pixels();
      for (int i = 0; i < kImageBytes; ++i) px[i] = static_cast<uint8_t>((i * 7 + rounds * 13 + (i >> 9)) % 119);
      state->Image.Dirty = DirtyRect::Whole();
    }
    for (int k = 0; k < 5; ++k) replay.Step();
    // The reader has everything of this round before the next one starts: the
    // stalled viewer does not hold it up.
    ASSERT_TRUE(reader.WaitForSequence(server.Flush())) << "round " << rounds;
  }
  const webview::ServerStats s = server.Stats();
  EXPECT_GT(s.skips, 0) << "rounds " << rounds;
  EXPECT_LE(s.maxQueuedBytes, o.viewerQueueBytes + 2 * static_cast<size_t>(kImageBytes));
  // The reader kept up all along and holds the program's picture.
  const uint32_t last = server.Flush();
  ASSERT_TRUE(reader.WaitForSequence(last));
  EXPECT_EQ(DifferentPixels(reader.Picture(), ProgramPicture(*state)), 0);
  EXPECT_EQ(reader.Wholes(), 1);
  server.Stop();  // with the stalled viewer still connected
}
