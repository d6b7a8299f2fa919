// SPDX-License-Identifier: GPL-3.0-or-later
// The program's life cycle: logo while the delay is calibrated, main window,
// data source, the event loop, and the orderly close on quit or signal.
// The caller creates the QApplication.
#pragma once

#include <string>

// A scripted session for the demo and the screenshots: record the live pings to a
// file, capture the window after a while, then close as a logout would.
struct DemoPlan {
  std::string record_path;   // empty: no recording
  std::string capture_path;  // PNG of the window, taken just before closing
  int seconds = 10;          // how long the session runs
  std::string playback_path; // FILE mode: play this file instead of the head
  std::string survey;        // "vertical", "horizontal" or "azimuth": start that survey
};

// Runs the program; with a plan, runs that session and returns. With `open_file`
// it starts in the FILE data source playing that file, as the File menu would.
int RunWinQ47V(const DemoPlan* plan = nullptr, const std::string& open_file = {});
