// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/command_packet.h"

#include <algorithm>
#include <array>

#include "link/reply_decoder.h"
#include "app_state.h"

namespace {

constexpr int kModeSector = 0;
constexpr int kModePolar = 1;
constexpr int kModeSs = 2;
constexpr int kModeProfile = 3;
constexpr int kSsTrainBoth = 1;

std::uint8_t Byte(int value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

// Writes the header and zeroes the spare bytes after the frame.
void StartFrame(AppState& state, int id) {
  auto& c = state.HeadCommand;
  c[0] = kCommandHeader0;
  c[1] = kCommandHeader1;
  c[2] = Byte(id);
  std::fill(c.begin() + kHeadCommandLength, c.end(), std::uint8_t{0});
}

int DataPointsByte(int grid_mode, int ss_train, int previous) {
  switch (grid_mode) {
    case kModeSector: return 50;
    case kModePolar: return 25;
    case kModeSs: return ss_train == kSsTrainBoth ? 25 : 50;
    case kModeProfile: return previous;  // keep the previous packet's value
    default: return previous;
  }
}

// Bytes shared by the normal and the scan packet.
void WriteSonarBytes(AppState& state, int range_metres, int train_code, int sector_code,
                     int step_code) {
  auto& c = state.HeadCommand;
  c[3] = Byte(range_metres);
  c[4] = 0;
  c[5] = static_cast<std::uint8_t>((state.HoldActive ? 0x01 : 0) | (state.ReverseRequest ? 0x40 : 0));
  c[6] = kCommandModeByte;
  c[7] = 0;
  c[8] = Byte(state.Gain);
  c[9] = 1;
  c[10] = Byte(state.Absorption);
  c[11] = Byte(train_code);
  c[12] = Byte(sector_code);
  c[13] = Byte(step_code);
  c[14] = Byte(state.PulseLength / 10);
  c[15] = Byte(ProfileMinimumRangeCode(state.ProfileMinimumRange, state.Units));
  c[16] = 0;
  c[17] = 0;
  c[18] = 0;
  c[19] = Byte(DataPointsByte(state.GridMode, state.SSTrain, c[19]));
  c[20] = Byte(state.DataBits);
  const int baud = BaudCode(state.HeadBaudIndex);
  if (baud >= 0) c[21] = Byte(baud);
  c[22] = state.Profile == 1 ? 1 : 0;
  c[23] = state.CalibrateRequest ? 1 : 0;
  c[24] = Byte(SwitchDelayCode(state.SwitchDelay, range_metres));
  c[25] = Byte(FrequencyCode(state.Frequency));
  c[26] = kCommandTermination;
}

}  // namespace

int RangeMetresForIndex(int range_index) {
  return kRangeMetres[static_cast<std::size_t>(std::clamp(range_index, 0, 14))];
}

int RangeIndexForMetres(int metres) {
  for (std::size_t i = 0; i < kRangeMetres.size(); ++i) {
    if (kRangeMetres[i] == metres) return static_cast<int>(i);
  }
  return -1;
}

int TrainCode(int train_degrees, bool xdcr_up, bool wrap_at_120) {
  const int t = ((train_degrees % 360) + 360) % 360;
  int code = t < 180 ? t / 3 + 60 : (t - 180) / 3;
  if (xdcr_up) code = 120 - code;
  if (wrap_at_120 && code >= 120) code = 0;
  return code;
}

int SectorSizeForMode(int grid_mode, int sector_sector_size, int polar_sector_size) {
  if (grid_mode == kModePolar) return polar_sector_size;
  if (grid_mode == kModeSs) return 0;
  return sector_sector_size;  // Sector and Profile
}

int SectorCode(int sector_size, bool auto_profile_scan, int scan_extension) {
  int code = sector_size / 3;
  if (auto_profile_scan && sector_size + scan_extension < 360) code = (sector_size + scan_extension) / 3;
  return std::clamp(code, 0, 120);
}

int StepCode(int sector_size, int speed) {
  if (sector_size == 0) return 0;
  if (speed >= 4) return 8;
  return std::max(speed, 0) + 1;
}

int ProfileMinimumRangeCode(float minimum_range, int units) {
  double metres = minimum_range;
  if (units == 1) metres *= 0.3048;
  const double scaled = metres * 10.0 + 0.5;
  if (!(scaled > 0.0)) return 0;  // also NaN
  if (scaled >= 250.0) return 250;
  return static_cast<int>(scaled);
}

int BaudCode(int baud_index) {
  switch (baud_index) {
    case 0: return 11;
    case 2: return 3;
    case 3: return 12;
    case 4: return 5;
    case 5: return 6;
    default: return -1;
  }
}

int SwitchDelayCode(int switch_delay_ms, int range_metres) {
  int d = switch_delay_ms + (range_metres == 1 ? 2 : 0);
  d = std::clamp(d, 0, 500);
  return d / 2;
}

int FrequencyCode(int frequency_khz) { return (frequency_khz - 675) / 5 + 100; }

void BuildNormalCommand(AppState& state) {
  const int range_metres = RangeMetresForIndex(state.Range);
  const int sector_size = SectorSizeForMode(state.GridMode, state.SectorSectorSize, state.PolarSectorSize);
  const int train_code = TrainCode(state.Train, state.Xdcr == 1);
  StartFrame(state, state.MasterHeadID);
  WriteSonarBytes(state, range_metres, train_code,
                  SectorCode(sector_size, state.AutoProfileScanActive, state.ScanSectorExtension),
                  StepCode(sector_size, state.Speed));
  state.LastTrainCode = train_code;
  state.ReverseRequest = false;
  state.CalibrateRequest = false;
  state.RangeOffset = 0;
  state.RangeInUseMetres = range_metres;
  state.GainSent = state.Gain.load();
  state.SpeedSent = state.Speed.load();
}

bool BuildScanCommand(AppState& state) {
  const int range_metres = RangeMetresForIndex(state.Range);
  const int sector_size = SectorSizeForMode(state.GridMode, state.SectorSectorSize, state.PolarSectorSize);
  const bool new_id = state.NewIdRequest.exchange(false);
  const bool program = state.ProgramHeadRequest.exchange(false);
  const int answered_id = state.AnsweredHeadId;
  const int new_head_id = std::clamp(state.NewHeadId.load(), 16, 31);

  StartFrame(state, new_id ? answered_id : state.ScanId.load());
  WriteSonarBytes(state, range_metres, TrainCode(state.Train, state.Xdcr == 1, false),
                  sector_size / 3, 0);
  auto& c = state.HeadCommand;
  const int serial = std::clamp(state.ProgramSerialNumber.load(), 0, 16383);
  c[4] = 0;
  c[7] = 1;
  c[10] = program ? 0x80 : 0;
  c[15] = program ? static_cast<std::uint8_t>(serial & 0x7F) : 0;
  c[16] = new_id ? static_cast<std::uint8_t>(new_head_id | 0x80) : 0;
  c[18] = program ? static_cast<std::uint8_t>((serial >> 7) & 0x7F) : 0;
  c[21] = program ? static_cast<std::uint8_t>(state.ProgramDepthRating & 0x0F) : 0;
  c[24] = Byte(state.SwitchDelay / 2);
  state.ScanCommandsUnanswered.fetch_add(1);
  if (new_id) {
    state.MasterHeadID = new_head_id;
    state.ScanId = new_head_id;
    state.ShownAnsweredHeadId = answered_id;
  }
  return new_id;
}

void BuildAzimuthCommand(AppState& state) {
  auto& c = state.HeadCommand;
  StartFrame(state, kAzimuthDriveId);
  const int angle = std::clamp(state.AzimuthAngle.load(), 0, 1199);
  c[3] = 0;
  c[4] = 0;
  c[5] = state.HoldActive ? 0x01 : 0;
  c[6] = kCommandModeByte;
  for (int i = 7; i <= 10; ++i) c[i] = 0;
  c[11] = static_cast<std::uint8_t>(angle & 0x7F);
  c[12] = static_cast<std::uint8_t>((angle >> 7) & 0x0F);
  for (int i = 13; i <= 20; ++i) c[i] = 0;
  const int baud = BaudCode(state.HeadBaudIndex);
  if (baud >= 0) c[21] = Byte(baud);
  c[22] = 0;
  c[23] = 0;
  c[24] = Byte(state.SwitchDelay / 2);
  c[25] = 0;
  c[26] = kCommandTermination;
}

void BuildOrientationCommand(AppState& state) {
  auto& c = state.HeadCommand;
  StartFrame(state, kOrientationModuleId);
  for (int i = 3; i <= 23; ++i) c[i] = 0;
  c[24] = Byte(SwitchDelayCode(state.SwitchDelay, RangeMetresForIndex(state.Range)));
  c[25] = 0;
  c[26] = kCommandTermination;
}

void ApplyFixedAngle(AppState& state, int train_code) {
  auto& c = state.HeadCommand;
  c[11] = Byte(train_code);
  c[12] = 0;
  c[13] = 1;
}

std::span<const std::uint8_t> CommandFrame(const AppState& state) {
  return std::span<const std::uint8_t>(state.HeadCommand.data(), kHeadCommandLength);
}

CommandChoice ChooseAndBuildCommand(AppState& state, const Clock& clock) {
  CommandChoice choice;
  const bool positioning = state.AzimuthPositioning;
  const bool scanning = state.HeadScanActive;
  const bool fixed_angle = state.FixedAnglePending;

  // Orientation interleave: at most one query per changed local second, never twice in
  // a row. Not while a head scan or a fixed-angle packet goes out: those packets go to
  // the sonar head and their replies must be judged as sonar replies.
  bool to_orientation = false;
  if (state.EnableOrientationModule && !positioning) {
    const int second = clock.Now().second;
    const bool second_changed = second != state.OrientationLastSecond;
    state.OrientationLastSecond = second;
    const bool previous_to_head =
        state.LastCommandTarget == static_cast<int>(CommandTarget::SonarHead);
    to_orientation = second_changed && previous_to_head && !scanning && !fixed_angle;
  }

  if (to_orientation) {
    choice.Target = CommandTarget::OrientationModule;
    if (state.OrientationUnanswered.fetch_add(1) + 1 > 4) choice.OrientationLost = true;
    SetExpectedOrientationReply(state);
  } else {
    choice.Target = positioning ? CommandTarget::AzimuthDrive : CommandTarget::SonarHead;
    SetExpectedSonarReply(state);
  }

  if (positioning) {
    BuildAzimuthCommand(state);
  } else if (scanning) {
    choice.ScanWindowRedraw = BuildScanCommand(state);
  } else if (fixed_angle) {
    state.FixedAnglePending = false;
    // The fixed angle rides on the last sonar packet; when none is in the buffer (none
    // sent yet, or the last went to the orientation module or the drive), build one.
    if (state.HeadCommand[0] != kCommandHeader0 ||
        state.LastCommandTarget != static_cast<int>(CommandTarget::SonarHead)) {
      BuildNormalCommand(state);
    }
    ApplyFixedAngle(state, state.FixedAngleTrainCode);
  } else if (to_orientation) {
    BuildOrientationCommand(state);
  } else {
    BuildNormalCommand(state);
  }
  state.LastCommandTarget = static_cast<int>(choice.Target);
  return choice;
}
