// SPDX-License-Identifier: GPL-3.0-or-later
// The survey of a recording for GIS and CAD: the recording re-made as a survey
// (the same sweeps and points as its .XYZ files), written through OGR as layers a
// GIS or CAD program reads (the points, a section line per sweep and a row of
// metadata), placed on a map grid through PROJ when the recording has GPS; and the
// GPS track of a recording. Shared by `q47v export`, `q47v track` and the window.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "outputs/survey_plots.h"

namespace q47v::survey {

// How far an export is: the recording's bytes read, of its length.
struct ExportProgress {
  long long Done = 0, Total = 0;
  int Percent() const { return Total > 0 ? static_cast<int>(Done * 100 / Total) : 0; }
};
// Called every few records; false cancels the export (nothing is left).
using ExportProgressFunction = std::function<bool(const ExportProgress&)>;

struct SurveyExportRequest {
  std::string Recording;          // the .47V file
  std::string Out;                // the file to write
  std::string Format;             // gpkg, geojson, dxf, kml, csv, shp; empty: from Out's extension
  SurveyGeometry Geometry = SurveyGeometry::kVertical;
  std::string Crs;                // anything PROJ knows; empty: the UTM zone of the first fix; "local"
  std::optional<double> Heading;  // degrees clockwise from north, for pings without the module's
  std::string HeadingName = "--heading";  // what the heading is called in the survey row and messages
  double Dx = 0, Dy = 0, Dz = 0;  // metres from the antenna to the head: right, forward, up
  std::string Ini;                // settings the recording does not carry; empty: the defaults
  std::vector<std::string> Sets;  // KEY=VALUE over them
  bool Prompt = false;            // the survey ran with "Prompt for another scan"
  // Notes along the way (settings fallbacks, damage passed over); empty: standard
  // error as "q47v export: ...".
  std::function<void(const std::string&)> Message;
};

struct SurveyExportOutcome {
  // 0 written, 1 a file that cannot be read or written or a survey that cannot be
  // placed, 2 a request that cannot be met (format, CRS, settings), 3 cancelled.
  int Status = 0;
  std::string Error;  // why, when Status is not 0 (empty: told through Message)
  std::vector<std::string> Files;  // the files written
  long Records = 0, Written = 0, NoEcho = 0, NoPosition = 0;
  int Sweeps = 0;
  bool Local = true;     // in the survey's own frame
  bool AnyFix = false;   // the recording has GPS
  bool Feet = false;     // the file's unit
  std::string Crs, CrsName, HeadingSource;
  std::vector<std::string> Summary;  // what was done, a line each
};

SurveyExportOutcome ExportSurvey(const SurveyExportRequest& request, const ExportProgressFunction& progress = {});

struct TrackExportRequest {
  std::string Recording;
  std::string Out;
  std::string Format;  // gpkg, geojson, kml, gpx, csv; empty: from Out's extension
};

struct TrackExportOutcome {
  int Status = 0;  // as SurveyExportOutcome's; a recording without GPS is 0 with nothing written
  std::string Error;
  std::vector<std::string> Files;
  long Records = 0, Fixes = 0;
  int Runs = 0;
  std::vector<std::string> Summary;
};

// A fix more than this many seconds after the one before starts a new run.
constexpr double kTrackGapSeconds = 5.0;

TrackExportOutcome ExportTrack(const TrackExportRequest& request, const ExportProgressFunction& progress = {});

// The formats each takes, for --format and the window's choices.
const std::vector<std::string>& SurveyExportFormats();
const std::vector<std::string>& TrackExportFormats();

}  // namespace q47v::survey
