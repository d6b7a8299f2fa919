// SPDX-License-Identifier: GPL-3.0-or-later
// q47v video FILE --out OUT.mp4|.mkv|.webm [...]: plays a .47V file through the
// program's playback and ping processing, as `q47v render` does, and encodes the
// picture at each frame time with FFmpeg's libraries, the readouts riding along as
// a subtitle track.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app_state.h"
#include "survey_run.h"
#include "video_export.h"

namespace q47v::cli {

using survey::LoadSurveySettings;

namespace {

constexpr const char* kVideoUsage =
    "usage: q47v video FILE --out OUT.mp4|OUT.mkv|OUT.webm [--speed X] [--fps N]\n"
    "                  [--from TIME] [--to TIME] [--records A-B] [--scale N]\n"
    "                  [--lossless] [--no-subtitles] [--ini FILE] [--set KEY=VALUE]...\n"
    "\n"
    "Plays a .47V sonar file through the program's playback and ping processing (the\n"
    "pictures `q47v render` draws) and encodes the picture as it stands at each frame\n"
    "time: frame k shows every ping up to start + k x speed / fps on the recording's\n"
    "own clock, so a minute of recording at --speed 4 is 15 s of video. The range,\n"
    "mode, gain, date and time, GPS position and file name go into a subtitle track.\n"
    "\n"
    "  --out FILE       .mp4: H.264 (yuv420p, faststart) with mov_text subtitles;\n"
    "                   .webm: VP9 with WebVTT; .mkv: H.264 with WebVTT\n"
    "  --speed X        recording seconds per video second, 0.01..1000 (default 1)\n"
    "  --fps N          frames per second, 1..120 (default 25)\n"
    "  --from TIME, --to TIME\n"
    "                   only records stamped from/to TIME (HH:MM:SS or HH:MM:SS.hh)\n"
    "  --records A-B    only records A to B (counted from 1, as q47v dump numbers\n"
    "                   them)\n"
    "  --scale N        enlarge by N (1..8) with nearest neighbour (default 1)\n"
    "  --lossless       exact, reproducible pictures: H.264 RGB at QP 0 in .mkv and\n"
    "                   .mp4, VP9 lossless RGB in .webm\n"
    "  --no-subtitles   no subtitle track\n"
    "  --ini FILE       settings file for what the records do not carry (Colors,\n"
    "                   Units, UseGPS ...); default: the program's defaults\n"
    "  --set KEY=VALUE  override one setting, e.g. --set Colors=3\n"
    "\n"
    "The video is written as OUT.part and renamed when complete; on an error (a full\n"
    "disk, a missing codec) or an interrupt no file is left. Progress goes to stderr.\n"
    "Exit status: 0 success, 1 file or encoder error, 2 usage error.\n";

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

bool ParseNumber(const char* s, double low, double high, double& out) {
  if (!s || !*s) return false;
  char* end = nullptr;
  const double v = std::strtod(s, &end);
  if (*end || !(v >= low && v <= high)) return false;
  out = v;
  return true;
}

}  // namespace

int RunVideoVerb(int argc, char** argv) {
  video::VideoRequest req;
  std::string ini;
  std::vector<std::string> sets;
  auto usage_error = [](const std::string& text) {
    std::fprintf(stderr, "q47v video: %s\n", text.c_str());
    return 2;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    double n = 0;
    if (a == "--help" || a == "-h") {
      std::fputs(kVideoUsage, stdout);
      return 0;
    } else if (a == "--out") {
      const char* v = value();
      if (!v) return usage_error("--out takes a file name");
      req.output = v;
    } else if (a == "--speed") {
      if (!ParseNumber(value(), 0.01, 1000, req.speed)) return usage_error("--speed takes a number from 0.01 to 1000");
    } else if (a == "--fps") {
      if (!ParseNumber(value(), 1, 120, n) || n != static_cast<int>(n))
        return usage_error("--fps takes a whole number from 1 to 120");
      req.fps = static_cast<int>(n);
    } else if (a == "--scale") {
      if (!ParseNumber(value(), 1, 8, n) || n != static_cast<int>(n))
        return usage_error("--scale takes a whole number from 1 to 8");
      req.scale = static_cast<int>(n);
    } else if (a == "--from" || a == "--to") {
      const char* v = value();
      const auto t = v ? video::ParseClockTime(v) : std::nullopt;
      if (!t) return usage_error(a + " takes a time HH:MM:SS or HH:MM:SS.hh");
      (a == "--from" ? req.from : req.to) = t;
    } else if (a == "--records") {
      const char* v = value();
      int first = 0, last = 0;
      char tail = 0;
      if (!v || std::sscanf(v, "%d-%d%c", &first, &last, &tail) != 2 || first < 1 || last < first)
        return usage_error("--records takes A-B with 1 <= A <= B");
      req.first_record = first;
      req.last_record = last;
    } else if (a == "--lossless") {
      req.lossless = true;
    } else if (a == "--no-subtitles") {
      req.subtitles = false;
    } else if (a == "--ini") {
      const char* v = value();
      if (!v) return usage_error("--ini takes a file name");
      ini = v;
    } else if (a == "--set") {
      const char* v = value();
      if (!v) return usage_error("--set takes KEY=VALUE");
      sets.push_back(v);
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "q47v video: unknown option '%s'\n%s", a.c_str(), kVideoUsage);
      return 2;
    } else if (req.input.empty()) {
      req.input = a;
    } else {
      std::fprintf(stderr, "q47v video: more than one FILE\n%s", kVideoUsage);
      return 2;
    }
  }
  if (req.input.empty() || req.output.empty()) {
    std::fputs(kVideoUsage, stderr);
    return 2;
  }
  video::Container container;
  if (!video::ContainerForPath(req.output, container))
    return usage_error("--out must name a .mp4, .mkv or .webm file");
  if (req.from && req.to && *req.to < *req.from) return usage_error("--to lies before --from");

  auto state = std::make_unique<AppState>();
  std::string error;
  std::vector<std::string> notes;
  if (!LoadSurveySettings(*state, ini, sets, error, notes)) {
    std::fprintf(stderr, "q47v video: %s\n", error.c_str());
    return ini.empty() || error.rfind("--set", 0) == 0 ? 2 : 1;
  }
  for (const std::string& note : notes) std::fprintf(stderr, "q47v video: note: %s\n", note.c_str());

  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  struct sigaction old_int {}, old_term {};
  sigaction(SIGINT, &sa, &old_int);
  sigaction(SIGTERM, &sa, &old_term);
  long reports = 0;
  const video::VideoOutcome out = video::MakeVideo(
      *state, req,
      [&](const video::VideoProgress& p) {
        if (++reports % 10 == 0)
          std::fprintf(stderr, "q47v video: %ld records, %ld frames, %d%%\n", p.records, p.frames, p.percent);
        return g_interrupted == 0;
      },
      100);
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGTERM, &old_term, nullptr);
  if (out.status == 3) {
    std::fprintf(stderr, "q47v video: interrupted; no video written\n");
    return 1;
  }
  if (out.status != 0) {
    std::fprintf(stderr, "q47v video: %s; no video written\n", out.error.c_str());
    return 1;
  }
  const double ratio = out.wall_seconds > 0 ? out.recording_seconds / out.wall_seconds : 0;
  std::fprintf(stderr,
               "q47v video: %ld records read, %ld drawn, %ld frames (%.2f s of video, %ld subtitles) in %s, "
               "%.1f s of recording in %.1f s (%.1f times real time)\n",
               out.records, out.drawn, out.frames, out.video_seconds, out.cues, req.output.c_str(),
               out.recording_seconds, out.wall_seconds, ratio);
  return 0;
}

}  // namespace q47v::cli
