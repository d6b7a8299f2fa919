#include "core_bridge.h"

#include <algorithm>

#include "clock.h"
#include "display.h"
#include "files/file_texts.h"
#include "files/recorder.h"
#include "link/microsecond_wait.h"
#include "settings/app_state.h"
#include "settings/settings_io.h"
#include "settings/user_config.h"

struct CoreBridge::Files {};

CoreBridge::CoreBridge(AppState& state, Display& display, const Clock& clock)
    : state_(state), display_(display), clock_(clock), image_(std::make_unique<PingImage>()),
      files_(std::make_unique<Files>()) {}

CoreBridge::~CoreBridge() {
  StopHeadLink();
  StopGps();
}

// ---------------------------------------------------------------- settings

void CoreBridge::BuildDefaultConfig() { ::BuildDefaultConfig(state_); }

void CoreBridge::LoadSettings() { ::LoadSettings(state_); }

bool CoreBridge::SaveSettings() { return ::SaveSettings(state_); }

void CoreBridge::ProbePorts() { gps_port_available_ = false; }

int CoreBridge::CalibrateDelay() {
  const int count = CalibrateDelayCount(clock_);
  state_.DelayCount = count;
  return count;
}

// ---------------------------------------------------------------- link

void CoreBridge::StartHeadLink() { head_link_running_ = true; }
void CoreBridge::StopHeadLink() { head_link_running_ = false; }
void CoreBridge::StartGps() {}
void CoreBridge::StopGps() {}
void CoreBridge::ZeroPingCounters() {}
void CoreBridge::ClearGpsFix() {}
void CoreBridge::ResetOrientation() {
  state_.OrientationPitch = 0.0f;
  state_.OrientationRoll = 0.0f;
  state_.OrientationHeading = 0.0f;
}

// ---------------------------------------------------------------- files

bool CoreBridge::Recording() const { return state_.RecordFileOpen != 0; }
bool CoreBridge::StartRecording(const std::string& path) { return ::StartRecording(state_, display_, path); }
void CoreBridge::StopRecording() { ::StopRecording(state_, display_); }
bool CoreBridge::Copying() const { return state_.CopyFileOpen != 0; }
bool CoreBridge::StartCopy(const std::string&) { return false; }
void CoreBridge::StopCopy() {}
bool CoreBridge::PlaybackOpen() const { return state_.PlaybackFileOpen != 0; }
bool CoreBridge::OpenPlayback(const std::string& path) {
  if (!HasSonarExtension(path)) {
    display_.ShowFileMessage(kExtensionMessage, kPlaybackDialogTitle, FileMessageIcon::kWarning);
    return false;
  }
  return false;
}
void CoreBridge::ClosePlayback() {}
int CoreBridge::PlayNextRecord() { return PlaybackDelayMs(state_.PlotSpeed); }
void CoreBridge::SeekPercent(int) {}
int CoreBridge::PlaybackPercent() const { return state_.PlaybackPercent; }

// ---------------------------------------------------------------- imaging

PaletteTable CoreBridge::Palette() const { return BuildPalette(state_.Colors); }

void CoreBridge::ClearImage() {
  std::lock_guard lock(image_->Lock());
  std::fill(image_->Pixels(), image_->Pixels() + kImageBytes, 0);
  image_->Dirty = DirtyRect::Whole();
}

void CoreBridge::ResetEchoLines() {}
void CoreBridge::RedrawGridLines() {}
int CoreBridge::PlaybackFrequency() const { return state_.PlaybackFrequency; }

int PlaybackDelayMs(int plot_speed) {
  const int d = 100 - plot_speed;
  if (d <= 0) return 0;
  if (d <= 10) return static_cast<int>(d * 0.25);
  if (d <= 20) return static_cast<int>(d * 0.5);
  if (d <= 30) return static_cast<int>(d * 0.75);
  if (d <= 40) return d;
  if (d <= 50) return 2 * d;
  if (d <= 60) return 4 * d;
  if (d <= 70) return 6 * d;
  if (d <= 80) return 8 * d;
  if (d <= 90) return 10 * d;
  return 12 * d;
}
