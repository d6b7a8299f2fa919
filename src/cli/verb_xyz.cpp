// SPDX-License-Identifier: GPL-3.0-or-later
// q47v xyz FILE.47V --geometry G --out DIR: re-makes the survey files of a
// recording. The file plays through the program's playback, reply decoding, ping
// processing and survey outputs, as if auto-profile (or an auto-azimuth run) had
// been switched on just before its first record, and writes the .XYZ files the
// program would have written live, with PLY and SVG pictures beside them.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "files/output_file.h"
#include "outputs/survey_plots.h"
#include "survey_replay.h"
#include "survey_run.h"
#include "text_output.h"

namespace q47v::cli {

using survey::ParseGeometry;
using survey::ReplayOptions;
using survey::ReplaySummary;
using survey::ReplaySweep;
using survey::ReplaySurvey;

namespace {

constexpr const char* kUsage =
    "usage: q47v xyz FILE.47V --geometry vertical|horizontal|azimuth --out DIR\n"
    "                [--ini FILE] [--set KEY=VALUE]... [--prompt] [--ply] [--svg]\n"
    "\n"
    "Re-makes the survey point files of a recording. The file is played through the\n"
    "program's playback, decoding, ping processing and survey outputs as if\n"
    "auto-profile had been switched on with the geometry just before its first record\n"
    "(azimuth: as if an auto-azimuth run had started with \"Generate ASCII file\n"
    "(.XYZ)\" on), with XYZ files on and captures and the save question off. The\n"
    "files written are those the program would have written live, byte for byte and\n"
    "under the same names (14mar2024-0001.xyz ...): vertical and horizontal one per\n"
    "complete sweep, azimuth one for the recording with the sweeps separated by\n"
    "empty lines.\n"
    "\n"
    "  --geometry G     vertical (chainage), horizontal (borehole) or azimuth\n"
    "  --out DIR        directory for the files (created if missing)\n"
    "  --ini FILE       settings file for everything the records do not carry\n"
    "                   (default: none, the settings' own defaults)\n"
    "  --set KEY=VALUE  override one key of the settings file, e.g. --set ZeroDown=0\n"
    "                   --set XYZTimestamp=0; checked and, out of range, replaced by\n"
    "                   its fallback as when the file is loaded (repeatable)\n"
    "  --prompt         the survey was run with \"Prompt for another scan\" on (or\n"
    "                   with q47v record --payout): every sweep was followed by the\n"
    "                   prompt answered Ok, and the next scan started afresh at the\n"
    "                   next sweep start; the elevation lowered by a payout comes\n"
    "                   from the records\n"
    "  --ply            beside each .XYZ a binary PLY point cloud (X, Y, Z)\n"
    "  --svg            beside each .XYZ an SVG drawing: the cross-section with the\n"
    "                   dredge line (vertical), the borehole section in plan\n"
    "                   (horizontal) or a plan coloured by elevation (azimuth)\n"
    "                   without the points that had no echo (range 0), their\n"
    "                   number said in the caption\n"
    "\n"
    "What each record carries takes effect as it is played: the profile offsets,\n"
    "chainage and elevation, the vertical angle offset, the units, the sound\n"
    "velocity, the azimuth position, the orientation replies and GPS positions.\n"
    "\n"
    "Prints the name and point count of each file. Exit status: 0 success (also\n"
    "when the recording holds no complete sweep), 1 a file or directory that cannot\n"
    "be read or written, 2 usage error.\n";

bool ReadWhole(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return !in.bad();
}

// "14mar2024-0001.xyz" gives "14-MAR-2024".
std::string DateOfName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.size() < 9) return "";
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name.substr(0, 2) + "-" + name.substr(2, 3) + "-" + name.substr(5, 4);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The PLY and SVG files beside an .XYZ file, from the points as written. The
// drawing leaves out the points without an echo (range 0, at the sonar; `echo`
// tells which, in file order) and says how many in its caption.
bool WritePictures(const std::string& xyz_path, const PlotInfo& info_in, bool ply, bool svg,
                   const std::vector<bool>& echo) {
  std::string text;
  std::vector<SurveyPoint> points;
  if (!ReadWhole(xyz_path, text) || !ReadXyzPoints(text, points)) {
    std::fprintf(stderr, "q47v xyz: cannot read back %s for its pictures\n", xyz_path.c_str());
    return false;
  }
  const std::string stem = xyz_path.substr(0, xyz_path.size() - 4);
  PlotInfo info = info_in;
  info.DateText = DateOfName(xyz_path);
  info.FileName = BaseName(xyz_path);
  // New files, whole or none: a link or anything else already under the name is
  // left alone.
  std::string error;
  if (ply && !WriteWholeOutput(stem + ".ply", PlyFile(points, "survey points of " + info.FileName),
                               OutputMode::kNewName, &error)) {
    std::fprintf(stderr, "q47v xyz: cannot write %s.ply: %s\n", stem.c_str(), error.c_str());
    return false;
  }
  std::vector<SurveyPoint> drawn;
  if (svg && echo.size() == points.size()) {
    for (std::size_t i = 0; i < points.size(); ++i)
      if (echo[i]) drawn.push_back(points[i]);
    info.NoEchoPoints = static_cast<int>(points.size() - drawn.size());
  } else {
    drawn = points;
  }
  if (svg && !WriteWholeOutput(stem + ".svg", SurveySvg(drawn, info), OutputMode::kNewName, &error)) {
    std::fprintf(stderr, "q47v xyz: cannot write %s.svg: %s\n", stem.c_str(), error.c_str());
    return false;
  }
  return true;
}

}  // namespace

int RunXyzVerb(int argc, char** argv) {
  std::string file, out_dir, ini, geometry_text;
  std::vector<std::string> sets;
  bool ply = false, svg = false, prompt = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return FinishOutput("xyz") ? 0 : 1;
    } else if (a == "--ply") {
      ply = true;
    } else if (a == "--prompt") {
      prompt = true;
    } else if (a == "--svg") {
      svg = true;
    } else if (a == "--geometry" || a == "--out" || a == "--ini" || a == "--set") {
      const char* v = value();
      if (!v) {
        std::fprintf(stderr, "q47v xyz: %s needs a value\n%s", a.c_str(), kUsage);
        return 2;
      }
      if (a == "--geometry") geometry_text = v;
      else if (a == "--out") out_dir = v;
      else if (a == "--ini") ini = v;
      else sets.emplace_back(v);
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "q47v xyz: unknown option '%s'\n%s", a.c_str(), kUsage);
      return 2;
    } else if (file.empty()) {
      file = a;
    } else {
      std::fprintf(stderr, "q47v xyz: more than one FILE\n%s", kUsage);
      return 2;
    }
  }
  if (file.empty() || out_dir.empty() || geometry_text.empty()) {
    std::fprintf(stderr, "q47v xyz: FILE, --geometry and --out are needed\n%s", kUsage);
    return 2;
  }
  SurveyGeometry geometry;
  if (!ParseGeometry(geometry_text, geometry)) {
    std::fprintf(stderr, "q47v xyz: --geometry takes vertical, horizontal or azimuth, not '%s'\n",
                 geometry_text.c_str());
    return 2;
  }

  ReplayOptions options;
  options.File = file;
  options.Ini = ini;
  options.Sets = sets;
  options.Geometry = geometry;
  options.Prompt = prompt;
  options.XyzDirectory = out_dir;
  options.Verb = "xyz";
  ReplaySummary summary;
  bool failed = false;
  std::vector<bool> azimuth_echo;
  auto echo_of = [](const ReplaySweep& sweep) {
    std::vector<bool> echo;
    echo.reserve(sweep.Points.size());
    for (const ProfilePoint& p : sweep.Points) {
      const float range = p.Range;
      echo.push_back(range != 0.0f);
    }
    return echo;
  };
  const int status = ReplaySurvey(options, [&](const ReplaySweep& sweep) {
    if (geometry == SurveyGeometry::kAzimuth) {
      if (ply || svg) {
        const std::vector<bool> echo = echo_of(sweep);
        azimuth_echo.insert(azimuth_echo.end(), echo.begin(), echo.end());
      }
      return true;
    }
    if (sweep.XyzPath.empty()) return true;  // could not be written (told)
    std::printf("%s\t%zu points\n", PrintableText(sweep.XyzPath).c_str(), sweep.Points.size());
    if ((ply || svg) && !WritePictures(sweep.XyzPath, sweep.Info, ply, svg, echo_of(sweep))) failed = true;
    return true;
  }, summary);
  if (status != 0) return status;
  if (!summary.AzimuthPath.empty()) {
    std::printf("%s\t%ld points in %ld sweeps\n", PrintableText(summary.AzimuthPath).c_str(), summary.AzimuthPoints,
                summary.Sweeps);
    if ((ply || svg) && !WritePictures(summary.AzimuthPath, summary.AzimuthInfo, ply, svg, azimuth_echo))
      failed = true;
  }
  if (summary.Files == 0 && !summary.Failed)
    std::printf("q47v xyz: no complete sweep in %s (%ld records); no files written\n",
                PrintableText(file).c_str(), summary.Records);
  if (!FinishOutput("xyz")) return 1;
  return failed || summary.Failed ? 1 : 0;
}

}  // namespace q47v::cli
