// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer harness for the INI reader and the settings loader: any bytes parse,
// edits keep what was read, and a loaded state saved and loaded again is unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/ini_file.h"
#include "settings/settings_io.h"
#include "settings/user_config.h"

namespace {

std::vector<SettingText> LoadTexts(const IniFile& ini) {
  SettingsState state;
  BuildDefaultConfig(state);
  LoadSettingsFromIni(state, ini, "/nonexistent-q47v-fuzz/WINQ47V.INI");
  return SettingsToTexts(state);
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  IniFile ini = IniFile::Parse(text);
  Check(IniFile::Parse(ini.Text()).Text() == ini.Text());

  std::vector<SettingText> first = LoadTexts(ini);
  for (const SettingText& t : first) ini.Set(t.section, t.key, t.value);
  std::vector<SettingText> second = LoadTexts(IniFile::Parse(ini.Text()));
  Check(first.size() == second.size());
  for (std::size_t i = 1; i < first.size(); ++i) {  // [0] is MasterHeadID, never read
    // Texts may lose an enclosing pair of quotes on each load (as private-profile
    // files do) and have line breaks written as spaces: numbers must be stable.
    if (first[i].key == "UserText" || first[i].key == "ConfigFile") continue;
    Check(first[i].value == second[i].value);
  }
  return 0;
}
