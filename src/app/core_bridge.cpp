#include "core_bridge.h"

#include <algorithm>

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
#include "settings/app_state.h"
#include "settings/settings_io.h"
#include "settings/user_config.h"

CoreBridge::CoreBridge(AppState& state, Display& display, const Clock& clock)
    : state_(state), display_(display), clock_(clock), sink_(std::make_unique<LivePingSink>(display)),
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

void CoreBridge::ProbePorts() { ApplyPortProbe(state_, ProbeComPorts(paths_)); }

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
  if (OpenHeadPort(state_, PortPath(state_.ComPort))) StartLink(state_, display_, *sink_, clock_);
}
void CoreBridge::StopHeadLink() { StopLink(state_); }
bool CoreBridge::HeadLinkRunning() const { return state_.CommThreadRunning != 0; }

void CoreBridge::StartGps() {
  if (OpenGpsPort(state_, PortPath(state_.ComPortGPS))) StartGpsThread(state_, display_);
}
void CoreBridge::StopGps() { CloseGpsPort(state_); }

void CoreBridge::ZeroPingCounters() {
  state_.RepRateSumMs = 0;
  state_.RepRateCount = 0;
  state_.HaveLastReplyTime = false;
}

void CoreBridge::ClearGpsFix() {
  // The reader's own clear runs when the port is closed and opened again; here the
  // read-out is simply redrawn as it stands.
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
