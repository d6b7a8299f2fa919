// SPDX-License-Identifier: GPL-3.0-or-later
// q47v track FILE.47V --out PATH: the GPS track of a recording through OGR: a
// point per record with a fix and a line per run of fixes.
#include <ogrsf_frmts.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app_state.h"
#include "clock.h"
#include "display.h"
#include "files/playback.h"
#include "geo_output.h"
#include "outputs/survey_geometry.h"
#include "text_output.h"

namespace q47v::cli {

namespace {

constexpr const char* kUsage =
    "usage: q47v track FILE.47V --out PATH [--format gpkg|geojson|kml|gpx|csv]\n"
    "\n"
    "Writes the GPS track of a recording through GDAL/OGR, in WGS 84:\n"
    "  fixes   a point per record with a GPS fix: record, time_utc (the receiver's\n"
    "          time), time_local (the computer's clock, as recorded), lat, lon\n"
    "          (decimal degrees, negative south and west), altitude, satellites,\n"
    "          quality, hdop\n"
    "  track   a line per run of fixes: run, time_start, time_end, fixes; a gap of\n"
    "          more than 5 s between two fixes (by the receiver's time when both\n"
    "          have it, else the recorded time) starts a new run\n"
    "GeoPackage and KML hold both layers; GeoJSON and CSV write the fixes to PATH\n"
    "and the lines to STEM-track.EXT; GPX writes one track with a segment per run,\n"
    "the local time and the quality as extensions. The format defaults from the\n"
    "extension of PATH (GeoPackage for any other). Times are ISO 8601.\n"
    "\n"
    "  --out PATH       the file to write (replaced when it exists)\n"
    "  --format F       gpkg, geojson, kml, gpx or csv\n"
    "\n"
    "Exit status: 0 success (also for a recording without GPS: nothing is written\n"
    "and it is said), 1 a file that cannot be read or written, 2 usage error.\n";

constexpr double kGapSeconds = 5.0;

class TrackDisplay final : public Display {
 public:
  explicit TrackDisplay(AppState& state) : state_(state) {}
  void PlaybackFileOpened(bool opened) override {
    if (opened) state_.FirstPing = true;
  }
  void ShowFileMessage(const std::string& text, const std::string&, FileMessageIcon) override { message = text; }
  std::string message;

 private:
  AppState& state_;
};

struct Fix {
  long Record = 0;
  std::string TimeUtc, TimeLocal;
  GeoDegrees Position;
  float Altitude = 0, Hdop = 0;
  int Satellites = 0, Quality = 0;
  int Run = 0;
};

std::string Padded(const std::string& s, std::size_t n) {
  std::string t = s.substr(0, n);
  t.resize(n, ' ');
  return t;
}

void SetText(OGRFeature& f, const char* name, const std::string& v) {
  const int i = f.GetFieldIndex(name);
  if (i < 0) return;
  if (v.empty()) f.SetFieldNull(i);
  else f.SetField(i, v.c_str());
}

bool AddField(OGRLayer* layer, const char* name, OGRFieldType type, int width = 0) {
  OGRFieldDefn field(name, type);
  if (width > 0) field.SetWidth(width);
  return layer->CreateField(&field) == OGRERR_NONE;
}

}  // namespace

int RunTrackVerb(int argc, char** argv) {
  std::string file, out, format_name;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return FinishOutput("track") ? 0 : 1;
    } else if (a == "--out" || a == "--format") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "q47v track: %s needs a value\n%s", a.c_str(), kUsage);
        return 2;
      }
      (a == "--out" ? out : format_name) = argv[++i];
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "q47v track: unknown option '%s'\n%s", a.c_str(), kUsage);
      return 2;
    } else if (file.empty()) {
      file = a;
    } else {
      std::fprintf(stderr, "q47v track: more than one FILE\n%s", kUsage);
      return 2;
    }
  }
  if (file.empty() || out.empty()) {
    std::fprintf(stderr, "q47v track: FILE and --out are needed\n%s", kUsage);
    return 2;
  }
  GeoFormat format;
  std::string error;
  if (!ResolveFormat(format_name, out, {"gpkg", "geojson", "kml", "gpx", "csv"}, format, error)) {
    std::fprintf(stderr, "q47v track: %s\n", error.c_str());
    return 2;
  }

  // The records as playback restores them: a record with a position text puts
  // its age back to 0.
  auto state = std::make_unique<AppState>();
  TrackDisplay display(*state);
  state->RunMode = 1;
  state->PlotSpeed = 100;
  state->PaintEchoes = false;
  if (!OpenPlayback(*state, display, file)) {
    std::fprintf(stderr, "q47v track: %s: %s\n", file.c_str(),
                 display.message.empty() ? "cannot open the file" : display.message.c_str());
    return 1;
  }
  Clock clock;
  PlaybackHooks hooks = LinkPlaybackHooks(clock, nullptr);
  std::vector<Fix> fixes;
  long records = 0;
  std::optional<double> last_time;
  int run = 0;
  for (;;) {
    const PlaybackStepResult r = PlaybackStep(*state, display, hooks);
    if (r.outcome == PlaybackOutcome::kSearching) continue;
    if (r.outcome != PlaybackOutcome::kPlayed) break;
    ++records;
    if (state->PlaybackGpsPresent.load() == 0 || state->PlaybackGpsAge.load() != 0) continue;
    RecordGps g;
    {
      std::lock_guard lock(state->PlaybackGpsMutex);
      g = state->PlaybackGps;
    }
    const auto position = GpsTextDegrees(" " + Padded(g.latitude, 11) + Padded(g.longitude, 12));
    if (!position) continue;
    Fix f;
    f.Record = records;
    f.Position = *position;
    const std::string date = state->PlaybackDateText.get();
    const std::string local = state->PlaybackTimeText.get() + state->PlaybackHundredthsText.get();
    f.TimeLocal = IsoLocalTime(date, local);
    f.TimeUtc = IsoUtcTime(date, local, g.utc_time);
    f.Altitude = g.altitude;
    f.Hdop = g.hdop;
    f.Satellites = g.satellites;
    f.Quality = g.fix_quality;
    std::optional<double> t = IsoSeconds(f.TimeUtc);
    std::optional<double> previous_utc = fixes.empty() ? std::nullopt : IsoSeconds(fixes.back().TimeUtc);
    if (!t || !previous_utc) {
      t = IsoSeconds(f.TimeLocal);
      last_time = fixes.empty() ? std::nullopt : IsoSeconds(fixes.back().TimeLocal);
    } else {
      last_time = previous_utc;
    }
    if (fixes.empty() || !t || !last_time || std::fabs(*t - *last_time) > kGapSeconds) ++run;
    f.Run = run;
    fixes.push_back(f);
  }
  ClosePlayback(*state);
  if (fixes.empty()) {
    std::printf("q47v track: no GPS fix in %s (%ld records); nothing written\n", PrintableText(file).c_str(),
                records);
    return FinishOutput("track") ? 0 : 1;
  }

  auto fail = [&](const std::string& why) {
    std::fprintf(stderr, "q47v track: %s\n", why.c_str());
    return 1;
  };
  RegisterGeoDrivers();
  OGRSpatialReference wgs84;
  wgs84.SetWellKnownGeogCS("WGS84");
  wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  GeoOutput output(format, out);
  if (format.Name == "gpx") {
    OGRLayer* layer = output.CreateLayer("track_points", wkbPoint25D, &wgs84);
    if (!layer) return fail(output.Error());
    if (!AddField(layer, "time_local", OFTString) || !AddField(layer, "quality", OFTInteger) ||
        !AddField(layer, "record", OFTInteger))
      return fail("cannot make the fields of the track: " + output.Error());
    for (const Fix& x : fixes) {
      auto f = std::unique_ptr<OGRFeature>(OGRFeature::CreateFeature(layer->GetLayerDefn()));
      f->SetField("track_fid", 0);
      f->SetField("track_seg_id", x.Run - 1);
      f->SetField("ele", static_cast<double>(x.Altitude));
      if (!x.TimeUtc.empty()) {
        int y, mo, d, h, mi;
        float s;
        if (std::sscanf(x.TimeUtc.c_str(), "%4d-%2d-%2dT%2d:%2d:%fZ", &y, &mo, &d, &h, &mi, &s) == 6)
          f->SetField(f->GetFieldIndex("time"), y, mo, d, h, mi, s, 100);
      }
      f->SetField("sat", x.Satellites);
      f->SetField("hdop", static_cast<double>(x.Hdop));
      if (x.Quality == 2) f->SetField("fix", "dgps");
      else if (x.Quality == 3) f->SetField("fix", "pps");
      SetText(*f, "time_local", x.TimeLocal);
      f->SetField("quality", x.Quality);
      f->SetField("record", static_cast<int>(x.Record));
      f->SetGeometryDirectly(new OGRPoint(x.Position.Lon, x.Position.Lat, x.Altitude));
      if (layer->CreateFeature(f.get()) != OGRERR_NONE) return fail("cannot write the track to " + out);
    }
  } else {
    const bool csv = format.Name == "csv";
    OGRLayer* pl = output.CreateLayer("fixes", csv ? wkbNone : wkbPoint25D, &wgs84,
                                      csv ? std::vector<std::string>{"STRING_QUOTING=IF_NEEDED"}
                                          : std::vector<std::string>{});
    if (!pl) return fail(output.Error());
    bool ok = AddField(pl, "record", OFTInteger) && AddField(pl, "time_utc", OFTString, 32) &&
              AddField(pl, "time_local", OFTString, 32) && AddField(pl, "lat", OFTReal) &&
              AddField(pl, "lon", OFTReal) && AddField(pl, "altitude", OFTReal) &&
              AddField(pl, "satellites", OFTInteger) && AddField(pl, "quality", OFTInteger) &&
              AddField(pl, "hdop", OFTReal) && AddField(pl, "run", OFTInteger);
    if (!ok) return fail("cannot make the fields of the fixes: " + output.Error());
    if (pl->StartTransaction() != OGRERR_NONE) return fail("cannot write " + out);
    for (const Fix& x : fixes) {
      auto f = std::unique_ptr<OGRFeature>(OGRFeature::CreateFeature(pl->GetLayerDefn()));
      f->SetField("record", static_cast<int>(x.Record));
      SetText(*f, "time_utc", x.TimeUtc);
      SetText(*f, "time_local", x.TimeLocal);
      f->SetField("lat", x.Position.Lat);
      f->SetField("lon", x.Position.Lon);
      f->SetField("altitude", static_cast<double>(x.Altitude));
      f->SetField("satellites", x.Satellites);
      f->SetField("quality", x.Quality);
      f->SetField("hdop", static_cast<double>(x.Hdop));
      f->SetField("run", x.Run);
      if (!csv) f->SetGeometryDirectly(new OGRPoint(x.Position.Lon, x.Position.Lat, x.Altitude));
      if (pl->CreateFeature(f.get()) != OGRERR_NONE) return fail("cannot write the fixes to " + out);
    }
    if (pl->CommitTransaction() != OGRERR_NONE) return fail("cannot write the fixes to " + out);
    OGRLayer* tl = output.CreateLayer("track", wkbLineString25D, &wgs84,
                                      csv ? std::vector<std::string>{"GEOMETRY=AS_WKT", "STRING_QUOTING=IF_NEEDED"}
                                          : std::vector<std::string>{});
    if (!tl) return fail(output.Error());
    ok = AddField(tl, "run", OFTInteger) && AddField(tl, "time_start", OFTString, 32) &&
         AddField(tl, "time_end", OFTString, 32) && AddField(tl, "fixes", OFTInteger);
    if (!ok) return fail("cannot make the fields of the track: " + output.Error());
    for (std::size_t i = 0; i < fixes.size();) {
      std::size_t j = i;
      OGRLineString line;
      while (j < fixes.size() && fixes[j].Run == fixes[i].Run) {
        line.addPoint(fixes[j].Position.Lon, fixes[j].Position.Lat, fixes[j].Altitude);
        ++j;
      }
      if (line.getNumPoints() == 1) line.addPoint(line.getX(0), line.getY(0), line.getZ(0));
      auto f = std::unique_ptr<OGRFeature>(OGRFeature::CreateFeature(tl->GetLayerDefn()));
      f->SetField("run", fixes[i].Run);
      const std::string& start = fixes[i].TimeUtc.empty() ? fixes[i].TimeLocal : fixes[i].TimeUtc;
      const std::string& end = fixes[j - 1].TimeUtc.empty() ? fixes[j - 1].TimeLocal : fixes[j - 1].TimeUtc;
      SetText(*f, "time_start", start);
      SetText(*f, "time_end", end);
      f->SetField("fixes", static_cast<int>(j - i));
      f->SetGeometry(&line);
      if (tl->CreateFeature(f.get()) != OGRERR_NONE) return fail("cannot write the track to " + out);
      i = j;
    }
  }
  if (!output.Close()) return fail("cannot write " + out + ": " + output.Error());
  for (const std::string& f : output.Files()) std::printf("%s\n", PrintableText(f).c_str());
  std::printf("%zu fixes of %ld records in %d runs\n", fixes.size(), records, run);
  return FinishOutput("track") ? 0 : 1;
}

}  // namespace q47v::cli
