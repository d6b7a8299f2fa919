// SPDX-License-Identifier: GPL-3.0-or-later
#include "survey_run.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "app_state.h"
#include "outputs/auto_azimuth.h"
#include "settings/ini_file.h"
#include "settings/settings_io.h"
#include "settings/settings_keys.h"

namespace q47v::survey {

namespace {

// Whether the whole text is one number (white space around it allowed): "" when
// it is, otherwise what is wrong with it. A number too small to tell from zero is
// a number (it reads as 0, as in the file); one too large for the setting is not.
std::string NumberProblem(const std::string& text, bool integer) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  bool too_large = false;
  if (integer) {
    const long v = std::strtol(begin, &end, 10);
    too_large = errno == ERANGE || v > INT_MAX || v < INT_MIN;
  } else {
    const double v = std::strtod(begin, &end);
    too_large = (errno == ERANGE && std::fabs(v) > 1.0) || (end != begin && std::fabs(v) > FLT_MAX);
    if (end != begin && std::isnan(v)) return "is not a number";
  }
  if (end == begin) return integer ? "is not a whole number" : "is not a number";
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return integer ? "is not a whole number" : "is not a number";
  if (too_large) return "is out of range for the setting";
  return "";
}

bool WholeNumber(const std::string& text, bool integer) { return NumberProblem(text, integer).empty(); }

}  // namespace

bool ParseGeometry(const std::string& text, SurveyGeometry& geometry) {
  if (text == "vertical") geometry = SurveyGeometry::kVertical;
  else if (text == "horizontal") geometry = SurveyGeometry::kHorizontal;
  else if (text == "azimuth") geometry = SurveyGeometry::kAzimuth;
  else return false;
  return true;
}

bool LoadSurveySettings(AppState& state, const std::string& ini_path, const std::vector<std::string>& sets,
                        std::string& error, std::vector<std::string>& notes) {
  IniFile ini;
  if (!ini_path.empty()) {
    bool found = false;
    std::string why;
    if (!IniFile::Load(ini_path, ini, &found, &why)) {
      error = "cannot read the settings file " + ini_path + ": " + why;
      return false;
    }
    if (!found) {
      error = "cannot read the settings file " + ini_path + ": No such file or directory";
      return false;
    }
  }
  std::vector<const SettingKey*> overridden;
  for (const std::string& set : sets) {
    const std::size_t eq = set.find('=');
    if (eq == std::string::npos || eq == 0) {
      error = "--set takes KEY=VALUE, not '" + set + "'";
      return false;
    }
    const std::string name = set.substr(0, eq), value = set.substr(eq + 1);
    const SettingKey* key = FindSettingKey(name);
    if (!key) {
      error = "--set " + set + ": there is no setting '" + name + "' (q47v settings lists them)";
      return false;
    }
    if (key->type != KeyType::Text) {
      const std::string problem = NumberProblem(value, key->type == KeyType::Int);
      if (!problem.empty()) {
        error = "--set " + set + ": '" + value + "' " + problem + " (" + key->key + " takes " + AcceptedText(*key) +
                ")";
        return false;
      }
    }
    ini.Set(key->section, key->key, value);
    overridden.push_back(key);
  }
  const SettingsLoadReport report = LoadSettingsFromIni(state, ini, ini_path.empty() ? kSettingsFileName : ini_path);
  for (const KeyLoadResult& k : report.keys) {
    if (k.origin == KeyOrigin::Read && k.note.empty()) continue;
    bool was_set = false;
    for (const SettingKey* key : overridden) was_set |= k.key == key->key;
    if (!was_set && !k.has_text) continue;
    notes.push_back((was_set ? "--set " : "") + k.key + "=" + k.file_text + ": " + KeyOriginText(k.origin) +
                    (k.note.empty() ? "" : ", " + k.note));
  }
  return true;
}

bool ParseAzimuthRun(const std::string& text, AzimuthRunAngles& angles, std::string& error) {
  const std::size_t a = text.find(':');
  const std::size_t b = a == std::string::npos ? a : text.find(':', a + 1);
  if (b == std::string::npos || text.find(':', b + 1) != std::string::npos) {
    error = "--auto-azimuth takes START:STOP:INC in degrees, not '" + text + "'";
    return false;
  }
  const std::string parts[3] = {text.substr(0, a), text.substr(a + 1, b - a - 1), text.substr(b + 1)};
  double v[3];
  for (int i = 0; i < 3; ++i) {
    if (!WholeNumber(parts[i], false)) {
      error = "--auto-azimuth takes START:STOP:INC in degrees; '" + parts[i] + "' is not a number";
      return false;
    }
    v[i] = std::strtod(parts[i].c_str(), nullptr);
  }
  const std::vector<std::string> messages = CheckAzimuthAngles(v[0], v[1], v[2]);
  if (!messages.empty()) {
    error.clear();
    for (const std::string& m : messages) {
      std::string line = m;
      for (char& c : line)
        if (c == '\n') c = ' ';
      error += (error.empty() ? "" : "\n") + std::string(kAutoAzimuthTitle) + ": " + line;
    }
    return false;
  }
  angles = {v[0], v[1], v[2]};
  return true;
}

SnapshotAnswer SurveyAnswers::Snapshot(const SnapshotForm& form) {
  SnapshotAnswer a;
  a.Accepted = true;
  a.Enabled = !Stopping.load();
  a.Values = form.Values;
  if (!form.Vertical) a.Values[3] = Payout;
  a.Xyz = true;
  a.Bmp = false;
  a.Confirm = 0;
  a.Prompt = !form.Vertical && Payout != 0;
  return a;
}

AzimuthAnswer SurveyAnswers::Azimuth(const AzimuthForm&) {
  AzimuthAnswer a;
  a.Accepted = true;
  a.Enabled = true;
  a.Start = Angles.Start;
  a.Stop = Angles.Stop;
  a.Increment = Angles.Increment;
  a.Xyz = true;
  return a;
}

}  // namespace q47v::survey
