// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's client area: paints the fixed layout and passes keys and mouse
// to the main window in client coordinates.
#pragma once

#include <QWidget>

class MainWindow;

class ClientArea : public QWidget {
  Q_OBJECT
 public:
  ClientArea(MainWindow* owner, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  bool focusNextPrevChild(bool) override { return false; }

 private:
  MainWindow* owner_;
};
