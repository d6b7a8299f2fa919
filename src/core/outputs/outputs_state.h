// SPDX-License-Identifier: GPL-3.0-or-later
// Run-time fields of XYZ export, auto-profile and auto-azimuth, part of AppState.
// The menu raises the requests on the GUI thread; the scans themselves advance on
// the comm thread. Fields read across threads are atomic.
#pragma once

#include <atomic>
#include <string>

#include "outputs/xyz_writer.h"
#include "settings/shared_text.h"

struct OutputsState {
  // --- Requests from the menu, taken by the comm thread on its next turn ---------
  std::atomic<int> AutoProfileRequest{0};
  std::atomic<int> AutoProfileVertical{1};  // 1 vertical (chainage), 0 horizontal (borehole)
  std::atomic<int> AutoAzimuthRequest{0};

  // --- Auto-profile (AutoProfileScanActive is the link's) ------------------------
  std::atomic<int> AutoProfileEnabledBefore{0};  // a change from 0 to 1 starts a fresh scan
  std::atomic<float> PayoutIncrement{0.0f};      // horizontal scan, display unit, not saved
  std::atomic<int> PreviousHeadPosition{0};      // 360-degree scans
  std::atomic<int> PreviousSweepDirection{0};    // sector scans
  // A fresh scan takes the head's direction from the first ping after its start.
  std::atomic<bool> SweepDirectionPending{false};
  bool ReplayStartPending = false;                // a replay's start position waits for its first ping
  bool ReplayPromptsForScan = false;              // a replay answers the prompt for another scan
  std::atomic<int> SweepsCompleted{0};           // complete sweeps since the program started

  // --- Auto-azimuth -------------------------------------------------------------
  std::atomic<int> AutoAzimuthEnabled{0};
  std::atomic<int> AutoAzimuthTotalSweep{0};
  std::atomic<int> AutoAzimuthAccumulated{0};
  std::atomic<int> AutoAzimuthFirstStep{0};
  std::atomic<int> VerticalScanMenuEnabled{1};   // what the menu item shows

  // --- The .XYZ file: the comm thread's while the link runs, the main thread's after
  XyzFile Xyz;
  std::atomic<int> XyzFileOpen{0};
  bool XyzFailureShown = false;                  // once per scan (per file of a run)
  SharedText LastXyzPath;                        // the last .XYZ file written
  std::atomic<int> XyzFilesWritten{0};
  std::atomic<int> XyzWriteFailures{0};             // files that could not be written whole
  SharedText LastCapturePath;                    // the last after-scan capture
  // Where the .XYZ files and after-scan captures go; set before a run starts.
  std::string SurveyDirectory = ".";
  // When a date's numbering is used up (…-9999.xyz exists): the window replaces
  // that file, as it always did, and says so once; the tools set this off and
  // write no more files rather than replace one.
  bool ReplaceLastNumber = true;
  // The window's survey files grow under their names; the tools' take their names
  // only when whole.
  bool SurveyFilesInPlace = true;
  bool LastNumberShown = false;
  std::atomic<int> XyzSweepsNotNumbered{0};      // sweeps not written for want of a number
  DatedNames XyzNames;                           // the comm thread's (the player's in a replay)
  DatedNames CaptureNames;
};
