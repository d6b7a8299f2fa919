// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer harness for the .XYZ reader of the survey pictures: any text reads or
// is refused, and the points read make a PLY file of the right size and an SVG
// drawing in each geometry.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "outputs/survey_plots.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<SurveyPoint> points;
  if (!ReadXyzPoints(text, points)) return 0;
  const std::string ply = PlyFile(points, "fuzz");
  if (ply.size() < points.size() * 24) std::abort();
  PlotInfo info;
  info.DateText = "14-MAR-2024";
  info.FileName = "14mar2024-0001.xyz";
  for (SurveyGeometry g : {SurveyGeometry::kVertical, SurveyGeometry::kHorizontal, SurveyGeometry::kAzimuth}) {
    info.Geometry = g;
    info.ZeroDown = size % 2;
    const std::string svg = SurveySvg(points, info);
    if (svg.find("<svg") == std::string::npos || svg.find("</svg>") == std::string::npos) std::abort();
  }
  return 0;
}
