// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "imaging/grid.h"

namespace {

// Distances from the arc centre of every grid pixel off the two straight lines.
std::vector<double> ArcRadii(const PingImage& img, int cx, int cy, int base_row) {
  std::vector<double> r;
  for (int y = 0; y < kImageHeight; ++y)
    for (int x = 0; x < kImageWidth; ++x)
      if (img.At(x, y) >= 128 && x != 297 && y != base_row) r.push_back(std::hypot(x - cx, y - cy));
  return r;
}

bool NearAny(double r, double spacing, int max_n) {
  for (int n = 1; n <= max_n; ++n)
    if (std::fabs(r - n * spacing) < 1.5) return true;
  return false;
}

TEST(Grid, SpacingBySoundVelocityAndUnits) {
  EXPECT_FLOAT_EQ(GridSpacing(kGridSector, 0, 1500), 100.0f);
  EXPECT_FLOAT_EQ(GridSpacing(kGridSS, 0, 1500), 100.0f);
  EXPECT_FLOAT_EQ(GridSpacing(kGridPolar, 0, 1500), 50.0f);
  EXPECT_FLOAT_EQ(GridSpacing(kGridSector, 1, 1500), 91.44f);
  EXPECT_FLOAT_EQ(GridSpacing(kGridPolar, 1, 1500), 45.72f);
  EXPECT_NEAR(GridSpacing(kGridSector, 0, 1400), 107.14, 0.01);
}

TEST(Grid, SectorArcsAt1500And1400) {
  PingImage img;
  GridParams p;
  DrawGrid(img, p, true);
  auto radii = ArcRadii(img, 297, 505, 504);
  ASSERT_FALSE(radii.empty());
  std::set<int> rings;
  for (double r : radii) {
    ASSERT_TRUE(NearAny(r, 100, 5)) << r;
    rings.insert(static_cast<int>(std::lround(r / 100)));
  }
  EXPECT_EQ(rings, (std::set<int>{1, 2, 3, 4, 5}));
  // Baseline and centre column.
  for (int x = 0; x < kImageWidth; ++x) EXPECT_GE(img.At(x, 504), 128);
  for (int y = 0; y < kImageHeight; ++y) EXPECT_GE(img.At(297, y), 128);

  PingImage slow;
  p.SoundVelocity = 1400;
  DrawGrid(slow, p, true);
  double max_r = 0;
  for (double r : ArcRadii(slow, 297, 505, 504)) {
    ASSERT_TRUE(NearAny(r, 1500.0 / 14, 4)) << r;
    max_r = std::max(max_r, r);
  }
  EXPECT_NEAR(max_r, 428.6, 1.5);
}

TEST(Grid, PolarRings) {
  PingImage img;
  GridParams p;
  p.GridMode = kGridPolar;
  DrawGrid(img, p, true);
  std::set<int> rings;
  for (double r : ArcRadii(img, 297, 252, 253)) {
    ASSERT_TRUE(NearAny(r, 50, 5)) << r;
    rings.insert(static_cast<int>(std::lround(r / 50)));
  }
  EXPECT_EQ(rings, (std::set<int>{1, 2, 3, 4, 5}));
}

TEST(Grid, ProfileGridLinesAreDotted) {
  PingImage img;
  GridParams p;
  p.ProfileGrid = true;
  p.ZeroDown = false;
  DrawGrid(img, p, true);
  EXPECT_GE(img.At(5, 1), 128);     // baseline at row 1
  EXPECT_GE(img.At(0, 101), 128);   // n x S + 1
  EXPECT_LT(img.At(1, 101), 128);   // every second column
  EXPECT_GE(img.At(397, 2), 128);   // vertical line at 297 + 100, every second row
  EXPECT_LT(img.At(397, 3), 128);
  PingImage zd;
  p.ZeroDown = true;
  DrawGrid(zd, p, true);
  EXPECT_GE(zd.At(2, 404), 128);
}

TEST(Grid, SSColumnIsDashed) {
  for (int train : {kSSPort, kSSStbd, kSSBoth}) {
    PingImage img;
    GridParams p;
    p.GridMode = kGridSS;
    p.SSTrain = train;
    DrawGrid(img, p, true);
    const int c = WaterfallColumns(train).TransducerColumn;
    EXPECT_GE(img.At(c, 0), 128);
    EXPECT_LT(img.At(c, 8), 128);
    EXPECT_GE(img.At(c, 16), 128);
  }
}

TEST(Grid, OffThenOnLeavesEchoesExactly) {
  PingImage img;
  for (int i = 0; i < kImageBytes; ++i) img.Pixels()[i] = static_cast<uint8_t>(i % 108);
  std::vector<uint8_t> before(img.Pixels(), img.Pixels() + kImageBytes);
  for (int mode : {kGridSector, kGridPolar, kGridSS}) {
    for (bool pg : {false, true}) {
      GridParams p;
      p.GridMode = mode;
      p.ProfileGrid = pg;
      DrawGrid(img, p, true);
      DrawGrid(img, p, false);
      ASSERT_TRUE(std::equal(before.begin(), before.end(), img.Pixels())) << mode << pg;
    }
  }
  img.At(10, 504) = 107;
  DrawGrid(img, GridParams{}, true);
  EXPECT_EQ(img.At(10, 504), 235);
}

TEST(Grid, ProfileDisplayHasNoGrid) {
  PingImage img;
  GridParams p;
  p.GridMode = kGridProfile;
  DrawGrid(img, p, true);
  for (int i = 0; i < kImageBytes; ++i) ASSERT_EQ(img.Pixels()[i], 0);
}

TEST(GridLabel, Texts) {
  EXPECT_EQ(GridLabelText(false, 9, 0, kGridSector, 0), "Grid Off");
  EXPECT_EQ(GridLabelText(true, 0, 0, kGridSector, 0), " 0.2 M/DIV");
  EXPECT_EQ(GridLabelText(true, 9, 0, kGridSector, 0), "10 M/DIV");
  EXPECT_EQ(GridLabelText(true, 14, 0, kGridPolar, 0), "40 M/DIV");
  EXPECT_EQ(GridLabelText(true, 14, 1, kGridSector, 0), "120 FT/DIV");
  EXPECT_EQ(GridLabelText(true, 0, 1, kGridSector, 0), "0.6 FT/DIV");
  EXPECT_EQ(GridLabelText(true, 2, 0, kGridSS, kSSBoth), " 1.2 M/DIV");
  EXPECT_EQ(GridLabelText(true, 14, 1, kGridSS, kSSBoth), "240 FT/DIV");
  EXPECT_EQ(GridLabelText(true, 2, 0, kGridSS, kSSPort), " 0.6 M/DIV");
  EXPECT_EQ(GridScaleLabel(15, 0, false), nullptr);
}

TEST(Dial, PointsPieAndLimits) {
  EXPECT_EQ(DialPointAt(100, 100, 20, 0, false), (DialPoint{100, 80}));
  EXPECT_EQ(DialPointAt(100, 100, 20, 90, false), (DialPoint{120, 100}));
  EXPECT_EQ(DialPointAt(100, 100, 20, 0, true), (DialPoint{100, 120}));
  SectorDialShape d = ComputeSectorDial(100, 100, 20, 360, 0, 0, false);
  EXPECT_TRUE(d.FullCircle);
  d = ComputeSectorDial(100, 100, 20, 0, 90, 0, false);
  EXPECT_TRUE(d.SingleLine);
  EXPECT_EQ(d.LinePoint, (DialPoint{120, 100}));
  d = ComputeSectorDial(100, 100, 20, 90, 270, 0, false);  // train 270 is -90
  EXPECT_DOUBLE_EQ(d.Middle, -90);
  EXPECT_DOUBLE_EQ(d.StartDeg, -135);
  EXPECT_EQ(d.LimitStartPosition, 150);  // (-135 + 180) x 10 / 3
  EXPECT_EQ(d.LimitEndPosition, 450);
  d = ComputeSectorDial(100, 100, 20, 90, 270, 0, true);
  EXPECT_EQ(d.LimitStartPosition, 750);
  EXPECT_EQ(d.LimitEndPosition, 1050);
  EXPECT_TRUE(DialHalfTurn(kGridSector, true, false));
  EXPECT_FALSE(DialHalfTurn(kGridSS, true, false));
}

TEST(Dial, HeadMarkerOnOuterCircle) {
  const HeadMarkerShape m = ComputeHeadMarker(100, 100, 20, 270, 0, false);
  EXPECT_EQ(m.Head, (DialPoint{72, 100}));
  EXPECT_EQ(m.Rotate, (DialPoint{100, 72}));
}

TEST(TransducerLabelsTest, ByXdcrAndProfileGrid) {
  EXPECT_STREQ(ComputeTransducerLabels(1, false, true).Main, "Xdcr Up");
  EXPECT_STREQ(ComputeTransducerLabels(0, false, true).Main, "Xdcr Down");
  EXPECT_EQ(ComputeTransducerLabels(0, false, true).Second, nullptr);
  EXPECT_STREQ(ComputeTransducerLabels(1, true, true).Main, "Xdcr Aft");
  EXPECT_STREQ(ComputeTransducerLabels(0, true, false).Main, "Xdcr Fwd");
  EXPECT_STREQ(ComputeTransducerLabels(0, true, false).Second, "Zero Down");
  EXPECT_STREQ(ComputeTransducerLabels(0, true, true).Second, "Zero Up");
}

}  // namespace
