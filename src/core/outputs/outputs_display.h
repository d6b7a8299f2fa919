// SPDX-License-Identifier: GPL-3.0-or-later
// What the core asks the user interface to show or ask for auto-profile and
// auto-azimuth: the scan dialogs, the save question, the after-scan capture and the
// messages. Every call has a default that answers as nobody at the keyboard would
// (Cancel, save, no capture), so that headless fakes override only what they watch.
// The questions come from the comm thread, which waits for the answer: the GUI
// runs them on its own thread and gives up when the link stops.
#pragma once

#include <array>
#include <string>

// The SNAPSHOT (vertical) and SNAPSHOT2 (horizontal) dialogs as they open.
struct SnapshotForm {
  bool Vertical = true;
  bool Enabled = false;
  // Fields 100, 200, 300, 400: vertical chainage, elevation, offset, dredge depth;
  // horizontal Y offset, elevation less the payout, X offset, payout increment.
  std::array<float, 4> Values{};
  bool Xyz = true, Bmp = true, Confirm = true, Prompt = true;
  int Units = 0;
};

struct SnapshotAnswer {
  bool Accepted = false;         // "Ok"
  bool DefaultsPressed = false;  // "Defaults" took effect (also when cancelled later)
  bool Enabled = false;
  std::array<float, 4> Values{};
  bool Xyz = true, Bmp = true, Prompt = true;
  int Confirm = 1;               // 0, 1, or 2 for the third (indeterminate) state
};

// The AUTOAZIMUTH dialog as it opens.
struct AzimuthForm {
  bool Enabled = false;
  int StartSteps = 600, StopSteps = 500, IncSteps = 100;
  bool Xyz = true;
  double SweepSeconds = 0;  // 360-degree sweep at the current range and speed
  int Sector = 360;         // working sector size
};

struct AzimuthAnswer {
  bool Accepted = false;          // "Ok" with three accepted angles
  bool DefaultsPressed = false;
  bool XyzBoxClicked = false;     // an open XYZ file is closed at once
  bool Enabled = false;
  double Start = 0, Stop = 0, Increment = 30;  // degrees as typed
  bool Xyz = true;
};

// The last line of a survey file failure in the window; a tool that stops on the
// failure leaves it out.
inline constexpr const char* kPingingGoesOnText = "Check the disk; pinging goes on.";

class OutputsDisplay {
 public:
  virtual ~OutputsDisplay() = default;
  virtual SnapshotAnswer AskSnapshot(const SnapshotForm& /*form*/) { return {}; }
  virtual AzimuthAnswer AskAutoAzimuth(const AzimuthForm& /*form*/) { return {}; }
  // "Save This Profile?" titled "Auto-Profile": true for Yes.
  virtual bool AskSaveProfile() { return true; }
  // The after-scan capture of the window to `path`; false when nothing was written.
  virtual bool CaptureScan(const std::string& /*path*/) { return false; }
  // "Scan complete." titled "Auto-Azimuth", OK button; returns when dismissed.
  virtual void ShowScanComplete() {}
  // A survey file could not be written: told once per scan, without waiting.
  virtual void ShowOutputFailure(const std::string& /*text*/, const std::string& /*caption*/) {}
  // The menu item "&Vertical Scan (Chainage) ..." is enabled or greyed.
  virtual void SetVerticalScanMenu(bool /*enabled*/) {}
};
