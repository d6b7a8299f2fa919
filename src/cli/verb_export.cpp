// SPDX-License-Identifier: GPL-3.0-or-later
// q47v export FILE.47V --geometry G --out PATH: the survey of a recording, re-made
// as `q47v xyz` makes it (the same sweeps and points), written through OGR as
// layers a GIS or CAD program reads: the points, a section line per sweep and a
// row of metadata; placed on a map grid through PROJ when the recording has GPS.
#include <ogrsf_frmts.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "geo_output.h"
#include "outputs/survey_geometry.h"
#include "survey_replay.h"
#include "survey_run.h"
#include "text_output.h"

namespace q47v::cli {

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

constexpr double kMetresPerFoot = 0.3048;
constexpr double kPi = 3.14159265358979323846;

struct SweepCopy {
  int Number = 0;
  std::vector<ProfilePoint> Points;
  std::vector<std::string> UtcTimes;
  std::vector<bool> Oriented;
  XyzSettings Settings;
  int AzimuthSteps = 0;
};

// One point as it goes into the layers.
struct OutPoint {
  int Sweep = 0, Index = 0;
  PointXyz Local;
  ProfilePoint Record{};
  std::string TimeLocal, TimeUtc;
  std::optional<GeoDegrees> Position;
  bool Attitude = false;  // pitch, roll, heading recorded
  bool Placed = false;
  double HeadingDeg = 0;  // the heading the point is placed with
  double Easting = 0, Northing = 0, Height = 0;
};

std::string Text(const char* p, std::size_t n) {
  std::string s(p, strnlen(p, n));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

bool ParseNumber(const std::string& text, double& v) {
  char* end = nullptr;
  v = std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0' && std::isfinite(v);
}

void SetReal(OGRFeature& f, const char* name, std::optional<double> v) {
  if (v) f.SetField(name, *v);
  else f.SetFieldNull(f.GetFieldIndex(name));
}

void SetText(OGRFeature& f, const char* name, const std::string& v) {
  if (v.empty()) f.SetFieldNull(f.GetFieldIndex(name));
  else f.SetField(name, v.c_str());
}

bool AddField(OGRLayer* layer, const char* name, OGRFieldType type, int width = 0) {
  OGRFieldDefn field(name, type);
  if (width > 0) field.SetWidth(width);
  return layer->CreateField(&field) == OGRERR_NONE;
}

const char* GeometryName(SurveyGeometry g) {
  return g == SurveyGeometry::kVertical ? "vertical" : g == SurveyGeometry::kHorizontal ? "horizontal" : "azimuth";
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
  GeoFormat format;
  std::string error;
  if (!ResolveFormat(format_name, out, {"gpkg", "geojson", "dxf", "kml", "csv", "shp"}, format, error)) {
    std::fprintf(stderr, "q47v export: %s\n", error.c_str());
    return 2;
  }
  std::optional<double> fixed_heading;
  if (!heading_text.empty()) {
    double h;
    if (!ParseNumber(heading_text, h)) {
      std::fprintf(stderr, "q47v export: --heading takes degrees, not '%s'\n", heading_text.c_str());
      return 2;
    }
    fixed_heading = std::fmod(std::fmod(h, 360.0) + 360.0, 360.0);
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

  // The sweeps of the survey, as q47v xyz takes them.
  ReplayOptions options;
  options.File = file;
  options.Ini = ini;
  options.Sets = sets;
  options.Geometry = geometry;
  options.Prompt = prompt;
  options.Verb = "export";
  std::vector<SweepCopy> sweeps;
  ReplaySummary summary;
  const int status = ReplaySurvey(options, [&](const ReplaySweep& s) {
    SweepCopy c;
    c.Number = s.Number;
    c.Points.assign(s.Points.begin(), s.Points.end());
    c.UtcTimes = s.UtcTimes;
    c.Oriented = s.Oriented;
    c.Settings = s.Settings;
    c.AzimuthSteps = s.AzimuthSteps;
    sweeps.push_back(std::move(c));
    return true;
  }, summary);
  if (status != 0) return status;
  if (summary.Failed) return 1;

  // Every point in the local frame; range 0 is no echo.
  std::vector<OutPoint> points;
  long no_echo = 0, no_position = 0;
  bool any_fix = false, all_oriented = true, any_oriented = false;
  std::optional<GeoDegrees> first_fix;
  for (const SweepCopy& s : sweeps) {
    for (std::size_t i = 0; i < s.Points.size(); ++i) {
      const ProfilePoint& p = s.Points[i];
      const float range = p.Range;
      if (range == 0.0f) {
        ++no_echo;
        continue;
      }
      OutPoint o;
      o.Sweep = s.Number;
      o.Index = static_cast<int>(i) + 1;
      o.Record = p;
      o.Local = geometry == SurveyGeometry::kVertical     ? VerticalPointXyz(p, s.Settings)
                : geometry == SurveyGeometry::kHorizontal ? HorizontalPointXyz(p, s.Settings)
                                                          : AzimuthPointXyz(p, s.Settings, s.AzimuthSteps);
      const std::string date = Text(p.DateTime, 11), clock = Text(p.DateTime + 13, 11);
      o.TimeLocal = IsoLocalTime(date, clock);
      o.TimeUtc = IsoUtcTime(date, clock, s.UtcTimes[i]);
      o.Position = PointDegrees(p);
      o.Attitude = s.Settings.OrientationModule != 0 && s.Oriented[i];
      if (o.Position) {
        any_fix = true;
        if (!first_fix) first_fix = o.Position;
      }
      points.push_back(o);
    }
  }

  // The frame: the map grid when the recording has GPS (unless 'local' is asked).
  const bool local = !any_fix || crs_text == "local";
  Projector projector;
  std::string crs_used;
  std::string heading_source = "none";
  if (!local) {
    crs_used = crs_text.empty() ? UtmZoneCrs(first_fix->Lat, first_fix->Lon) : crs_text;
    if (!projector.Open(crs_used, error)) {
      std::fprintf(stderr, "q47v export: %s\n", error.c_str());
      return 2;
    }
    for (const OutPoint& o : points) {
      if (!o.Position) continue;
      if (o.Attitude) any_oriented = true;
      else all_oriented = false;
    }
    if (!all_oriented && !fixed_heading) {
      std::fprintf(stderr,
                   "q47v export: cannot place the survey on the map grid: %s the orientation module's heading; "
                   "give the heading with --heading DEG (or --crs local for the survey's own frame)\n",
                   any_oriented ? "some pings of the recording lack" : "the recording has no pings with");
      return 1;
    }
    heading_source = all_oriented ? "orientation module"
                     : any_oriented ? "orientation module, else --heading " + heading_text
                                    : "--heading " + heading_text;
    const double metres_per_unit = projector.MetresPerUnit();
    for (OutPoint& o : points) {
      if (!o.Position) {
        ++no_position;
        continue;
      }
      const double h_deg = o.Attitude ? static_cast<double>(o.Record.Heading) : *fixed_heading;
      const double h = h_deg * kPi / 180.0;
      double ea, na;
      if (!projector.Forward(o.Position->Lat, o.Position->Lon, ea, na)) {
        ++no_position;
        continue;
      }
      const double ch = std::cos(h), sh = std::sin(h);
      // The head from the antenna, the offset in metres taken into the grid's unit.
      const double e = ea + (dx * ch + dy * sh) / metres_per_unit;
      const double n = na + (-dx * sh + dy * ch) / metres_per_unit;
      o.Placed = true;
      o.Easting = e;
      o.Northing = n;
      o.HeadingDeg = h_deg;
    }
    // Offsets from the head in the grid's unit, by the file's unit of each sweep.
    std::size_t k = 0;
    for (const SweepCopy& s : sweeps) {
      const double scale = (s.Settings.Units == 1 ? kMetresPerFoot : 1.0) / metres_per_unit;
      for (; k < points.size() && points[k].Sweep == s.Number; ++k) {
        OutPoint& o = points[k];
        if (!o.Placed) continue;
        const double h_deg = o.HeadingDeg;
        const double x = o.Local.X * scale, y = o.Local.Y * scale, z = o.Local.Z * scale;
        if (geometry == SurveyGeometry::kVertical) {
          const double h = h_deg * kPi / 180.0;
          o.Easting += x * std::cos(h);
          o.Northing -= x * std::sin(h);
        } else {
          const double r = (h_deg - static_cast<double>(o.Local.HeadingApplied)) * kPi / 180.0;
          o.Easting += x * std::cos(r) + y * std::sin(r);
          o.Northing += -x * std::sin(r) + y * std::cos(r);
        }
        o.Height = z;
      }
    }
  }
  if (format.Name == "kml" && local) {
    std::fprintf(stderr, "q47v export: KML needs positions on the earth, and %s; choose another format\n",
                 any_fix ? "--crs local keeps the survey's own frame" : "the recording has no GPS");
    return 1;
  }

  // The layers.
  RegisterGeoDrivers();
  OGRSpatialReference srs;
  if (!local) {
    srs.SetFromUserInput(projector.Definition().c_str());
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  } else {
    // The survey's own frame: a local (engineering) CRS in the file's unit, so that
    // no program takes the coordinates for degrees.
    const bool feet = !sweeps.empty() && sweeps.front().Settings.Units == 1;
    srs.SetLocalCS("local survey frame");
    srs.SetLinearUnits(feet ? SRS_UL_FOOT : SRS_UL_METER, feet ? std::atof(SRS_UL_FOOT_CONV) : 1.0);
  }
  const OGRSpatialReference* layer_srs = &srs;
  GeoOutput output(format, out);
  const bool dxf = format.Name == "dxf", csv = format.Name == "csv";
  long written = 0;
  auto fail = [&](const std::string& why) {
    std::fprintf(stderr, "q47v export: %s\n", why.c_str());
    return 1;
  };
  auto sweep_layer_name = [](int n) {
    char b[32];
    std::snprintf(b, sizeof b, "SWEEP_%04d", n);
    return std::string(b);
  };
  if (dxf) {
    OGRLayer* layer = output.CreateLayer("entities", wkbUnknown, layer_srs);
    if (!layer) return fail(output.Error());
    const int layer_field = layer->GetLayerDefn()->GetFieldIndex("Layer");
    for (const SweepCopy& s : sweeps) {
      OGRLineString line;
      for (const OutPoint& o : points) {
        if (o.Sweep != s.Number || (!local && !o.Placed)) continue;
        const double ex = local ? o.Local.X : o.Easting, ny = local ? o.Local.Y : o.Northing,
                     hz = local ? o.Local.Z : o.Height;
        auto f = std::unique_ptr<OGRFeature>(OGRFeature::CreateFeature(layer->GetLayerDefn()));
        if (layer_field >= 0) f->SetField(layer_field, sweep_layer_name(s.Number).c_str());
        f->SetGeometryDirectly(new OGRPoint(ex, ny, hz));
        if (layer->CreateFeature(f.get()) != OGRERR_NONE) return fail("cannot write " + out);
        line.addPoint(ex, ny, hz);
        ++written;
      }
      if (line.getNumPoints() < 2) continue;
      auto f = std::unique_ptr<OGRFeature>(OGRFeature::CreateFeature(layer->GetLayerDefn()));
      if (layer_field >= 0) f->SetField(layer_field, sweep_layer_name(s.Number).c_str());
      f->SetGeometry(&line);
      if (layer->CreateFeature(f.get()) != OGRERR_NONE) return fail("cannot write " + out);
    }
  } else {
    const std::vector<std::string> quoting =
        csv ? std::vector<std::string>{"STRING_QUOTING=IF_NEEDED"} : std::vector<std::string>{};
    OGRLayer* pl = output.CreateLayer("points", csv ? wkbNone : wkbPoint25D, layer_srs, quoting);
    if (!pl) return fail(output.Error());
    bool fields_ok = AddField(pl, "sweep", OFTInteger) && AddField(pl, "point", OFTInteger) &&
                     AddField(pl, "time_local", OFTString, 32) && AddField(pl, "time_utc", OFTString, 32) &&
                     AddField(pl, "lat", OFTReal) && AddField(pl, "lon", OFTReal) && AddField(pl, "x", OFTReal) &&
                     AddField(pl, "y", OFTReal) && AddField(pl, "z", OFTReal) && AddField(pl, "range", OFTReal) &&
                     AddField(pl, "beam_angle", OFTReal) && AddField(pl, "azimuth", OFTReal) &&
                     AddField(pl, "pitch", OFTReal) && AddField(pl, "roll", OFTReal) &&
                     AddField(pl, "heading", OFTReal) && AddField(pl, "easting", OFTReal) &&
                     AddField(pl, "northing", OFTReal) && AddField(pl, "height", OFTReal);
    if (!fields_ok) return fail("cannot make the fields of the points layer: " + output.Error());
    if (pl->StartTransaction() != OGRERR_NONE) return fail("cannot write " + out);
    for (const OutPoint& o : points) {
      if (!local && !o.Placed) continue;
      auto f = std::unique_ptr<OGRFeature>(OGRFeature::CreateFeature(pl->GetLayerDefn()));
      f->SetField("sweep", o.Sweep);
      f->SetField("point", o.Index);
      SetText(*f, "time_local", o.TimeLocal);
      SetText(*f, "time_utc", o.TimeUtc);
      SetReal(*f, "lat", o.Position ? std::optional<double>(o.Position->Lat) : std::nullopt);
      SetReal(*f, "lon", o.Position ? std::optional<double>(o.Position->Lon) : std::nullopt);
      f->SetField("x", static_cast<double>(o.Local.X));
      f->SetField("y", static_cast<double>(o.Local.Y));
      f->SetField("z", static_cast<double>(o.Local.Z));
      f->SetField("range", static_cast<double>(o.Local.Range));
      const float beam = o.Record.BeamAngle;
      f->SetField("beam_angle", static_cast<double>(beam));
      SetReal(*f, "azimuth",
              geometry == SurveyGeometry::kAzimuth    ? std::optional<double>(o.Local.Azimuth)
              : geometry == SurveyGeometry::kVertical ? std::optional<double>(0.0)
                                                      : std::nullopt);
      const float pitch = o.Record.Pitch, roll = o.Record.Roll, heading = o.Record.Heading;
      // The borehole coordinates always take the recorded attitude: it is shown
      // whenever it was used.
      const bool attitude = o.Attitude || geometry == SurveyGeometry::kHorizontal;
      SetReal(*f, "pitch", attitude ? std::optional<double>(pitch) : std::nullopt);
      SetReal(*f, "roll", attitude ? std::optional<double>(roll) : std::nullopt);
      SetReal(*f, "heading", attitude ? std::optional<double>(heading) : std::nullopt);
      SetReal(*f, "easting", o.Placed ? std::optional<double>(o.Easting) : std::nullopt);
      SetReal(*f, "northing", o.Placed ? std::optional<double>(o.Northing) : std::nullopt);
      SetReal(*f, "height", o.Placed ? std::optional<double>(o.Height) : std::nullopt);
      if (!csv) {
        if (local) f->SetGeometryDirectly(new OGRPoint(o.Local.X, o.Local.Y, o.Local.Z));
        else f->SetGeometryDirectly(new OGRPoint(o.Easting, o.Northing, o.Height));
      }
      if (pl->CreateFeature(f.get()) != OGRERR_NONE) return fail("cannot write the points to " + out);
      ++written;
    }
    if (pl->CommitTransaction() != OGRERR_NONE) return fail("cannot write the points to " + out);

    OGRLayer* sl = output.CreateLayer("sections", wkbLineString25D, layer_srs,
                                      csv ? std::vector<std::string>{"GEOMETRY=AS_WKT", "STRING_QUOTING=IF_NEEDED"}
                                          : std::vector<std::string>{});
    if (!sl) return fail(output.Error());
    fields_ok = AddField(sl, "sweep", OFTInteger) && AddField(sl, "time_start", OFTString, 32) &&
                AddField(sl, "time_end", OFTString, 32) && AddField(sl, "chainage", OFTReal) &&
                AddField(sl, "points", OFTInteger);
    if (!fields_ok) return fail("cannot make the fields of the sections layer: " + output.Error());
    for (const SweepCopy& s : sweeps) {
      OGRLineString line;
      std::string first, last;
      for (const OutPoint& o : points) {
        if (o.Sweep != s.Number || (!local && !o.Placed)) continue;
        if (local) line.addPoint(o.Local.X, o.Local.Y, o.Local.Z);
        else line.addPoint(o.Easting, o.Northing, o.Height);
        if (first.empty()) first = o.TimeLocal;
        last = o.TimeLocal;
      }
      if (line.getNumPoints() < 2) continue;
      auto f = std::unique_ptr<OGRFeature>(OGRFeature::CreateFeature(sl->GetLayerDefn()));
      f->SetField("sweep", s.Number);
      SetText(*f, "time_start", first);
      SetText(*f, "time_end", last);
      f->SetField("chainage", static_cast<double>(s.Settings.Chainage));
      f->SetField("points", line.getNumPoints());
      f->SetGeometry(&line);
      if (sl->CreateFeature(f.get()) != OGRERR_NONE) return fail("cannot write the sections to " + out);
    }

    OGRLayer* ml = output.CreateLayer("survey", wkbNone, nullptr, quoting);
    if (!ml) return fail(output.Error());
    fields_ok = AddField(ml, "recording", OFTString, 254) && AddField(ml, "geometry", OFTString, 16) &&
                AddField(ml, "units", OFTString, 8) && AddField(ml, "sound_velocity", OFTReal) &&
                AddField(ml, "chainage", OFTReal) && AddField(ml, "elevation", OFTReal) &&
                AddField(ml, "x_offset", OFTReal) && AddField(ml, "crs", OFTString, 64) &&
                AddField(ml, "frame", OFTString, 254) && AddField(ml, "heading_source", OFTString, 64) &&
                AddField(ml, "antenna_offset", OFTString, 64) && AddField(ml, "sweeps", OFTInteger) &&
                AddField(ml, "points_written", OFTInteger) && AddField(ml, "points_no_echo", OFTInteger) &&
                AddField(ml, "points_no_position", OFTInteger);
    if (!fields_ok) return fail("cannot make the fields of the survey layer: " + output.Error());
    auto f = std::unique_ptr<OGRFeature>(OGRFeature::CreateFeature(ml->GetLayerDefn()));
    const XyzSettings first = sweeps.empty() ? XyzSettings{} : sweeps.front().Settings;
    f->SetField("recording", file.c_str());
    f->SetField("geometry", GeometryName(geometry));
    f->SetField("units", first.Units == 1 ? "feet" : "metres");
    f->SetField("sound_velocity", static_cast<double>(first.SoundVelocity));
    f->SetField("chainage", static_cast<double>(first.Chainage));
    f->SetField("elevation", static_cast<double>(first.Elevation));
    f->SetField("x_offset", static_cast<double>(first.XOffset));
    f->SetField("crs", local ? "local" : crs_used.c_str());
    f->SetField("frame", local ? "local survey frame: x, y, z as in the .XYZ"
                               : ("projected: " + projector.Name()).c_str());
    f->SetField("heading_source", heading_source.c_str());
    char offset[96];
    std::snprintf(offset, sizeof offset, "%g,%g,%g", dx, dy, dz);
    f->SetField("antenna_offset", offset);
    f->SetField("sweeps", static_cast<int>(sweeps.size()));
    f->SetField("points_written", static_cast<int>(written));
    f->SetField("points_no_echo", static_cast<int>(no_echo));
    f->SetField("points_no_position", static_cast<int>(no_position));
    if (ml->CreateFeature(f.get()) != OGRERR_NONE) return fail("cannot write the survey row to " + out);
  }
  if (!output.Close()) return fail("cannot write " + out + ": " + output.Error());

  for (const std::string& f : output.Files()) std::printf("%s\n", PrintableText(f).c_str());
  std::printf("%ld points in %zu sweeps written, %ld without an echo left out", written, sweeps.size(), no_echo);
  if (no_position > 0) std::printf(", %ld without a GPS position left out", no_position);
  std::printf("\n");
  if (local)
    std::printf("%s: the layers are in the local survey frame (x, y, z as in the .XYZ, %s)\n",
                any_fix ? "--crs local" : "no GPS in the recording",
                sweeps.empty() || sweeps.front().Settings.Units != 1 ? "metres" : "feet");
  else
    std::printf("placed in %s (%s), heading from %s\n", crs_used.c_str(), projector.Name().c_str(),
                heading_source.c_str());
  if (sweeps.empty())
    std::printf("q47v export: no complete sweep in %s (%ld records)\n", PrintableText(file).c_str(),
                summary.Records);
  return FinishOutput("export") ? 0 : 1;
}

}  // namespace q47v::cli
