// SPDX-License-Identifier: GPL-3.0-or-later
#include "survey_export.h"

#include <ogrsf_frmts.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "files/output_file.h"
#include "files/printable_text.h"
#include "geo_output.h"
#include "outputs/survey_geometry.h"
#include "survey_replay.h"

namespace q47v::survey {

namespace {

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

const std::vector<std::string>& SurveyExportFormats() {
  static const std::vector<std::string> formats{"gpkg", "geojson", "dxf", "kml", "csv", "shp"};
  return formats;
}

const std::vector<std::string>& TrackExportFormats() {
  static const std::vector<std::string> formats{"gpkg", "geojson", "kml", "gpx", "csv"};
  return formats;
}

SurveyExportOutcome ExportSurvey(const SurveyExportRequest& request, const ExportProgressFunction& progress) {
  SurveyExportOutcome result;
  auto Fail = [&result](int status, const std::string& why) {
    result.Status = status;
    result.Error = why;
    return result;
  };
  auto Cancelled = [&] { return Fail(3, "cancelled"); };
  const std::string& file = request.Recording;
  const std::string& out = request.Out;
  const std::string& crs_text = request.Crs;
  const SurveyGeometry geometry = request.Geometry;
  // The given heading within 0..360 (0 when none is given: then only pings with
  // the module's heading are placed).
  const bool heading_given = request.Heading.has_value();
  const double given_heading =
      heading_given ? std::fmod(std::fmod(request.Heading.value(), 360.0) + 360.0, 360.0) : 0.0;
  std::string heading_text;
  if (request.Heading) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", *request.Heading);
    heading_text = b;
  }
  const double dx = request.Dx, dy = request.Dy, dz = request.Dz;
  GeoFormat format;
  std::string error;
  if (!ResolveFormat(request.Format, out, SurveyExportFormats(), format, error)) return Fail(2, error);
  // A name that cannot be written is told before the recording is read.
  if (std::string why = RefusedOutputReason(OutputTarget(out)); !why.empty()) return Fail(1, why);
  const std::vector<std::string>& sets = request.Sets;
  const std::string& ini = request.Ini;
  const bool prompt = request.Prompt;

  // The sweeps of the survey, as q47v xyz takes them.
  ReplayOptions options;
  options.File = file;
  options.Ini = ini;
  options.Sets = sets;
  options.Geometry = geometry;
  options.Prompt = prompt;
  options.Verb = "export";
  options.Message = request.Message;
  options.Progress = [&](long long done, long long total) {
    return !progress || progress(ExportProgress{done, total});
  };
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
  result.Records = summary.Records;
  if (summary.Cancelled) return Cancelled();
  // Told through Message already.
  if (status != 0) return Fail(status, "");
  if (summary.Failed) return Fail(1, "");

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
    if (!projector.Open(crs_used, error)) return Fail(2, error);
    for (const OutPoint& o : points) {
      if (!o.Position) continue;
      if (o.Attitude) any_oriented = true;
      else all_oriented = false;
    }
    if (!all_oriented && !heading_given)
      return Fail(1, std::string("cannot place the survey on the map grid: ") +
                         (any_oriented ? "some pings of the recording lack" : "the recording has no pings with") +
                         " the orientation module's heading; give the heading with " + request.HeadingName +
                         (request.HeadingName == "--heading" ? " DEG (or --crs local for the survey's own frame)"
                                                             : " (or the local frame)"));
    heading_source = all_oriented ? "orientation module"
                     : any_oriented ? "orientation module, else " + request.HeadingName + " " + heading_text
                                    : request.HeadingName + " " + heading_text;
    const double metres_per_unit = projector.MetresPerUnit();
    for (OutPoint& o : points) {
      if (!o.Position) {
        ++no_position;
        continue;
      }
      const double h_deg = o.Attitude ? static_cast<double>(o.Record.Heading) : given_heading;
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
  if (format.Name == "kml" && local)
    return Fail(1, std::string("KML needs positions on the earth, and ") +
                       (any_fix ? "the local frame is asked for" : "the recording has no GPS") +
                       "; choose another format");

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
  auto fail = [&](const std::string& why) { return Fail(1, why); };
  // Cancelled while the layers are written: every so many points.
  auto cancelled = [&](long n) { return n % 4096 == 0 && progress && !progress(ExportProgress{1, 1}); };
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
        if (cancelled(++written)) return Cancelled();
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
      if (cancelled(++written)) return Cancelled();
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
    // Set by their place: a Shapefile shortens the longer names to ten letters.
    auto f = std::unique_ptr<OGRFeature>(OGRFeature::CreateFeature(ml->GetLayerDefn()));
    const XyzSettings first = sweeps.empty() ? XyzSettings{} : sweeps.front().Settings;
    f->SetField(0, file.c_str());
    f->SetField(1, GeometryName(geometry));
    f->SetField(2, first.Units == 1 ? "feet" : "metres");
    f->SetField(3, static_cast<double>(first.SoundVelocity));
    f->SetField(4, static_cast<double>(first.Chainage));
    f->SetField(5, static_cast<double>(first.Elevation));
    f->SetField(6, static_cast<double>(first.XOffset));
    f->SetField(7, local ? "local" : crs_used.c_str());
    f->SetField(8, local ? "local survey frame: x, y, z as in the .XYZ"
                               : ("projected: " + projector.Name()).c_str());
    f->SetField(9, heading_source.c_str());
    char offset[96];
    std::snprintf(offset, sizeof offset, "%g,%g,%g", dx, dy, dz);
    f->SetField(10, offset);
    f->SetField(11, static_cast<int>(sweeps.size()));
    f->SetField(12, static_cast<int>(written));
    f->SetField(13, static_cast<int>(no_echo));
    f->SetField(14, static_cast<int>(no_position));
    if (ml->CreateFeature(f.get()) != OGRERR_NONE) return fail("cannot write the survey row to " + out);
  }
  if (progress && !progress(ExportProgress{1, 1})) return Cancelled();
  if (!output.Commit()) return fail("cannot write " + out + ": " + output.Error());


  result.Files = output.Files();
  result.Written = written;
  result.NoEcho = no_echo;
  result.NoPosition = no_position;
  result.Sweeps = static_cast<int>(sweeps.size());
  result.Local = local;
  result.AnyFix = any_fix;
  result.Feet = !sweeps.empty() && sweeps.front().Settings.Units == 1;
  result.Crs = local ? "local" : crs_used;
  result.CrsName = local ? "" : projector.Name();
  result.HeadingSource = heading_source;
  std::string line = std::to_string(written) + " points in " + std::to_string(sweeps.size()) +
                     " sweeps written, " + std::to_string(no_echo) + " without an echo left out";
  if (no_position > 0) line += ", " + std::to_string(no_position) + " without a GPS position left out";
  result.Summary.push_back(line);
  if (local)
    result.Summary.push_back(std::string(any_fix ? "--crs local" : "no GPS in the recording") +
                             ": the layers are in the local survey frame (x, y, z as in the .XYZ, " +
                             (result.Feet ? "feet" : "metres") + ")");
  else
    result.Summary.push_back("placed in " + crs_used + " (" + projector.Name() + "), heading from " +
                             heading_source);
  if (sweeps.empty())
    result.Summary.push_back("no complete sweep in " + PrintableText(file) + " (" +
                             std::to_string(summary.Records) + " records)");
  return result;
}

}  // namespace q47v::survey
