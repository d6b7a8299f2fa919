// SPDX-License-Identifier: GPL-3.0-or-later
// The .XYZ texts of the three geometries and the dated file names.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "outputs/xyz_writer.h"
#include "outputs_fixture.h"

namespace {

XyzSettings Plain() {
  XyzSettings s;
  s.Timestamp = 0;
  s.LatLongElevation = 0;
  s.RangeHorVer = 0;
  s.PitchRollHeading = 0;
  return s;
}

std::vector<ProfilePoint> Sweep(int n) {
  std::vector<ProfilePoint> v;
  for (int i = 0; i < n; ++i) v.push_back(MakePoint(5.0f + i * 0.01f, 150.0f + i));
  return v;
}

void Touch(const std::string& name) { std::ofstream(name) << "x"; }

TEST(XyzNaming, NextNumberFollowsTheLargestNotTheCount) {
  Touch("14mar2024-0001.xyz");
  Touch("14mar2024-0007.xyz");
  EXPECT_EQ(NextDatedName(".", "14-MAR-2024", "xyz"), "14mar2024-0008.xyz");
}

TEST(XyzNaming, NamesThatOnlyLookAlikeAreIgnored) {
  Touch("14mar2024-0003.xyz");
  Touch("14mar2024-0900x.xyz");    // longer
  Touch("14mar2024-09a0.xyz");     // a letter where the number stands
  Touch("x14mar2024-0800.xyz");    // another stem
  Touch("14mar2024-0700.xyz.bak");
  Touch("14mar2024-0600.bmp");     // another extension
  Touch("14mar2024- 500.xyz");     // a blank in the number
  EXPECT_EQ(NextDatedName(".", "14-MAR-2024", "xyz"), "14mar2024-0004.xyz");
}

TEST(XyzNaming, AnyCaseCountsAndTheNameIsLowerCase) {
  Touch("14MAR2024-0012.XYZ");
  EXPECT_EQ(NextDatedName(".", "14-MAR-2024", "xyz"), "14mar2024-0013.xyz");
  EXPECT_EQ(NextDatedName(".", "15-MAR-2024", "xyz"), "15mar2024-0001.xyz");
  EXPECT_EQ(NextDatedName(".", "14-MAR-2024", "bmp"), "14mar2024-0001.bmp");
}

TEST(XyzNaming, StaysAt9999) {
  Touch("14mar2024-9999.xyz");
  EXPECT_EQ(NextDatedName(".", "14-MAR-2024", "xyz"), "14mar2024-9999.xyz");
}

// A long run lists the directory once and then follows its own last name; a name
// that appeared meanwhile, or a file that was never made, sends it back to the
// listing, so an existing file is never chosen and no number is skipped.
TEST(XyzNaming, RunFollowsItsLastNameWithoutOverwriting) {
  DatedNames names;
  Touch("14mar2024-0003.xyz");
  Touch("14mar2024-09a0.xyz");
  const std::string first = names.Next(".", "14-MAR-2024", "xyz");
  EXPECT_EQ(first, "14mar2024-0004.xyz");
  Touch(first);
  EXPECT_EQ(names.Next(".", "14-MAR-2024", "xyz"), "14mar2024-0005.xyz");
  // 0005 was not made (creation failed): it is given again.
  EXPECT_EQ(names.Next(".", "14-MAR-2024", "xyz"), "14mar2024-0005.xyz");
  Touch("14mar2024-0005.xyz");
  Touch("14mar2024-0006.xyz");  // made by someone else meanwhile
  Touch("14mar2024-0011.xyz");
  EXPECT_EQ(names.Next(".", "14-MAR-2024", "xyz"), "14mar2024-0012.xyz");
  EXPECT_EQ(names.Next(".", "15-MAR-2024", "xyz"), "15mar2024-0001.xyz");
  std::filesystem::create_directory("sub");
  EXPECT_EQ(names.Next("sub", "14-MAR-2024", "xyz"), "14mar2024-0001.xyz");
}

TEST(XyzNaming, RunStaysAt9999) {
  DatedNames names;
  Touch("14mar2024-9998.xyz");
  EXPECT_EQ(names.Next(".", "14-MAR-2024", "xyz"), "14mar2024-9999.xyz");
  Touch("14mar2024-9999.xyz");
  EXPECT_EQ(names.Next(".", "14-MAR-2024", "xyz"), "14mar2024-9999.xyz");
  EXPECT_EQ(names.Next(".", "14-MAR-2024", "xyz"), "14mar2024-9999.xyz");
}

TEST(VerticalXyz, HeaderHoldsSevenCharactersOfEachNumber) {
  XyzSettings s = Plain();
  s.Chainage = 12345.678f;
  s.Elevation = -1.5f;
  s.XOffset = 3.25f;
  s.SoundVelocity = 1500.0f;
  const auto lines = CrLfLines(VerticalXyzText({}, s));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "12345.6,M");
  EXPECT_EQ(lines[1], "-001.50");
  EXPECT_EQ(lines[2], "0003.25");
  EXPECT_EQ(lines[3], "1500.00");
  s.Units = 1;
  const auto feet = CrLfLines(VerticalXyzText({}, s));
  EXPECT_EQ(feet[0], "12345.6,F");
  EXPECT_EQ(feet[3], "4921.26");  // 1500 m/s in ft/s
}

TEST(VerticalXyz, NPointsGiveNMinusTwoLines) {
  const XyzSettings s = Plain();
  for (int n : {0, 1, 2, 3, 10, 1200}) {
    const auto pts = Sweep(n);
    EXPECT_EQ(CrLfLines(VerticalXyzText(pts, s)).size(), 4u + static_cast<std::size_t>(std::max(0, n - 2))) << n;
    EXPECT_EQ(CrLfLines(HorizontalXyzText(pts, s)).size(), static_cast<std::size_t>(std::max(0, n - 2))) << n;
    // The azimuth block ends in one empty line.
    const std::string az = AzimuthXyzText(pts, s, 600);
    EXPECT_EQ(CrLfLines(az).size(), static_cast<std::size_t>(std::max(0, n - 2)) + 1) << n;
    EXPECT_EQ(az.substr(az.size() - 2), "\r\n");
  }
  // First and last points are left out: the second point's range comes first.
  XyzSettings r = s;
  r.RangeHorVer = 1;
  const auto pts = Sweep(5);
  const auto lines = CrLfLines(VerticalXyzText(pts, r));
  EXPECT_EQ(Columns(lines[4])[0], " 05.010");
  EXPECT_EQ(Columns(lines[6])[0], " 05.030");
}

TEST(VerticalXyz, ColumnGroupsAndCoordinates) {
  XyzSettings s;  // every group on
  s.Chainage = 100.0f;
  s.Elevation = -2.0f;
  s.XOffset = 1.0f;
  std::vector<ProfilePoint> pts(3, MakePoint(10.0f, 90.0f));
  std::strcpy(pts[1].Gps, " 49.15.123 N123.04.567 W");
  pts[1].Elevation = 12.5f;
  pts[1].Pitch = 1.5f;
  pts[1].Roll = -2.0f;
  pts[1].Heading = 270.0f;
  const auto lines = CrLfLines(VerticalXyzText(pts, s));
  ASSERT_EQ(lines.size(), 5u);
  const auto c = Columns(lines[4]);
  ASSERT_EQ(c.size(), 14u);
  EXPECT_EQ(c[0], "14-MAR-2024");
  EXPECT_EQ(c[1], "14:03:59.27");
  EXPECT_EQ(c[2], "49.15.123 N");
  EXPECT_EQ(c[3], "123.04.567 W");
  EXPECT_EQ(c[4], " 12.500");
  EXPECT_EQ(c[5], " 10.000");
  EXPECT_EQ(c[6], " 00.000");
  EXPECT_EQ(c[7], " 90.000");
  EXPECT_EQ(c[8], " 01.500");
  EXPECT_EQ(c[9], "-02.000");
  EXPECT_EQ(c[10], " 270.000");
  EXPECT_EQ(c[11], " 11.000");  // 10 x sin 90 + 1
  EXPECT_EQ(c[12], " 100.000");
  EXPECT_EQ(c[13], "-02.000");  // cos 90 is 0
  // Without a position fix the position group is left out of that line only.
  pts[1].Gps[0] = 0;
  EXPECT_EQ(Columns(CrLfLines(VerticalXyzText(pts, s))[4]).size(), 11u);
  // Attitude only with the orientation module enabled.
  s.OrientationModule = 0;
  EXPECT_EQ(Columns(CrLfLines(VerticalXyzText(pts, s))[4]).size(), 8u);
}

TEST(VerticalXyz, ZeroDownDecidesTheSignOfDepth) {
  XyzSettings s = Plain();
  s.Elevation = 5.0f;
  std::vector<ProfilePoint> pts(3, MakePoint(2.0f, 0.0f));
  EXPECT_EQ(Columns(CrLfLines(VerticalXyzText(pts, s))[4])[2], " 07.000");
  s.ZeroDown = 0;
  EXPECT_EQ(Columns(CrLfLines(VerticalXyzText(pts, s))[4])[2], " 03.000");
}

TEST(VerticalXyz, FeetAndSoundVelocityScaleTheRange) {
  XyzSettings s = Plain();
  s.RangeHorVer = 1;
  s.Units = 1;
  std::vector<ProfilePoint> pts(3, MakePoint(10.0f, 0.0f));
  EXPECT_EQ(Columns(CrLfLines(VerticalXyzText(pts, s))[4])[0], " 32.808");
  s.Units = 0;
  s.SoundVelocity = 1470.0f;
  EXPECT_EQ(Columns(CrLfLines(VerticalXyzText(pts, s))[4])[0], " 09.800");
}

TEST(HorizontalXyz, BeamAlongTheRollAxisStaysFinite) {
  XyzSettings s = Plain();
  // d = 0: E = a sin d = 0, so u = 0 and becomes 0.001.
  std::vector<ProfilePoint> pts(3, MakePoint(4.0f, 0.0f));
  const auto c = Columns(CrLfLines(HorizontalXyzText(pts, s))[0]);
  ASSERT_EQ(c.size(), 3u);
  for (const auto& v : c) {
    EXPECT_EQ(v.find("nan"), std::string::npos) << v;
    EXPECT_EQ(v.find("inf"), std::string::npos) << v;
  }
  EXPECT_EQ(c[0], " 000.001");  // u = 0.001 keeps the point on the axis
  EXPECT_EQ(c[1], " 004.000");  // along the roll axis: all of it in Y
}

TEST(HorizontalXyz, PitchRollAndHeadingTurnThePoint) {
  XyzSettings s = Plain();
  s.XOffset = 1.0f;
  s.Chainage = 2.0f;
  s.Elevation = 10.0f;
  std::vector<ProfilePoint> pts(3, MakePoint(3.0f, 90.0f));
  auto c = Columns(CrLfLines(HorizontalXyzText(pts, s))[0]);
  EXPECT_EQ(c[0], " 004.000");
  EXPECT_EQ(c[1], " 002.000");
  EXPECT_EQ(c[2], " 010.000");
  pts[1].Heading = 90.0f;  // turned a quarter: X goes to -Y
  c = Columns(CrLfLines(HorizontalXyzText(pts, s))[0]);
  EXPECT_EQ(c[0], " 001.000");
  EXPECT_EQ(c[1], "-001.000");
  pts[1].Heading = 0.0f;
  pts[1].Roll = 90.0f;  // q = -90: the beam turns down, w = E sin q
  c = Columns(CrLfLines(HorizontalXyzText(pts, s))[0]);
  EXPECT_EQ(c[2], " 007.000");
}

TEST(AzimuthXyz, ArmAzimuthAndColumns) {
  XyzSettings s;
  s.Timestamp = 0;
  s.LatLongElevation = 0;
  s.OrientationModule = 0;
  std::vector<ProfilePoint> pts(3, MakePoint(2.0f, 90.0f));
  // Drive at step 600: 0 degrees, the arm along Y.
  auto c = Columns(CrLfLines(AzimuthXyzText(pts, s, 600))[0]);
  ASSERT_EQ(c.size(), 6u);
  EXPECT_EQ(c[0], " 002.000");
  EXPECT_EQ(c[1], " 000.000");
  EXPECT_EQ(c[2], " 090.000");
  EXPECT_EQ(c[3], " 002.000");  // cos 0 x 2 x sin 90
  EXPECT_EQ(c[4], " 000.085");  // the arm: cos 0 x 0.085
  EXPECT_EQ(std::fabs(std::stod(c[5])), 0.0);
  // Step 700 is shown as 30 degrees.
  c = Columns(CrLfLines(AzimuthXyzText(pts, s, 700))[0]);
  EXPECT_EQ(c[1], " 030.000");
  EXPECT_EQ(c[3], " 001.775");  // cos 30 x 2 + sin 30 x 0.085
  EXPECT_EQ(c[4], "-000.926");  // cos 30 x 0.085 - 2 x sin 30
  s.Units = 1;
  c = Columns(CrLfLines(AzimuthXyzText(pts, s, 600))[0]);
  EXPECT_EQ(c[4], " 000.279");  // 0.085 m in feet
}

TEST(XyzFileTest, FailedWriteIsReported) {
  XyzFile f;
  EXPECT_FALSE(f.Create("/dev/full"));
  EXPECT_NE(f.Error().find("is a character device"), std::string::npos) << f.Error();
  XyzFile g;
  EXPECT_FALSE(g.Create("no-such-dir/x.xyz"));
  ASSERT_TRUE(g.Create("ok.xyz"));
  EXPECT_TRUE(g.Write("a\r\n"));
  EXPECT_TRUE(g.Close());
  EXPECT_EQ(ReadFile("ok.xyz"), "a\r\n");
  // A new name only: a file, or a link (even dangling), already there is left alone.
  std::filesystem::create_symlink("elsewhere.xyz", "planted.xyz");
  XyzFile h;
  EXPECT_FALSE(h.Create("planted.xyz"));
  EXPECT_FALSE(h.Create("ok.xyz"));
  EXPECT_FALSE(std::filesystem::exists("elsewhere.xyz"));
  EXPECT_EQ(ReadFile("ok.xyz"), "a\r\n");
  // The last number replaced: the link itself, never its target.
  std::ofstream("target.xyz") << "keep";
  std::filesystem::create_symlink("target.xyz", "last.xyz");
  ASSERT_TRUE(h.Create("last.xyz", OutputMode::kReplaceName));
  EXPECT_TRUE(h.Write("b\r\n"));
  EXPECT_TRUE(h.Close());
  EXPECT_FALSE(std::filesystem::is_symlink("last.xyz"));
  EXPECT_EQ(ReadFile("last.xyz"), "b\r\n");
  EXPECT_EQ(ReadFile("target.xyz"), "keep");
}

}  // namespace
