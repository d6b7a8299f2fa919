// SPDX-License-Identifier: GPL-3.0-or-later
// The key table of WINQ47V.INI: for every persistent setting its section, type,
// default text, accepted values, fallback, head copy and written format, in the
// order of the file. LoadSettings, SaveSettings and `q47v settings` all walk it.
#pragma once

#include <span>
#include <string>

#include "settings/settings_state.h"

enum class KeyType { Int, Float, Text };

// Keys whose reading or writing has a rule of its own beyond the table's columns.
enum class KeyRule {
  Plain,
  UserText,             // cut to 79 characters; empty takes the default text
  Frequency,            // accepted values rounded to 5 kHz
  ConfigFile,           // empty is "Default"; names the .CFG file to load
  ProfileMinimumRange,  // accepted 0..25 in metres, 0..82 in feet (Units)
  AnyFloat,             // no range check (any finite number)
};

struct SettingKey {
  const char* key;
  const char* section;
  KeyType type;
  const char* default_text;
  // Accepted: min..max, or when allowed_count > 0 only the listed values.
  double min;
  double max;
  int allowed[3];
  int allowed_count;
  double fallback;
  const char* write_format;  // "%06.1f" etc. for floats; nullptr: plain int or text
  KeyRule rule;
  AtomicInt SettingsState::*int_field;
  AtomicInt SettingsState::*int_head;  // head copy, or nullptr
  AtomicFloat SettingsState::*float_field;
  AtomicFloat SettingsState::*float_head;
  SharedText SettingsState::*text_field;
  SharedText SettingsState::*text_head;

  bool has_head() const { return int_head || float_head || text_head; }
};

// Every key of the file in table order (MasterHeadID is not among them: it is
// written first and never read).
std::span<const SettingKey> SettingKeys();

// The key of that name (any case), or nullptr.
const SettingKey* FindSettingKey(std::string_view key);

// The accepted values in words, e.g. "0 to 14", "4, 8, 16", "any".
std::string AcceptedText(const SettingKey& key);

// UserText holds at most this many characters.
inline constexpr std::size_t kUserTextMax = 79;
// A value read from the file is cut to this many characters, as the file reader's
// buffer holds.
inline constexpr std::size_t kIniValueMax = 255;
