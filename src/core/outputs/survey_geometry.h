// SPDX-License-Identifier: GPL-3.0-or-later
// The coordinates of one surveyed point as the .XYZ writers compute them, and the
// GPS position text of a point read as decimal degrees.
#pragma once

#include <optional>
#include <string_view>

#include "imaging/profile_points.h"
#include "outputs/xyz_writer.h"

// One point of a sweep in the survey's local frame, in the file's unit.
struct PointXyz {
  float Range = 0;      // range a at the set sound velocity, in the file's unit
  float Azimuth = 0;    // azimuth scans: the drive angle as written (0 to below 360)
  float X = 0, Y = 0, Z = 0;
  // The heading, in degrees, the writer already turned the plan coordinates by
  // (horizontal scans always, azimuth scans with the attitude columns, vertical
  // scans never).
  float HeadingApplied = 0;
};

PointXyz VerticalPointXyz(const ProfilePoint& p, const XyzSettings& s);
PointXyz HorizontalPointXyz(const ProfilePoint& p, const XyzSettings& s);
PointXyz AzimuthPointXyz(const ProfilePoint& p, const XyzSettings& s, int azimuth_steps);

// Latitude and longitude in decimal degrees (negative south and west).
struct GeoDegrees {
  double Lat = 0;
  double Lon = 0;
};

// The 24-character position text of the GPS reader (" 49.16.458 N123.11.120 W":
// degrees, whole minutes and up to three digits of minute fraction, hemisphere),
// optionally behind the point record's presence flag. Nothing for a text that is
// not a position (blank, cut short, letters other than N/S and E/W, minutes of 60
// or more).
std::optional<GeoDegrees> GpsTextDegrees(std::string_view text);
// The position of a profile point (its presence flag, then the text), if any.
std::optional<GeoDegrees> PointDegrees(const ProfilePoint& p);
