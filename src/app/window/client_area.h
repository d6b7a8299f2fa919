// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's client area: paints the fixed layout and passes keys and mouse
// to its owner (the main window) in client coordinates.
#pragma once

#include <QWidget>

class QPainter;
class QRect;

// What the client area hands on: its painting, and keys and mouse in client
// coordinates.
class ClientAreaInput {
 public:
  virtual void Paint(QPainter& p, const QRect& exposed) = 0;
  virtual void HandleChar(int ch) = 0;
  virtual void HandleKeyDown(int key) = 0;
  virtual void HandleKeyUp() = 0;
  virtual void HandleLeftDown(int x, int y) = 0;
  virtual void HandleLeftUp(int x, int y) = 0;
  virtual void HandleRightDown(int x, int y) = 0;
  virtual void HandleMouseMove(int x, int y) = 0;

 protected:
  ~ClientAreaInput() = default;
};

class ClientArea : public QWidget {
  Q_OBJECT
 public:
  ClientArea(ClientAreaInput* owner, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  bool focusNextPrevChild(bool) override { return false; }

 private:
  ClientAreaInput* owner_;
};
