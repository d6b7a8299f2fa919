// SPDX-License-Identifier: GPL-3.0-or-later
// The GPS position text read as decimal degrees.
#include "outputs/survey_geometry.h"

#include <gtest/gtest.h>

TEST(GpsTextDegrees, DegreesPlusMinutesOverSixtySignedByHemisphere) {
  const auto p = GpsTextDegrees(" 49.16.458 N123.11.120 W");
  ASSERT_TRUE(p);
  EXPECT_DOUBLE_EQ(p->Lat, 49.0 + 16.458 / 60.0);
  EXPECT_DOUBLE_EQ(p->Lon, -(123.0 + 11.120 / 60.0));
  // Two fraction digits (the third position blank), one-digit degrees, south and east.
  const auto q = GpsTextDegrees("  5.03.45  S  7.00.00  E");
  ASSERT_TRUE(q);
  EXPECT_DOUBLE_EQ(q->Lat, -(5.0 + 3.45 / 60.0));
  EXPECT_DOUBLE_EQ(q->Lon, 7.0);
}

TEST(GpsTextDegrees, NoPositionForTextsThatAreNotOne) {
  EXPECT_FALSE(GpsTextDegrees(""));
  EXPECT_FALSE(GpsTextDegrees("                        "));
  EXPECT_FALSE(GpsTextDegrees(" 49.16.458 X123.11.120 W"));  // hemisphere
  EXPECT_FALSE(GpsTextDegrees(" 49.61.458 N123.11.120 W"));  // minutes
  EXPECT_FALSE(GpsTextDegrees(" 99.16.458 N123.11.120 W"));  // beyond the pole
  EXPECT_FALSE(GpsTextDegrees(" 49.16.458 N123.11"));        // cut short
}

TEST(SurveyGeometry, VerticalPointAsTheWriterPlacesIt) {
  ProfilePoint p{};
  p.Range = 10.0f;
  p.BeamAngle = 90.0f;
  XyzSettings s;
  s.XOffset = 1.5f;
  s.Chainage = 20.0f;
  s.Elevation = 3.0f;
  const PointXyz c = VerticalPointXyz(p, s);
  EXPECT_NEAR(c.X, 11.5f, 1e-4);
  EXPECT_FLOAT_EQ(c.Y, 20.0f);
  EXPECT_NEAR(c.Z, 3.0f, 1e-4);
  EXPECT_FLOAT_EQ(c.HeadingApplied, 0.0f);
  s.Units = 1;
  EXPECT_NEAR(VerticalPointXyz(p, s).Range, 32.808f, 1e-3);
}
