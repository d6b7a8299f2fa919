// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "display.h"
#include "files/recorder.h"
#include "files/sonar_record.h"
#include "imaging/ping_pipeline.h"
#include "app_state.h"

namespace {

// Records what ping processing asked the display for, in order.
struct FakeDisplay : Display {
  std::vector<std::string> calls;
  int images = 0;
  void ImageChanged(const DirtyRect&) override {
    ++images;
    calls.push_back("image");
  }
  void PanelsChanged(unsigned mask) override {
    if (mask & kPanelPerPing) calls.push_back("panels");
    if (mask & kPanelDateTime) calls.push_back("datetime");
  }
  void OverlaysChanged(unsigned mask) override {
    if (mask & kOverlayMeasureLine) calls.push_back("measure");
    if (mask & kOverlayZoom) calls.push_back("zoom");
  }
};

std::vector<uint8_t> Pixels(AppState& s) {
  std::vector<uint8_t> v;
  s.Image.CopyOut(v);
  return v;
}

// The wedge of a ping at position 600 lies left of the centre column (it fans over
// the step from the previous position); any pixel of row 300 near it tells.
bool CentreHas(AppState& s, int value) {
  for (int x = 270; x <= 300; ++x)
    if (s.Image.At(x, 300) == value) return true;
  return false;
}

void SectorPing(AppState& s, int position, int level) {
  PingData& p = s.Ping;
  p.ReplyType = 'G';
  p.HeadPosition = position;
  p.BeamAngleRad = static_cast<float>((position - 600) * 3.141592654 / 600);
  p.BeamAngleDeg = (position - 600) * 0.3f;
  p.SampleCount = 499;
  p.RangeMetres = 50;
  p.ImageFlip = 1;
  p.Samples.fill(static_cast<uint8_t>(level));
}

struct Pipeline : ::testing::Test {
  std::unique_ptr<AppState> state = std::make_unique<AppState>();
  FakeDisplay display;
  void SetUp() override {
    state->GridMode = 0;
    state->SectorSize = 180;
    state->Grid = 0;
    state->RunMode = 0;
    state->SpeedInUse = 4;
  }
  PingResult Run(char kind = 'G', bool valid = true) {
    PingInput in;
    in.Valid = valid;
    in.Kind = kind;
    return ProcessPing(*state, display, in);
  }
};

TEST_F(Pipeline, ScanAndInvalidRepliesLeaveTheImageAndWait) {
  SectorPing(*state, 600, 80);
  const auto before = Pixels(*state);
  PingResult r = Run('T');
  EXPECT_EQ(r.Wait, std::chrono::microseconds(100000));
  r = Run('G', false);
  EXPECT_EQ(r.Wait, std::chrono::microseconds(100000));
  EXPECT_FALSE(r.Drawn);
  EXPECT_EQ(Pixels(*state), before);
  EXPECT_EQ(display.images, 0);
  // In playback an invalid reply costs no wait.
  state->RunMode = 1;
  EXPECT_EQ(Run('G', false).Wait, std::chrono::microseconds(0));
}

TEST_F(Pipeline, OrderIsPanelsImageThenOverlays) {
  state->PixelZoom = 1;
  state->FirstPing = true;
  SectorPing(*state, 600, 80);
  const PingResult r = Run();
  EXPECT_TRUE(r.Drawn);
  EXPECT_EQ(display.calls, (std::vector<std::string>{"panels", "image", "measure", "zoom"}));
  EXPECT_TRUE(CentreHas(*state, 80));
}

TEST_F(Pipeline, FirstPingFillsAllEchoLines) {
  state->FirstPing = true;
  SectorPing(*state, 600, 60);
  Run();
  EXPECT_FALSE(state->FirstPing);
  EXPECT_EQ(state->Echo.Previous[100], 60);
  EXPECT_EQ(state->Echo.Current[100], 60);
  // Without interpolation from stale data the whole wedge shows 60.
  EXPECT_TRUE(CentreHas(*state, 60));
}

TEST_F(Pipeline, WithoutFirstPingTheWedgeBlendsStaleLines) {
  SectorPing(*state, 600, 60);
  Run();
  EXPECT_EQ(state->Echo.Previous[100], 0);
  EXPECT_EQ(state->Echo.Next[100], 60);
}

TEST_F(Pipeline, PointsOnlyAndProfileDisplayDrawNoEcho) {
  state->Profile = 1;
  SectorPing(*state, 600, 90);
  state->Ping.ProfileSampleIndex = 100;
  Run('P');
  int echo = 0, points = 0;
  for (uint8_t v : Pixels(*state)) echo += v == 90, points += v == 106;
  EXPECT_EQ(echo, 0);
  EXPECT_EQ(points, 1);
}

TEST_F(Pipeline, ClearRequestClearsAndDrawsNothingElse) {
  SectorPing(*state, 600, 70);
  Run();
  state->ClearRequest = true;
  Run();
  for (uint8_t v : Pixels(*state)) ASSERT_EQ(v, 0);
  EXPECT_FALSE(state->ClearRequest);
}

TEST_F(Pipeline, SettingsCheckClearsOnWidthOrProfileChangeAndOnShrinkingSector) {
  state->RunMode = 1;  // playback sets the check on every ping
  state->PlotSpeed = 100;
  SectorPing(*state, 600, 70);
  Run();
  Run();
  EXPECT_TRUE(CentreHas(*state, 70));
  state->DataBits = 4;
  SectorPing(*state, 700, 70);  // away from the centre
  Run();
  EXPECT_FALSE(CentreHas(*state, 70));  // cleared once
  SectorPing(*state, 600, 70);
  Run();
  EXPECT_TRUE(CentreHas(*state, 70));
  state->SectorSize = 360;  // widening does not clear
  SectorPing(*state, 700, 70);
  Run();
  EXPECT_TRUE(CentreHas(*state, 70));
  state->SectorSize = 90;  // shrinking does
  Run();
  EXPECT_FALSE(CentreHas(*state, 70));
}

TEST_F(Pipeline, PlaybackRecordWithAnotherRangeClears) {
  state->RunMode = 1;
  state->PlotSpeed = 100;
  SonarRecordFields rec;
  rec.seconds = 5;
  PingInput in;
  in.Valid = true;
  in.Kind = 'G';
  in.Record = &rec;
  SectorPing(*state, 600, 70);
  ProcessPing(*state, display, in);
  ProcessPing(*state, display, in);
  EXPECT_TRUE(CentreHas(*state, 70));
  SectorPing(*state, 700, 70);
  state->Ping.RangeMetres = 20;
  ProcessPing(*state, display, in);
  EXPECT_FALSE(CentreHas(*state, 70));
}

TEST_F(Pipeline, SoundVelocityChangeMovesTheGrid) {
  state->RunMode = 1;
  state->PlotSpeed = 100;
  state->Grid = 1;
  SonarRecordFields rec;
  rec.sound_velocity_tenths = 15000;
  PingInput in{true, 'G', false, &rec};
  SectorPing(*state, 600, 0);
  ProcessPing(*state, display, in);
  EXPECT_GE(state->Image.At(397, 505), 128);  // 100-pixel arc near the baseline
  rec.sound_velocity_tenths = 14000;
  ProcessPing(*state, display, in);
  EXPECT_FLOAT_EQ(state->SoundVelocityMeters.load(), 1400.0f);
  EXPECT_LT(state->Image.At(397, 505), 128);
  EXPECT_GE(state->Image.At(404, 505), 128);  // 107-pixel arc
}

TEST_F(Pipeline, SideScanDrawsAWaterfallLine) {
  state->GridMode = 2;
  state->SSTrain = 2;
  SectorPing(*state, 600, 40);
  Run();
  EXPECT_EQ(state->Image.At(95 + 10, 0), 40);
  Run();
  EXPECT_EQ(state->Image.At(95 + 10, 1), 40);
}

TEST_F(Pipeline, AzimuthAndOrientationRepliesDrawNoEchoes) {
  SectorPing(*state, 600, 70);
  state->EnableOrientationModule = 0;
  Run('A');
  Run('O');
  for (uint8_t v : Pixels(*state)) ASSERT_EQ(v, 0);
}

// Every ping of an active scan stores its point: while the sweep start is
// awaited (they belong to the first sweep), and on the return sweep, which is
// not drawn.
TEST_F(Pipeline, ReturnSweepOfAutoProfileIsNotDrawnButItsPointsAreStored) {
  state->AutoProfileScanActive = true;
  state->AutoProfileWaitSweepStart = true;
  state->AutoProfileStartPosition = 500;
  SectorPing(*state, 490, 30);
  state->Ping.StepDirection = 1;
  Run();
  EXPECT_TRUE(state->AutoProfileWaitSweepStart);
  EXPECT_EQ(state->ProfilePoints.Count, 1);  // awaited, yet a point of the scan
  SectorPing(*state, 503, 30);
  state->Ping.StepDirection = 1;
  Run();
  EXPECT_FALSE(state->AutoProfileWaitSweepStart);  // stepped up past the start
  EXPECT_EQ(state->ProfilePoints.Count, 2);
  SectorPing(*state, 700, 30);
  state->Ping.StepDirection = 0;  // the return sweep
  Run();
  EXPECT_EQ(state->Image.At(298 + 150, 300), 0);
  EXPECT_EQ(state->ProfilePoints.Count, 3);
}

// The wait ends on a position above the previous ping's and at or beyond the
// start: the first ping of a wait never ends it (the previous is 1200), a head
// already beyond the start going up ends it on its second ping, a head going down
// only after it turned; a full circle is no different.
TEST_F(Pipeline, SweepStartIsAPositionAboveThePreviousAtOrBeyondTheStart) {
  struct Case {
    int sector, start;
    std::vector<std::pair<int, int>> pings;  // position, direction
    std::size_t ends_at;                      // index of the ping that ends the wait
  };
  const Case cases[] = {
      {90, 450, {{600, 1}, {606, 1}}, 1},
      {90, 450, {{606, 0}, {600, 0}, {456, 0}, {450, 0}, {456, 1}}, 4},
      {90, 450, {{450, 0}, {456, 1}}, 1},
      {90, 450, {{300, 1}, {306, 1}, {450, 1}}, 2},   // below the start: not yet
      {360, 0, {{1190, 1}, {1196, 1}}, 1},            // no wrap past step 0 needed
      {360, 0, {{12, 0}, {6, 0}, {0, 0}, {1194, 0}}, 3},  // turning the other way: at the wrap
  };
  for (const Case& c : cases) {
    state = std::make_unique<AppState>();
    SetUp();
    state->SectorSize = c.sector;
    state->AutoProfileScanActive = true;
    state->AutoProfileWaitSweepStart = true;
    state->AutoProfileStartPosition = c.start;
    state->PreviousSweepPosition = 1200;
    for (std::size_t i = 0; i < c.pings.size(); ++i) {
      SectorPing(*state, c.pings[i].first, 30);
      state->Ping.StepDirection = c.pings[i].second;
      Run();
      EXPECT_EQ(state->AutoProfileWaitSweepStart.load(), i < c.ends_at)
          << "sector " << c.sector << " ping " << i << " at " << c.pings[i].first;
    }
    EXPECT_EQ(state->SweepStartDirection, c.pings[c.ends_at].second);
    EXPECT_EQ(state->ProfilePoints.Count, static_cast<int>(c.pings.size()));
  }
}

// Without painting the sweep watch and the profile points go on as with it.
TEST_F(Pipeline, UnpaintedPingsStillStartSweepsAndStorePoints) {
  state->PaintEchoes = false;
  state->AutoProfileScanActive = true;
  state->AutoProfileWaitSweepStart = true;
  state->AutoProfileStartPosition = 500;
  SectorPing(*state, 490, 30);
  state->Ping.StepDirection = 1;
  Run();
  SectorPing(*state, 503, 30);
  state->Ping.StepDirection = 1;
  Run();
  EXPECT_FALSE(state->AutoProfileWaitSweepStart);
  EXPECT_EQ(state->ProfilePoints.Count, 2);
  for (uint8_t v : Pixels(*state)) ASSERT_EQ(v, 0);
}

// A player that paints nothing (q47v xyz) does no picture work either: the clear at
// a sweep start, the clear of a record with another range, the grid moved by a new
// sound velocity and the waterfall leave the pixels as they are, while the sweep
// watch, the points and the display's notices go on.
TEST_F(Pipeline, UnpaintedPlayerLeavesThePixelsAloneOnClearsGridAndWaterfall) {
  state->PaintEchoes = false;
  state->Grid = 1;
  state->RunMode = 1;
  state->PlotSpeed = 100;
  {
    std::lock_guard lock(state->Image.Lock());
    std::memset(state->Image.Pixels(), 7, kImageBytes);
  }
  state->AutoProfileScanActive = true;
  state->AutoProfileWaitSweepStart = true;
  state->AutoProfileStartPosition = 500;
  SonarRecordFields rec;
  rec.sound_velocity_tenths = 15000;
  PingInput in{true, 'G', false, &rec};
  SectorPing(*state, 490, 30);
  state->Ping.StepDirection = 1;
  ProcessPing(*state, display, in);
  SectorPing(*state, 503, 30);  // the sweep starts: the echo lines reset
  state->Ping.StepDirection = 1;
  rec.sound_velocity_tenths = 14000;  // the grid moves
  ProcessPing(*state, display, in);
  EXPECT_FALSE(state->AutoProfileWaitSweepStart);
  EXPECT_EQ(state->ProfilePoints.Count, 2);  // the awaited ping's point counts too
  EXPECT_FLOAT_EQ(state->SoundVelocityMeters.load(), 1400.0f);
  SectorPing(*state, 506, 30);
  state->Ping.RangeMetres = 20;  // another range: a clear
  ProcessPing(*state, display, in);
  EXPECT_EQ(state->ProfilePoints.Count, 3);
  state->GridMode = 2;  // and a side-scan record
  ProcessPing(*state, display, in);
  ClearImage(*state, display);
  RedrawGrid(*state, display);
  EXPECT_GT(display.images, 0);
  EXPECT_FALSE(state->GridShown);
  for (uint8_t v : Pixels(*state)) ASSERT_EQ(v, 7);
  // Painting again, the next clear makes the picture with its grid.
  state->PaintEchoes = true;
  state->GridMode = 0;
  ClearImage(*state, display);
  EXPECT_TRUE(state->GridShown);
  EXPECT_GE(state->Image.At(404, 505), 128);  // the arc at 1400 m/s
  EXPECT_EQ(state->Image.At(300, 300), 0);
}

// The GPS thread may change the fix while a ping is processed: the ping's record
// and its profile point carry the same fix, so that a survey re-made from the
// recording writes the positions the live one wrote.
TEST_F(Pipeline, RecordAndProfilePointTakeTheSameGpsFix) {
  struct MovingGps : FakeDisplay {
    AppState* state = nullptr;
    void PanelsChanged(unsigned mask) override {
      FakeDisplay::PanelsChanged(mask);
      if (!(mask & kPanelTitle)) return;  // the record was just written
      GpsData later;
      const char* position = " 50.00.000 N001.00.000 E";
      std::copy(position, position + 24, later.GpsPositionText.begin());
      state->SetGpsData(later);
    }
  } moving;
  moving.state = state.get();
  GpsData fix;
  const char* position = " 49.16.450 N123.11.120 W";
  std::copy(position, position + 24, fix.GpsPositionText.begin());
  state->SetGpsData(fix);
  state->UseGPS = 1;
  std::vector<uint8_t> reply(513, 0x11);
  reply[0] = 'I';
  reply[1] = 'G';
  reply[2] = 'X';
  reply.back() = 0xFC;
  std::copy(reply.begin(), reply.end(), state->ReplyBuffer.begin());
  state->ExpectedReplyLength = 513;
  state->RecordTypeCode = 3;
  ASSERT_TRUE(StartRecording(*state, moving, "gps.47v"));
  state->AutoProfileScanActive = true;
  SectorPing(*state, 600, 30);
  PingInput in;
  in.Valid = true;
  in.Kind = 'G';
  ProcessPing(*state, moving, in);
  StopRecording(*state, moving);
  ASSERT_EQ(state->ProfilePoints.Count, 1);
  EXPECT_EQ(std::string(state->ProfilePoints.Records[0].Gps, 24), position);
  SonarFileReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open("gps.47v", error));
  ASSERT_EQ(reader.ReadRecordAt(0), RecordRead::kOk);
  ASSERT_TRUE(reader.fields().gps);
  EXPECT_EQ(reader.fields().gps->latitude, "49.16.450 N");
}

TEST(PlaybackDelayTest, Table) {
  EXPECT_EQ(PlaybackDelay(0), 0);   // PlotSpeed 100
  EXPECT_EQ(PlaybackDelay(1), 0);   // 0.25 truncates
  EXPECT_EQ(PlaybackDelay(4), 1);
  EXPECT_EQ(PlaybackDelay(10), 2);
  EXPECT_EQ(PlaybackDelay(20), 10);  // PlotSpeed 80
  EXPECT_EQ(PlaybackDelay(21), 15);
  EXPECT_EQ(PlaybackDelay(40), 40);
  EXPECT_EQ(PlaybackDelay(50), 100);
  EXPECT_EQ(PlaybackDelay(60), 240);
  EXPECT_EQ(PlaybackDelay(70), 420);
  EXPECT_EQ(PlaybackDelay(80), 640);
  EXPECT_EQ(PlaybackDelay(90), 900);
  EXPECT_EQ(PlaybackDelay(100), 1200);  // PlotSpeed 0
}

TEST(ColorTableSelection, StoresColorsAndKeepsPixels) {
  auto state = std::make_unique<AppState>();
  FakeDisplay d;
  state->Image.At(5, 5) = 50;
  EXPECT_EQ(SelectColorTable(*state, d, 3), 1);
  EXPECT_EQ(state->Colors.load(), 3);
  EXPECT_EQ(state->Palette()[102], (Rgb{255, 255, 255}));
  EXPECT_EQ(state->Image.At(5, 5), 50);
}

}  // namespace
