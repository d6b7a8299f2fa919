// SPDX-License-Identifier: GPL-3.0-or-later
// Head scan: walking the sixteen head IDs one per second with scan commands, and the
// head's non-volatile memory from its "T" reply decoded into the texts the Scan For
// Connected Heads window shows.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

struct AppState;

inline constexpr const char* kScanningStatusText = "Scanning Head ID's . . .";

// The scan toggle: starts (window shown, -1 unanswered, status line) or stops it.
void StartHeadScan(AppState& state, int clockSecond);
// Toggle off or window closed: no scan, `ScanId` back to 16.
void StopHeadScan(AppState& state);

// One step, once per change of the clock second while the scan runs: moves to the
// next ID (after 31 comes 16) when a "T" reply came or a scan command went
// unanswered. Returns true when the scan window is to be redrawn.
bool HeadScanStep(AppState& state, int clockSecond);

// The decoded "T" fields as shown.
struct NvRamRow {
  std::string label;                 // "nv_ram [ %d ]"
  std::array<std::string, 4> values; // d[i], d[i+16], d[i+32], d[i+48] as "0x%02X"
};
struct HeadInfoTexts {
  bool hasFields = false;  // d[0] is not 0: the decoded fields are shown
  std::string EpromRevision;
  std::string SerialNumber;
  std::string SensorType;
  std::string XdcrType;
  std::string DepthRating;
  std::string GearRatio;
  std::string SampleRate;
  std::string ShotCount;
  std::array<NvRamRow, 16> NvRam;
};
// `nvram` is the 64 bytes after the 12-byte reply header.
HeadInfoTexts DecodeHeadInfo(std::span<const std::uint8_t, 64> nvram);

// A number with commas between groups of three digits ("1,234,567").
std::string WithThousandsCommas(std::uint64_t value);
