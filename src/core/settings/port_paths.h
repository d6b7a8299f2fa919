// SPDX-License-Identifier: GPL-3.0-or-later
// The serial device behind each of the program's port numbers COM1 ... COM8:
// WINQ47V.INI section "Serial Ports", keys "COM1" ... "COM8", each a device path.
// Shared by the head link, the GPS reader, the simulator and the GUI. Port indexes
// here are 0-based like the settings (`ComPort` 0 is COM1).
#pragma once

#include <array>
#include <string>

class IniFile;

inline constexpr int kComPortCount = 8;
inline constexpr const char* kSerialPortsSection = "Serial Ports";

using ComPortPaths = std::array<std::string, kComPortCount>;

// The path used when the file names none: COM1..COM4 /dev/ttyUSB0..3,
// COM5..COM8 /dev/ttyS0..3. Empty for an index outside 0..7.
std::string DefaultComPortPath(int index);

// The key name "COM1" ... "COM8" for index 0..7.
std::string ComPortKey(int index);

// The device path for port index 0..7 from the file; an empty or missing value
// gives the default. Empty for an index outside 0..7.
std::string ComPortPath(const IniFile& ini, int index);

// All eight paths from the file, or from the INI file at ini_path (defaults for a
// missing or unreadable file).
ComPortPaths LoadComPortPaths(const IniFile& ini);
ComPortPaths LoadComPortPaths(const std::string& ini_path);

// Writes all eight paths into the "Serial Ports" section.
void StoreComPortPaths(IniFile& ini, const ComPortPaths& paths);
