// SPDX-License-Identifier: GPL-3.0-or-later
// q47v export FILE.47V --geometry G --out PATH: the survey of a recording, re-made
// as `q47v xyz` makes it (the same sweeps and points), written through OGR as
// layers a GIS or CAD program reads: the points, a section line per sweep and a
// row of metadata; placed on a map grid through PROJ when the recording has GPS.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "survey_export.h"
#include "survey_run.h"
#include "text_output.h"

namespace q47v::cli {

using survey::ParseGeometry;

namespace {

constexpr const char* kUsage =
    "usage: q47v export FILE.47V --geometry vertical|horizontal|azimuth --out PATH\n"
    "                [--format gpkg|geojson|dxf|kml|csv|shp] [--crs CRS] [--heading DEG]\n"
    "                [--antenna-offset DX,DY,DZ] [--ini FILE] [--set KEY=VALUE]... [--prompt]\n"
    "\n"
    "Re-processes the recording exactly as q47v xyz does (the same sweeps, the same\n"
    "points; no .XYZ file is needed or written) and writes the survey through GDAL/OGR\n"
    "for GIS and CAD programs. Points without an echo (range 0, at the sonar) are left\n"
    "out and counted.\n"
    "\n"
    "  --geometry G     vertical (chainage), horizontal (borehole) or azimuth\n"
    "  --out PATH       the file to write (replaced when it exists)\n"
    "  --format F       gpkg (GeoPackage), geojson, dxf, kml, csv or shp; default: from\n"
    "                   the extension of PATH, GeoPackage for any other\n"
    "  --crs CRS        the projected CRS of the output, anything PROJ knows (EPSG:NNNN,\n"
    "                   a PROJ string, WKT); default: the WGS 84 UTM zone of the first\n"
    "                   GPS fix. 'local' keeps the survey's own frame even with GPS\n"
    "  --heading DEG    the heading (degrees clockwise from north) of pings without the\n"
    "                   orientation module's heading in the recording\n"
    "  --antenna-offset DX,DY,DZ\n"
    "                   metres from the GPS antenna to the sonar head: right, forward\n"
    "                   and up of the heading (default 0,0,0)\n"
    "  --ini FILE, --set KEY=VALUE, --prompt\n"
    "                   as for q47v xyz: the settings the recording does not carry\n"
    "\n"
    "Layers (GeoPackage, KML: in the one file; GeoJSON, CSV, Shapefile: PATH holds the\n"
    "points, STEM-sections.EXT and STEM-survey.EXT beside it the others):\n"
    "  points    one 3-D point per surveyed point with an echo: sweep, point (its line\n"
    "            among the sweep's points), time_local, time_utc (from the GPS time of\n"
    "            the ping), lat, lon (the antenna, decimal degrees WGS 84), x, y, z (as\n"
    "            in the .XYZ, in the file's unit), range, beam_angle, azimuth, pitch,\n"
    "            roll, heading (where recorded), easting, northing, height (placed)\n"
    "  sections  one 3-D line per sweep through its points: sweep, time_start,\n"
    "            time_end, chainage, points\n"
    "  survey    one row: the recording, geometry, units, sound velocity, chainage,\n"
    "            elevation, X offset, CRS, frame, heading source, antenna offset and\n"
    "            the counts of sweeps, points written and points left out\n"
    "DXF: the points and a 3-D polyline per sweep on a CAD layer per sweep\n"
    "(SWEEP_0001 ...). CSV: one header line, the same columns on every row, ISO 8601\n"
    "times, decimal degrees. Times: time_local as recorded (the computer's clock),\n"
    "time_utc from the receiver.\n"
    "\n"
    "Placement. Without GPS in the recording the layers are in the local survey\n"
    "frame: x, y, z as in the .XYZ. With GPS each point is placed from its own ping's\n"
    "antenna position projected into the CRS: the head is at\n"
    "  E = Ea + DX*cos h + DY*sin h,  N = Na - DX*sin h + DY*cos h\n"
    "with h the ping's heading (the orientation module's when the recording has it,\n"
    "else --heading; without either the export refuses to place the points). Then\n"
    "  vertical:   easting = E + x*cos h,  northing = N - x*sin h,  height = z\n"
    "              (x across the section, positive to the right of the heading; y,\n"
    "              the chainage, names the section and is not an offset)\n"
    "  horizontal, azimuth:  with r = h - the heading the .XYZ already turned the\n"
    "              plan by (horizontal: the recorded heading; azimuth: the recorded\n"
    "              heading with the pitch/roll/heading columns on, else none)\n"
    "              easting = E + x*cos r + y*sin r,  northing = N - x*sin r + y*cos r,\n"
    "              height = z\n"
    "x, y, z are taken from the file's unit (feet: times 0.3048) into the CRS's\n"
    "unit; height is the survey's z (its elevation datum), DZ is recorded in the\n"
    "survey row. Points of pings without a GPS fix in a recording with GPS are\n"
    "left out and counted.\n"
    "\n"
    "Exit status: 0 success, 1 a file that cannot be read or written or a survey\n"
    "that cannot be placed, 2 usage error.\n";

bool ParseNumber(const std::string& text, double& v) {
  char* end = nullptr;
  v = std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0' && std::isfinite(v);
}

}  // namespace

int RunExportVerb(int argc, char** argv) {
  std::string file, out, format_name, crs_text, heading_text, offset_text, ini, geometry_text;
  std::vector<std::string> sets;
  bool prompt = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return FinishOutput("export") ? 0 : 1;
    } else if (a == "--prompt") {
      prompt = true;
    } else if (a == "--geometry" || a == "--out" || a == "--format" || a == "--crs" || a == "--heading" ||
               a == "--antenna-offset" || a == "--ini" || a == "--set") {
      const char* v = value();
      if (!v) {
        std::fprintf(stderr, "q47v export: %s needs a value\n%s", a.c_str(), kUsage);
        return 2;
      }
      if (a == "--geometry") geometry_text = v;
      else if (a == "--out") out = v;
      else if (a == "--format") format_name = v;
      else if (a == "--crs") crs_text = v;
      else if (a == "--heading") heading_text = v;
      else if (a == "--antenna-offset") offset_text = v;
      else if (a == "--ini") ini = v;
      else sets.emplace_back(v);
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "q47v export: unknown option '%s'\n%s", a.c_str(), kUsage);
      return 2;
    } else if (file.empty()) {
      file = a;
    } else {
      std::fprintf(stderr, "q47v export: more than one FILE\n%s", kUsage);
      return 2;
    }
  }
  if (file.empty() || out.empty() || geometry_text.empty()) {
    std::fprintf(stderr, "q47v export: FILE, --geometry and --out are needed\n%s", kUsage);
    return 2;
  }
  SurveyGeometry geometry;
  if (!ParseGeometry(geometry_text, geometry)) {
    std::fprintf(stderr, "q47v export: --geometry takes vertical, horizontal or azimuth, not '%s'\n",
                 geometry_text.c_str());
    return 2;
  }
  std::optional<double> fixed_heading;
  if (!heading_text.empty()) {
    double h;
    if (!ParseNumber(heading_text, h)) {
      std::fprintf(stderr, "q47v export: --heading takes degrees, not '%s'\n", heading_text.c_str());
      return 2;
    }
    fixed_heading = h;
  }
  double dx = 0, dy = 0, dz = 0;
  if (!offset_text.empty()) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
      const std::size_t comma = offset_text.find(',', from);
      parts.push_back(offset_text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
      if (comma == std::string::npos) break;
      from = comma + 1;
    }
    if (parts.size() != 3 || !ParseNumber(parts[0], dx) || !ParseNumber(parts[1], dy) || !ParseNumber(parts[2], dz)) {
      std::fprintf(stderr, "q47v export: --antenna-offset takes DX,DY,DZ in metres, not '%s'\n",
                   offset_text.c_str());
      return 2;
    }
  }

  survey::SurveyExportRequest request;
  request.Recording = file;
  request.Out = out;
  request.Format = format_name;
  request.Geometry = geometry;
  request.Crs = crs_text;
  request.Heading = fixed_heading;
  request.Dx = dx;
  request.Dy = dy;
  request.Dz = dz;
  request.Ini = ini;
  request.Sets = sets;
  request.Prompt = prompt;
  const survey::SurveyExportOutcome result = survey::ExportSurvey(request);
  if (result.Status != 0) {
    if (!result.Error.empty()) std::fprintf(stderr, "q47v export: %s\n", result.Error.c_str());
    return result.Status;
  }
  for (const std::string& f : result.Files) std::printf("%s\n", PrintableText(f).c_str());
  for (std::size_t i = 0; i < result.Summary.size(); ++i)
    std::printf("%s%s\n", result.Sweeps == 0 && i + 1 == result.Summary.size() ? "q47v export: " : "",
                result.Summary[i].c_str());
  return FinishOutput("export") ? 0 : 1;
}

}  // namespace q47v::cli
