// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "imaging/measurement.h"

namespace {

ReadoutInputs Sector(int range, int x, int y) {
  ReadoutInputs in;
  in.GridMode = 0;
  in.RangeMetres = range;
  in.CursorX = x;
  in.CursorY = y;
  return in;
}

TEST(Readouts, CursorOnTheTransducerGivesZero) {
  const Readouts r = UpdateReadouts(Sector(4, 300, 508));
  EXPECT_EQ(r.Org.Text, "Org: 00.000 M, 000.0 Deg");
  EXPECT_EQ(r.Tar.Text, "Tar: 00.000 M, 000.0 Deg");
  EXPECT_EQ(r.Diff.Text, "Diff: 00.000 M, 000.0 Deg");
}

TEST(Readouts, BearingsByQuadrant) {
  struct Row {
    int x, y;
    const char* tar;
  } rows[] = {
      {300, 408, "Tar: 010.00 M, 000.0 Deg"},  // straight up, 100 px at 0.1 m/px
      {400, 508, "Tar: 010.00 M, 090.0 Deg"},  // right
      {200, 508, "Tar: 010.00 M, 270.0 Deg"},  // left
      {400, 408, "Tar: 014.14 M, 045.0 Deg"},
      {200, 408, "Tar: 014.14 M, 315.0 Deg"},
  };
  for (const Row& row : rows) EXPECT_EQ(UpdateReadouts(Sector(50, row.x, row.y)).Tar.Text, row.tar) << row.x << "," << row.y;

  // Polar: below the transducer, doubled metres per pixel.
  ReadoutInputs in = Sector(50, 400, 355);
  in.GridMode = 1;
  EXPECT_EQ(UpdateReadouts(in).Tar.Text, "Tar: 028.28 M, 135.0 Deg");
  in.CursorX = 200;
  EXPECT_EQ(UpdateReadouts(in).Tar.Text, "Tar: 028.28 M, 225.0 Deg");
}

TEST(Readouts, TrainIsAddedInSectorDisplay) {
  ReadoutInputs in = Sector(50, 400, 508);
  in.Train = 300;
  EXPECT_EQ(UpdateReadouts(in).Tar.Text, "Tar: 010.00 M, 030.0 Deg");
  in.GridMode = 1;
  in.CursorY = 256;
  EXPECT_EQ(UpdateReadouts(in).Tar.Text, "Tar: 020.00 M, 090.0 Deg");
}

TEST(Readouts, DecimalsByRangeAndUnits) {
  EXPECT_EQ(UpdateReadouts(Sector(4, 300, 408)).Tar.Text, "Tar: 00.800 M, 000.0 Deg");
  EXPECT_EQ(UpdateReadouts(Sector(5, 300, 408)).Tar.Text, "Tar: 001.00 M, 000.0 Deg");
  ReadoutInputs in = Sector(5, 300, 408);
  in.Units = 1;
  EXPECT_EQ(UpdateReadouts(in).Tar.Text, "Tar: 003.28 FT, 000.0 Deg");
  // 311 m in feet is beyond 999.99.
  in = Sector(200, 3, 3);
  in.GridMode = 1;
  in.Units = 1;
  EXPECT_EQ(UpdateReadouts(in).Tar.Text.substr(0, 11), "Tar: 999.99");
}

TEST(Readouts, MeasureModeOriginAndDiff) {
  ReadoutInputs in = Sector(50, 400, 408);
  in.MeasureMode = 1;
  in.OriginX = 300;
  in.OriginY = 408;
  const Readouts r = UpdateReadouts(in);
  EXPECT_EQ(r.Org.Text, "Org: 010.00 M, 000.0 Deg");
  EXPECT_EQ(r.Tar.Text, "Tar: 014.14 M, 045.0 Deg");
  EXPECT_EQ(r.Diff.Text, "Diff: 010.00 M, 090.0 Deg");
  in.CursorX = 300;
  in.CursorY = 308;
  EXPECT_EQ(UpdateReadouts(in).Diff.Text, "Diff: 010.00 M, 000.0 Deg");
}

TEST(Readouts, ProfileGridShowsOffsets) {
  ReadoutInputs in = Sector(50, 400, 407);
  in.ProfileGrid = true;
  in.ZeroDown = true;  // transducer row 507
  const Readouts r = UpdateReadouts(in);
  EXPECT_TRUE(r.Separate);
  EXPECT_EQ(r.Org.Label, "Org:");
  EXPECT_EQ(r.Org.Value, " 00.00 M,  00.00 M");
  EXPECT_EQ(r.Tar.Value, " 10.00 M,  10.00 M");
  EXPECT_EQ(r.Diff.Value, " 14.14 M");
  in.CursorX = 200;
  in.CursorY = 607;
  EXPECT_EQ(UpdateReadouts(in).Tar.Value, "-10.00 M, -10.00 M");
  in.RangeMetres = 4;
  in.Units = 1;
  EXPECT_EQ(UpdateReadouts(in).Tar.Value, "-2.625 FT, -2.625 FT");
}

TEST(Readouts, SideScan) {
  ReadoutInputs in = Sector(50, 498, 100);
  in.GridMode = 2;
  in.SSTrain = 0;  // port: transducer column 595 (window 598)
  Readouts r = UpdateReadouts(in);
  EXPECT_EQ(r.Tar.Text.substr(0, 25), "Tar: 010.00 M, Port Side ");
  EXPECT_EQ(r.Org.Text.substr(0, 24), "Org: 000.00 M, Port Side");
  EXPECT_EQ(r.Tar.Text.size(), r.Org.Text.size());
  in.SSTrain = 2;
  in.CursorX = 198;
  EXPECT_EQ(UpdateReadouts(in).Tar.Text.substr(0, 24), "Tar: 010.00 M, Stbd Side");
  in.SSTrain = 1;  // both: centre column 297 (window 300), two metres per ... pixel pair
  in.CursorX = 250;
  EXPECT_EQ(UpdateReadouts(in).Tar.Text.substr(0, 24), "Tar: 010.00 M, Port Side");
  in.CursorX = 350;
  EXPECT_EQ(UpdateReadouts(in).Tar.Text.substr(0, 24), "Tar: 010.00 M, Stbd Side");
}

// In side-scan display a measurement origin counts: origin 10 m and cursor 20 m
// to port give Org 10 m and Diff 10 m.
TEST(Readouts, SideScanMeasuresFromTheOrigin) {
  ReadoutInputs in = Sector(50, 398, 100);  // 200 px left of the port transducer (window 598)
  in.GridMode = 2;
  in.SSTrain = 0;
  in.MeasureMode = 1;
  in.OriginX = 498;  // 100 px: 10 m
  in.OriginY = 100;
  const Readouts r = UpdateReadouts(in);
  EXPECT_EQ(r.Org.Text.substr(0, 24), "Org: 010.00 M, Port Side");
  EXPECT_EQ(r.Tar.Text.substr(0, 24), "Tar: 020.00 M, Port Side");
  EXPECT_EQ(r.Diff.Text.substr(0, 13), "Diff: 010.00 ");
  // Both sides: the origin to port, the cursor to starboard, the distance across.
  in.SSTrain = 1;
  in.OriginX = 250;
  in.CursorX = 350;
  EXPECT_EQ(UpdateReadouts(in).Diff.Text.substr(0, 12), "Diff: 020.00");
}

TEST(Readouts, SoundVelocityScalesLikeTheGrid) {
  ReadoutInputs in = Sector(50, 300, 408);
  in.SoundVelocity = 1400;
  // 100 px at 1400 m/s is 100 / 107.14 divisions of 10 m.
  EXPECT_EQ(UpdateReadouts(in).Tar.Text, "Tar: 009.33 M, 000.0 Deg");
}

TEST(Zoom, ClampKeepsTheSourceInsideThePicture) {
  EXPECT_EQ(ClampZoomCenter(0, 0).X, 43);
  EXPECT_EQ(ClampZoomCenter(0, 0).Y, 43);
  EXPECT_EQ(ClampZoomCenter(600, 600).X, 559);
  EXPECT_EQ(ClampZoomCenter(600, 600).Y, 469);
  EXPECT_EQ(ClampZoomCenter(300, 200).X, 300);
  // A corner cursor still gives a full 78 x 78 source: 43 - 39 = 4 (image column 1).
  EXPECT_GE(ClampZoomCenter(3, 3).X - 39, 3);
  EXPECT_LE(ClampZoomCenter(599, 509).Y + 39, 508);
}

}  // namespace
