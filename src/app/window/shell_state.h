// SPDX-License-Identifier: GPL-3.0-or-later
// Run-time fields of the application shell shared by the main window, the tool
// windows and the comm thread. Only the GUI thread writes them; the few that the
// comm thread reads are atomic. What one piece of the window keeps for itself (the
// entry box, the held arrows, the mouse on the picture) lives in that piece.
#pragma once

#include <atomic>

struct ShellState {
  std::atomic<int> HoldActive{0};
  std::atomic<int> DiagnosticsShown{0};
  std::atomic<int> HeadScanShown{0};
  std::atomic<int> OrientationShown{0};
  int MinimizedPortsClosed = 0;
  int ScreenWidth = 0, ScreenHeight = 0;
  int DelayCount = 0;
  int MenuOpen = 0;
};
