// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/com_port_dialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>

#include "app_state.h"
#include "dialogs/prompts.h"
#include "settings/settings_io.h"

ComPortDialog::ComPortDialog(AppState& state, Prompts& prompts, QWidget* parent, const ComPortPaths& paths)
    : QDialog(parent), state_(state), prompts_(prompts), paths_(paths), probed_paths_(paths) {
  setWindowTitle("ComPort Setup");
  head_port_ = state.ComPort;
  gps_port_ = state.ComPortGPS;
  io_card_ = state.IOCard;
  gps_type_ = state.GPSType;
  use_gps_ = state.UseGPS == 1;
  auto* top = new QGridLayout(this);
  auto* head = new QGroupBox("Sonar Head (115200,N,8,1)");
  auto* gps = new QGroupBox("GPS Input  ");
  auto* hl = new QGridLayout(head);
  auto* gl = new QGridLayout(gps);
  auto add = [this](QGridLayout* l, int id, const char* text, int row, int col) {
    auto* b = new QRadioButton(text);
    b->setAutoExclusive(false);  // the dialog keeps the choices itself
    connect(b, &QRadioButton::clicked, this, [this, id] { Click(id); });
    l->addWidget(b, row, col);
    buttons_[id] = b;
  };
  for (int i = 0; i < 8; ++i) {
    const std::string name = "COM" + std::to_string(i + 1);
    add(hl, 1000 + i, name.c_str(), i % 4, i / 4);
    add(gl, 2000 + i, name.c_str(), 1 + i % 4, i / 4);
  }
  add(hl, 106, "AUTO Enable", 4, 0);
  add(hl, 107, "RTS Enable", 4, 1);
  baud_ = new QLabel;
  gl->addWidget(baud_, 0, 0, 1, 2);
  add(gl, 117, "Enable", 5, 0);
  add(gl, 116, "Disable", 5, 1);
  add(gl, 113, "GLL", 6, 0);
  add(gl, 114, "GGA", 6, 1);
  static const char* const kBauds[] = {"(4800,N,8,1)", "(9600,N,8,1)", "(19200,N,8,1)",
                                       "(38400,N,8,1)", "(57600,N,8,1)", "(115200,N,8,1)"};
  const int b = state.GPSBaudRate;
  baud_->setText(b >= 0 && b <= 5 ? kBauds[b] : kBauds[0]);
  top->addWidget(head, 0, 0);
  top->addWidget(gps, 0, 1);

  // The device behind each port, chosen from those present.
  auto* devices = new QGroupBox("Serial Devices");
  auto* dl = new QGridLayout(devices);
  for (int i = 0; i < kComPortCount; ++i) {
    dl->addWidget(new QLabel(QString("COM%1").arg(i + 1)), i, 0);
    auto* chooser = new QComboBox;
    chooser->setObjectName(QString("device%1").arg(i + 1));
    chooser->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    chooser->setMinimumContentsLength(40);
    // Queued: the choice lists every chooser again, this one included.
    connect(chooser, &QComboBox::activated, this, [this, i, chooser](int item) {
      const std::string path = chooser->itemData(item).toString().toStdString();
      QMetaObject::invokeMethod(this, [this, i, path] { ChooseDevice(i, path); }, Qt::QueuedConnection);
    });
    dl->addWidget(chooser, i, 1);
    choosers_[static_cast<size_t>(i)] = chooser;
  }
  dl->setColumnStretch(1, 1);
  access_note_ = new QLabel;
  access_note_->setWordWrap(true);
  access_note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  dl->addWidget(access_note_, kComPortCount, 0, 1, 2);
  top->addWidget(devices, 1, 0, 1, 2);

  auto* ok = new QPushButton("Ok");
  connect(ok, &QPushButton::clicked, this, &ComPortDialog::PressOk);
  auto* cancel = new QPushButton("Cancel");
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  top->addWidget(ok, 2, 0);
  top->addWidget(cancel, 2, 1);
  WatchDevices();
  RefreshDevices();
}

std::string ComPortDialog::BaudText() const { return baud_->text().toStdString(); }

// A port can be chosen when the start-up probe opened its device, or when the
// device it names now (a new choice, or one plugged in since) may be opened.
bool ComPortDialog::Present(int port) const {
  const auto i = static_cast<size_t>(port);
  if (paths_[i] == probed_paths_[i] && state_.ComPortPresent[i]) return true;
  return CheckDeviceAccess(paths_[i]) == DeviceAccess::kOpenable;
}

void ComPortDialog::Click(int id) {
  if (id >= 1000 && id <= 1007) {
    if (Present(id - 1000)) head_port_ = id - 1000;
  } else if (id >= 2000 && id <= 2007) {
    if (use_gps_ && Present(id - 2000)) gps_port_ = id - 2000;
  } else if (id == 106 || id == 107) {
    io_card_ = id == 107 ? 1 : 0;
  } else if (id == 116 || id == 117) {
    use_gps_ = id == 117;
  } else if ((id == 113 || id == 114) && use_gps_) {
    gps_type_ = id == 114 ? 1 : 0;
  }
  Refresh();
}

bool ComPortDialog::IsChecked(int id) const {
  auto it = buttons_.find(id);
  return it != buttons_.end() && it->second->isChecked();
}

bool ComPortDialog::IsPushedIn(int id) const {
  auto it = buttons_.find(id);
  return it != buttons_.end() && !it->second->isEnabled();
}

void ComPortDialog::Refresh() {
  for (int i = 0; i < 8; ++i) {
    const bool present = Present(i);
    buttons_[1000 + i]->setChecked(i == head_port_);
    buttons_[1000 + i]->setEnabled(present);
    buttons_[2000 + i]->setChecked(use_gps_ && i == gps_port_);
    buttons_[2000 + i]->setEnabled(present && use_gps_);
  }
  buttons_[106]->setChecked(io_card_ == 0);
  buttons_[107]->setChecked(io_card_ == 1);
  buttons_[117]->setChecked(use_gps_);
  buttons_[116]->setChecked(!use_gps_);
  buttons_[113]->setChecked(use_gps_ && gps_type_ == 0);
  buttons_[114]->setChecked(use_gps_ && gps_type_ == 1);
  buttons_[113]->setEnabled(use_gps_);
  buttons_[114]->setEnabled(use_gps_);
  access_note_->setText(QString::fromStdString(AccessNote()));
  access_note_->setVisible(!access_note_->text().isEmpty());
}

void ComPortDialog::WatchDevices() {
  watcher_ = new QFileSystemWatcher(this);
  relist_ = new QTimer(this);
  relist_->setSingleShot(true);
  relist_->setInterval(300);  // udev adds the by-id links just after the node
  connect(relist_, &QTimer::timeout, this, &ComPortDialog::RefreshDevices);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { relist_->start(); });
  for (const char* dir : {"/dev", "/dev/pts", "/dev/serial/by-id"})
    if (QFileInfo(dir).isDir()) watcher_->addPath(dir);
}

void ComPortDialog::RefreshDevices() {
  // /dev/serial/by-id comes with the first USB serial device and goes with the last.
  if (watcher_ && QFileInfo("/dev/serial/by-id").isDir() && !watcher_->directories().contains("/dev/serial/by-id"))
    watcher_->addPath("/dev/serial/by-id");
  devices_ = ListSerialDevices();
  for (int i = 0; i < kComPortCount; ++i) {
    QComboBox* chooser = choosers_[static_cast<size_t>(i)];
    const std::string current = paths_[static_cast<size_t>(i)];
    chooser->clear();
    const SerialDevice now = DescribeSerialPath(devices_, current);
    bool listed = false;
    for (const SerialDevice& d : devices_) listed = listed || d.path == current;
    if (!listed) chooser->addItem(QString::fromStdString(DeviceLabel(now)), QString::fromStdString(current));
    for (const SerialDevice& d : devices_)
      chooser->addItem(QString::fromStdString(DeviceLabel(d)), QString::fromStdString(d.path));
    chooser->setCurrentIndex(chooser->findData(QString::fromStdString(current)));
    chooser->setToolTip(QString::fromStdString(now.node == current ? current : current + " = " + now.node));
  }
  Refresh();
}

std::vector<std::string> ComPortDialog::DeviceChoices(int port) const {
  std::vector<std::string> out;
  if (port < 0 || port >= kComPortCount) return out;
  const QComboBox* chooser = choosers_[static_cast<size_t>(port)];
  for (int k = 0; k < chooser->count(); ++k) out.push_back(chooser->itemData(k).toString().toStdString());
  return out;
}

std::string ComPortDialog::DeviceText(int port) const {
  if (port < 0 || port >= kComPortCount) return {};
  return choosers_[static_cast<size_t>(port)]->currentText().toStdString();
}

bool ComPortDialog::ChooseDevice(int port, const std::string& path) {
  if (port < 0 || port >= kComPortCount) return false;
  QComboBox* chooser = choosers_[static_cast<size_t>(port)];
  const int item = chooser->findData(QString::fromStdString(path));
  if (item < 0) return false;
  paths_[static_cast<size_t>(port)] = path;
  RefreshDevices();  // the old choice leaves the list when it is no longer present
  return true;
}

std::string ComPortDialog::AccessNote() const {
  // The head and GPS ports first, then any other port of the mapping.
  std::vector<int> order{head_port_};
  if (use_gps_) order.push_back(gps_port_);
  for (int i = 0; i < kComPortCount; ++i) order.push_back(i);
  for (int i : order) {
    if (i < 0 || i >= kComPortCount) continue;
    const std::string& path = paths_[static_cast<size_t>(i)];
    if (CheckDeviceAccess(path) == DeviceAccess::kNoPermission)
      return "COM" + std::to_string(i + 1) + ": " + PermissionAdvice(path);
  }
  return {};
}

void ComPortDialog::PressOk() {
  if (use_gps_ && head_port_ == gps_port_) {
    prompts_.Warning("ComPort Setup", "ComPorts can not be the same.");
    return;
  }
  state_.IOCard = io_card_;
  state_.UseGPS = use_gps_ ? 1 : 0;
  state_.ComPort = head_port_;
  const bool gps_present = use_gps_ && Present(gps_port_);
  if (gps_present) {
    state_.GPSType = gps_type_;
    state_.ComPortGPS = gps_port_;
  }
  // The ports as the chosen devices now stand, for the program that reopens them.
  for (int i = 0; i < kComPortCount; ++i) state_.ComPortPresent[static_cast<size_t>(i)] = Present(i);
  state_.GpsPortAvailable = (use_gps_ && Present(state_.ComPortGPS)) ? 1 : 0;
  stored_ = true;
  accept();
}
