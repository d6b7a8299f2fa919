// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "imaging/scan_conversion.h"

namespace {

void Fill(EchoLines& l, int prev, int cur, int next) {
  l.Previous.fill(static_cast<uint8_t>(prev));
  l.Current.fill(static_cast<uint8_t>(cur));
  l.Next.fill(static_cast<uint8_t>(next));
}

WedgeParams Fastest() {
  WedgeParams p;
  p.Speed = 4;
  p.GridMode = kGridSector;
  p.SectorSize = 0;
  p.BeamAngleRad = 0;
  p.ImageFlip = true;
  p.SampleCount = 499;
  p.GridOn = true;
  return p;
}

TEST(Weights, EveryRowSumsTo200AndTablesMatch) {
  for (const auto& w : WeightsW7()) EXPECT_EQ(w.Previous + w.Current + w.Next, 200);
  for (const auto& w : WeightsW11()) EXPECT_EQ(w.Previous + w.Current + w.Next, 200);
  for (const auto& w : WeightsW21()) EXPECT_EQ(w.Previous + w.Current + w.Next, 200);
  for (const auto& w : WeightsW41()) EXPECT_EQ(w.Previous + w.Current + w.Next, 200);
  EXPECT_EQ(WeightsW7()[0].Previous, 65);
  EXPECT_EQ(WeightsW7()[6].Next, 65);
  EXPECT_EQ(WeightsW11()[10].Previous, 25);
  const auto& w41 = WeightsW41();
  EXPECT_EQ(w41[16].Previous, 40);  // (40,160,0) after 5 + 12 rows
  EXPECT_EQ(w41[17].Previous, 35);
  EXPECT_EQ(w41[24].Next, 40);      // (0,160,40)
  EXPECT_EQ(w41[36].Current, 100);  // (0,100,100) reached
  EXPECT_EQ(w41[40].Next, 100);
  EXPECT_EQ(WeightsW21()[2].Previous, 100);
  EXPECT_EQ(WeightsW21()[18].Next, 100);
}

TEST(Wedge, IntegerBlendEqualsTheFloatingPointRule) {
  // The drawer divides by 200; the rule is trunc(sum x 0.005) in double.
  // It does so with a multiply and a shift: (sum x 41944) >> 23.
  for (int s = 0; s <= 200 * 107; ++s) {
    ASSERT_EQ(static_cast<int>(s * 0.005), s / 200) << s;
    ASSERT_EQ(s / 200, (s * 41944) >> 23) << s;
  }
}

TEST(Wedge, GeometryPerSpeed) {
  struct Row {
    int speed, mode, n, first, rows;
  } rows[] = {{0, 0, 7, 7, 21}, {1, 0, 11, 5, 21}, {2, 0, 17, 2, 21}, {3, 0, 21, 0, 21},
              {4, 0, 41, 0, 41}, {4, 1, 21, 0, 21}};
  for (const auto& r : rows) {
    WedgeParams p;
    p.Speed = r.speed;
    p.GridMode = r.mode;
    const WedgeGeometry g = SelectWedgeGeometry(p);
    EXPECT_EQ(g.SubRays, r.n) << r.speed;
    EXPECT_EQ(g.FirstRow, r.first) << r.speed;
    EXPECT_EQ(g.TableRows, r.rows) << r.speed;
  }
  WedgeParams p;
  p.Speed = 2;
  EXPECT_EQ(SelectWedgeGeometry(p).Weights, WeightsW21().data() + 2);
  p.SectorSize = 0;
  EXPECT_EQ(SelectWedgeGeometry(p).StepAngle, 0.0);
}

TEST(Wedge, SectorSizeZeroCentresOnTheHeadAngle) {
  PingImage img;
  EchoLines l;
  Fill(l, 60, 60, 60);
  WedgeParams p = Fastest();
  p.GridOn = false;
  DirtyRect box = DrawWedge(img, l, p);
  // Symmetric about the centre column: the fan reaches as far left as right.
  // Sub-rays run from -1.2 to +1.14 degrees around the head angle.
  EXPECT_NEAR(298 - box.MinX, box.MaxX - 298, 2);
  EXPECT_EQ(box.MaxY, 505);
  EXPECT_EQ(box.MinY, 505 - 498);
  EXPECT_EQ(img.At(298, 305), 60);
}

TEST(Wedge, FullLevelAndGridBit) {
  PingImage img;
  EchoLines l;
  Fill(l, 107, 107, 107);
  img.At(298, 405) = 128;        // grid pixel
  img.At(298, 305) = 128 + 40;   // grid over an old echo
  WedgeParams p = Fastest();
  DrawWedge(img, l, p);
  EXPECT_EQ(img.At(298, 400), 107);
  EXPECT_EQ(img.At(298, 405), 235);
  EXPECT_EQ(img.At(298, 305), 235);
  for (int i = 0; i < kImageBytes; ++i) ASSERT_LE(img.Pixels()[i], 245);

  PingImage off;
  off.At(298, 405) = 128;
  p.GridOn = false;
  DrawWedge(off, l, p);
  EXPECT_EQ(off.At(298, 405), 107);  // grid off: the grid bit is overwritten
}

TEST(Wedge, ApexPixelTakesTheLastSubRay) {
  PingImage img;
  EchoLines l;
  l.Previous.fill(10);
  l.Current.fill(20);
  l.Next.fill(30);
  DrawWedge(img, l, Fastest());
  // i = 0: n = 41/4 + 0 = 10 sub-rays all on (298, 505); row 9 of W41 is (75,125,0):
  // (75 x 10 + 125 x 20) / 200 = 16.25 -> 16.
  EXPECT_EQ(img.At(298, 505), 16);
}

TEST(Wedge, LeadingRowsAreTheMeanOfPreviousAndCurrent) {
  PingImage img;
  EchoLines l;
  l.Previous.fill(100);
  l.Current.fill(50);
  l.Next.fill(0);
  WedgeParams p = Fastest();
  p.SectorSize = 180;
  p.GridOn = false;
  std::array<SubRay, 41> t;
  const WedgeGeometry g = SelectWedgeGeometry(p);
  BuildSubRayTable(p, g, t);
  DrawWedge(img, l, p);
  // Sub-ray 0 at radius 400 carries weights (100,100,0): 75.
  const int x = static_cast<int>(298.0f + 400.0f * t[0].B);
  const int y = static_cast<int>(505.0f + 400.0f * t[0].A);
  EXPECT_EQ(img.At(x, y), 75);
  // The last sub-ray (0,100,100): 25.
  const int x2 = static_cast<int>(298.0f + 400.0f * t[40].B);
  const int y2 = static_cast<int>(505.0f + 400.0f * t[40].A);
  EXPECT_EQ(img.At(x2, y2), 25);
  EXPECT_LT(x, x2);  // ImageFlip 1: angles grow along the table
}

TEST(Wedge, ProfileGridZeroDownOffGrowsDownFromRow1) {
  PingImage img;
  EchoLines l;
  Fill(l, 70, 70, 70);
  WedgeParams p = Fastest();
  p.ProfileGrid = true;
  p.ZeroDown = false;
  const DirtyRect box = DrawWedge(img, l, p);
  EXPECT_EQ(box.MinY, 1);
  EXPECT_NEAR(box.MaxY, 1 + 498, 1);
  EXPECT_EQ(img.At(298, 300), 70);
  EXPECT_EQ(img.At(298, 0), 0);
}

TEST(Wedge, PolarIsCentredAndWideSectorIsCutAtTheSides) {
  PingImage img;
  EchoLines l;
  Fill(l, 30, 30, 30);
  WedgeParams p = Fastest();
  p.GridMode = kGridPolar;
  p.SampleCount = 250;
  p.BeamAngleRad = static_cast<float>(3.141592654 / 2);  // pointing right
  const DirtyRect box = DrawWedge(img, l, p);
  EXPECT_EQ(box.MinX, 298);
  EXPECT_NEAR(box.MaxX, 298 + 249, 1);
  EXPECT_NEAR(box.MinY, 248, 2);
  EXPECT_NEAR(box.MaxY, 258, 2);

  // Sector pointing right: the 499-pixel ray would reach column 797; it is cut.
  PingImage img2;
  p.GridMode = kGridSector;
  p.SampleCount = 499;
  const DirtyRect b2 = DrawWedge(img2, l, p);
  EXPECT_EQ(b2.MaxX, 595);
  int in_last_column = 0;
  for (int y = 0; y < kImageHeight; ++y) in_last_column += img2.At(595, y) == 30;
  EXPECT_GT(in_last_column, 0);
}

TEST(Wedge, DirtyBoxMergesIntoTheImage) {
  PingImage img;
  EchoLines l;
  Fill(l, 5, 5, 5);
  EXPECT_TRUE(img.Dirty.Empty());
  const DirtyRect box = DrawWedge(img, l, Fastest());
  EXPECT_EQ(img.Dirty, box);
  EXPECT_EQ(DirtyRect{}, (DirtyRect{2000, 0, 2000, 0}));
}

TEST(EchoLinesShift, FirstPingFillsAllThreeLines) {
  EchoLines l;
  uint8_t s[640];
  for (int i = 0; i < 640; ++i) s[i] = static_cast<uint8_t>(i % 100);
  bool first = true;
  l.Shift(s, 499, first);
  EXPECT_FALSE(first);
  EXPECT_EQ(l.Previous[77], 77);
  EXPECT_EQ(l.Current[77], 77);
  EXPECT_EQ(l.Next[77], 77);
  uint8_t t[640] = {};
  l.Shift(t, 499, first);
  EXPECT_EQ(l.Previous[77], 77);
  EXPECT_EQ(l.Current[77], 77);
  EXPECT_EQ(l.Next[77], 0);
  l.Shift(t, 499, first);
  EXPECT_EQ(l.Previous[77], 77);
  EXPECT_EQ(l.Current[77], 0);
}

TEST(Waterfall, PortScrollsDownAndClearsTheFarColumns) {
  PingImage img;
  uint8_t a[640], b[640];
  std::memset(a, 50, sizeof a);
  std::memset(b, 200, sizeof b);  // levels above 107 are limited
  std::memset(img.Pixels(), 9, kImageBytes);
  DrawWaterfallLine(img, a, 499, kSSPort, false, true);
  EXPECT_EQ(img.At(595 - 10, 0) & 0x7f, 50);
  EXPECT_EQ(img.At(95, 0), 0);  // cleared columns
  EXPECT_EQ(img.At(0, 0), 0);
  EXPECT_EQ(img.At(96, 0), 0);  // no stale value from the scrolled row
  EXPECT_EQ(img.At(10, 1), 9);  // the old top row moved down
  DrawWaterfallLine(img, b, 499, kSSPort, false, true);
  EXPECT_EQ(img.At(500, 0), 107);
  EXPECT_EQ(img.At(500, 1), 50);
  EXPECT_EQ(img.At(500, 2), 9);
  // Dashed grid in the transducer column: rows with bit 3 clear carry the grid bit.
  EXPECT_GE(img.At(595, 0), 128);
  EXPECT_GE(img.At(595, 7), 128);
  EXPECT_LT(img.At(595, 8), 128);
  EXPECT_GE(img.At(595, 16), 128);
  EXPECT_EQ(img.Dirty, DirtyRect::Whole());
}

TEST(Waterfall, StbdScrollsUpAndAppendsAtTheBottom) {
  PingImage img;
  uint8_t a[640];
  for (int i = 0; i < 640; ++i) a[i] = static_cast<uint8_t>(i % 100);
  DrawWaterfallLine(img, a, 499, kSSStbd, true, false);
  EXPECT_EQ(img.At(95 + 42, 505), 42);
  EXPECT_EQ(img.At(94, 505), 0);
  DrawWaterfallLine(img, a, 499, kSSStbd, true, false);
  EXPECT_EQ(img.At(95 + 42, 504), 42);
  // The last column is not scrolled.
  EXPECT_EQ(img.At(595, 504), 0);
}

TEST(Waterfall, BothShowsPortLeftAndStarboardRight) {
  PingImage img;
  uint8_t a[640] = {};
  for (int i = 0; i < 125; ++i) a[i] = 20;        // port half
  for (int i = 125; i < 250; ++i) a[i] = 80;      // starboard half
  a[0] = 1;
  a[125] = 2;
  DrawWaterfallLine(img, a, 250, kSSBoth, false, false);
  EXPECT_EQ(img.At(297, 0), 1);
  EXPECT_EQ(img.At(296, 0), 1);
  EXPECT_EQ(img.At(295, 0), 20);
  EXPECT_EQ(img.At(48, 0), 20);
  EXPECT_EQ(img.At(47, 0), 0);
  EXPECT_EQ(img.At(298, 0), 2);
  EXPECT_EQ(img.At(299, 0), 2);
  EXPECT_EQ(img.At(300, 0), 80);
  EXPECT_EQ(img.At(547, 0), 80);
  EXPECT_EQ(img.At(548, 0), 0);
}

}  // namespace
