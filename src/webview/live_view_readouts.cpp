// SPDX-License-Identifier: GPL-3.0-or-later
#include "webview/live_view_readouts.h"

#include "gps/gps_display.h"
#include "app_state.h"
#include "settings/readout_texts.h"

namespace webview {

namespace {

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return s.substr(i);
}

std::string GpsText(const AppState& state) {
  if (state.RunMode.load() == 0) {
    if (state.UseGPS.load() != 1) return {};
    if (state.GpsAge.load() >= 5) return kGpsNotAvailableText;
    const GpsData data = state.GpsSnapshot();
    const char* text = data.GpsPositionText.data();
    if (text[0] == '\0') return kGpsNotAvailableText;
    return Trimmed(std::string(text, 12)) + ", " + Trimmed(std::string(text + 12, 12));
  }
  if (state.PlaybackGpsPresent.load() == 0) return {};
  // The playback fields are written by the thread that plays the file; the lock
  // keeps the copy whole.
  auto& s = const_cast<AppState&>(state);
  std::lock_guard lock(s.PlaybackGpsMutex);
  if (s.PlaybackGps.latitude.empty()) return kGpsNotAvailableText;
  return Trimmed(s.PlaybackGps.latitude) + ", " + Trimmed(s.PlaybackGps.longitude);
}

}  // namespace

Readouts ReadReadouts(const AppState& state, const Clock& clock) {
  Readouts r;
  const bool playback = state.RunMode.load() == 1;
  const int mode = state.GridMode.load();
  r.source = playback ? "FILE" : "HEAD";
  r.range = RangeText(state.Range.load(), state.Units.load());
  r.gain = GainText(state.Gain.load());
  r.mode = ModeText(mode);
  r.speed = SpeedText(state.Speed.load(), mode);
  r.sector = SectorText(state.SectorSize.load(), mode);
  r.train = TrainText(state.Train.load(), state.SSTrain.load(), mode);
  r.frequency = FrequencyText(playback ? state.PlaybackFrequency.load() : state.Frequency.load());
  if (!playback && state.ConfigType.load() == 1) r.frequency += " (Auto)";
  if (playback) {
    const std::string date = state.PlaybackDateText.get(), time = state.PlaybackTimeText.get();
    r.dateTime = date.empty() && time.empty() ? std::string() : date + "  " + time;
  } else {
    r.dateTime = DateTimeText(clock.Now());
  }
  r.gps = GpsText(state);
  r.status = state.StatusText.get();
  if (playback) {
    if (state.PlaybackFileOpen.load()) {
      r.file = state.PlaybackFileName.get();
      r.position = std::to_string(state.PlaybackPercent.load()) + " %";
    }
  } else if (state.RecordFileOpen.load()) {
    r.file = state.RecordFileName.get();
    r.position = std::to_string(state.RecordBytes.load() / 1024) + " kB";
  }
  r.repRate = state.Shown().Ping.RepRateText;
  r.pings = state.PingsProcessed.load();
  return r;
}

}  // namespace webview
