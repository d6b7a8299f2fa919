// SPDX-License-Identifier: GPL-3.0-or-later
// A head's behaviour: stepping within the sector and reversing at its edges, hold
// and reverse, fixed beams and full circles, the "T" memory, new ID and programming,
// calibration, and the echo time.
#include <gtest/gtest.h>

#include <algorithm>

#include "scene.h"
#include "sim_protocol.h"
#include "sim_test_util.h"
#include "sonar_head.h"

using namespace q47vsim;
using simtest::Frame;

namespace {
Command Cmd(const Frame& f) {
  Command c;
  EXPECT_TRUE(ParseCommand(f.Bytes(), c));
  return c;
}
struct HeadFixture : ::testing::Test {
  std::unique_ptr<Scene> scene = MakeScene("harbour");
};
}  // namespace

// Train 90 (code 90, centre 900), sector 30 degrees (code 10: 850..950), each step
// code: positions stay inside, every reply moves the way its direction bit says,
// and the direction turns only at an edge.
TEST_F(HeadFixture, StepsWithinTheSectorAndReversesAtItsEdges) {
  for (int step : {1, 2, 3, 4, 8}) {
    SonarHead head(0x10, *scene, 1);
    Command c = Cmd(Frame().Set(11, 90).Set(12, 10).Set(13, step).Set(20, 4));
    int prev = -1;
    bool prev_up = true;
    int reversals = 0;
    for (int ping = 0; ping < 200; ++ping) {
      auto r = head.Handle(c).reply;
      int pos = simtest::Position(r);
      bool up = simtest::DirectionUp(r);
      ASSERT_GE(pos, 850) << "step " << step;
      ASSERT_LE(pos, 950) << "step " << step;
      if (prev >= 0) {
        if (up) EXPECT_GT(pos, prev) << "step " << step << " ping " << ping;
        else EXPECT_LT(pos, prev) << "step " << step << " ping " << ping;
        EXPECT_LE(std::abs(pos - prev), step);
        if (up != prev_up) {
          ++reversals;
          EXPECT_TRUE(prev == 850 || prev == 950) << "turned at " << prev << " with step " << step;
        }
      }
      prev = pos;
      prev_up = up;
    }
    EXPECT_GE(reversals, 200 * step / 100 - 1) << "step " << step;
  }
}

TEST_F(HeadFixture, HoldStopsAndReverseTurnsOnce) {
  SonarHead head(0x10, *scene, 1);
  Command run = Cmd(Frame().Set(12, 30).Set(13, 2));
  int a = simtest::Position(head.Handle(run).reply);
  int b = simtest::Position(head.Handle(run).reply);
  EXPECT_EQ(b - a, 2);
  Command hold = Cmd(Frame().Set(12, 30).Set(13, 2).Set(5, 0x01));
  auto h1 = head.Handle(hold).reply;
  auto h2 = head.Handle(hold).reply;
  EXPECT_EQ(simtest::Position(h1), b);
  EXPECT_EQ(simtest::Position(h2), b);
  EXPECT_TRUE(h1[4] & 0x04) << "hold shows in the status";
  Command rev = Cmd(Frame().Set(12, 30).Set(13, 2).Set(5, 0x40));
  auto r1 = head.Handle(rev).reply;
  EXPECT_EQ(simtest::Position(r1), b - 2);
  EXPECT_FALSE(simtest::DirectionUp(r1));
  // The reverse request is one-shot on the program's side; the head keeps going down.
  EXPECT_EQ(simtest::Position(head.Handle(run).reply), b - 4);
}

TEST_F(HeadFixture, FixedBeamPointsAlongTheTrainAndFullCircleWraps) {
  SonarHead head(0x10, *scene, 1);
  // SS: sector 0, step 0; train 270 degrees is code 30, position 300.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(simtest::Position(head.Handle(Cmd(Frame().Set(11, 30).Set(12, 0).Set(13, 0))).reply), 300);
  // Fixed-angle command: sector 0, step 1.
  EXPECT_EQ(simtest::Position(head.Handle(Cmd(Frame().Set(11, 75).Set(12, 0).Set(13, 1))).reply), 750);
  // Polar: sector code 120 goes round and round.
  Command polar = Cmd(Frame().Set(11, 0).Set(12, 120).Set(13, 8).Set(19, 25));
  int crossings = 0, prev = simtest::Position(head.Handle(polar).reply);
  for (int i = 0; i < 400; ++i) {
    auto r = head.Handle(polar).reply;
    int p = simtest::Position(r);
    ASSERT_LT(p, 1200);
    EXPECT_TRUE(simtest::DirectionUp(r));
    if (p < prev) ++crossings;
    else EXPECT_EQ(p - prev, 8);
    prev = p;
  }
  EXPECT_EQ(crossings, 3);  // from 758 on, 400 steps of 8 reach 3958: past 0 three times
}

TEST_F(HeadFixture, ScanReplyCarriesTheMemory) {
  SonarHead head(0x12, *scene, 1);
  head.Memory().serial_number = 4321;
  head.Memory().shot_count = 12'345'678'00ull;
  auto r = head.Handle(Cmd(Frame(0x12).Set(7, 1).Set(13, 0))).reply;
  ASSERT_EQ(r.size(), 77u);
  EXPECT_EQ(r[1], 'T');
  EXPECT_EQ(r[3], 0x12);
  EXPECT_EQ(simtest::Seven(r, 10), 64u);
  const std::uint8_t* d = &r[12];
  EXPECT_EQ(d[0], 2);   // EPROM 2.14
  EXPECT_EQ(d[1], 14);
  EXPECT_GE(d[3], 1);
  EXPECT_LE(d[3], 12);
  EXPECT_EQ(d[5], 0);   // scanning sonar
  EXPECT_EQ((d[7] << 7) | (d[6] & 0x7F), 4321);
  EXPECT_EQ(d[8], 0);   // fan beam
  EXPECT_EQ(d[12], 0);
  unsigned long long shots = (static_cast<unsigned long long>(d[16]) << 21) | (d[15] << 14) | (d[14] << 7) | d[13];
  EXPECT_EQ(shots, 12'345'678ull);
  for (int i = 0; i < 64; ++i) EXPECT_LT(d[i], 0x80) << i;
}

TEST_F(HeadFixture, NewIdAndProgrammedValuesAreKept) {
  SonarHead head(0x10, *scene, 1);
  // "Program Head": new ID 0x12 (OR 0x80), serial 9876 in bytes 15 and 18, depth
  // rating 1 in byte 21, byte 10 = 0x80.
  Frame f(0x10);
  f.Set(7, 1).Set(13, 0).Set(16, 0x92).Set(10, 0x80).Set(15, 9876 & 0x7F).Set(18, 9876 >> 7).Set(21, 1);
  auto r = head.Handle(Cmd(f)).reply;
  EXPECT_EQ(head.Id(), 0x12);
  EXPECT_EQ(r[3], 0x12);
  EXPECT_EQ((r[12 + 7] << 7) | r[12 + 6], 9876);
  EXPECT_EQ(r[12 + 10], 1);
  // A later plain scan command (byte 10 = 0, byte 16 = 0) changes nothing.
  auto again = head.Handle(Cmd(Frame(0x12).Set(7, 1).Set(13, 0))).reply;
  EXPECT_EQ(again[3], 0x12);
  EXPECT_EQ((again[12 + 7] << 7) | again[12 + 6], 9876);
  EXPECT_EQ(again[12 + 10], 1);
  // An ID outside 0x10..0x1F is refused.
  head.Handle(Cmd(Frame(0x12).Set(7, 1).Set(16, 0x80 | 0x05)));
  EXPECT_EQ(head.Id(), 0x12);
  // A new ID without byte 10 = 0x80 leaves the serial number alone.
  head.Handle(Cmd(Frame(0x12).Set(7, 1).Set(16, 0x80 | 0x1E).Set(15, 1).Set(18, 1)));
  EXPECT_EQ(head.Id(), 0x1E);
  EXPECT_EQ(head.Memory().serial_number, 9876);
}

TEST_F(HeadFixture, ShotCountAndCalibration) {
  SonarHead head(0x10, *scene, 1);
  auto before = head.Memory().shot_count;
  for (int i = 0; i < 250; ++i) head.Handle(Cmd(Frame().Set(20, 4)));
  EXPECT_EQ(head.Memory().shot_count, before + 250);
  auto r = head.Handle(Cmd(Frame().Set(23, 1))).reply;
  EXPECT_TRUE(r[4] & 0x08) << "calibrating";
  for (int i = 0; i < 10; ++i) r = head.Handle(Cmd(Frame())).reply;
  EXPECT_FALSE(r[4] & 0x08) << "calibration over";
}

TEST_F(HeadFixture, EchoTimeFollowsRangeAndSwitchDelay) {
  SonarHead head(0x10, *scene, 1);
  // 100 m at 1500 m/s: 133 ms there and back, plus 2 x 5 ms switch delay.
  EXPECT_NEAR(head.Handle(Cmd(Frame().Set(3, 100))).busy_s, 0.2 / 1.5 + 0.010, 1e-9);
  EXPECT_NEAR(head.Handle(Cmd(Frame().Set(3, 1).Set(24, 0))).busy_s, 2.0 / 1500, 1e-9);
}

TEST(EchoLayout, SpacingAndBlankingMatchTheReplyFormat) {
  struct Case {
    int range, points, bits, pulse_code;
    std::uint8_t status;
    double spacing;
    int blank;
  } cases[] = {
      {4, 50, 8, 10, 0, 0.008, 19},    // t = 212 us: 0.159 m / 0.008
      {10, 50, 8, 10, 0, 0.02, 11},    // t = 302 us
      {10, 25, 8, 10, 0, 0.04, 5},     // 250 points: half as many
      {10, 50, 16, 10, 0, 0.04, 5},    // 16-bit "G": 250 samples over the range
      {4, 50, 8, 10, 1, 0.008, 7},     // status bit 0: t = 82 us
      {10, 50, 8, 10, 2, 0.02, 7},     // status bit 1: L = 20, so t = 212 us
      {1, 50, 8, 100, 0, 0.002, 0},    // 1112 us would blank 417 samples: none
  };
  for (const auto& c : cases) {
    Command cmd;
    ASSERT_TRUE(ParseCommand(Frame().Set(3, c.range).Set(19, c.points).Set(20, c.bits).Set(14, c.pulse_code).Bytes(), cmd));
    EchoLayout l = LayoutFor(cmd, c.status);
    EXPECT_NEAR(l.spacing_m, c.spacing, 1e-12) << c.range << " m";
    EXPECT_EQ(l.blank_samples, c.blank) << c.range << " m status " << int(c.status);
  }
}
