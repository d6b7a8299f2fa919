// SPDX-License-Identifier: GPL-3.0-or-later
// Run-time fields of the ping pipeline, PingImage, palette, profile points, grid and measurement, part of AppState.
// Fields read across threads are atomic or behind a lock. PingImage's lock also
// guards the echo lines, the profile point tables and the grid record, which the
// pipeline thread and the main thread (clears, grid changes) both touch.
#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <string>

#include "imaging/color_tables.h"
#include "imaging/grid.h"
#include "imaging/ping_image.h"
#include "imaging/profile_points.h"
#include "imaging/scan_conversion.h"

struct ImagingState {
  // --- The picture and its colours -------------------------------------------
  PingImage Image;
  // The 256 colours in use; written by SelectColorTable, read by the blit.
  PaletteTable Palette() const {
    std::lock_guard lock(palette_lock_);
    return palette_;
  }
  void SetPalette(const PaletteTable& p) {
    std::lock_guard lock(palette_lock_);
    palette_ = p;
  }

  // --- Under Image.Lock() ------------------------------------------------------
  EchoLines Echo;                       // previous, current, next
  ProfilePointTable PointTable{};       // per head position
  RecentProfilePoints RecentPoints;     // Mix modes
  DredgeLineState Dredge;
  WedgePlans WedgePlanCache;            // pixels of the wedges of positions already drawn
  // False for a player that makes no picture (q47v xyz): the echoes are not painted,
  // while every other step of ping processing (sweep watch, profile points) runs.
  bool PaintEchoes = true;
  bool GridShown = false;               // the grid bits are in the image...
  GridParams GridShownParams;           // ...drawn with these parameters

  // --- Requests from other threads, consumed by the next ping -------------------
  std::atomic<bool> ClearRequest{false};    // "Clear Screen Now" and commands that need a fresh image
  std::atomic<bool> FirstPing{false};       // set when playback of a file starts
  std::atomic<bool> SettingsCheck{false};   // re-check width, profile mode and sector size

  // --- Auto-profile sweep watch (the scan sets these, ping processing watches) --
  std::atomic<bool> AutoProfileWaitSweepStart{false};
  std::atomic<int> AutoProfileStartPosition{0};    // head position that starts the sweep
  int SweepStartDirection = 0;                     // direction bit at the sweep start
  int PreviousSweepPosition = 1200;
  ProfilePointStore ProfilePoints;                 // records of the running scan (pipeline thread)

  // --- Pipeline thread only --------------------------------------------------
  int LastDataBits = -1;          // step 9: width, profile mode and sector size last drawn
  int LastProfileMode = -1;
  int LastSectorSize = -1;
  int LastRecordSecond = -1;      // playback: time stamp last shown
  int DateRedrawCount = 0;
  int FrequencyShown = -1;
  int LastGridModeDrawn = -1;
  int LastRangeDrawn = -1;
  float AdoptedSoundVelocity = -1.0f;
  std::string UserTextShown;
  int LastAzimuthShown = -1;
  bool ActivityToggle = false;

 private:
  mutable std::mutex palette_lock_;
  PaletteTable palette_ = BuildPalette(0);
};
