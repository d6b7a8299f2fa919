// SPDX-License-Identifier: GPL-3.0-or-later
// Where the live view listens, kept in WINQ47V.INI section "Live View":
//   Address=127.0.0.1   the address to listen on (127.0.0.1 by default: this
//                       computer only; 0.0.0.0 for every network, with a token)
//   Port=8047
//   Viewers=32          most viewers at once
#pragma once

#include <string>

#include "webview/live_view_server.h"

class IniFile;

namespace webview {

inline constexpr const char* kLiveViewSection = "Live View";
inline constexpr int kDefaultPort = 8047;

ServerOptions LoadLiveViewOptions(const IniFile& ini);
ServerOptions LoadLiveViewOptions(const std::string& ini_path);
void StoreLiveViewOptions(IniFile& ini, const ServerOptions& options);
// Reads the file, sets the section and writes it back; false and *error on failure.
bool SaveLiveViewOptions(const std::string& ini_path, const ServerOptions& options, std::string* error = nullptr);

// "ADDR:PORT", "[V6]:PORT" or ":PORT"/"PORT" (loopback) into options; false when
// malformed or the address is not one that can be listened on (*why tells).
bool ParseListenAddress(const std::string& text, ServerOptions& options, std::string* why = nullptr);

// An address the live view can listen on: "localhost", an IPv4 address of four
// numbers 0 to 255, or an IPv6 address where the web server library was built
// with IPv6. False and *why otherwise.
bool ValidListenAddress(const std::string& address, std::string* why = nullptr);
// Whether this build's web server library can listen on IPv6 addresses.
bool IPv6Served();

}  // namespace webview
