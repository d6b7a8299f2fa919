// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the survey points of one .XYZ file: the points read back from the
// file's own text, a PLY point cloud of them for point-cloud viewers, and an SVG
// drawing for a surveyor (cross-section, borehole plan or azimuth plan).
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct SurveyPoint {
  double X = 0, Y = 0, Z = 0;
};

// The X, Y, Z columns (the last three of each point line) of an .XYZ text, in
// file order; the vertical header lines and the empty lines between auto-azimuth
// sweeps are passed over. False when a point line cannot be read.
bool ReadXyzPoints(std::string_view text, std::vector<SurveyPoint>& points);

// A binary little-endian PLY file with one vertex (double x, y, z) per point.
std::string PlyFile(const std::vector<SurveyPoint>& points, const std::string& comment);

enum class SurveyGeometry { kVertical, kHorizontal, kAzimuth };

// What the drawing says beside the points.
struct PlotInfo {
  SurveyGeometry Geometry = SurveyGeometry::kVertical;
  std::string DateText;     // "14-MAR-2024"
  std::string FileName;     // shown under the title
  float Chainage = 0;       // ProfileChainage (horizontal: the Y offset)
  float Elevation = 0;      // ProfileElevation of the sonar
  float XOffset = 0;        // ProfileXOffset of the sonar
  float DredgeDepth = 0;    // ProfileDredgeDepth below the sonar (vertical scans)
  int Units = 0;            // 0 metres, 1 feet
  int ZeroDown = 1;         // non-zero: Z grows downward (depths)
  int NoEchoPoints = 0;     // points without an echo left out of the drawing
};

// An SVG document: vertical scans as the cross-section (offset across against
// elevation, with the dredge line), horizontal scans as the borehole section in
// plan, auto-azimuth as a plan coloured by elevation; axes with ticks and units.
std::string SurveySvg(const std::vector<SurveyPoint>& points, const PlotInfo& info);

// Tick values from lo to hi at a round step (1, 2 or 5 times a power of ten),
// about `wanted` of them; the range is widened to whole steps.
struct Ticks {
  double Low = 0, High = 1, Step = 1;
  std::vector<double> Values;
};
Ticks RoundTicks(double lo, double hi, int wanted);
