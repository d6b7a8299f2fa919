// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/head_scan.h"

#include <cstdio>

#include "app_state.h"

namespace {

void AdvanceScanId(AppState& state) {
  const int next = state.ScanId.load() + 1;
  state.ScanId = next > 31 ? 16 : next;
}

std::string Format(const char* format, int a) {
  char text[32];
  std::snprintf(text, sizeof text, format, a);
  return text;
}

}  // namespace

void StartHeadScan(AppState& state, int clockSecond) {
  state.ScanWindowShown = true;
  state.ScanLastSecond = clockSecond;
  state.ScanCommandsUnanswered = -1;
  state.ScanReplySeen = false;
  state.HeadScanActive = true;
}

void StopHeadScan(AppState& state) {
  state.HeadScanActive = false;
  state.ScanWindowShown = false;
  state.ScanId = 16;
}

bool HeadScanStep(AppState& state, int clockSecond) {
  if (!state.HeadScanActive.load() || clockSecond == state.ScanLastSecond.load()) return false;
  state.ScanLastSecond = clockSecond;
  if (state.ScanReplySeen.exchange(false)) {
    state.ScanCommandsUnanswered = 0;
    AdvanceScanId(state);
    return true;
  }
  if (state.ScanCommandsUnanswered.load() > 0) {
    state.ScanCommandsUnanswered = 0;
    AdvanceScanId(state);
    return true;
  }
  return false;
}

std::string WithThousandsCommas(std::uint64_t value) {
  std::string digits = std::to_string(value);
  std::string out;
  const std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

HeadInfoTexts DecodeHeadInfo(std::span<const std::uint8_t, 64> d) {
  static constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                            "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  static constexpr const char* kSensors[] = {"Scanning Sonar", "Azimuth Drive", "Echo Sounder"};
  static constexpr const char* kXdcrs[] = {"Imaging - (Fan Beam)", "Profiling - (Pencil Beam)",
                                           "Conical Beam"};
  static constexpr const char* kDepths[] = {"1000 Meters", "3000 Meters"};
  static constexpr const char* kGears[] = {"3 : 1", "6 : 1", "15 : 1"};
  const char* na = "n/a";

  HeadInfoTexts t;
  t.hasFields = d[0] != 0;
  const int month = (d[3] >= 1 && d[3] <= 12) ? d[3] : 1;
  char text[64];
  std::snprintf(text, sizeof text, "%d.%02d - %02d%s%02d", d[0], d[1], d[4], kMonths[month - 1],
                d[2]);
  t.EpromRevision = text;
  t.SerialNumber = Format("%04d", (d[7] << 7) | (d[6] & 0x7F));
  const int sensor = d[5];
  const bool azimuthDrive = sensor == 1;
  const bool echoSounder = sensor == 2;
  t.SensorType = sensor <= 2 ? kSensors[sensor] : na;
  t.XdcrType = (d[8] <= 2 && !azimuthDrive) ? kXdcrs[d[8]] : na;
  t.DepthRating = d[10] <= 1 ? kDepths[d[10]] : na;
  t.GearRatio = (d[9] <= 2 && !echoSounder) ? kGears[d[9]] : na;
  t.SampleRate = (!azimuthDrive && d[12] == 0) ? "2.666us , 13.333us" : na;
  if (azimuthDrive) {
    t.ShotCount = na;
  } else {
    std::uint64_t shots = (std::uint64_t{d[16]} << 21) | (std::uint64_t{d[15]} << 14) |
                          (std::uint64_t{d[14]} << 7) | std::uint64_t{d[13]};
    shots *= 100;
    if (shots > 1'000'000'000ULL) shots = 1'000'000'000ULL;
    t.ShotCount = WithThousandsCommas(shots);
  }
  for (int i = 0; i < 16; ++i) {
    t.NvRam[static_cast<std::size_t>(i)].label = Format("nv_ram [ %d ]", i);
    for (int c = 0; c < 4; ++c)
      t.NvRam[static_cast<std::size_t>(i)].values[static_cast<std::size_t>(c)] =
          Format("0x%02X", d[static_cast<std::size_t>(i + 16 * c)]);
  }
  return t;
}
