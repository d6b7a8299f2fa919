// SPDX-License-Identifier: GPL-3.0-or-later
// q47v track FILE.47V --out PATH: the GPS track of a recording through OGR: a
// point per record with a fix and a line per run of fixes.
#include <cstdio>
#include <string>

#include "survey_export.h"
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

  const survey::TrackExportOutcome result = survey::ExportTrack({file, out, format_name});
  if (result.Status != 0) {
    if (!result.Error.empty()) std::fprintf(stderr, "q47v track: %s\n", result.Error.c_str());
    return result.Status;
  }
  for (const std::string& f : result.Files) std::printf("%s\n", PrintableText(f).c_str());
  for (const std::string& line : result.Summary)
    std::printf("%s%s\n", result.Fixes == 0 ? "q47v track: " : "", line.c_str());
  return FinishOutput("track") ? 0 : 1;
}

}  // namespace q47v::cli
