// SPDX-License-Identifier: GPL-3.0-or-later
// The small tool windows beside the main window: "Scan For Connected Heads",
// "Azimuth" and "Orientation". Each draws the state it is given on every repaint
// and reports its closing.
#pragma once

#include <QWidget>

class QFontMetrics;
#include <functional>
#include <string>
#include <vector>

struct AppState;

class ToolWindow : public QWidget {
  Q_OBJECT
 public:
  using Painter = std::function<void(class QPainter&, const QRect&)>;
  ToolWindow(const char* title, QRect geometry, Painter painter, std::function<void()> on_close, QWidget* owner);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  Painter painter_;
  std::function<void()> on_close_;
};

QFont ToolWindowFont();  // the small windows' own font

// The painters of the three windows for the current state.
// "Scan For Connected Heads": the serial status, the sixteen ID boxes (the ID
// being tested highlighted, the last to answer marked) and the answering head's
// memory; `buttons_left` is where the buttons at the right begin.
void PaintScanWindow(QPainter& p, const QRect& r, AppState& state, int buttons_left);
// Its size from the character metrics: 64 widths plus 8 by 30 lines plus 14.
QSize ScanWindowSize(const QFontMetrics& fm);
// "Azimuth": a dial with the drive position and its angle, white only live when
// the drive stands at its target.
void PaintAzimuthWindow(QPainter& p, const QRect& r, const AppState& state);
// "Orientation": three dials, heading, pitch and roll, with their values.
void PaintOrientationWindow(QPainter& p, const QRect& r, const AppState& state);

// The text lines of each window for the current state.
std::vector<std::string> ScanWindowLines(const AppState& state);
std::vector<std::string> AzimuthWindowLines(const AppState& state);
std::vector<std::string> OrientationWindowLines(const AppState& state);
