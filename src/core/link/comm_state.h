// SPDX-License-Identifier: GPL-3.0-or-later
// Run-time fields of the comm thread and the serial ports (open port and thread,
// no-data counts, status line, azimuth positioning and scan timing, the port probe),
// part of AppState. Written by the comm thread and read by the GUI: atomic or locked.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <string>

#include "settings/shared_text.h"

class HeadPort;
class CommThread;

struct CommState {
  // The open head port (handed to the comm thread when the link starts) and the thread.
  std::shared_ptr<HeadPort> HeadPortHandle;
  SharedText HeadPortPath;
  std::shared_ptr<CommThread> CommThreadHandle;
  // Run flag: the result of setting the line; cleared to stop the thread.
  std::atomic<int> CommThreadRunning{0};

  // No-data detection.
  std::atomic<int> NoDataSeconds{0};
  std::atomic<int> NoDataShowCount{0};
  std::atomic<int> NoDataBlink{0};
  std::atomic<int> LastSecondSeen{-1};
  std::atomic<int> ClockSecond{-1};
  // The device went away (unplugged, simulator gone): the thread reopens it.
  std::atomic<bool> HeadPortLost{false};
  std::atomic<int> HeadPortReopens{0};
  // Serial errors remembered for the diagnostics window.
  std::atomic<unsigned> CommErrorFlags{0};
  std::atomic<int> CommErrorQueued{0};

  // Azimuth drive positioning.
  std::atomic<bool> AzimuthMoveRequest{false};
  std::atomic<int> AzimuthWaitSeconds{0};
  std::atomic<int> AzimuthCommandCount{0};
  std::atomic<bool> AzimuthNotFoundShown{false};
  // A drive that reports its position while it turns is followed until it is at the
  // target: the last position it reported and the seconds since that changed.
  std::atomic<int> AzimuthLastReported{-1};
  std::atomic<int> AzimuthStallSeconds{0};
  std::atomic<char> LastReplyKind{0};

  // Head scan timing and windows.
  std::atomic<int> ScanLastSecond{-1};
  std::atomic<bool> ScanWindowShown{false};
  std::atomic<bool> OrientationWindowShown{false};

  // What the status line shows now (the GUI repaints it from here).
  SharedText StatusText;
  std::atomic<int> StatusFill{121};

  // Counters for the command-line logger, the benchmarks and the diagnostics.
  std::atomic<long> CommandsSent{0};
  std::atomic<long> RepliesAccepted{0};
  std::atomic<long> RepliesRejected{0};
  std::atomic<long> PingsProcessed{0};

  // Port probe: which of COM1..COM8 opened, and which one the head link took.
  std::array<std::atomic<bool>, 8> ComPortPresent{};
  std::array<std::atomic<bool>, 8> ComPortTaken{};
};
