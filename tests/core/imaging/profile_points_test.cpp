// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "imaging/profile_points.h"
#include "imaging/scan_conversion.h"

namespace {

TEST(ProfilePointRecord, LayoutIs98Bytes) {
  EXPECT_EQ(sizeof(ProfilePoint), 98u);
  EXPECT_EQ(offsetof(ProfilePoint, Gps), 40u);
  EXPECT_EQ(offsetof(ProfilePoint, Range), 74u);
  EXPECT_EQ(offsetof(ProfilePoint, BeamAngle), 78u);
  EXPECT_EQ(offsetof(ProfilePoint, Direction), 82u);
  EXPECT_EQ(offsetof(ProfilePoint, Pitch), 86u);
  EXPECT_EQ(offsetof(ProfilePoint, Roll), 90u);
}

TEST(ProfilePointRecord, RangeFromCodeTakesTheUnitOfTheRangeInUse) {
  EXPECT_FLOAT_EQ(ProfilePointRange(0, 0.2f, 10), 0.0f);
  EXPECT_FLOAT_EQ(ProfilePointRange(10000, 0.2f, 10), 0.0f);
  EXPECT_FLOAT_EQ(ProfilePointRange(10000, 0.2f, 3), 0.0f);
  // Ranges below 5 m count 2 mm units, whatever the point's own distance.
  EXPECT_NEAR(ProfilePointRange(361, 0, 3), 0.722, 1e-5);
  EXPECT_NEAR(ProfilePointRange(1500, 0, 4), 3.0, 1e-5);  // 3 m away at 4 m: not 15 m
  EXPECT_NEAR(ProfilePointRange(499, 0, 1), 0.998, 1e-5);
  // From 5 m on every code counts centimetres, near points too.
  EXPECT_NEAR(ProfilePointRange(76, 0.227f, 10), 0.987, 1e-5);  // not 0.379
  EXPECT_NEAR(ProfilePointRange(361, 0, 5), 3.61, 1e-5);
  EXPECT_NEAR(ProfilePointRange(500, 0.1f, 20), 5.1, 1e-5);
  EXPECT_NEAR(ProfilePointRange(9999, 0, 100), 99.99, 1e-4);
}

TEST(ProfilePointRecord, FieldsAndAngleWrap) {
  ProfilePointInputs in;
  in.DateText = "07-DEC-2026";
  in.TimeText = "13:45:07.25";
  in.GpsText = "A1234.5678N 01234.5678E_TOO_LONG_TEXT";
  in.BeamAngleDeg = 350;
  in.VerticalAngleOffset = 20;
  in.ProfileRangeCode = 1234;
  in.RangeMetres = 20;
  in.Direction = 1;
  ProfilePoint p = MakeProfilePoint(in);
  EXPECT_EQ(std::string(p.DateTime, 13), "07-DEC-2026  ");
  EXPECT_STREQ(p.DateTime + 13, "13:45:07.25");
  EXPECT_EQ(std::strlen(p.Gps), 24u);
  // Packed fields are copied out before comparing (no references to them).
  const float angle = p.BeamAngle, range = p.Range;
  const int direction = p.Direction;
  EXPECT_FLOAT_EQ(angle, 10.0f);
  EXPECT_NEAR(range, 12.34, 1e-4);
  EXPECT_EQ(direction, 1);
  in.BeamAngleDeg = 10;
  in.VerticalAngleOffset = -20;
  const float wrapped = MakeProfilePoint(in).BeamAngle;
  EXPECT_FLOAT_EQ(wrapped, 350.0f);
}

TEST(ProfilePointRecord, CountIsHeldAt1200) {
  auto store = std::make_unique<ProfilePointStore>();
  ProfilePointInputs in;
  for (int i = 0; i < 1205; ++i) {
    in.Direction = i;
    StoreProfilePoint(*store, in);
  }
  EXPECT_EQ(store->Count, 1200);
  const int last_counted = store->Records[1199].Direction, spare = store->Records[1200].Direction;
  EXPECT_EQ(last_counted, 1199);
  EXPECT_EQ(spare, 1204);  // the spare slot
}

PointParams Points(int position, int index) {
  PointParams p;
  p.GridMode = kGridSector;
  p.HeadPosition = position;
  p.BeamAngleRad = static_cast<float>((position - 600) * 3.141592654 / 600);
  p.ImageFlip = true;
  p.ProfileSampleIndex = index;
  p.GridOn = true;
  return p;
}

TEST(PointsOnly, DrawsColour106AndRecordsThePixel) {
  PingImage img;
  auto table = std::make_unique<ProfilePointTable>();
  DrawPointsOnly(img, *table, Points(600, 200));
  EXPECT_EQ(img.At(298, 305), 106);
  EXPECT_EQ((*table)[600], (PixelPos{298, 305}));
  EXPECT_FALSE(img.Dirty.Empty());
  // Over a grid pixel with the grid on: 234.
  PingImage g;
  g.At(298, 305) = 128;
  DrawPointsOnly(g, *table, Points(600, 200));
  EXPECT_EQ(g.At(298, 305), 234);
}

TEST(PointsOnly, PingWithoutPointStillErasesNinePositionsAhead) {
  PingImage img;
  auto table = std::make_unique<ProfilePointTable>();
  for (int q = 300; q <= 312; ++q) {
    (*table)[q] = {q, 10};
    img.At(q, 10) = 106;
  }
  img.At(305, 10) = 128 + 106;  // grid bit kept as 128
  DrawPointsOnly(img, *table, Points(301, 0));
  for (int q = 301; q <= 309; ++q) EXPECT_LT(img.At(q, 10) & 0x7f, 1) << q;
  EXPECT_EQ(img.At(305, 10), 128);
  EXPECT_EQ(img.At(300, 10), 106);
  EXPECT_EQ(img.At(310, 10), 106);
  // ImageFlip 0 erases backwards, wrapping below 0.
  (*table)[1195] = {50, 50};
  img.At(50, 50) = 106;
  PointParams p = Points(2, 0);
  p.ImageFlip = false;
  DrawPointsOnly(img, *table, p);
  EXPECT_EQ(img.At(50, 50), 0);
}

TEST(PointsOnly, ProfileDisplayHangsFromRow0) {
  PingImage img;
  auto table = std::make_unique<ProfilePointTable>();
  PointParams p = Points(600, 100);
  p.GridMode = kGridProfile;
  p.BeamAngleRad = static_cast<float>(3.141592654);  // Profile display adds half a turn
  DrawPointsOnly(img, *table, p);
  EXPECT_EQ(img.At(298, 99) == 106 || img.At(298, 100) == 106 || img.At(297, 99) == 106 ||
                img.At(297, 100) == 106,
            true);
}

TEST(RecentPoints, RepaintsTheLastFiveAndRounds) {
  PingImage img;
  RecentProfilePoints recent;
  for (int k = 0; k < 7; ++k) DrawRecentPoints(img, recent, Points(600, 100 + k));
  EXPECT_EQ(recent.WriteIndex, 2);
  // The wedge covers them; the next point repaints all five.
  std::memset(img.Pixels(), 3, kImageBytes);
  DrawRecentPoints(img, recent, Points(600, 300));
  int count = 0;
  for (int y = 0; y < kImageHeight; ++y) count += img.At(298, y) == 106;
  EXPECT_EQ(count, 6);
  // No point: nothing at all.
  PingImage none;
  RecentProfilePoints r2;
  DrawRecentPoints(none, r2, Points(600, 0));
  EXPECT_TRUE(none.Dirty.Empty());
}

TEST(DredgeLine, RowsAndRange) {
  DredgeParams p;
  p.ProfileGrid = true;
  p.ZeroDown = true;
  p.RangeMetres = 10;
  p.Depth = 5;
  EXPECT_EQ(DredgeLineRow(p), 254);  // 504 - 250
  p.ZeroDown = false;
  EXPECT_EQ(DredgeLineRow(p), 251);  // 250 + 1
  p.GridMode = kGridPolar;
  EXPECT_EQ(DredgeLineRow(p), 378);  // 256 + 125 - 3
  p.ZeroDown = true;
  EXPECT_EQ(DredgeLineRow(p), 128);
}

TEST(DredgeLine, DrawsMovesAndSkipsBeyondTheRange) {
  PingImage img;
  DredgeLineState st;
  DredgeParams p;
  p.ProfileGrid = true;
  p.RangeMetres = 10;
  p.Depth = 5;
  img.At(7, 254) = 128;
  EXPECT_TRUE(DrawDredgeLine(img, st, p));
  EXPECT_EQ(img.At(0, 254), 88);
  EXPECT_EQ(img.At(7, 254), 216);
  p.Depth = 2;
  DrawDredgeLine(img, st, p);
  EXPECT_EQ(img.At(0, 254), 0);
  EXPECT_EQ(img.At(7, 254), 128);
  EXPECT_EQ(img.At(0, 404), 88);
  p.Depth = 25;  // beyond the 10 m range
  DrawDredgeLine(img, st, p);
  for (int y = 0; y < kImageHeight; ++y) EXPECT_NE(img.At(3, y), 88) << y;
  // Without ProfileGrid nothing is drawn.
  PingImage none;
  DredgeLineState s2;
  p.ProfileGrid = false;
  p.Depth = 5;
  EXPECT_FALSE(DrawDredgeLine(none, s2, p));
}

}  // namespace
