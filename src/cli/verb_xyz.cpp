// SPDX-License-Identifier: GPL-3.0-or-later
// q47v xyz FILE.47V --geometry G --out DIR: re-makes the survey files of a
// recording. The file plays through the program's playback, reply decoding, ping
// processing and survey outputs, as if auto-profile (or an auto-azimuth run) had
// been switched on just before its first record, and writes the .XYZ files the
// program would have written live, with PLY and SVG pictures beside them.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app_state.h"
#include "clock.h"
#include "display.h"
#include "files/output_file.h"
#include "files/playback.h"
#include "imaging/ping_pipeline.h"
#include "outputs/auto_profile.h"
#include "outputs/survey_plots.h"
#include "outputs/xyz_writer.h"
#include "survey_run.h"
#include "text_output.h"

namespace q47v::cli {

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
    "\n"
    "What each record carries takes effect as it is played: the profile offsets,\n"
    "chainage and elevation, the vertical angle offset, the units, the sound\n"
    "velocity, the azimuth position, the orientation replies and GPS positions.\n"
    "\n"
    "Prints the name and point count of each file. Exit status: 0 success (also\n"
    "when the recording holds no complete sweep), 1 a file or directory that cannot\n"
    "be read or written, 2 usage error.\n";

// Playback without a window: the file's restarts (the echo lines start afresh)
// and the survey messages, which go to the terminal.
class XyzDisplay final : public Display {
 public:
  explicit XyzDisplay(AppState& state) : state_(state) {}
  void PlaybackFileOpened(bool opened) override {
    if (opened) state_.FirstPing = true;
  }
  void PlaybackRestarted() override { state_.FirstPing = true; }
  void ShowFileMessage(const std::string& text, const std::string&, FileMessageIcon) override { message = text; }
  void ShowOutputFailure(const std::string& text, const std::string&) override {
    // Without the window's advice to go on: the run ends with a failure.
    std::string line = text.substr(0, text.find(std::string("\n") + kPingingGoesOnText));
    for (char& c : line)
      if (c == '\n') c = ' ';
    std::fprintf(stderr, "q47v xyz: %s\n", line.c_str());
    failed = true;
  }
  std::string message;
  bool failed = false;

 private:
  AppState& state_;
};

bool MakeDirectory(const std::string& path, std::string& why) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    why = "not a directory";
    return false;
  }
  // The whole path, as the help says: every missing folder on the way is made.
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (!ec) return true;
  why = ec.message();
  return false;
}

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

// The PLY and SVG files beside an .XYZ file, from the points as written.
bool WritePictures(const std::string& xyz_path, const PlotInfo& info_in, bool ply, bool svg) {
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
  if (svg && !WriteWholeOutput(stem + ".svg", SurveySvg(points, info), OutputMode::kNewName, &error)) {
    std::fprintf(stderr, "q47v xyz: cannot write %s.svg: %s\n", stem.c_str(), error.c_str());
    return false;
  }
  return true;
}

PlotInfo InfoNow(const AppState& state, SurveyGeometry geometry) {
  PlotInfo info;
  info.Geometry = geometry;
  info.Chainage = state.ProfileChainage.load();
  info.Elevation = state.ProfileElevation.load();
  info.XOffset = state.ProfileXOffset.load();
  info.DredgeDepth = state.ProfileDredgeDepth.load();
  info.Units = state.Units.load();
  info.ZeroDown = state.ZeroDown.load();
  return info;
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

  auto state = std::make_unique<AppState>();
  std::string error;
  std::vector<std::string> notes;
  if (!LoadSurveySettings(*state, ini, sets, error, notes)) {
    std::fprintf(stderr, "q47v xyz: %s\n", error.c_str());
    return error.rfind("cannot read", 0) == 0 ? 1 : 2;
  }
  for (const std::string& n : notes) std::fprintf(stderr, "q47v xyz: note: %s\n", n.c_str());
  std::string why;
  if (!MakeDirectory(out_dir, why)) {
    std::fprintf(stderr, "q47v xyz: cannot use the directory %s: %s\n", out_dir.c_str(), why.c_str());
    return 1;
  }

  XyzDisplay display(*state);
  state->RunMode = 1;
  state->PlotSpeed = 100;
  state->PixelZoom = 0;
  state->SurveyDirectory = out_dir;
  state->ReplaceLastNumber = false;  // a used-up numbering ends the run's files
  state->SurveyFilesInPlace = false;
  // No picture is made: ping processing runs whole but paints no echoes.
  state->PaintEchoes = false;
  if (!OpenPlayback(*state, display, file)) {
    std::fprintf(stderr, "q47v xyz: %s: %s\n", file.c_str(),
                 display.message.empty() ? "cannot open the file" : display.message.c_str());
    return 1;
  }
  ClearImage(*state, display);
  state->FirstPing = true;

  // Playback restores each record and decodes its reply; the survey starts with the
  // first record restored, and each accepted reply then takes the comm thread's
  // road: ping processing, then the end-of-sweep check.
  // Nothing is painted, and only painting reads the echo samples: they are not
  // unpacked (a software-detected profile point still has them decoded).
  Clock clock;
  PlaybackHooks hooks = LinkPlaybackHooks(clock, nullptr, PingDecode::kWithoutSamples);
  bool started = false, azimuth_open = false;
  const auto decode = hooks.process_reply;
  hooks.process_reply = [&](AppState& s, std::span<uint8_t> reply, const ReplyExpectation& expected) {
    AdoptRecordedSurveySettings(s);
    if (!started) {
      started = true;
      if (geometry == SurveyGeometry::kAzimuth)
        azimuth_open = StartReplayAzimuth(s, display, s.PlaybackDateText.get());
      else
        StartReplayProfile(s, display, geometry == SurveyGeometry::kVertical, prompt);
    }
    return decode(s, reply, expected);
  };

  long records = 0, files = 0, sweeps = 0, azimuth_points = 0;
  long long damaged_bytes = 0, damaged_stretches = 0, end_of_records = 0;
  bool failed = false;
  PlotInfo last_info = InfoNow(*state, geometry);
  for (;;) {
    const PlaybackStepResult r = PlaybackStep(*state, display, hooks);
    if (r.skipped_bytes > 0) {
      damaged_bytes += r.skipped_bytes;
      ++damaged_stretches;
    }
    if (r.outcome == PlaybackOutcome::kSearching) continue;
    if (r.outcome != PlaybackOutcome::kPlayed) break;  // the end of the file: one pass
    end_of_records = r.record_offset + r.record_size;
    ++records;
    if (!r.accepted) continue;
    if (state->ExpectedReplyType.load() != 'T') ProcessPlaybackPing(*state, display);
    const int collected = state->ProfilePoints.Count;
    const int sweeps_before = state->SweepsCompleted.load();
    const int files_before = state->XyzFilesWritten.load();
    if (ply || svg) last_info = InfoNow(*state, geometry);  // as the writer sees it
    ReplaySurveyTurn(*state, display, clock);
    if (state->SweepsCompleted.load() == sweeps_before) continue;
    ++sweeps;
    const long written = collected > 2 ? collected - 2 : 0;
    if (geometry == SurveyGeometry::kAzimuth) {
      azimuth_points += written;
      continue;
    }
    if (state->XyzFilesWritten.load() == files_before) continue;  // could not be written (told)
    ++files;
    const std::string path = state->LastXyzPath.get();
    std::printf("%s\t%ld points\n", PrintableText(path).c_str(), written);
    if ((ply || svg) && !WritePictures(path, last_info, ply, svg)) failed = true;
  }
  if (geometry == SurveyGeometry::kAzimuth) {
    const std::string path = state->LastXyzPath.get();
    const int files_before = state->XyzFilesWritten.load();
    FinishReplaySurvey(*state, display);
    if (azimuth_open && state->XyzFilesWritten.load() == files_before) {
      // Not whole (told): what reached the disk of it is removed.
      std::remove(path.c_str());
    } else if (azimuth_open && sweeps > 0) {
      ++files;
      std::printf("%s\t%ld points in %ld sweeps\n", PrintableText(path).c_str(), azimuth_points, sweeps);
      if ((ply || svg) && !WritePictures(path, InfoNow(*state, geometry), ply, svg)) failed = true;
    } else if (azimuth_open) {
      std::remove(path.c_str());  // no sweep: no file
    }
  }
  // Damage passed over (and what follows the last whole record) is said, as
  // q47v info says it: the sweeps there are missing from the files.
  const long long length = state->PlaybackFileLength.load();
  if (length > end_of_records && records > 0) {
    damaged_bytes += length - end_of_records;
    ++damaged_stretches;
  }
  if (damaged_bytes > 0)
    std::fprintf(stderr,
                 "q47v xyz: %s: %lld damaged bytes in %lld stretch%s passed over; the points there are missing "
                 "(q47v info lists them)\n",
                 PrintableText(file).c_str(), damaged_bytes, damaged_stretches, damaged_stretches == 1 ? "" : "es");
  ClosePlayback(*state);
  if (const int unnumbered = state->XyzSweepsNotNumbered.load(); unnumbered > 0)
    std::fprintf(stderr, "q47v xyz: %d sweep%s could not be written: the numbering of the date is used up\n",
                 unnumbered, unnumbered == 1 ? "" : "s");
  if (files == 0 && !display.failed)
    std::printf("q47v xyz: no complete sweep in %s (%ld records); no files written\n",
                PrintableText(file).c_str(), records);
  if (!FinishOutput("xyz")) return 1;
  return failed || display.failed ? 1 : 0;
}

}  // namespace q47v::cli
