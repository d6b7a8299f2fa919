// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/azimuth_drive.h"

#include "link/link_display.h"
#include "app_state.h"

std::optional<int> AzimuthCodeFromDegrees(double degrees) {
  if (degrees < 0.0 || degrees >= 359.8) return std::nullopt;
  if (degrees >= 180.0) degrees -= 360.0;
  int code = static_cast<int>((degrees + 180.0) * 3.3333333333333334566 + 0.5);
  if (code < 0) code = 0;
  if (code > 1199) code = 1199;
  return code;
}

double AzimuthDegreesShown(int position) {
  double d = position * 0.3 - 180.0;
  if (d < 0.0) d += 360.0;
  if (d >= 360.0) d = 0.0;
  return d;
}

void EnableAzimuthDrive(AppState& state, bool live) {
  state.AzimuthDriveEnable = 1;
  state.AzimuthWindow = 1;
  if (live) {
    state.AzimuthDriveFound = false;
    state.AzimuthMoveRequest = true;  // detection
  }
}

void DisableAzimuthDrive(AppState& state, LinkDisplay& display) {
  state.AzimuthDriveEnable = 0;
  state.AzimuthDriveFound = false;
  state.AzimuthMoveRequest = false;
  state.AzimuthPositioning = false;
  state.AzimuthWaitSeconds = 0;
  state.AzimuthCommandCount = 0;
  state.AzimuthWindow = 0;
  state.AzimuthNotFoundShown = false;
  display.ShowAzimuthNotFound(false);
}

void SetSimulateAzimuthDrive(AppState& state, bool on) {
  if (state.AzimuthDriveEnable.load() == 0) return;
  state.SimulateAzimuthDrive = on ? 1 : 0;
  if (on) {
    state.AzimuthDriveFound = false;
    state.AzimuthMoveRequest = true;
  } else {
    state.AzimuthMoveRequest = false;
    state.AzimuthPositioning = false;
    state.AzimuthWaitSeconds = 0;
    state.AzimuthCommandCount = 0;
  }
}

void RestartAzimuthDetection(AppState& state) {
  state.AzimuthDriveFound = false;
  state.AzimuthMoveRequest = true;
  state.AzimuthCommandCount = 0;
  state.AzimuthPosition = 0;
}

void StartAzimuthPositioning(AppState& state) {
  state.AzimuthPositioning = true;
  state.AzimuthLastReported = -1;
  state.AzimuthStallSeconds = 0;
  state.AzimuthCommandCount = 0;
  state.AzimuthWaitSeconds = 0;
}

std::array<std::uint8_t, 13> SimulatedAzimuthReply(int angle) {
  return {0x49, 0x41, 0x58, 0x1F, 0x40, static_cast<std::uint8_t>(angle & 0x7F),
          static_cast<std::uint8_t>((angle >> 7) & 0x7F), 0, 0, 0, 0, 0, 0xFC};
}
