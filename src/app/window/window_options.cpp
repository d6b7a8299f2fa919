// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/window_options.h"

#include "settings/ini_file.h"
#include "settings/settings_io.h"

namespace {

constexpr const char* kSection = "Window";

bool On(const IniFile& ini, const char* key) {
  const auto value = ini.Get(kSection, key);
  return value && ParseLenientInt(*value) != 0;
}

}  // namespace

WindowOptions LoadWindowOptions(const std::string& ini_path) {
  WindowOptions options;
  IniFile ini;
  if (!IniFile::Load(ini_path, ini)) return options;
  options.SmoothScaling = On(ini, "SmoothPictureScaling");
  options.FullScreen = On(ini, "FullScreen");
  return options;
}

bool SaveWindowOptions(const std::string& ini_path, const WindowOptions& options, std::string* error) {
  IniFile ini;
  if (!IniFile::Load(ini_path, ini, nullptr, error)) return false;
  ini.Set(kSection, "SmoothPictureScaling", options.SmoothScaling ? "1" : "0");
  ini.Set(kSection, "FullScreen", options.FullScreen ? "1" : "0");
  return ini.Save(ini_path, error);
}
