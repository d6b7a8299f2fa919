// SPDX-License-Identifier: GPL-3.0-or-later
// SIGTERM, SIGINT and SIGHUP become a Qt signal on the GUI thread (self-pipe and
// QSocketNotifier), so a logout or a kill runs the same orderly close as the
// window's close button.
#pragma once

#include <QObject>

class QSocketNotifier;

class SignalWatch : public QObject {
  Q_OBJECT
 public:
  explicit SignalWatch(QObject* parent = nullptr);
  ~SignalWatch() override;

 signals:
  void Terminate(int signal_number);

 private:
  QSocketNotifier* notifier_ = nullptr;
};
