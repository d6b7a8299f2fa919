// SPDX-License-Identifier: GPL-3.0-or-later
// The user configuration: the default table, applying the current range's row,
// .CFG files and the checks of the frequency, absorption and pulse-length fields
// typed in the setup dialogs (the messages are returned; the dialogs show them).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_state.h"

inline constexpr std::size_t kConfigFileSize = 5200;
inline constexpr std::size_t kConfigHeaderSize = 80;
inline constexpr std::size_t kConfigRowStride = 256;
inline constexpr int kConfigFileRows = 20;  // rows 15..19 are written as zeros

inline constexpr const char* kAutoSetupTitle = "Auto Setup";
inline constexpr const char* kManualSetupTitle = "Manual Setup";
inline constexpr const char* kSaveConfigTitle = "Save Configuration As";
inline constexpr const char* kLoadConfigTitle = "Load Configuration";
inline constexpr const char* kConfigExtensionMessage = "File extension must be .CFG";
inline constexpr const char* kPolarPulseNote =
    "*Note: Pulse Length is multiplied by 2 in Polar Mode";

// The built-in table (ranges 1..200 m).
const UserConfigTable& DefaultUserConfig();

// Fills the default table and the .CFG header and copies the default rows into
// the active table.
void BuildDefaultConfig(UserConfigState& state);

// Applies the active row of the current Range: Frequency, Absorption and
// PulseLength (doubled in Polar mode, at most 1000). Working fields only, never
// the head copies. Returns true when Frequency changed. A Range outside 0..14
// applies nothing.
bool ApplyRangeConfig(SettingsState& state);

enum class ConfigReadError { None, CannotOpen, NoSignature, TooShort };

// Parses .CFG bytes (at least 5200; more are ignored) into table, replacing each
// out-of-range field by the same field of defaults and rounding frequency and
// pulse length. Pure; TooShort or NoSignature leave table unchanged.
ConfigReadError ParseConfigBytes(std::span<const uint8_t> bytes, const UserConfigTable& defaults,
                                 UserConfigTable& table);

struct ConfigReadResult {
  bool ok = false;
  ConfigReadError error = ConfigReadError::None;
  UserConfigTable rows{};  // the rows read (also in state.EditConfig): for the dialog
};

// Reads a .CFG file into state.EditConfig. On failure nothing changes.
ConfigReadResult ReadConfigFile(UserConfigState& state, const std::string& path);

// The 5200 bytes of a .CFG file for table: header, rows 0..14, rows 15..19 zero.
std::array<uint8_t, kConfigFileSize> ConfigFileBytes(const UserConfigTable& table);

// Writes the active table to path (atomically). False and *error on failure.
bool WriteConfigFile(const UserConfigState& state, const std::string& path,
                     std::string* error = nullptr);

// True when the name ends in ".cfg" (any case).
bool HasConfigExtension(std::string_view path);

// The text shown for a configuration name: whole up to 30 characters, else its
// first 10 characters, " ..." and the part from its last path separator.
std::string ShortenConfigName(std::string_view name);

// Range labels "1 M" ... "200 M" (Units 0) or "3 FT" ... "600 FT" (Units 1).
std::string RangeLabel(int range_index, int units);

// Absorption n (0.01 dB/m) as shown: "%04.2f" dB/m or "%06.5f" dB/ft.
std::string AbsorptionText(int absorption, int units);
const char* AbsorptionUnit(int units);  // "dB/m" or "dB/ft"

// Rounding of accepted values.
int RoundFrequency(int khz);       // to a multiple of 5
int RoundPulseLength(int micros);  // to a multiple of 10

// Result of checking one typed field: the value to store, or the message to show.
struct FieldCheck {
  bool ok = false;
  int value = 0;
  std::string message;  // without a row prefix; empty when ok
};

FieldCheck CheckFrequencyField(std::string_view text);
FieldCheck CheckAbsorptionField(std::string_view text, int units);  // text in display unit
FieldCheck CheckPulseLengthField(std::string_view text);

// The User Configuration dialog's form of a message: "[<range label>]\n" + message.
std::string AutoSetupMessage(int range_index, int units, const std::string& message);

// The texts of one row of the User Configuration dialog.
struct ConfigRowTexts {
  std::string frequency, absorption, pulse_length;
};

// Reads the 45 fields of the User Configuration dialog in order: each accepted
// value goes into the active row (absorption into the edit row as well), each
// rejected one adds its "[label]\n..." message (shown titled "Auto Setup").
// Returns the messages; empty when every field was accepted.
std::vector<std::string> ReadConfigDialog(UserConfigState& state,
                                          const std::array<ConfigRowTexts, kUserConfigRows>& rows,
                                          int units);

// The row texts the dialog shows for a table.
std::array<ConfigRowTexts, kUserConfigRows> ConfigDialogTexts(const UserConfigTable& table,
                                                              int units);

// The "Default" button: pending name "Default", default table rebuilt and made
// active, and copied into the edit table.
void ResetToDefaultConfig(UserConfigState& state);

// Settings dialog, frequency setup. Manual: ConfigType 0 and the manual memories
// back in use. Auto: ConfigType 1, the values in use kept as manual memories, and
// the current range's row applied.
void SelectManualSetup(SettingsState& state);
void SelectAutoSetup(SettingsState& state);
// "Defaults" in Manual: 675 kHz, 20, 100 us, in use and in the memories.
void ApplyManualDefaults(SettingsState& state);
// "Ok" in Manual: checks the three fields in order; accepted values are rounded
// and stored in use and in the memories; the messages of rejected ones (titled
// "Manual Setup") are returned. The dialog may close when none is returned.
std::vector<std::string> ApplyManualSetup(SettingsState& state, std::string_view frequency,
                                          std::string_view absorption,
                                          std::string_view pulse_length);
