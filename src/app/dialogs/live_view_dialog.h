// SPDX-License-Identifier: GPL-3.0-or-later
// "Live View in Browser": starts and stops the live view server, shows the address
// to open in a browser and how many viewers watch. The dialog is modeless and
// outlives its closing: the server keeps running while the dialog is hidden and
// stops with the main window.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "webview/live_view_server.h"

struct AppState;
class Clock;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

class LiveViewDialog : public QDialog {
  Q_OBJECT
 public:
  // `on_running` hears every start and stop (the menu's check mark).
  LiveViewDialog(AppState& state, const Clock& clock, QWidget* parent, std::function<void(bool)> on_running = {});
  ~LiveViewDialog() override;

  webview::LiveViewServer& Server() { return *server_; }
  // Start with the address and port in the fields; false with the reason shown.
  bool StartServer();
  void StopServer();

  QLineEdit* AddressField() const { return address_; }
  QSpinBox* PortField() const { return port_; }
  QLineEdit* UrlField() const { return url_; }
  QLabel* ViewersLabel() const { return viewers_; }
  QLabel* MessageLabel() const { return message_; }
  QPushButton* StartStopButton() const { return start_stop_; }

 private:
  void Refresh();

  AppState& state_;
  std::unique_ptr<webview::LiveViewServer> server_;
  std::function<void(bool)> on_running_;
  QLineEdit* address_ = nullptr;
  QSpinBox* port_ = nullptr;
  QLineEdit* url_ = nullptr;
  QLabel* viewers_ = nullptr;
  QLabel* message_ = nullptr;
  QPushButton* start_stop_ = nullptr;
  QPushButton* copy_ = nullptr;
  QTimer* timer_ = nullptr;
};

// Shows the window's one LiveViewDialog, making it on first use.
LiveViewDialog* ShowLiveViewDialog(QWidget* window, AppState& state, const Clock& clock,
                                   std::function<void(bool)> on_running = {});
