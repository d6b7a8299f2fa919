// SPDX-License-Identifier: GPL-3.0-or-later
// The per-range user configuration held in AppState: frequency, absorption and
// pulse length for each of the fifteen ranges, in three tables (defaults, active,
// dialog working copy), the configuration names and the manual memories. The
// tables are used by the main thread only (dialogs, range refresh, loading).
#pragma once

#include <array>
#include <cstdint>

#include "settings/shared_text.h"

// One row of the table, in the order of a .CFG file.
struct UserConfig {
  int32_t RangeLabel = 0;   // the row's range in metres; carried along, unused
  int32_t Frequency = 0;    // kHz, 280..1100, a multiple of 5
  int32_t Absorption = 0;   // 0.01 dB/m, 1..255
  int32_t PulseLength = 0;  // microseconds, 10..1000, a multiple of 10

  friend bool operator==(const UserConfig&, const UserConfig&) = default;
};

inline constexpr int kUserConfigRows = 15;  // one per range index 0..14
using UserConfigTable = std::array<UserConfig, kUserConfigRows>;

struct UserConfigState {
  UserConfigTable DefaultConfig{};  // built by BuildDefaultConfig; source of every default
  UserConfigTable ActiveConfig{};   // applied per range, written to .CFG files
  UserConfigTable EditConfig{};     // the User Configuration dialog's copy; .CFG reader target
  std::array<uint8_t, 80> ConfigHeader{};  // the 80-byte .CFG header

  // The current-configuration name is the `ConfigFile` setting itself.
  SharedText PendingConfigName{"Default"};  // set by Load, Save As, Default in the dialog
  SharedText ConfigDialogPath{"Default"};   // last path chosen in the .CFG file dialogs

  // Last values used in Manual frequency setup (not persisted).
  int ManualFrequency = 675;
  int ManualAbsorption = 20;
  int ManualPulseLength = 100;
};
