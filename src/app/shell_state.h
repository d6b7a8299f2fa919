// Run-time fields of the application shell (main window, keys, mouse, tool windows).
// Only the GUI thread writes them; the few that the comm thread reads are atomic.
#pragma once

#include <array>
#include <atomic>
#include <string>

#include "layout.h"

struct ShellState {
  std::atomic<int> HoldActive{0};
  std::atomic<int> DiagnosticsShown{0};
  std::atomic<int> HeadScanShown{0};
  std::atomic<int> OrientationShown{0};
  int MinimizedPortsClosed = 0;
  int ScreenWidth = 0, ScreenHeight = 0;
  int DelayCount = 0;

  // Keyboard entry of a range or gain.
  int KeyEntryMode = 0;  // 0 none, 1 range, 2 gain
  std::string KeyEntryText;
  float ArrowStep = 1.0f;
  int RepeatDelay = 500;
  std::array<int, kArrowButtonCount> ButtonPressed{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

  int ReadoutPending = 0;
  int MenuOpen = 0;
  int MeasureMode = 0;
  int ZoomFrozen = 0;
  int PreviousSectorSize = 0;
  int LastSentGridMode = -1;
};
