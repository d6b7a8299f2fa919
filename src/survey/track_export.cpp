// SPDX-License-Identifier: GPL-3.0-or-later
// The GPS track of a recording through OGR: a point per record with a fix and a
// line per run of fixes.
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
#include "files/output_file.h"
#include "files/playback.h"
#include "files/printable_text.h"
#include "geo_output.h"
#include "outputs/survey_geometry.h"
#include "survey_export.h"

namespace q47v::survey {

namespace {

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

TrackExportOutcome ExportTrack(const TrackExportRequest& request, const ExportProgressFunction& progress) {
  TrackExportOutcome result;
  auto Fail = [&result](int status, const std::string& why) {
    result.Status = status;
    result.Error = why;
    return result;
  };
  auto Cancelled = [&] { return Fail(3, "cancelled"); };
  const std::string& file = request.Recording;
  const std::string& out = request.Out;
  GeoFormat format;
  std::string error;
  if (!ResolveFormat(request.Format, out, TrackExportFormats(), format, error)) return Fail(2, error);
  if (std::string why = RefusedOutputReason(OutputTarget(out)); !why.empty()) return Fail(1, why);

  // The records as playback restores them: a record with a position text puts
  // its age back to 0.
  auto state = std::make_unique<AppState>();
  TrackDisplay display(*state);
  state->RunMode = 1;
  state->PlotSpeed = 100;
  state->PaintEchoes = false;
  if (!OpenPlayback(*state, display, file))
    return Fail(1, file + ": " + (display.message.empty() ? "cannot open the file" : display.message));
  Clock clock;
  PlaybackHooks hooks = LinkPlaybackHooks(clock, nullptr, PingDecode::kWithoutSamples);  // nothing painted
  std::vector<Fix> fixes;
  long records = 0;
  std::optional<double> last_time;
  int run = 0;
  for (;;) {
    const PlaybackStepResult r = PlaybackStep(*state, display, hooks);
    if (r.outcome == PlaybackOutcome::kSearching) continue;
    if (r.outcome != PlaybackOutcome::kPlayed) break;
    ++records;
    if (progress && records % 64 == 0 &&
        !progress(ExportProgress{r.record_offset + r.record_size, state->PlaybackFileLength.load()})) {
      ClosePlayback(*state);
      return Cancelled();
    }
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
    if (fixes.empty() || !t || !last_time || std::fabs(*t - *last_time) > kTrackGapSeconds) ++run;
    f.Run = run;
    fixes.push_back(f);
  }
  ClosePlayback(*state);
  result.Records = records;
  if (fixes.empty()) {
    result.Summary.push_back("no GPS fix in " + PrintableText(file) + " (" + std::to_string(records) +
                             " records); nothing written");
    return result;
  }
  if (progress && !progress(ExportProgress{1, 1})) return Cancelled();

  auto fail = [&](const std::string& why) { return Fail(1, why); };
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
  if (progress && !progress(ExportProgress{1, 1})) return Cancelled();
  if (!output.Commit()) return fail("cannot write " + out + ": " + output.Error());
  result.Files = output.Files();
  result.Fixes = static_cast<long>(fixes.size());
  result.Runs = run;
  result.Summary.push_back(std::to_string(fixes.size()) + " fixes of " + std::to_string(records) + " records in " +
                           std::to_string(run) + " runs");
  return result;
}

}  // namespace q47v::survey
