// SPDX-License-Identifier: GPL-3.0-or-later
// The echo picture: objects of the scenes appear at the sample index their range
// gives, gain, absorption and pulse length act as on a real head, the data widths
// carry the same echo, and a seed repeats a ping byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "scene.h"
#include "sim_protocol.h"
#include "sim_test_util.h"
#include "sonar_head.h"

using namespace q47vsim;
using simtest::Frame;

namespace {
std::vector<int> Levels8(const std::vector<std::uint8_t>& r) {
  return std::vector<int>(r.begin() + 12, r.end() - 1);
}
std::vector<std::uint8_t> Ping(const std::string& scene_name, const Frame& f, std::uint64_t seed = 3) {
  auto scene = MakeScene(scene_name);
  SonarHead head(0x10, *scene, seed);
  Command c;
  EXPECT_TRUE(ParseCommand(f.Bytes(), c));
  return head.Handle(c).reply;
}
// A fixed beam at a position angle (degrees): train code = 60 + angle / 3.
Frame Beam(double angle_deg, int range) {
  return Frame().Set(11, static_cast<int>(60 + angle_deg / 3)).Set(12, 0).Set(13, 0).Set(3, range);
}
std::size_t ArgMax(const std::vector<int>& v) {
  return static_cast<std::size_t>(std::max_element(v.begin(), v.end()) - v.begin());
}
double Mean(const std::vector<int>& v, std::size_t from, std::size_t to) {
  return std::accumulate(v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(to), 0.0) /
         static_cast<double>(to - from);
}
int WidthAboveHalf(const std::vector<int>& v) {
  int peak = *std::max_element(v.begin(), v.end());
  std::size_t at = ArgMax(v);
  std::size_t lo = at, hi = at;
  while (lo > 0 && v[lo - 1] * 2 >= peak) --lo;
  while (hi + 1 < v.size() && v[hi + 1] * 2 >= peak) ++hi;
  return static_cast<int>(hi - lo + 1);
}
}  // namespace

// Channel, straight down, 20 m: the bed is 11 m below the head. 500 samples over
// 20 m (0.04 m each), the first 5 blanked (302 us x 0.75 mm/us = 0.2265 m), so the
// bed shows at (11 - 0.2) / 0.04 = 270, and the profile range is 1080 cm.
TEST(EchoPicture, ChannelBedStraightDownAtItsDepth) {
  auto r = Ping("channel", Beam(0, 20));
  auto v = Levels8(r);
  ASSERT_EQ(v.size(), 500u);
  EXPECT_NEAR(static_cast<double>(ArgMax(v)), 270, 4);
  EXPECT_NEAR(simtest::Seven(r, 8), 1080, 8) << "the leading edge of the bed echo";
  EXPECT_LT(Mean(v, 20, 250), 6) << "clear water above the bed";
  EXPECT_GT(v[ArgMax(v)], 80) << "the bed is a strong echo";
  EXPECT_LT(Mean(v, 330, 500), 6) << "nothing comes back from deep in the bed";
}

// 45 degrees to starboard the ray still meets the flat bottom (11 m down at x = 11 m):
// slant range 15.56 m; 8 bits over 20 m: sample (15.56 - 0.2) / 0.04 = 384.
TEST(EchoPicture, ChannelBedAtAnAngleAndPointsOnlyAgree) {
  auto r = Ping("channel", Beam(45, 20));
  EXPECT_NEAR(static_cast<double>(ArgMax(Levels8(r))), 384, 6);
  auto p = Ping("channel", Beam(45, 20).Set(22, 1));
  ASSERT_EQ(p.size(), 13u);
  EXPECT_EQ(p[1], 'P');
  EXPECT_NEAR(simtest::Seven(p, 8), (15.56 - 0.2) / 0.01, 25) << "leading edge of an oblique echo";
  EXPECT_EQ(simtest::Seven(p, 8), simtest::Seven(r, 8)) << "same first strong return";
  // Short range: 2 mm units. 4 m looking at the surface 1 m above (angle 180): 0.95 m.
  auto up = Ping("channel", Beam(180 - 3, 4).Set(22, 1));
  double first = 19 * 0.008;  // 212 us blanks 19 samples of 8 mm
  EXPECT_NEAR(simtest::Seven(up, 8) * 0.002 + first, 1.0 / std::cos(3 * 3.14159265 / 180), 0.06);
}

// Harbour, ahead, 30 m: the quay wall at 24 m is the brightest echo, at sample
// (24.03 - 0.18) / 0.06 = 397; behind it nothing.
TEST(EchoPicture, HarbourQuayWallAheadAndShadowBehind) {
  auto v = Levels8(Ping("harbour", Beam(0, 30)));
  EXPECT_NEAR(static_cast<double>(ArgMax(v)), 397, 6);
  EXPECT_GT(v[ArgMax(v)], 107);
  EXPECT_LT(Mean(v, 420, 500), 3);
  EXPECT_GT(Mean(v, 150, 350), 8) << "sea floor in front of the wall";
}

// A piling of the row at x = 11 m, y = -3 m: bearing 105.3 degrees, 11.4 m away.
TEST(EchoPicture, HarbourPilingToStarboard) {
  auto v = Levels8(Ping("harbour", Beam(105.3, 20)));
  double expected = (std::hypot(std::hypot(11.0, 3.0) - 0.3, 1.25) - 5 * 0.04) / 0.04;
  EXPECT_NEAR(static_cast<double>(ArgMax(v)), expected, 6);
  EXPECT_LT(Mean(v, static_cast<std::size_t>(expected) + 20, 500), Mean(v, 150, static_cast<std::size_t>(expected) - 20))
      << "the piling shadows the floor behind it";
}

TEST(EchoPicture, GainAbsorptionAndPulseLengthAct) {
  auto low = Levels8(Ping("harbour", Beam(-30, 20).Set(8, 0)));
  auto high = Levels8(Ping("harbour", Beam(-30, 20).Set(8, 30)));
  EXPECT_GT(Mean(high, 100, 500), Mean(low, 100, 500) + 20);
  // Commanded absorption below the water's: the far field fades.
  auto weak = Levels8(Ping("harbour", Beam(-30, 50).Set(10, 1).Set(8, 20)));
  auto right = Levels8(Ping("harbour", Beam(-30, 50).Set(10, 20).Set(8, 20)));
  EXPECT_LT(Mean(weak, 300, 450), Mean(right, 300, 450));
  // A longer pulse smears the bed echo over more samples.
  int w100 = WidthAboveHalf(Levels8(Ping("channel", Beam(0, 20).Set(14, 10).Set(8, 0))));
  int w1000 = WidthAboveHalf(Levels8(Ping("channel", Beam(0, 20).Set(14, 100).Set(8, 0))));
  EXPECT_GT(w1000, w100 + 5) << w100 << " vs " << w1000;
}

// The same ping at 4, 8 and 16 bits: 8-bit levels are the top 8 of the 14-bit
// words and the nibbles the top 4 of the 8-bit levels.
TEST(EchoPicture, DataWidthsCarryTheSameEcho) {
  auto r8 = Ping("harbour", Beam(20, 30).Set(19, 25).Set(20, 8));
  auto r4 = Ping("harbour", Beam(20, 30).Set(19, 25).Set(20, 4));
  auto r16 = Ping("harbour", Beam(20, 30).Set(19, 25).Set(20, 16));
  ASSERT_EQ(r8.size(), 265u);
  ASSERT_EQ(r4.size(), 141u);
  ASSERT_EQ(r16.size(), 513u);
  for (std::size_t i = 0; i < 250; ++i) {
    int v8 = r8[12 + i];
    unsigned w = r16[12 + 2 * i] | (r16[13 + 2 * i] << 8);
    ASSERT_LT(w, 16384u);
    EXPECT_EQ(static_cast<int>(w >> 6), v8) << i;
    std::uint8_t b = r4[12 + i / 2];
    int nib = i % 2 == 0 ? (b & 0x0F) : (b >> 4);
    EXPECT_EQ(nib, v8 >> 4) << i;
  }
}

TEST(EchoPicture, SameSeedSameBytes) {
  EXPECT_EQ(Ping("harbour", Frame(), 9), Ping("harbour", Frame(), 9));
  EXPECT_NE(Ping("harbour", Frame(), 9), Ping("harbour", Frame(), 10));
}

// The harbour is the same place whatever the data width: the wall's sample index
// is the same share of the line in "G" 4-bit (504 samples) as in "M" 8-bit (252).
TEST(EchoPicture, HarbourWallPositionIndependentOfWidth) {
  auto g4 = Ping("harbour", Beam(0, 30).Set(20, 4));
  std::vector<int> s;
  for (std::size_t i = 12; i + 1 < g4.size(); ++i) s.push_back((g4[i] & 0x0F) * 16), s.push_back(g4[i] & 0xF0);
  ASSERT_EQ(s.size(), 504u);
  EXPECT_NEAR(static_cast<double>(ArgMax(s)), 397, 6);
  auto m8 = Levels8(Ping("harbour", Beam(0, 30).Set(19, 25)));
  EXPECT_NEAR(static_cast<double>(ArgMax(m8)), (24.03 - 1 * 0.12) / 0.12, 4);
}
