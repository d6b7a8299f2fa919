// SPDX-License-Identifier: GPL-3.0-or-later
// The serial devices present on this machine, described with what the system knows
// of them (maker, model, serial number), for choosing which device each of COM1 ...
// COM8 is. Listed through libudev (which reads sysfs, and the udev database when
// udev runs), plus the stable /dev/serial/by-id/ links and the pseudo-terminals.
#pragma once

#include <string>
#include <vector>

enum class DeviceAccess {
  kOpenable,      // this user may read and write it
  kNoPermission,  // present, but this user is not allowed to open it
  kMissing,       // no such device
};

struct SerialDevice {
  std::string path;         // the path to store: the /dev/serial/by-id/ link when there is one
  std::string node;         // the device node itself: /dev/ttyUSB0, /dev/ttyS0, /dev/pts/3
  std::string description;  // "FTDI USB-RS485 Cable, serial A10K3B2C"
  bool pseudo = false;      // a pseudo-terminal (a software line such as the simulator's)
  DeviceAccess access = DeviceAccess::kOpenable;
};

// Every serial device present: USB and on-board ports first (by node name), then
// the pseudo-terminals this user owns (all of them for root).
std::vector<SerialDevice> ListSerialDevices();

// What the system knows of one path: the listed device it names (a by-id link,
// another link or the node itself all match), or a device with an empty
// description and the access found by stat() when it is not listed.
SerialDevice DescribeSerialPath(const std::vector<SerialDevice>& listed, const std::string& path);

// Whether this user may open `path` for reading and writing.
DeviceAccess CheckDeviceAccess(const std::string& path);

// One line for a device: "/dev/serial/by-id/... (FTDI USB-RS485 Cable, serial
// A10K3B2C)", with "no permission" or "missing" when it cannot be opened.
std::string DeviceLabel(const SerialDevice& device);

// The message for a device this user may not open: what is wrong and how to get
// access (the group that owns the device, usually "dialout").
std::string PermissionAdvice(const std::string& path);

// One line on why port COM`number` (device `path`) did not open, from the open's
// own `error` ("path: reason"): "COM1: /dev/ttyUSB0 does not exist", "COM1:
// /dev/ttyUSB0 cannot be opened: in use", "COM1 has no device".
std::string PortProblemText(int number, const std::string& path, const std::string& error);
