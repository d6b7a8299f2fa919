// SPDX-License-Identifier: GPL-3.0-or-later
// The "ComPort Setup" dialog: which serial line is the head's and which the GPS
// receiver's, and which device each of COM1 ... COM8 is.
#pragma once

#include <QDialog>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "link/serial_devices.h"
#include "settings/port_paths.h"

struct AppState;
class Prompts;

// "ComPort Setup" (COMPORTSETUP): head port and line control, GPS port, baud text
// and sentence type; ports the probe found missing cannot be chosen. Beside them,
// the device each of COM1 ... COM8 is, chosen from the serial devices present
// (listed again whenever a device comes or goes).
class ComPortDialog : public QDialog {
  Q_OBJECT
 public:
  // `paths`: the devices COM1 ... COM8 are now.
  ComPortDialog(AppState& state, Prompts& prompts, QWidget* parent, const ComPortPaths& paths);
  // The controls by their ids: head ports 1000..1007, GPS ports 2000..2007,
  // 106 AUTO / 107 RTS, 117 GPS Enable / 116 Disable, 113 GLL / 114 GGA.
  void Click(int id);
  void PressOk();
  bool IsChecked(int id) const;
  bool IsPushedIn(int id) const;  // a choice that cannot be taken
  std::string BaudText() const;
  // Set when "Ok" stored the choice: the program reopens the ports.
  bool Stored() const { return stored_; }

  // The device chooser of port 0..7: the paths offered, the text shown, and a
  // choice (false when `path` is not offered).
  std::vector<std::string> DeviceChoices(int port) const;
  std::string DeviceText(int port) const;
  bool ChooseDevice(int port, const std::string& path);
  // Lists the devices present again (the dialog does this by itself when /dev changes).
  void RefreshDevices();
  // The pending devices of COM1 ... COM8; after "Ok" the ones to use.
  const ComPortPaths& Paths() const { return paths_; }
  // The note shown under the chooser when a device may not be opened for lack of
  // permission (empty when there is none).
  std::string AccessNote() const;

 private:
  void Refresh();
  bool Present(int port) const;
  void WatchDevices();
  AppState& state_;
  Prompts& prompts_;
  int head_port_, gps_port_, io_card_, gps_type_;
  bool use_gps_;
  bool stored_ = false;
  std::map<int, class QAbstractButton*> buttons_;
  class QLabel* baud_ = nullptr;
  ComPortPaths paths_, probed_paths_;
  std::vector<SerialDevice> devices_;
  std::array<class QComboBox*, kComPortCount> choosers_{};
  class QLabel* access_note_ = nullptr;
  class QFileSystemWatcher* watcher_ = nullptr;
  class QTimer* relist_ = nullptr;
};
