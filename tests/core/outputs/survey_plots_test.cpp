// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the points of an .XYZ text back, the PLY cloud of them and the SVG
// drawings with their axes.
#include <gtest/gtest.h>

#include <cstring>

#include "outputs/survey_plots.h"
#include "outputs/xyz_writer.h"
#include "outputs_fixture.h"

namespace {

std::vector<ProfilePoint> Sweep(int n) {
  std::vector<ProfilePoint> v;
  for (int i = 0; i < n; ++i) v.push_back(MakePoint(5.0f + i * 0.5f, 120.0f + i * 10));
  return v;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The writer's own texts read back: every column group, the header passed over.
TEST(XyzPoints, ReadsTheCoordinatesOfEveryGeometry) {
  XyzSettings s;
  s.Chainage = 12.5f;
  s.Elevation = 3.0f;
  const std::vector<ProfilePoint> sweep = Sweep(7);
  std::vector<SurveyPoint> points;
  ASSERT_TRUE(ReadXyzPoints(VerticalXyzText(sweep, s), points));
  ASSERT_EQ(points.size(), 5u);
  for (const SurveyPoint& p : points) EXPECT_DOUBLE_EQ(p.Y, 12.5);
  ASSERT_TRUE(ReadXyzPoints(HorizontalXyzText(sweep, s), points));
  EXPECT_EQ(points.size(), 5u);
  const std::string runs = AzimuthXyzText(sweep, s, 600) + AzimuthXyzText(sweep, s, 700);
  ASSERT_TRUE(ReadXyzPoints(runs, points));
  EXPECT_EQ(points.size(), 10u);
  s.Timestamp = 0;
  s.RangeHorVer = 0;
  ASSERT_TRUE(ReadXyzPoints(VerticalXyzText(sweep, s), points));
  EXPECT_EQ(points.size(), 5u);
}

TEST(XyzPoints, DamagedLinesAreRefused) {
  std::vector<SurveyPoint> points;
  EXPECT_FALSE(ReadXyzPoints("1.0\t2.0\r\n", points));
  EXPECT_FALSE(ReadXyzPoints(" 1.0\t 2.0\t x\r\n", points));
  EXPECT_FALSE(ReadXyzPoints(" 1.0\t 2.0\t 3.0z\r\n", points));
  EXPECT_TRUE(ReadXyzPoints("0012.50,M\r\n\r\n 1.0\t 2.0\t 3.0\r\n", points));
  ASSERT_EQ(points.size(), 1u);
  EXPECT_DOUBLE_EQ(points[0].Z, 3.0);
}

TEST(Ply, HeaderThenEightBytesPerCoordinate) {
  const std::vector<SurveyPoint> points{{1.5, -2.25, 3.0}, {4, 5, 6}};
  const std::string ply = PlyFile(points, "two points");
  const std::string header =
      "ply\nformat binary_little_endian 1.0\ncomment two points\nelement vertex 2\n"
      "property double x\nproperty double y\nproperty double z\nend_header\n";
  ASSERT_EQ(ply.substr(0, header.size()), header);
  ASSERT_EQ(ply.size(), header.size() + 2 * 3 * 8);
  double y = 0;
  std::memcpy(&y, ply.data() + header.size() + 8, 8);
  EXPECT_DOUBLE_EQ(y, -2.25);
}

TEST(Ticks, RoundStepsCoverTheRange) {
  const Ticks t = RoundTicks(-3.2, 17.9, 8);
  EXPECT_DOUBLE_EQ(t.Step, 5.0);
  EXPECT_DOUBLE_EQ(t.Low, -5.0);
  EXPECT_DOUBLE_EQ(t.High, 20.0);
  EXPECT_EQ(t.Values.size(), 6u);
  const Ticks flat = RoundTicks(2.0, 2.0, 5);
  EXPECT_LT(flat.Low, 2.0);
  EXPECT_GT(flat.High, 2.0);
}

TEST(Svg, CrossSectionHasAxesUnitsTitleAndDredgeLine) {
  std::vector<SurveyPoint> points;
  for (int i = 0; i < 50; ++i) points.push_back({-10.0 + i * 0.4, 25.5, 11.0 + (i % 5) * 0.1});
  PlotInfo info;
  info.DateText = "14-MAR-2024";
  info.FileName = "14mar2024-0001.xyz";
  info.Chainage = 25.5f;
  info.DredgeDepth = 12.0f;
  info.Units = 1;
  const std::string svg = SurveySvg(points, info);
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("Cross-section at chainage 25.50 ft, 14-MAR-2024"), std::string::npos);
  EXPECT_NE(svg.find("Offset across (ft)"), std::string::npos);
  EXPECT_NE(svg.find("Depth (ft)"), std::string::npos);
  EXPECT_NE(svg.find("Dredge line 12.00 ft"), std::string::npos);
  EXPECT_EQ(Count(svg, "r=\"2\""), 50u);
  EXPECT_GE(Count(svg, "text-anchor=\"middle\">"), 4u);  // x tick labels among others
  info.ZeroDown = 0;
  EXPECT_NE(SurveySvg(points, info).find("Elevation (ft)"), std::string::npos);
}

TEST(Svg, AzimuthPlanColoursByElevationWithAScale) {
  std::vector<SurveyPoint> points{{0, 0, 1}, {1, 1, 2}, {2, 0, 3}};
  PlotInfo info;
  info.Geometry = SurveyGeometry::kAzimuth;
  const std::string svg = SurveySvg(points, info);
  EXPECT_NE(svg.find("Auto-azimuth plan"), std::string::npos);
  EXPECT_NE(svg.find("Depth Z (m)"), std::string::npos);
  // The lowest and the highest point in different colours.
  const std::size_t first = svg.find("r=\"2\" fill=\""), last = svg.rfind("r=\"2\" fill=\"");
  EXPECT_NE(svg.substr(first, 24), svg.substr(last, 24));
  // Nothing to draw still gives a document.
  EXPECT_NE(SurveySvg({}, info).find("</svg>"), std::string::npos);
}

}  // namespace
