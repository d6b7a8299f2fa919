// The one place where the program calls into the core subsystems: settings, head
// link, files and imaging. The main window speaks only to this class, so the
// window code stays the same whatever shape each subsystem's calls take.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "imaging/color_tables.h"
#include "imaging/ping_image.h"

struct AppState;
class Display;
class Clock;

// Run-time requests the shell raises for the imaging pipeline and the outputs.
struct ShellRequests {
  std::atomic<int> ClearRequest{0};
  std::atomic<int> SettingsRecheck{0};
  std::atomic<int> AutoProfileRequest{0};
  std::atomic<int> AutoProfileVertical{0};
  std::atomic<int> AutoAzimuthRequest{0};
};

class CoreBridge {
 public:
  CoreBridge(AppState& state, Display& display, const Clock& clock);
  ~CoreBridge();

  AppState& State() { return state_; }
  ShellRequests& Requests() { return requests_; }
  const Clock& GetClock() const { return clock_; }

  // Settings.
  void BuildDefaultConfig();
  void LoadSettings();
  bool SaveSettings();
  void ProbePorts();
  bool GpsPortAvailable() const { return gps_port_available_; }
  int CalibrateDelay();

  // Head link and GPS.
  void StartHeadLink();
  void StopHeadLink();
  void StartGps();
  void StopGps();
  bool HeadLinkRunning() const { return head_link_running_; }
  void ZeroPingCounters();
  void ClearGpsFix();
  void ResetOrientation();

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

  // Imaging.
  PingImage& Image() { return *image_; }
  PaletteTable Palette() const;
  void ClearImage();
  void ResetEchoLines();
  void RedrawGridLines();
  int PlaybackFrequency() const;

 private:
  AppState& state_;
  Display& display_;
  const Clock& clock_;
  ShellRequests requests_;
  std::unique_ptr<PingImage> image_;
  bool gps_port_available_ = false;
  bool head_link_running_ = false;
  struct Files;
  std::unique_ptr<Files> files_;
};

// PlaybackDelay: milliseconds waited after a played ping for PlotSpeed 0..100.
int PlaybackDelayMs(int plot_speed);
