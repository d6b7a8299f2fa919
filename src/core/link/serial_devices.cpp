// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/serial_devices.h"

#include <libudev.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <grp.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct UdevDeleter {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <class T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

std::string RealPath(const std::string& path) {
  char buf[PATH_MAX];
  if (!::realpath(path.c_str(), buf)) return {};
  return buf;
}

// Entries of a directory (without "." and ".."), sorted.
std::vector<std::string> DirEntries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Device node -> its /dev/serial/by-id/ link (made by udev for USB serial devices).
std::map<std::string, std::string> ByIdLinks() {
  std::map<std::string, std::string> links;
  const std::string dir = "/dev/serial/by-id";
  for (const std::string& n : DirEntries(dir)) {
    const std::string link = dir + "/" + n;
    const std::string target = RealPath(link);
    if (!target.empty() && !links.count(target)) links[target] = link;
  }
  return links;
}

// "Maker Model, serial S" from the udev database when udev runs, else from the
// USB device's own strings in sysfs.
std::string UsbDescription(udev_device* tty) {
  auto prop = [tty](const char* key) { return Text(udev_device_get_property_value(tty, key)); };
  std::string vendor = prop("ID_VENDOR_FROM_DATABASE");
  if (vendor.empty()) vendor = prop("ID_VENDOR");
  std::string model = prop("ID_MODEL_FROM_DATABASE");
  if (model.empty()) model = prop("ID_MODEL");
  std::string serial = prop("ID_SERIAL_SHORT");
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
  if (usb) {
    const std::string manufacturer = Text(udev_device_get_sysattr_value(usb, "manufacturer"));
    const std::string product = Text(udev_device_get_sysattr_value(usb, "product"));
    if (!manufacturer.empty()) vendor = manufacturer;
    if (!product.empty()) model = product;
    if (serial.empty()) serial = Text(udev_device_get_sysattr_value(usb, "serial"));
    if (vendor.empty() && model.empty()) {
      vendor = "USB device " + Text(udev_device_get_sysattr_value(usb, "idVendor"));
      model = Text(udev_device_get_sysattr_value(usb, "idProduct"));
    }
  }
  for (std::string* s : {&vendor, &model})
    std::replace(s->begin(), s->end(), '_', ' ');
  std::string text = vendor;
  if (!model.empty()) text += (text.empty() ? "" : " ") + model;
  if (!serial.empty()) text += ", serial " + serial;
  if (text.empty()) text = "USB serial device";
  return text;
}

bool IsPseudoTerminalName(const std::string& n) {
  return !n.empty() && std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

DeviceAccess CheckDeviceAccess(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return DeviceAccess::kMissing;
  if (::access(path.c_str(), R_OK | W_OK) == 0) return DeviceAccess::kOpenable;
  if (errno == EACCES || errno == EPERM) return DeviceAccess::kNoPermission;
  // Anything else (a device node on a read-only file system, say) is for the open to tell.
  return DeviceAccess::kOpenable;
}

std::vector<SerialDevice> ListSerialDevices() {
  std::vector<SerialDevice> devices;
  const std::map<std::string, std::string> by_id = ByIdLinks();
  UdevPtr<udev> u(udev_new());
  if (u) {
    UdevPtr<udev_enumerate> en(udev_enumerate_new(u.get()));
    udev_enumerate_add_match_subsystem(en.get(), "tty");
    udev_enumerate_scan_devices(en.get());
    for (udev_list_entry* e = udev_enumerate_get_list_entry(en.get()); e; e = udev_list_entry_get_next(e)) {
      UdevPtr<udev_device> dev(udev_device_new_from_syspath(u.get(), udev_list_entry_get_name(e)));
      if (!dev) continue;
      const std::string node = Text(udev_device_get_devnode(dev.get()));
      udev_device* parent = udev_device_get_parent(dev.get());
      // Consoles, ptmx and the like have no hardware behind them.
      if (node.empty() || !parent) continue;
      SerialDevice d;
      d.node = node;
      if (udev_device_get_parent_with_subsystem_devtype(dev.get(), "usb", "usb_device")) {
        d.description = UsbDescription(dev.get());
      } else {
        // Serial-core ports: type 0 means no UART answers there (the kernel keeps
        // placeholders ttyS0..ttyS31 whether or not the hardware exists).
        const char* type = udev_device_get_sysattr_value(dev.get(), "type");
        if (type && std::atoi(type) == 0) continue;
        const std::string driver = Text(udev_device_get_driver(parent));
        d.description = "On-board serial port";
        if (!driver.empty() && driver != "serial8250" && driver != "port") d.description += ", " + driver;
      }
      auto link = by_id.find(node);
      d.path = link != by_id.end() ? link->second : node;
      d.access = CheckDeviceAccess(node);
      devices.push_back(std::move(d));
    }
  }
  std::sort(devices.begin(), devices.end(),
            [](const SerialDevice& a, const SerialDevice& b) { return a.node < b.node; });

  // Pseudo-terminals: numbered in /dev/pts; others' are not ours to take.
  const uid_t me = ::geteuid();
  std::vector<std::pair<int, SerialDevice>> ptys;
  for (const std::string& n : DirEntries("/dev/pts")) {
    if (!IsPseudoTerminalName(n) || n.size() > 9) continue;
    const std::string node = "/dev/pts/" + n;
    struct stat st {};
    if (::stat(node.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) continue;
    if (me != 0 && st.st_uid != me) continue;
    SerialDevice d;
    d.node = d.path = node;
    d.description = "Pseudo-terminal, software line";
    d.pseudo = true;
    d.access = CheckDeviceAccess(node);
    ptys.emplace_back(std::atoi(n.c_str()), std::move(d));
  }
  std::sort(ptys.begin(), ptys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& p : ptys) devices.push_back(std::move(p.second));
  return devices;
}

SerialDevice DescribeSerialPath(const std::vector<SerialDevice>& listed, const std::string& path) {
  const std::string real = RealPath(path);
  for (const SerialDevice& d : listed)
    if (d.path == path || d.node == path || (!real.empty() && d.node == real)) {
      SerialDevice found = d;
      found.path = path;
      return found;
    }
  SerialDevice d;
  d.path = path;
  d.node = real.empty() ? path : real;
  d.access = CheckDeviceAccess(path);
  return d;
}

std::string DeviceLabel(const SerialDevice& device) {
  std::string text = device.path;
  std::string about = device.description;
  if (device.access == DeviceAccess::kNoPermission) about += std::string(about.empty() ? "" : "; ") + "no permission";
  if (device.access == DeviceAccess::kMissing) about += std::string(about.empty() ? "" : "; ") + "missing";
  if (!about.empty()) text += " (" + about + ")";
  return text;
}

std::string PermissionAdvice(const std::string& path) {
  std::string group_name = "dialout";
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0)
    if (const struct group* g = ::getgrgid(st.st_gid); g && g->gr_name && g->gr_gid != 0) group_name = g->gr_name;
  return path + " cannot be opened: permission denied.\n"
         "Serial devices belong to the group \"" + group_name + "\". Add yourself to it with\n"
         "    sudo usermod -aG " + group_name + " $USER\n"
         "then log out and in again.";
}

std::string PortProblemText(int number, const std::string& path, const std::string& error) {
  const std::string port = "COM" + std::to_string(number);
  if (path.empty()) return port + " has no device";
  switch (CheckDeviceAccess(path)) {
    case DeviceAccess::kMissing: return port + ": " + path + " does not exist";
    case DeviceAccess::kNoPermission: return port + ": " + path + " cannot be opened: permission denied";
    case DeviceAccess::kOpenable: break;
  }
  std::string why = error;
  if (why.rfind(path + ": ", 0) == 0) why.erase(0, path.size() + 2);
  return port + ": " + path + " cannot be opened" + (why.empty() ? std::string() : ": " + why);
}
