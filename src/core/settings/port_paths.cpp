// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/port_paths.h"

#include "settings/ini_file.h"

std::string DefaultComPortPath(int index) {
  if (index < 0 || index >= kComPortCount) return {};
  if (index < 4) return "/dev/ttyUSB" + std::to_string(index);
  return "/dev/ttyS" + std::to_string(index - 4);
}

std::string ComPortKey(int index) { return "COM" + std::to_string(index + 1); }

std::string ComPortPath(const IniFile& ini, int index) {
  if (index < 0 || index >= kComPortCount) return {};
  std::string path = ini.GetString(kSerialPortsSection, ComPortKey(index), "");
  return path.empty() ? DefaultComPortPath(index) : path;
}

ComPortPaths LoadComPortPaths(const IniFile& ini) {
  ComPortPaths paths;
  for (int i = 0; i < kComPortCount; ++i) paths[static_cast<std::size_t>(i)] = ComPortPath(ini, i);
  return paths;
}

ComPortPaths LoadComPortPaths(const std::string& ini_path) {
  IniFile ini;
  IniFile::Load(ini_path, ini);
  return LoadComPortPaths(ini);
}

void StoreComPortPaths(IniFile& ini, const ComPortPaths& paths) {
  for (int i = 0; i < kComPortCount; ++i)
    ini.Set(kSerialPortsSection, ComPortKey(i), paths[static_cast<std::size_t>(i)]);
}
