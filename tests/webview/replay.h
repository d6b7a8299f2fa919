// SPDX-License-Identifier: GPL-3.0-or-later
// Plays a .47V recording through the program's own playback and ping processing,
// a record at a time, as the window does in file mode.
#pragma once

#include <memory>
#include <string>

#include "clock.h"
#include "display.h"
#include "files/playback.h"
#include "imaging/ping_pipeline.h"
#include "app_state.h"

class Replay {
 public:
  Replay(AppState& state, const std::string& path) : state_(state), hooks_(LinkPlaybackHooks(clock_, nullptr)) {
    state_.RunMode = 1;
    state_.PlotSpeed = 100;
    state_.PixelZoom = 0;
    opened_ = OpenPlayback(state_, display_, path);
    ClearImage(state_, display_);
    state_.FirstPing = true;
  }
  bool Opened() const { return opened_; }
  // Plays one record; at the end of the file playback starts again from the top.
  void Step() {
    const PlaybackStepResult r = PlaybackStep(state_, display_, hooks_);
    if (r.outcome == PlaybackOutcome::kPlayed && r.accepted && state_.ExpectedReplyType.load() != 'T')
      ProcessPlaybackPing(state_, display_);
  }
  void Colours(int scheme) { SelectColorTable(state_, display_, scheme); }
  Display& display() { return display_; }

 private:
  class RestartDisplay final : public Display {
   public:
    explicit RestartDisplay(AppState& s) : s_(s) {}
    void PlaybackFileOpened(bool opened) override {
      if (opened) s_.FirstPing = true;
    }
    void PlaybackRestarted() override { s_.FirstPing = true; }
    void PlaybackSeeked() override { s_.FirstPing = true; }

   private:
    AppState& s_;
  };
  AppState& state_;
  Clock clock_;
  RestartDisplay display_{state_};
  PlaybackHooks hooks_;
  bool opened_ = false;
};
