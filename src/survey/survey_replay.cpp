// SPDX-License-Identifier: GPL-3.0-or-later
#include "survey_replay.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>

#include "app_state.h"
#include "clock.h"
#include "display.h"
#include "files/playback.h"
#include "imaging/ping_pipeline.h"
#include "outputs/auto_profile.h"
#include "survey_run.h"
#include "files/printable_text.h"

namespace q47v::survey {

namespace {

// Playback without a window: the file's restarts (the echo lines start afresh)
// and the survey messages, which go to the terminal.
class ReplayDisplay final : public Display {
 public:
  ReplayDisplay(AppState& state, std::function<void(const std::string&)> tell)
      : state_(state), tell_(std::move(tell)) {}
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
    tell_(line);
    failed = true;
  }
  std::string message;
  bool failed = false;

 private:
  AppState& state_;
  std::function<void(const std::string&)> tell_;
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

// A private directory for the auto-azimuth file of a replay that keeps no .XYZ
// (the writer needs its file open to take the sweeps), removed at the end.
class ScratchDirectory {
 public:
  bool Make() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/q47v-replay-XXXXXX";
    if (!::mkdtemp(pattern.data())) return false;
    path_ = pattern;
    return true;
  }
  ~ScratchDirectory() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

int ReplaySurvey(const ReplayOptions& options, const std::function<bool(const ReplaySweep&)>& sweep,
                 ReplaySummary& summary) {
  const std::string verb_name = options.Verb;
  const std::function<void(const std::string&)> tell =
      options.Message ? options.Message : [verb_name](const std::string& m) {
        std::fprintf(stderr, "q47v %s: %s\n", verb_name.c_str(), m.c_str());
      };
  auto state = std::make_unique<AppState>();
  std::string error;
  std::vector<std::string> notes;
  if (!LoadSurveySettings(*state, options.Ini, options.Sets, error, notes)) {
    tell(error);
    return error.rfind("cannot read", 0) == 0 ? 1 : 2;
  }
  for (const std::string& n : notes) tell("note: " + n);
  const bool keep_xyz = !options.XyzDirectory.empty();
  ScratchDirectory scratch;
  std::string directory = options.XyzDirectory;
  if (keep_xyz) {
    std::string why;
    if (!MakeDirectory(directory, why)) {
      tell("cannot use the directory " + directory + ": " + why);
      return 1;
    }
  } else {
    if (!scratch.Make()) {
      tell(std::string("cannot make a temporary directory: ") + std::strerror(errno));
      return 1;
    }
    directory = scratch.Path();
  }

  const SurveyGeometry geometry = options.Geometry;
  ReplayDisplay display(*state, tell);
  state->RunMode = 1;
  state->PlotSpeed = 100;
  state->PixelZoom = 0;
  state->SurveyDirectory = directory;
  state->ReplaceLastNumber = false;  // a used-up numbering ends the run's files
  state->SurveyFilesInPlace = false;
  // No picture is made: ping processing runs whole but paints no echoes.
  state->PaintEchoes = false;
  if (!OpenPlayback(*state, display, options.File)) {
    tell(options.File + ": " + (display.message.empty() ? "cannot open the file" : display.message));
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
      if (geometry == SurveyGeometry::kAzimuth) {
        azimuth_open = StartReplayAzimuth(s, display, s.PlaybackDateText.get());
      } else {
        StartReplayProfile(s, display, geometry == SurveyGeometry::kVertical, options.Prompt);
        if (!keep_xyz) s.AutoProfileXYZ = 0;
      }
    }
    return decode(s, reply, expected);
  };

  // What the point records do not keep, by point index in the scan.
  std::vector<std::string> utc_times(kMaxProfilePoints + 1);
  std::vector<bool> oriented(kMaxProfilePoints + 1);
  bool orientation_seen = false;
  bool stopped = false;
  long long damaged_bytes = 0, damaged_stretches = 0, end_of_records = 0;
  for (;;) {
    const PlaybackStepResult r = PlaybackStep(*state, display, hooks);
    if (r.skipped_bytes > 0) {
      damaged_bytes += r.skipped_bytes;
      ++damaged_stretches;
    }
    if (r.outcome == PlaybackOutcome::kSearching) continue;
    if (r.outcome != PlaybackOutcome::kPlayed) break;  // the end of the file: one pass
    end_of_records = r.record_offset + r.record_size;
    ++summary.Records;
    if (options.Progress && summary.Records % 64 == 0 &&
        !options.Progress(end_of_records, state->PlaybackFileLength.load())) {
      summary.Cancelled = true;
      break;
    }
    if (!r.accepted) continue;
    // The orientation module's replies play as records of their own.
    if (state->ExpectedReplyType.load() == 'O') orientation_seen = true;
    const int before = state->ProfilePoints.Count;
    if (state->ExpectedReplyType.load() != 'T') ProcessPlaybackPing(*state, display);
    const int collected = state->ProfilePoints.Count;
    if (collected > before && collected <= kMaxProfilePoints) {
      std::string utc;
      {
        std::lock_guard lock(state->PlaybackGpsMutex);
        utc = state->PlaybackGps.utc_time;
      }
      for (int i = before; i < collected; ++i) {
        utc_times[static_cast<std::size_t>(i)] = utc;
        oriented[static_cast<std::size_t>(i)] = orientation_seen;
      }
    }
    const int sweeps_before = state->SweepsCompleted.load();
    const int files_before = state->XyzFilesWritten.load();
    ReplaySweep done;
    done.Settings = XyzSettingsFrom(*state);  // as the writer takes them
    done.AzimuthSteps = state->AzimuthPosition.load();
    done.Info = InfoNow(*state, geometry);
    ReplaySurveyTurn(*state, display, clock);
    if (state->SweepsCompleted.load() == sweeps_before) continue;
    ++summary.Sweeps;
    // The sweep's records stay in the store after the scan is reset (only the
    // count goes back to 0): they are the ones the writer has just taken.
    const int n = std::min(collected, kMaxProfilePoints);
    const long written = n > 2 ? n - 2 : 0;
    done.Number = static_cast<int>(summary.Sweeps);
    if (written > 0) {
      done.Points = std::span<const ProfilePoint>(state->ProfilePoints.Records.data() + 1,
                                                  static_cast<std::size_t>(written));
      done.UtcTimes.assign(utc_times.begin() + 1, utc_times.begin() + 1 + written);
      done.Oriented.assign(oriented.begin() + 1, oriented.begin() + 1 + written);
    }
    if (geometry == SurveyGeometry::kAzimuth) {
      summary.AzimuthPoints += written;
    } else if (keep_xyz && state->XyzFilesWritten.load() != files_before) {
      ++summary.Files;
      done.XyzPath = state->LastXyzPath.get();
    }
    if (!sweep(done)) {
      stopped = true;
      break;
    }
  }
  if (geometry == SurveyGeometry::kAzimuth) {
    const std::string path = state->LastXyzPath.get();
    const int files_before = state->XyzFilesWritten.load();
    FinishReplaySurvey(*state, display);
    if (azimuth_open && state->XyzFilesWritten.load() == files_before) {
      // Not whole (told): what reached the disk of it is removed.
      std::remove(path.c_str());
    } else if (azimuth_open && summary.Sweeps > 0 && keep_xyz) {
      ++summary.Files;
      summary.AzimuthPath = path;
      summary.AzimuthInfo = InfoNow(*state, geometry);
    } else if (azimuth_open) {
      std::remove(path.c_str());  // no sweep (or no file kept): no file
    }
  }
  // Damage passed over (and what follows the last whole record) is said, as
  // q47v info says it: the sweeps there are missing from the outputs.
  const long long length = state->PlaybackFileLength.load();
  if (length > end_of_records && summary.Records > 0) {
    damaged_bytes += length - end_of_records;
    ++damaged_stretches;
  }
  if (damaged_bytes > 0)
    tell(PrintableText(options.File) + ": " + std::to_string(damaged_bytes) + " damaged bytes in " +
         std::to_string(damaged_stretches) + " stretch" + (damaged_stretches == 1 ? "" : "es") +
         " passed over; the points there are missing (q47v info lists them)");
  ClosePlayback(*state);
  if (const int unnumbered = state->XyzSweepsNotNumbered.load(); unnumbered > 0)
    tell(std::to_string(unnumbered) + " sweep" + (unnumbered == 1 ? "" : "s") +
         " could not be written: the numbering of the date is used up");
  if (display.failed || stopped) summary.Failed = true;
  if (options.Progress && !summary.Cancelled && !options.Progress(length, length)) summary.Cancelled = true;
  return 0;
}

}  // namespace q47v::survey
