// SPDX-License-Identifier: GPL-3.0-or-later
// q47v ports [FILE|DIR] [--set COMn=PATH ...]: the serial devices present, with
// what the system knows of them, and which device each of COM1 ... COM8 is in a
// WINQ47V.INI file; --set changes the mapping without the window.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "link/serial_devices.h"
#include "settings/ini_file.h"
#include "settings/port_paths.h"
#include "settings/settings_io.h"
#include "text_output.h"

namespace q47v::cli {

namespace {

constexpr const char* kUsage =
    "usage: q47v ports [FILE|DIR] [--set COMn=PATH ...]\n"
    "\n"
    "Lists the serial devices present (USB adapters with maker, model and serial\n"
    "number, on-board ports, and this user's pseudo-terminals such as q47v-sim's),\n"
    "then the device each of COM1 ... COM8 names in the settings file (section\n"
    "\"Serial Ports\"), marking the head and GPS ports and any device that is\n"
    "missing or that this user may not open.\n"
    "\n"
    "  FILE          settings file (default ./WINQ47V.INI; a directory means\n"
    "                DIR/WINQ47V.INI)\n"
    "  --set COMn=PATH\n"
    "                store PATH as the device of COMn (1..8) in the file, keeping\n"
    "                everything else in it; prefer the /dev/serial/by-id/ path,\n"
    "                which stays the same whichever USB socket the adapter is in\n"
    "\n"
    "Exit status: 0 success, 1 file error, 2 usage error.\n";

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "COM3=/dev/ttyUSB0" -> (2, "/dev/ttyUSB0"); index -1 when malformed.
std::pair<int, std::string> ParseAssignment(const std::string& text) {
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos || eq + 1 >= text.size()) return {-1, {}};
  const std::string key = text.substr(0, eq);
  for (int i = 0; i < kComPortCount; ++i)
    if (IniNamesEqual(key, ComPortKey(i))) return {i, text.substr(eq + 1)};
  return {-1, {}};
}

}  // namespace

int RunPortsVerb(int argc, char** argv) {
  std::string file;
  std::vector<std::pair<int, std::string>> sets;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--set" || arg.rfind("--set=", 0) == 0) {
      std::string value;
      if (arg == "--set") {
        if (i + 1 >= argc) {
          std::fprintf(stderr, "q47v ports: --set needs COMn=PATH\n");
          return 2;
        }
        value = argv[++i];
      } else {
        value = arg.substr(6);
      }
      auto a = ParseAssignment(value);
      if (a.first < 0) {
        std::fprintf(stderr, "q47v ports: '%s' is not COMn=PATH with n from 1 to 8\n", value.c_str());
        return 2;
      }
      sets.push_back(std::move(a));
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "q47v ports: unknown option '%s' (try --help)\n", arg.c_str());
      return 2;
    } else if (file.empty()) {
      file = arg;
    } else {
      std::fprintf(stderr, "q47v ports: only one settings file may be given\n");
      return 2;
    }
  }
  std::string path = file.empty() ? "./" + std::string(kSettingsFileName)
                                   : IsDirectory(file) ? SettingsPathForDirectory(file) : file;

  IniFile ini;
  bool found = false;
  std::string error;
  if (!IniFile::Load(path, ini, &found, &error)) {
    std::fprintf(stderr, "q47v ports: %s\n", error.c_str());
    return 1;
  }
  if (!sets.empty()) {
    for (const auto& [index, device] : sets) ini.Set(kSerialPortsSection, ComPortKey(index), device);
    if (!ini.Save(path, &error)) {
      std::fprintf(stderr, "q47v ports: %s\n", error.c_str());
      return 1;
    }
    found = true;
  }

  const std::vector<SerialDevice> devices = ListSerialDevices();
  std::printf("Serial devices present:\n");
  if (devices.empty()) std::printf("  (none)\n");
  for (const SerialDevice& d : devices) {
    std::printf("  %s\n", DeviceLabel(d).c_str());
    if (d.node != d.path) std::printf("      = %s\n", d.node.c_str());
  }

  auto setting = [&ini](const char* key, int fallback) {
    const auto v = ini.Get(kSettingsSection, key);
    return v ? std::atoi(v->c_str()) : fallback;
  };
  const int head = setting("ComPort", 0);
  const int gps = setting("UseGPS", 0) == 1 ? setting("ComPortGPS", 1) : -1;
  std::printf("\nPorts in %s%s:\n", path.c_str(), found ? "" : " (no such file: the defaults)");
  std::string denied;  // the head or GPS device this user may not open
  for (int i = 0; i < kComPortCount; ++i) {
    const SerialDevice d = DescribeSerialPath(devices, ComPortPath(ini, i));
    const std::string role = i == head ? "  [head]" : i == gps ? "  [GPS]" : "";
    std::printf("  %s=%s%s\n", ComPortKey(i).c_str(), DeviceLabel(d).c_str(), role.c_str());
    if (d.access == DeviceAccess::kNoPermission && !role.empty() && denied.empty()) denied = d.path;
  }
  if (!denied.empty()) std::printf("\n%s\n", PermissionAdvice(denied).c_str());
  if (!FinishOutput("ports")) {
    // The file was changed all the same: a script must not take it for untouched.
    if (!sets.empty()) std::fprintf(stderr, "q47v ports: the ports were set in %s nevertheless\n", path.c_str());
    return 1;
  }
  return 0;
}

}  // namespace q47v::cli
