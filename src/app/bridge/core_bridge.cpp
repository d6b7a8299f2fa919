// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/core_bridge.h"

#include <algorithm>
#include <utility>

#include "clock.h"
#include "display.h"
#include "files/file_texts.h"
#include "files/playback.h"
#include "files/recorder.h"
#include "gps/gps_reader.h"
#include "imaging/ping_pipeline.h"
#include "link/comm_thread.h"
#include "link/live_ping_sink.h"
#include "link/microsecond_wait.h"
#include "link/orientation_module.h"
#include "link/serial_devices.h"
#include "settings/ini_file.h"
#include "app_state.h"
#include "settings/settings_io.h"
#include "outputs/auto_profile.h"
#include "settings/user_config.h"

CoreBridge::CoreBridge(AppState& state, Display& display, const Clock& clock)
    : state_(state), display_(display), clock_(clock), sink_(std::make_unique<LivePingSink>(display, &clock)),
      hooks_(std::make_unique<PlaybackHooks>(LinkPlaybackHooks(
          clock, [this](AppState& s) { ProcessPlaybackPing(s, display_); }))) {
  for (int i = 0; i < kComPortCount; ++i) paths_[i] = DefaultComPortPath(i);
  // A long damaged stretch is searched a few milliseconds at a time, between which
  // the window handles its events.
  hooks_->search_limit = 2 << 20;
}

CoreBridge::~CoreBridge() {
  StopHeadLink();
  StopGps();
}

// ---------------------------------------------------------------- settings

void CoreBridge::BuildDefaultConfig() { ::BuildDefaultConfig(state_); }

void CoreBridge::LoadSettings() {
  ::LoadSettings(state_);
  paths_ = LoadComPortPaths(std::string(kSettingsFileName));
}

bool CoreBridge::SaveSettings() { return ::SaveSettings(state_); }

void CoreBridge::SetPortPaths(const ComPortPaths& paths) {
  if (paths == paths_) return;
  const std::string file = state_.SettingsPath.get().empty() ? std::string(kSettingsFileName) : state_.SettingsPath.get();
  IniFile ini;
  std::string error;
  // A file that exists but cannot be read is left alone: its other contents would be lost.
  bool saved = IniFile::Load(file, ini, nullptr, &error);
  if (saved) {
    for (int i = 0; i < kComPortCount; ++i)
      if (paths[static_cast<size_t>(i)] != paths_[static_cast<size_t>(i)])
        ini.Set(kSerialPortsSection, ComPortKey(i), paths[static_cast<size_t>(i)]);
    saved = ini.Save(file, &error);
  }
  paths_ = paths;
  if (!saved) display_.LinkError("The serial port choice could not be saved:\n" + error, "ComPort Setup");
}

void CoreBridge::ReportNoPermission(const std::string& path) {
  if (CheckDeviceAccess(path) == DeviceAccess::kNoPermission) display_.LinkError(PermissionAdvice(path), "ComPort Setup");
}

void CoreBridge::ProbePorts() {
  const int configured = state_.ComPort;
  ApplyPortProbe(state_, ProbeComPorts(paths_));
  // The head port moved to another line because its own device is missing: said
  // once the link starts, or the operator would not know which line is in use.
  if (state_.ComPort != configured && configured >= 0 && configured < kComPortCount)
    port_note_ = PortProblemText(configured + 1, paths_[static_cast<size_t>(configured)], "") + "; the head port is COM" +
                 std::to_string(state_.ComPort + 1);
}

bool CoreBridge::GpsPortAvailable() const { return state_.GpsPortAvailable != 0; }

int CoreBridge::CalibrateDelay() {
  const int count = CalibrateDelayCount(clock_);
  state_.DelayCount = count;
  return count;
}

std::string CoreBridge::PortPath(int index) const {
  return (index >= 0 && index < kComPortCount) ? paths_[index] : std::string();
}

// ---------------------------------------------------------------- link

void CoreBridge::StartHeadLink() {
  const std::string path = PortPath(state_.ComPort);
  std::string error;
  if (OpenHeadPort(state_, path, &error)) {
    if (std::exchange(port_problem_shown_, false)) display_.EraseStatus();
    if (!port_note_.empty()) display_.ShowStatus(std::exchange(port_note_, {}), kStatusMessageColours);
    StartLink(state_, display_, *sink_, clock_);
    return;
  }
  ReportNoPermission(path);
  // With no link running nothing else would say why the picture stays empty:
  // once, in the status line, what is wrong with the port's device.
  display_.ShowStatus(PortProblemText(state_.ComPort + 1, path, error), kStatusMessageColours);
  port_problem_shown_ = true;
}
void CoreBridge::StopHeadLink() { StopLink(state_); }

void CoreBridge::EndAutoAzimuthRun() { ::EndAutoAzimuthRun(state_, display_); }

void CoreBridge::CloseSurveyFile() { ::CloseSurveyFile(state_, display_); }
bool CoreBridge::HeadLinkRunning() const { return state_.CommThreadRunning != 0; }

void CoreBridge::StartGps() {
  const std::string path = PortPath(state_.ComPortGPS);
  if (OpenGpsPort(state_, path)) StartGpsThread(state_, display_);
  else ReportNoPermission(path);
}
void CoreBridge::StopGps() { CloseGpsPort(state_); }

void CoreBridge::ZeroPingCounters() {
  state_.RepRateSumMs = 0;
  state_.RepRateCount = 0;
  state_.HaveLastReplyTime = false;
}

void CoreBridge::ClearGpsFix() {
  // A new data source starts without a fix: the texts and values of the last one
  // (a played file's, or a receiver's before playback) must not reach the records
  // and profile points of this one.
  state_.ClearGpsData();
  display_.DrawGpsReadout(MakeGpsReadout(state_, GpsInUse(state_, false), false));
}

void CoreBridge::ResetOrientation() { ::ResetOrientation(state_, display_); }

void CoreBridge::TickGps() { ::TickGps(state_, display_); }

// ---------------------------------------------------------------- files

bool CoreBridge::Recording() const { return state_.RecordFileOpen != 0; }
bool CoreBridge::StartRecording(const std::string& path) { return ::StartRecording(state_, display_, path); }
void CoreBridge::StopRecording() { ::StopRecording(state_, display_); }
bool CoreBridge::Copying() const { return state_.CopyFileOpen != 0; }
bool CoreBridge::StartCopy(const std::string& path) { return ::StartCopy(state_, display_, path); }
void CoreBridge::StopCopy() { ::StopCopy(state_, display_); }
bool CoreBridge::PlaybackOpen() const { return state_.PlaybackFileOpen != 0; }
bool CoreBridge::OpenPlayback(const std::string& path) { return ::OpenPlayback(state_, display_, path); }
void CoreBridge::ClosePlayback() { ::ClosePlayback(state_); }

int CoreBridge::PlayNextRecord() {
  const PlaybackStepResult r = PlaybackStep(state_, display_, *hooks_);
  return static_cast<int>(r.delay.count());
}

void CoreBridge::SeekPercent(int percent) { SeekPlayback(state_, display_, percent); }
int CoreBridge::PlaybackPercent() const { return state_.PlaybackPercent; }
void CoreBridge::ToggleReversePlayback() { ::ToggleReversePlayback(state_, display_); }
void CoreBridge::ToggleAutoFrameCapture() { ::ToggleAutoFrameCapture(state_, display_); }
void CoreBridge::PlotSpeedUp() { ::PlotSpeedUp(state_); }
void CoreBridge::PlotSpeedDown() { ::PlotSpeedDown(state_); }

// ---------------------------------------------------------------- imaging

PingImage& CoreBridge::Image() { return state_.Image; }
PaletteTable CoreBridge::Palette() const { return state_.Palette(); }
void CoreBridge::SelectColorTable(int scheme) { ::SelectColorTable(state_, display_, scheme); }
void CoreBridge::ClearImage() { ::ClearImage(state_, display_); }
void CoreBridge::ResetEchoLines() {
  ::ResetEchoLines(state_, state_.RunMode == 1 && state_.PlaybackFileOpen != 0);
}
void CoreBridge::RedrawGridLines() { RedrawGrid(state_, display_); }
int CoreBridge::PlaybackFrequency() const { return state_.PlaybackFrequency; }
