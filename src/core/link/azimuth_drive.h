// SPDX-License-Identifier: GPL-3.0-or-later
// The azimuth drive (ID 0x1F) from the link's side: angle codes, the menu
// switches, the start of positioning, and the reply a simulated drive gives.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

struct AppState;
class LinkDisplay;

inline constexpr const char* kAzimuthNotFoundText = "Azimuth Drive Not Found";
inline constexpr const char* kDetectingAzimuthText = "Detecting Azimuth Drive...";
inline constexpr const char* kAdjustingAzimuthText = "Wait - Adjusting Azimuth";
inline constexpr const char* kAzimuthRangeMessage = "Azimuth Angle is out of range!\nUse 0 to 359.7 Degrees.";
inline constexpr const char* kAzimuthRangeCaption = "Azimuth Drive Setup";
inline constexpr int kAzimuthGiveUpSeconds = 40;
// A turning drive that reports the same position this long has stopped short of its
// target: the program stops following it and pings again.
inline constexpr int kAzimuthStallSeconds = 3;

// A typed angle (0 to 359.7 degrees) as a position code 0..1199; nothing when the
// angle is below 0 or 359.8 or more.
std::optional<int> AzimuthCodeFromDegrees(double degrees);
// A position code as shown: p x 0.3 - 180, below 0 plus 360, 360 or more gives 0.
double AzimuthDegreesShown(int position);

// Menu switches (live: the program is in HEAD mode).
void EnableAzimuthDrive(AppState& state, bool live);
void DisableAzimuthDrive(AppState& state, LinkDisplay& display);
void SetSimulateAzimuthDrive(AppState& state, bool on);

// The comm thread takes a move request: positioning starts with a fresh count.
void StartAzimuthPositioning(AppState& state);
// A live start with the drive enabled: it is detected afresh (not found, a detect
// request, no commands counted) from position 0; the window flag is left alone.
void RestartAzimuthDetection(AppState& state);

// The 13 bytes a simulated drive answers with: at the target angle.
std::array<std::uint8_t, 13> SimulatedAzimuthReply(int azimuthAngle);
