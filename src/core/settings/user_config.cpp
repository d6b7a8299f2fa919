// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/user_config.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "settings/atomic_file.h"
#include "settings/settings_io.h"
#include "settings/settings_state.h"

namespace {

constexpr uint8_t kSignature[4] = {0x43, 0x46, 0x47, 0x00};  // "CFG\0"
constexpr double kFeetPerMetre = 3.2808398950131231941;
constexpr double kMetresPerFoot = 0.3048;

const UserConfigTable kDefaultTable = {{
    {1, 1000, 60, 10},  {2, 1000, 60, 10},  {3, 1000, 60, 10},   {4, 1000, 60, 10},
    {5, 1000, 60, 30},  {10, 675, 20, 30},  {20, 675, 20, 50},   {30, 675, 20, 80},
    {40, 675, 20, 110}, {50, 675, 20, 130}, {60, 675, 20, 160},  {80, 675, 20, 210},
    {100, 675, 20, 270}, {150, 290, 10, 400}, {200, 290, 10, 530},
}};

int32_t GetLe32(const uint8_t* p) {
  uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  return static_cast<int32_t>(v);
}

void PutLe32(uint8_t* p, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

std::array<uint8_t, kConfigHeaderSize> MakeHeader() {
  std::array<uint8_t, kConfigHeaderSize> h{};
  std::memcpy(h.data(), kSignature, 4);
  PutLe32(h.data() + 4, 1);  // format version
  return h;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A typed unsigned number: optional white space around decimal digits, nothing else.
bool ParseUnsignedField(std::string_view text, int& value) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  if (text.empty()) return false;
  unsigned v = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || ptr != text.data() + text.size() || v > 100000) return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace

const UserConfigTable& DefaultUserConfig() { return kDefaultTable; }

void BuildDefaultConfig(UserConfigState& state) {
  state.DefaultConfig = kDefaultTable;
  state.ConfigHeader = MakeHeader();
  state.ActiveConfig = state.DefaultConfig;
}

bool ApplyRangeConfig(SettingsState& state) {
  int r = state.Range;
  if (r < 0 || r >= kUserConfigRows) return false;
  const UserConfig& row = state.ActiveConfig[static_cast<std::size_t>(r)];
  int old_frequency = state.Frequency.exchange(row.Frequency);
  state.Absorption = row.Absorption;
  int pulse = row.PulseLength;
  if (state.GridMode == 1) pulse *= 2;  // Polar mode
  if (pulse > 1000) pulse = 1000;
  state.PulseLength = pulse;
  return old_frequency != row.Frequency;
}

int RoundFrequency(int khz) { return static_cast<int>(khz * 0.2 + 0.5) * 5; }
int RoundPulseLength(int micros) { return static_cast<int>(micros * 0.1 + 0.5) * 10; }

ConfigReadError ParseConfigBytes(std::span<const uint8_t> bytes, const UserConfigTable& defaults,
                                 UserConfigTable& table) {
  if (bytes.size() < 4 || std::memcmp(bytes.data(), kSignature, 4) != 0)
    return ConfigReadError::NoSignature;
  if (bytes.size() < kConfigFileSize) return ConfigReadError::TooShort;
  for (std::size_t i = 0; i < kUserConfigRows; ++i) {
    const uint8_t* p = bytes.data() + kConfigHeaderSize + kConfigRowStride * i;
    const UserConfig& d = defaults[i];
    int32_t label = GetLe32(p);
    int32_t frequency = GetLe32(p + 4);
    int32_t absorption = GetLe32(p + 8);
    int32_t pulse = GetLe32(p + 12);
    UserConfig& row = table[i];
    row.RangeLabel = (label >= 0 && label <= 14) ? label : d.RangeLabel;
    row.Frequency = (frequency >= 280 && frequency <= 1100) ? RoundFrequency(frequency) : d.Frequency;
    row.Absorption = (absorption >= 1 && absorption <= 255) ? absorption : d.Absorption;
    row.PulseLength = (pulse >= 10 && pulse <= 1000) ? RoundPulseLength(pulse) : d.PulseLength;
  }
  return ConfigReadError::None;
}

ConfigReadResult ReadConfigFile(UserConfigState& state, const std::string& path) {
  ConfigReadResult result;
  std::string bytes;
  if (!ReadWholeFile(path, bytes, kConfigFileSize)) {
    result.error = ConfigReadError::CannotOpen;
    return result;
  }
  UserConfigTable table = state.EditConfig;
  auto span = std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  result.error = ParseConfigBytes(span, state.DefaultConfig, table);
  if (result.error != ConfigReadError::None) return result;
  state.EditConfig = table;
  result.rows = table;
  result.ok = true;
  return result;
}

std::array<uint8_t, kConfigFileSize> ConfigFileBytes(const UserConfigTable& table) {
  std::array<uint8_t, kConfigFileSize> bytes{};
  auto header = MakeHeader();
  std::memcpy(bytes.data(), header.data(), header.size());
  for (std::size_t i = 0; i < kUserConfigRows; ++i) {
    uint8_t* p = bytes.data() + kConfigHeaderSize + kConfigRowStride * i;
    PutLe32(p, table[i].RangeLabel);
    PutLe32(p + 4, table[i].Frequency);
    PutLe32(p + 8, table[i].Absorption);
    PutLe32(p + 12, table[i].PulseLength);
  }
  return bytes;
}

bool WriteConfigFile(const UserConfigState& state, const std::string& path, std::string* error) {
  auto bytes = ConfigFileBytes(state.ActiveConfig);
  return WriteFileAtomically(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error);
}

bool HasConfigExtension(std::string_view path) {
  std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string_view ext = path.substr(dot + 1);
  if (ext.size() != 3) return false;
  for (std::size_t i = 0; i < 3; ++i) {
    char c = ext[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != "cfg"[i]) return false;
  }
  return true;
}

std::string ShortenConfigName(std::string_view name) {
  if (name.size() <= 30) return std::string(name);
  std::size_t sep = name.find_last_of("/\\");
  if (sep == std::string_view::npos) return std::string(name);
  return std::string(name.substr(0, 10)) + " ..." + std::string(name.substr(sep));
}

std::string RangeLabel(int range_index, int units) {
  if (range_index < 0 || range_index >= kUserConfigRows) return {};
  int metres = kRangeMetres[range_index];
  return units == 1 ? std::to_string(metres * 3) + " FT" : std::to_string(metres) + " M";
}

const char* AbsorptionUnit(int units) { return units == 1 ? "dB/ft" : "dB/m"; }

std::string AbsorptionText(int absorption, int units) {
  if (units == 1) return FormatFixed("%06.5f", absorption * 0.01 * kMetresPerFoot);
  return FormatFixed("%04.2f", absorption * 0.01);
}

FieldCheck CheckFrequencyField(std::string_view text) {
  FieldCheck check;
  int v = 0;
  if (ParseUnsignedField(text, v) && v >= 280 && v <= 1100) {
    check.ok = true;
    check.value = RoundFrequency(v);
  } else {
    check.message = "Frequency is out of range!\nUse 280 to 1100 kHz.";
  }
  return check;
}

FieldCheck CheckAbsorptionField(std::string_view text, int units) {
  FieldCheck check;
  // The field holds at most 7 characters; the number is in the display unit.
  text = text.substr(0, 7);
  double typed = ParseLenientFloat(text);
  float a = static_cast<float>(units == 1 ? typed * kFeetPerMetre : typed);
  if (a > 0.009 && a <= 2.55) {
    check.ok = true;
    check.value = static_cast<int>(a * 100.0f + 0.5f);
  } else {
    check.message = units == 1
                        ? "Absorption is out of range!\nUse 0.003048 to 0.77724 dB/ft."
                        : "Absorption is out of range!\nUse 0.01 to 2.55 dB/m.";
  }
  return check;
}

FieldCheck CheckPulseLengthField(std::string_view text) {
  FieldCheck check;
  int v = 0;
  if (ParseUnsignedField(text, v) && v >= 10 && v <= 1000) {
    check.ok = true;
    check.value = RoundPulseLength(v);
  } else {
    check.message = "Pulse Length is out of range!\nUse 10 to 1000 usec.";
  }
  return check;
}

std::string AutoSetupMessage(int range_index, int units, const std::string& message) {
  return "[" + RangeLabel(range_index, units) + "]\n" + message;
}

std::vector<std::string> ReadConfigDialog(UserConfigState& state,
                                          const std::array<ConfigRowTexts, kUserConfigRows>& rows,
                                          int units) {
  std::vector<std::string> messages;
  for (std::size_t i = 0; i < kUserConfigRows; ++i) {
    int row = static_cast<int>(i);
    FieldCheck f = CheckFrequencyField(rows[i].frequency);
    if (f.ok) state.ActiveConfig[i].Frequency = f.value;
    else messages.push_back(AutoSetupMessage(row, units, f.message));
    FieldCheck a = CheckAbsorptionField(rows[i].absorption, units);
    if (a.ok) {
      state.ActiveConfig[i].Absorption = a.value;
      state.EditConfig[i].Absorption = a.value;
    } else {
      messages.push_back(AutoSetupMessage(row, units, a.message));
    }
    FieldCheck p = CheckPulseLengthField(rows[i].pulse_length);
    if (p.ok) state.ActiveConfig[i].PulseLength = p.value;
    else messages.push_back(AutoSetupMessage(row, units, p.message));
  }
  return messages;
}

std::array<ConfigRowTexts, kUserConfigRows> ConfigDialogTexts(const UserConfigTable& table,
                                                              int units) {
  std::array<ConfigRowTexts, kUserConfigRows> texts;
  for (std::size_t i = 0; i < kUserConfigRows; ++i) {
    texts[i].frequency = std::to_string(table[i].Frequency);
    texts[i].absorption = AbsorptionText(table[i].Absorption, units);
    texts[i].pulse_length = std::to_string(table[i].PulseLength);
  }
  return texts;
}

void ResetToDefaultConfig(UserConfigState& state) {
  state.PendingConfigName = "Default";
  BuildDefaultConfig(state);
  state.EditConfig = state.ActiveConfig;
}

void SelectManualSetup(SettingsState& state) {
  state.ConfigType = 0;
  state.Frequency = state.ManualFrequency;
  state.Absorption = state.ManualAbsorption;
  state.PulseLength = state.ManualPulseLength;
}

void SelectAutoSetup(SettingsState& state) {
  state.ConfigType = 1;
  state.ManualFrequency = state.Frequency;
  state.ManualAbsorption = state.Absorption;
  state.ManualPulseLength = state.PulseLength;
  ApplyRangeConfig(state);
}

void ApplyManualDefaults(SettingsState& state) {
  state.Frequency = state.ManualFrequency = 675;
  state.Absorption = state.ManualAbsorption = 20;
  state.PulseLength = state.ManualPulseLength = 100;
}

std::vector<std::string> ApplyManualSetup(SettingsState& state, std::string_view frequency,
                                          std::string_view absorption,
                                          std::string_view pulse_length) {
  std::vector<std::string> messages;
  FieldCheck f = CheckFrequencyField(frequency);
  if (f.ok) state.Frequency = state.ManualFrequency = f.value;
  else messages.push_back(f.message);
  FieldCheck a = CheckAbsorptionField(absorption, state.Units);
  if (a.ok) state.Absorption = state.ManualAbsorption = a.value;
  else messages.push_back(a.message);
  FieldCheck p = CheckPulseLengthField(pulse_length);
  if (p.ok) state.PulseLength = state.ManualPulseLength = p.value;
  else messages.push_back(p.message);
  return messages;
}
