// SPDX-License-Identifier: GPL-3.0-or-later
// The ping pipeline: ProcessPing takes every decoded ping, live or played back,
// through recording, panel updates, the echo image or the profile points and the
// overlays, in a fixed order. Also the whole-image operations (clear, grid
// redraw, colour table) that share PingImage's lock with it.
#pragma once

#include <chrono>

#include "imaging/grid.h"
#include "imaging/imaging_display.h"

struct AppState;
class Display;
struct SonarRecordFields;

struct PingInput {
  bool Valid = false;   // the reply passed the checks
  char Kind = 0;        // the kind decoded: 'G', 'M', 'P', 'T', 'A', 'O'
  bool Reverse = false; // playback runs backwards
  // Playback: the header of the record the ping came from (time, frequency,
  // sound velocity, user text, azimuth); nullptr live.
  const SonarRecordFields* Record = nullptr;
};

struct PingResult {
  // How long the caller should wait before the next ping (a "T" or invalid live
  // reply: 100 ms; playback pacing). The core never blocks.
  std::chrono::microseconds Wait{0};
  bool Drawn = false;   // pixels of the image changed
};

// Live mode with a recording file open, step 8 writes the ping through the
// recorder (files/recorder.h) before anything is drawn.
PingResult ProcessPing(AppState& state, Display& display, const PingInput& in);

// The input of a played-back ping: accepted, kind and record from the playback
// state (use as PlaybackHooks::process_ping; playback does its own pacing).
PingInput PlaybackPingInput(const AppState& state);
void ProcessPlaybackPing(AppState& state, Display& display);

// Playback pacing for d = 100 - PlotSpeed (1..100): milliseconds, fractions truncated.
int PlaybackDelay(int d);

// Zeroes the image, redraws the grid bits and shows the whole image.
void ClearImage(AppState& state, ImagingDisplay& display);
// Zeroes the echo lines, the per-position point table (kept while a playback file
// is open in playback mode: `keep_point_table`) and the recent points.
void ResetEchoLines(AppState& state, bool keep_point_table = false);
// Erases the grid drawn last and draws it with the current settings (sound
// velocity, mode, range, train, ProfileGrid, ZeroDown changes); shows the image.
void RedrawGrid(AppState& state, ImagingDisplay& display);
// The grid as the current settings ask for it.
GridParams CurrentGridParams(const AppState& state);
// Stores `Colors` and builds the palette; the panels and the image are redrawn.
int SelectColorTable(AppState& state, ImagingDisplay& display, int scheme);
