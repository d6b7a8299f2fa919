// SPDX-License-Identifier: GPL-3.0-or-later
#include "webview/live_view_settings.h"

#include <arpa/inet.h>
#include <civetweb.h>

#include <cerrno>
#include <cstdlib>

#include "settings/ini_file.h"

namespace webview {

namespace {

bool ParsePort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  const long v = std::strtol(text.c_str(), nullptr, 10);
  if (v < 0 || v > 65535) return false;
  port = static_cast<int>(v);
  return true;
}

}  // namespace

ServerOptions LoadLiveViewOptions(const IniFile& ini) {
  ServerOptions o;
  const std::string address = ini.GetString(kLiveViewSection, "Address", "127.0.0.1");
  if (!address.empty() && address.find_first_of(" ,\t") == std::string::npos) o.address = address;
  int port = kDefaultPort;
  if (ParsePort(ini.GetString(kLiveViewSection, "Port", ""), port)) o.port = port;
  const std::string viewers = ini.GetString(kLiveViewSection, "Viewers", "");
  int n = 0;
  if (ParsePort(viewers, n) && n >= 1 && n <= 200) o.maxViewers = n;
  return o;
}

ServerOptions LoadLiveViewOptions(const std::string& ini_path) {
  IniFile ini;
  IniFile::Load(ini_path, ini);
  return LoadLiveViewOptions(ini);
}

void StoreLiveViewOptions(IniFile& ini, const ServerOptions& options) {
  ini.Set(kLiveViewSection, "Address", options.address);
  ini.Set(kLiveViewSection, "Port", std::to_string(options.port));
  ini.Set(kLiveViewSection, "Viewers", std::to_string(options.maxViewers));
}

bool SaveLiveViewOptions(const std::string& ini_path, const ServerOptions& options, std::string* error) {
  IniFile ini;
  if (!IniFile::Load(ini_path, ini, nullptr, error)) return false;
  StoreLiveViewOptions(ini, options);
  return ini.Save(ini_path, error);
}

bool IPv6Served() { return mg_check_feature(8) != 0; }

bool ValidListenAddress(const std::string& address, std::string* why) {
  if (address == "localhost") return true;
  unsigned char bytes[16];
  if (inet_pton(AF_INET, address.c_str(), bytes) == 1) return true;
  if (inet_pton(AF_INET6, address.c_str(), bytes) == 1) {
    if (IPv6Served()) return true;
    if (why) *why = address + " is an IPv6 address, and this build's web server has no IPv6: use an IPv4 address";
    return false;
  }
  if (why) *why = "'" + address + "' is not an IPv4 address (four numbers 0 to 255, e.g. 127.0.0.1)";
  return false;
}

bool ParseListenAddress(const std::string& text, ServerOptions& options, std::string* why) {
  std::string address, port;
  if (!text.empty() && text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') return false;
    address = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
      port = text;
    } else {
      if (text.find(':') != colon) return false;  // a bare IPv6 address needs brackets
      address = text.substr(0, colon);
      port = text.substr(colon + 1);
    }
  }
  int p = 0;
  if (!ParsePort(port, p)) return false;
  if (address.find_first_of(" ,\t[]") != std::string::npos) return false;
  if (!address.empty() && !ValidListenAddress(address, why)) return false;
  options.address = address.empty() ? "127.0.0.1" : address;
  options.port = p;
  return true;
}

}  // namespace webview
