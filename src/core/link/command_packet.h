// SPDX-License-Identifier: GPL-3.0-or-later
// The 27-byte head command: the normal sonar packet, the head-ID scan and programming
// packet, the azimuth drive, orientation module and fixed-angle variants, and the
// choice of which one goes out on a turn. Builders write AppState::HeadCommand in
// place; bytes a builder does not write keep their previous value.
#pragma once

#include <cstdint>
#include <span>

#include "clock.h"
#include "link/link_state.h"

struct AppState;

inline constexpr std::uint8_t kCommandHeader0 = 0xFE;
inline constexpr std::uint8_t kCommandHeader1 = 0x44;  // "D"
inline constexpr std::uint8_t kCommandModeByte = 0x43;
inline constexpr std::uint8_t kCommandTermination = 0xFD;
inline constexpr int kAzimuthDriveId = 0x1F;
inline constexpr int kOrientationModuleId = 0x18;

// Range index 0..14 to metres (1 m ... 200 m); out-of-range indices are clamped.
int RangeMetresForIndex(int range_index);
// Inverse: the index of a range in metres, or -1 when it is not in the table.
int RangeIndexForMetres(int metres);

// Byte 11: train code in 3-degree units, 0 pointing aft, mirrored for Xdcr Up.
// `wrap_at_120` applies the normal packet's rule (120 or more becomes 0).
int TrainCode(int train_degrees, bool xdcr_up, bool wrap_at_120 = true);
// Sector size in degrees in use for a display mode (Sector/Profile, Polar, SS 0).
int SectorSizeForMode(int grid_mode, int sector_sector_size, int polar_sector_size);
// Byte 12 of the normal packet.
int SectorCode(int sector_size, bool auto_profile_scan, int scan_extension);
// Byte 13: 0 for sector 0, else 1..4 for Slow..Faster and 8 for Fastest.
int StepCode(int sector_size, int speed);
// Byte 15: profile minimum range in 0.1 m, 0..250.
int ProfileMinimumRangeCode(float minimum_range, int units);
// Byte 21 for a baud index, or -1 where the byte keeps its value (index 1, unknown).
int BaudCode(int baud_index);
// Byte 24 of the normal and orientation packets.
int SwitchDelayCode(int switch_delay_ms, int range_metres);
// Byte 25: (kHz - 675) / 5 + 100.
int FrequencyCode(int frequency_khz);

// Builders. Each writes bytes 0..26 (as far as the variant defines them) and zeroes
// the six spare bytes.
void BuildNormalCommand(AppState& state);
// Returns true when a new ID was programmed (the scan window is to be redrawn).
bool BuildScanCommand(AppState& state);
void BuildAzimuthCommand(AppState& state);
void BuildOrientationCommand(AppState& state);
// The fixed-angle variant over the packet already in the buffer.
void ApplyFixedAngle(AppState& state, int train_code);

// The 27 bytes that go on the wire.
std::span<const std::uint8_t> CommandFrame(const AppState& state);

// What one turn decided (steps 4 and 5 of choosing a command).
struct CommandChoice {
  CommandTarget Target = CommandTarget::SonarHead;
  bool ScanWindowRedraw = false;    // a new head ID was programmed
  bool OrientationLost = false;     // more than 4 orientation queries unanswered
};

// Chooses the target (orientation interleave, once per changed local second), sets the
// expected reply and builds the packet for it in the buffer.
CommandChoice ChooseAndBuildCommand(AppState& state, const Clock& clock);
