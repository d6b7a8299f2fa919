// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_io.h"

#include <cerrno>
#include <charconv>
#include <cfloat>
#include <climits>
#include <cmath>
#include <unistd.h>

#include "settings/ini_file.h"
#include "settings/settings_keys.h"
#include "settings/user_config.h"

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view SkipSpaceAndSign(std::string_view text, bool& negative) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  return text.substr(i);
}

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string Quote(std::string_view s) { return "'" + std::string(s) + "'"; }

std::string CurrentDirectory() {
  std::string buf(4096, '\0');
  if (::getcwd(buf.data(), buf.size()) == nullptr) return ".";
  buf.resize(std::char_traits<char>::length(buf.c_str()));
  return buf;
}

bool IntAccepted(const SettingKey& key, int v) {
  if (key.allowed_count > 0) {
    for (int i = 0; i < key.allowed_count; ++i)
      if (key.allowed[i] == v) return true;
    return false;
  }
  return v >= key.min && v <= key.max;
}

void LoadInt(SettingsState& state, const SettingKey& key, const std::string& text,
             KeyLoadResult& result) {
  bool digits = false;
  int v = ParseLenientInt(text, &digits);
  if (!digits && result.has_text) {
    result.origin = KeyOrigin::Unreadable;
    result.note = "no number in " + Quote(text);
  }
  if (!IntAccepted(key, v)) {
    int fallback = static_cast<int>(key.fallback);
    if (digits) {
      result.origin = KeyOrigin::OutOfRange;
      result.note = std::to_string(v) + " is not " + AcceptedText(key);
    }
    result.note += ": fallback " + std::to_string(fallback);
    v = fallback;
  } else if (!digits && result.has_text) {
    result.note += ": read as 0";
  } else if (key.rule == KeyRule::Frequency) {
    int rounded = RoundFrequency(v);
    if (rounded != v) result.note = "rounded from " + std::to_string(v);
    v = rounded;
  } else if (result.has_text) {
    // Text after the number is ignored; say so when there was any.
    std::string_view t = text;
    while (!t.empty() && IsSpace(t.back())) t.remove_suffix(1);
    bool neg;
    std::string_view rest = SkipSpaceAndSign(t, neg);
    std::size_t n = 0;
    while (n < rest.size() && rest[n] >= '0' && rest[n] <= '9') ++n;
    if (n < rest.size()) result.note = "read as " + std::to_string(v) + " from " + Quote(text);
  }
  state.*key.int_field = v;
  if (key.int_head) state.*key.int_head = v;
}

void LoadFloat(SettingsState& state, const SettingKey& key, const std::string& text,
               KeyLoadResult& result) {
  bool number = false;
  float v = ParseLenientFloat(text, &number);
  if (!number && result.has_text) {
    result.origin = KeyOrigin::Unreadable;
    result.note = "no number in " + Quote(text);
  }
  bool accepted;
  if (key.rule == KeyRule::AnyFloat) {
    accepted = std::isfinite(v);
  } else {
    double max = key.max;
    if (key.rule == KeyRule::ProfileMinimumRange && state.Units == 1) max = 82.0;
    accepted = v >= key.min && v <= max;  // NaN is never accepted
  }
  if (!accepted) {
    float fallback = static_cast<float>(key.fallback);
    if (number) {
      result.origin = KeyOrigin::OutOfRange;
      result.note = Quote(text) + " is not " +
                    (key.rule == KeyRule::AnyFloat ? "in the range of the setting, " + AcceptedText(key)
                     : key.rule == KeyRule::ProfileMinimumRange
                         ? std::string(state.Units == 1 ? "0.0 to 82.0 (feet)" : "0.0 to 25.0 (metres)")
                         : AcceptedText(key));
    }
    result.note += ": fallback " + FormatSettingFloat(key.write_format, fallback);
    v = fallback;
  } else if (!number && result.has_text) {
    result.note += ": read as 0.0";
  }
  state.*key.float_field = v;
  if (key.float_head) state.*key.float_head = v;
}

void LoadText(SettingsState& state, const SettingKey& key, std::string text,
              KeyLoadResult& result) {
  if (text.empty()) {
    result.origin = KeyOrigin::Unreadable;
    result.note = "empty: default text";
    text = key.default_text;
  }
  if (key.rule == KeyRule::UserText && text.size() > kUserTextMax) {
    text.resize(kUserTextMax);
    // Blanks at the new end would not survive the next save and load.
    while (!text.empty() && IsSpace(text.back())) text.pop_back();
    result.note = "cut to 79 characters";
  }
  state.*key.text_field = text;
  if (key.text_head) state.*key.text_head = text;
}

// Reads the .CFG named by ConfigFile into the active table, or falls back to the
// built-in table under the name "Default".
void LoadNamedConfig(SettingsState& state, const std::string& ini_path,
                     SettingsLoadReport& report, KeyLoadResult& result) {
  std::string name = state.ConfigFile.get();
  state.ConfigDialogPath = name;
  state.PendingConfigName = name;
  bool loaded = false;
  if (name != "Default") {
    std::string path = name;
    if (path.front() != '/') path = DirectoryOf(ini_path) + "/" + path;
    ConfigReadResult read = ReadConfigFile(state, path);
    loaded = read.ok;
    if (loaded) {
      state.ActiveConfig = state.EditConfig;
    } else {
      switch (read.error) {
        case ConfigReadError::CannotOpen: report.config_note = "cannot be opened"; break;
        case ConfigReadError::NoSignature: report.config_note = "is not a .CFG file"; break;
        case ConfigReadError::TooShort: report.config_note = "is shorter than 5200 bytes"; break;
        case ConfigReadError::None: break;
      }
      report.config_note = Quote(path) + " " + report.config_note;
      result.origin = KeyOrigin::NotLoaded;
      result.note = report.config_note + ": Default";
    }
  }
  if (!loaded) {
    state.ConfigFile = "Default";
    state.ConfigDialogPath = "Default";
    state.PendingConfigName = "Default";
  }
  report.config_loaded = loaded;
}

}  // namespace

const char* KeyOriginText(KeyOrigin origin) {
  switch (origin) {
    case KeyOrigin::Read: return "read";
    case KeyOrigin::Missing: return "missing";
    case KeyOrigin::Unreadable: return "unreadable";
    case KeyOrigin::OutOfRange: return "out of range";
    case KeyOrigin::NotLoaded: return "not loaded";
  }
  return "?";
}

int ParseLenientInt(std::string_view text, bool* had_digits) {
  bool negative;
  std::string_view rest = SkipSpaceAndSign(text, negative);
  long long v = 0;
  std::size_t i = 0;
  for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) {
    if (v <= static_cast<long long>(INT_MAX) + 1) v = v * 10 + (rest[i] - '0');
  }
  if (had_digits) *had_digits = i > 0;
  if (negative) v = -v;
  // Numbers beyond the int range saturate, as the C library's reader does.
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

float ParseLenientFloat(std::string_view text, bool* had_number) {
  bool negative;
  std::string_view rest = SkipSpaceAndSign(text, negative);
  if (had_number) *had_number = false;
  if (rest.empty() || rest.front() == '-' || rest.front() == '+') return 0.0f;
  double d = 0.0;
  auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), d,
                                   std::chars_format::general);
  if (ec == std::errc::invalid_argument) return 0.0f;
  if (ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: infinity, or zero for a tiny number.
    std::string_view number(rest.data(), static_cast<std::size_t>(ptr - rest.data()));
    bool tiny = number.find("e-") != std::string_view::npos ||
                number.find("E-") != std::string_view::npos;
    d = tiny ? 0.0 : HUGE_VAL;
  }
  if (had_number) *had_number = true;
  if (negative) d = -d;
  if (std::isfinite(d) && std::fabs(d) > FLT_MAX) d = d > 0 ? HUGE_VAL : -HUGE_VAL;
  return static_cast<float>(d);
}

std::string FormatFixed(const char* format, double value) {
  // format is "%[0][width][.precision]f"
  bool zero = false;
  int width = 0, precision = 6;
  const char* p = format ? format : "%f";
  if (*p == '%') ++p;
  if (*p == '0') {
    zero = true;
    ++p;
  }
  while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
  if (*p == '.') {
    ++p;
    precision = 0;
    while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
  }
  char buf[700];
  double d = value;
  std::string body;
  if (precision > 300) precision = 300;
  if (std::isnan(d)) {
    body = std::signbit(d) ? "-nan" : "nan";
  } else if (std::isinf(d)) {
    body = d < 0 ? "-inf" : "inf";
  } else {
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, precision);
    body.assign(buf, ec == std::errc() ? end : buf);
  }
  if (static_cast<int>(body.size()) >= width) return body;
  std::size_t pad = static_cast<std::size_t>(width) - body.size();
  if (zero && std::isfinite(d)) {
    std::size_t at = (!body.empty() && body[0] == '-') ? 1 : 0;
    body.insert(at, pad, '0');
    return body;
  }
  return std::string(pad, ' ') + body;
}

std::string SettingsPathForDirectory(const std::string& directory) {
  if (!directory.empty() && directory.back() == '/') return directory + kSettingsFileName;
  return directory + "/" + kSettingsFileName;
}

SettingsLoadReport LoadSettings(SettingsState& state) {
  return LoadSettings(state, SettingsPathForDirectory(CurrentDirectory()));
}

SettingsLoadReport LoadSettings(SettingsState& state, const std::string& path) {
  IniFile ini;
  bool found = false;
  std::string error;
  if (!IniFile::Load(path, ini, &found, &error)) ini = IniFile();
  SettingsLoadReport report = LoadSettingsFromIni(state, ini, path);
  report.file_found = found;
  report.error = error;
  return report;
}

SettingsLoadReport LoadSettingsFromIni(SettingsState& state, const IniFile& ini,
                                       const std::string& path) {
  SettingsLoadReport report;
  report.path = path;
  report.file_found = true;
  state.SettingsPath = path;

  for (const SettingKey& key : SettingKeys()) {
    KeyLoadResult result;
    result.section = key.section;
    result.key = key.key;
    std::optional<std::string> raw = ini.Get(key.section, key.key);
    std::string text = key.default_text;
    if (raw) {
      result.has_text = true;
      result.file_text = *raw;
      text = *raw;
      if (text.size() > kIniValueMax) text.resize(kIniValueMax);
    } else {
      result.origin = KeyOrigin::Missing;
    }
    switch (key.type) {
      case KeyType::Int: LoadInt(state, key, text, result); break;
      case KeyType::Float: LoadFloat(state, key, text, result); break;
      case KeyType::Text: LoadText(state, key, text, result); break;
    }
    if (key.rule == KeyRule::ConfigFile) LoadNamedConfig(state, path, report, result);
    report.keys.push_back(std::move(result));
  }

  // Values that follow from the loaded ones.
  state.HeadBaudIndex = 5;  // the head link always runs at 115200 bit/s
  state.PreviousRunMode = state.RunMode.load();
  int grid_mode = state.GridMode;
  int sector = grid_mode == 1 ? state.PolarSectorSize.load()
               : grid_mode == 2 ? 0
                                : state.SectorSectorSize.load();
  state.SectorSize = sector;
  state.SectorSizeHead = sector;
  state.ProfileMenu = state.Profile.load();
  state.ProfileImaging = state.Profile.load();
  return report;
}

std::vector<SettingText> SettingsToTexts(const SettingsState& state) {
  std::vector<SettingText> out;
  out.push_back({kSettingsSection, "MasterHeadID", std::to_string(state.MasterHeadID.load())});
  // In File run mode the working values belong to the played file; the user's own
  // head settings are in the head copies.
  bool file_mode = state.RunMode == 1;
  for (const SettingKey& key : SettingKeys()) {
    std::string value;
    switch (key.type) {
      case KeyType::Int: {
        auto field = file_mode && key.int_head ? key.int_head : key.int_field;
        value = std::to_string((state.*field).load());
        break;
      }
      case KeyType::Float: {
        auto field = file_mode && key.float_head ? key.float_head : key.float_field;
        value = FormatSettingFloat(key.write_format, (state.*field).load());
        break;
      }
      case KeyType::Text: {
        auto field = file_mode && key.text_head ? key.text_head : key.text_field;
        value = (state.*field).get();
        break;
      }
    }
    out.push_back({key.section, key.key, std::move(value)});
  }
  return out;
}

bool SaveSettings(const SettingsState& state, std::string* error) {
  return SaveSettings(state, state.SettingsPath.get(), error);
}

bool SaveSettings(const SettingsState& state, const std::string& path, std::string* error) {
  return SaveSettingsAs(state, path, path, error);
}

bool SaveSettingsAs(const SettingsState& state, const std::string& path,
                    const std::string& out_path, std::string* error) {
  if (path.empty() || out_path.empty()) {
    if (error) *error = "no settings file path";
    return false;
  }
  IniFile ini;
  std::string load_error;
  // Never replace a file that exists but cannot be read: its other contents would be lost.
  if (!IniFile::Load(path, ini, nullptr, &load_error)) {
    if (error) *error = load_error;
    return false;
  }
  for (const SettingText& t : SettingsToTexts(state)) ini.Set(t.section, t.key, t.value);
  return ini.Save(out_path, error);
}
