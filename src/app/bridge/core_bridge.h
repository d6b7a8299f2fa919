// SPDX-License-Identifier: GPL-3.0-or-later
// The one place where the program calls into the core subsystems: settings, head
// link, GPS, files and imaging. The main window speaks only to this class, so the
// window code stays the same whatever shape each subsystem's calls take.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "imaging/color_tables.h"
#include "imaging/ping_image.h"
#include "settings/port_paths.h"

struct AppState;
class Display;
class Clock;
class LivePingSink;
struct PlaybackHooks;

class CoreBridge {
 public:
  CoreBridge(AppState& state, Display& display, const Clock& clock);
  ~CoreBridge();

  AppState& State() { return state_; }
  const Clock& GetClock() const { return clock_; }
  Display& GetDisplay() { return display_; }

  // Settings and ports.
  void BuildDefaultConfig();
  void LoadSettings();
  bool SaveSettings();
  void ProbePorts();
  // The device of each of COM1 ... COM8. Setting them writes the changed ones into
  // the settings file's "Serial Ports" section at once.
  const ComPortPaths& PortPaths() const { return paths_; }
  void SetPortPaths(const ComPortPaths& paths);
  bool GpsPortAvailable() const;
  int CalibrateDelay();

  // Head link and GPS.
  void StartHeadLink();
  void StopHeadLink();
  void StartGps();
  void StopGps();
  bool HeadLinkRunning() const;
  void ZeroPingCounters();
  void ClearGpsFix();
  void ResetOrientation();
  void TickGps();

  // Surveys: an auto-azimuth run that cannot go on ends with its message; the
  // run's .XYZ file is closed whole when the program closes.
  void EndAutoAzimuthRun();
  void CloseSurveyFile();

  // Files.
  bool Recording() const;
  bool StartRecording(const std::string& path);
  void StopRecording();
  bool Copying() const;
  bool StartCopy(const std::string& path);
  void StopCopy();
  bool PlaybackOpen() const;
  // Opens a playback file (messages and title through the display).
  bool OpenPlayback(const std::string& path);
  void ClosePlayback();
  // Plays one record; returns the pacing delay in milliseconds before the next.
  int PlayNextRecord();
  void SeekPercent(int percent);
  int PlaybackPercent() const;
  void ToggleReversePlayback();
  void ToggleAutoFrameCapture();
  void PlotSpeedUp();
  void PlotSpeedDown();

  // Imaging.
  PingImage& Image();
  PaletteTable Palette() const;
  void SelectColorTable(int scheme);
  void ClearImage();
  void ResetEchoLines();
  void RedrawGridLines();
  int PlaybackFrequency() const;

 private:
  std::string PortPath(int index) const;
  // Reports a port that exists but that this user may not open, with how to get access.
  void ReportNoPermission(const std::string& path);

  AppState& state_;
  Display& display_;
  const Clock& clock_;
  ComPortPaths paths_;
  bool port_problem_shown_ = false;  // the status line says why the head port did not open
  std::string port_note_;            // why the probe moved the head port, until the link starts
  std::unique_ptr<LivePingSink> sink_;
  std::unique_ptr<PlaybackHooks> hooks_;
};
