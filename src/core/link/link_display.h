// SPDX-License-Identifier: GPL-3.0-or-later
// What the core asks the user interface to redraw, show or ask for the head link
// (status line, diagnostics, scan window, azimuth and orientation windows).
// Every call has a do-nothing default so that headless fakes override only what
// they watch. Calls may come from the comm thread; the GUI forwards them to its
// own thread.
#pragma once

#include <string>

#include "clock.h"

// Colour sets of the status line at the foot of the main window: palette entries
// for text, fill and frame (255 stands for white text).
struct StatusColours {
  int text = 255;
  int fill = 127;
  int frame = 123;
  bool operator==(const StatusColours&) const = default;
};
inline constexpr StatusColours kStatusMessageColours{255, 127, 123};
inline constexpr StatusColours kStatusScanColours{255, 124, 123};
inline constexpr StatusColours kStatusEraseColours{121, 121, 121};

class LinkDisplay {
 public:
  virtual ~LinkDisplay() = default;
  // The status line shows `text` centred on x = 301, y = 513, in `colours`.
  virtual void ShowStatus(const std::string& /*text*/, const StatusColours& /*colours*/) {}
  // The status line is erased (erase colours) and the grid under it redrawn.
  virtual void EraseStatus() {}
  // "Azimuth Drive Not Found" at (301, 534) is drawn (true) or its band cleared.
  virtual void ShowAzimuthNotFound(bool /*shown*/) {}
  // The data indicator lamp: off while no data arrive.
  virtual void DataIndicator(bool /*on*/) {}
  // Windows to redraw when shown.
  virtual void DiagnosticsChanged() {}
  virtual void ScanWindowChanged() {}
  virtual void AzimuthWindowChanged() {}
  virtual void OrientationWindowChanged() {}
  // Once per change of the local clock's second on the comm thread (date/time box).
  virtual void ClockTick(const LocalTime& /*now*/) {}
  // A failure the user must see in a message box (warning icon).
  virtual void LinkError(const std::string& /*text*/, const std::string& /*caption*/) {}
};
