// SPDX-License-Identifier: GPL-3.0-or-later
// A .47V recording made into a video: the file is played through the program's own
// playback and ping processing (settings restored from each record, the same
// ProcessPing as the window and `q47v render`), and the picture as it stands at each
// frame time is encoded. Frame k shows every ping whose record time is at most
// start + k x speed / fps on the recording's own clock, start being the time of the
// first record of the chosen span; the last frame is the first one at or after the
// last record. The readouts ride along as a subtitle track, one cue per change.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "video_encoder.h"

struct AppState;

namespace q47v::video {

struct VideoRequest {
  std::string input;   // the .47V file
  std::string output;  // .mp4, .mkv or .webm
  double speed = 1.0;  // recording seconds per video second
  int fps = 25;
  int scale = 1;       // nearest-neighbour enlargement, 1..8
  bool lossless = false;
  bool subtitles = true;
  int first_record = 1, last_record = -1;  // 1-based, as read from the start; -1: to the end
  // Time of day on the recording's clock, in hundredths of a second.
  std::optional<int64_t> from, to;
  int threads = 0;
};

struct VideoProgress {
  long records = 0;  // records read
  long frames = 0;   // frames encoded
  int percent = 0;   // of the file read
};

struct VideoOutcome {
  int status = 0;        // 0 done, 1 file or encoder error, 3 cancelled
  std::string error;
  long records = 0, drawn = 0, frames = 0, cues = 0;
  double video_seconds = 0, recording_seconds = 0, wall_seconds = 0;
};

// `state` carries the settings to play with (colour table, units, GPS display);
// the playback file is opened here. `progress` is called about every
// `progress_interval_ms` and after the last frame; returning false cancels (no file
// is left).
VideoOutcome MakeVideo(AppState& state, const VideoRequest& request,
                       const std::function<bool(const VideoProgress&)>& progress, int progress_interval_ms = 1000);

// The subtitle text shown with the picture: the recording's name, date and time,
// range, mode and gain, and the GPS position when the file carries one.
std::string ReadoutText(const AppState& state, const std::string& recording_name);

// "HH:MM:SS" or "HH:MM:SS.hh" (also "HH:MM") in hundredths of a second of the day.
std::optional<int64_t> ParseClockTime(const std::string& text);

// The record's time on the recording's clock, hundredths of a second from a fixed
// day; nullopt when its date or time text cannot be read.
std::optional<int64_t> RecordClock(const std::string& date_text, const std::string& time_text, int hundredths);

}  // namespace q47v::video
