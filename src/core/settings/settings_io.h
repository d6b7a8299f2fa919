// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and saving WINQ47V.INI: every persistent setting by its key, with the
// lenient number reading, accepted values, fallbacks and derived values of the
// settings model, and the exact texts written back on close. The key table
// (settings_keys.h) drives loading, saving and the command-line tool alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_state.h"

inline constexpr const char* kSettingsFileName = "WINQ47V.INI";
inline constexpr const char* kSettingsSection = "Settings";
inline constexpr const char* kOrientationSection = "Orientation Module Settings";

// Why a key holds the value it holds after loading.
enum class KeyOrigin {
  Read,        // taken from the file (possibly rounded or cut, see note)
  Missing,     // not in the file: the default text was used
  Unreadable,  // text without a number: read as 0, which was not accepted -> fallback
  OutOfRange,  // a number outside the accepted values -> fallback
  NotLoaded,   // ConfigFile: the named .CFG could not be read -> "Default"
};

// "read", "missing", "unreadable", "out of range", "not loaded".
const char* KeyOriginText(KeyOrigin origin);

struct KeyLoadResult {
  std::string section;
  std::string key;
  KeyOrigin origin = KeyOrigin::Read;
  bool has_text = false;  // the file held the key
  std::string file_text;  // its text as read (when has_text)
  std::string note;       // what was changed and why, empty when taken as it stood
};

struct SettingsLoadReport {
  std::string path;              // the file read
  bool file_found = false;       // false: every key took its default
  std::string error;             // set when the file exists but could not be read
  std::vector<KeyLoadResult> keys;  // one per key, in the order of the key table
  bool config_loaded = false;    // the .CFG named by ConfigFile was read
  std::string config_note;       // why it was not (when ConfigFile is not "Default")
};

// The settings file of a working directory: directory + "/WINQ47V.INI".
std::string SettingsPathForDirectory(const std::string& directory);

// Loads the file at path into state as the program does at start-up, after
// BuildDefaultConfig: every key, its derived values and the user configuration
// named by ConfigFile (a relative name is taken relative to the file's directory).
// Records the path in state.SettingsPath for SaveSettings. A missing file is no
// error: every key takes its default.
SettingsLoadReport LoadSettings(SettingsState& state, const std::string& path);

// The same from file contents already read; path names the file (for the report,
// SettingsPath and the directory of a relative ConfigFile).
class IniFile;
SettingsLoadReport LoadSettingsFromIni(SettingsState& state, const IniFile& ini,
                                       const std::string& path);

// The start-up form: WINQ47V.INI in the current working directory.
SettingsLoadReport LoadSettings(SettingsState& state);

// The INI text of every key as SaveSettings writes it (head copies in File run
// mode), MasterHeadID first; pairs of section and "Key", value.
struct SettingText {
  std::string section;
  std::string key;
  std::string value;
};
std::vector<SettingText> SettingsToTexts(const SettingsState& state);

// Writes every key into the file at path (state.SettingsPath when not given),
// keeping whatever else the file holds. The write is atomic: false and *error
// when it failed, and the old file is then left as it was.
bool SaveSettings(const SettingsState& state, const std::string& path,
                  std::string* error = nullptr);
bool SaveSettings(const SettingsState& state, std::string* error = nullptr);

// The same save, but starting from the file at base_path and writing the result to
// out_path: out_path then holds what base_path would hold after a close.
bool SaveSettingsAs(const SettingsState& state, const std::string& base_path,
                    const std::string& out_path, std::string* error = nullptr);

// Lenient number reading used for settings and typed fields: leading white space,
// an optional sign, digits up to the first other character; no digits gives 0.
// *had_digits tells whether any number was there at all.
int ParseLenientInt(std::string_view text, bool* had_digits = nullptr);
// The same for a decimal floating-point number (exponent, "inf" and "nan" too),
// narrowed to float; text that is not a number gives 0.
float ParseLenientFloat(std::string_view text, bool* had_number = nullptr);

// printf-style "%W.Pf" / "%0W.Pf" formatting, independent of the locale (a float
// is formatted as printf formats it: widened to double).
std::string FormatFixed(const char* format, double value);
inline std::string FormatSettingFloat(const char* format, float value) {
  return FormatFixed(format, value);
}
