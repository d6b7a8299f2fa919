// SPDX-License-Identifier: GPL-3.0-or-later
// Ping processing on its own thread while the user interface thread clears the
// picture, moves the grid, changes colours and copies the pixels out: every copy
// the interface takes holds only what the drawers write, and nothing races (run
// under the thread sanitizer in the sanitizer build).
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "display.h"
#include "imaging/ping_pipeline.h"
#include "app_state.h"

namespace {

TEST(ImageLock, PipelineAndInterfaceThreadsShareThePicture) {
  auto state = std::make_unique<AppState>();
  AppState& s = *state;
  s.GridMode = 0;
  s.SectorSize = 180;
  s.SpeedInUse = 4;
  s.Grid = 1;
  s.Ping.ReplyType = 'G';
  s.Ping.SampleCount = 499;
  s.Ping.ImageFlip = 1;
  // Every ping carries level 77: blends of it with cleared echo lines stay at or below 77.
  s.Ping.Samples.fill(77);
  s.FirstPing = true;
  NullDisplay display;
  ClearImage(s, display);

  std::atomic<bool> stop{false};
  std::thread pipeline([&] {
    PingInput in;
    in.Valid = true;
    in.Kind = 'G';
    for (int k = 0; k < 400 && !stop; ++k) {
      s.Ping.HeadPosition = 300 + (k * 4) % 600;
      s.Ping.BeamAngleRad = static_cast<float>((s.Ping.HeadPosition - 600) * 3.141592654 / 600);
      ProcessPing(s, display, in);
    }
    stop = true;
  });
  std::vector<uint8_t> copy;
  int copies = 0, bad = 0;
  while (!stop) {
    s.Image.CopyOut(copy, true);
    for (uint8_t v : copy) bad += (v & 0x7f) > 77;
    switch (copies++ % 4) {
      case 0:
        ClearImage(s, display);
        break;
      case 1:
        s.SoundVelocityMeters = copies % 8 == 1 ? 1400.0f : 1500.0f;
        RedrawGrid(s, display);
        break;
      case 2:
        SelectColorTable(s, display, copies % 9);
        break;
      default:
        s.ClearRequest = true;
        break;
    }
  }
  pipeline.join();
  EXPECT_GT(copies, 0);
  EXPECT_EQ(bad, 0);
}

}  // namespace
