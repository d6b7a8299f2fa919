// SPDX-License-Identifier: GPL-3.0-or-later
// Where the tool windows ("Diagnostics", "Scan For Connected Heads", "Azimuth",
// "Orientation") open: where the user last left them, read from and written to the
// section "[Window Positions]" of WINQ47V.INI, or else beside the main window. A
// place is always brought inside the available screen area, so a window never opens
// with its title bar off the screen.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <map>
#include <string>
#include <vector>

class QWidget;

class WindowPlaces : public QObject {
 public:
  explicit WindowPlaces(QObject* parent = nullptr) : QObject(parent) {}

  // Reads the remembered places from the settings file (a missing file or key
  // leaves that window to the default place).
  void Load(const std::string& ini_path);
  // Writes the places of the windows that were shown; false and *error on failure.
  bool Save(const std::string& ini_path, std::string* error = nullptr) const;

  // Follows the tool window's moves from now on under its title.
  void Track(QWidget* window);
  // Moves the window to its remembered place or beside `owner` (where no side has
  // room, where it hides the least of the owner and of the other tool windows),
  // inside the available area of the owner's screen; call just before showing it.
  void Place(QWidget* window, const QWidget* owner);

  // False where no window system places windows (the offscreen platform): the
  // main window's place is known as soon as it is shown.
  static bool SystemPlacesWindows();
  // The place of a window frame of `size` beside `owner_frame` within `area`: to
  // the right, else to the left, else clamped into the area, level with its top.
  static QPoint Beside(const QRect& owner_frame, QSize size, const QRect& area);
  // `frame` moved the least so that it lies inside `area` (its top left corner
  // first, when it is larger).
  static QPoint Inside(const QRect& frame, const QRect& area);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::map<std::string, QPoint> places_;  // frame top-left by window title
  std::map<std::string, bool> placed_;    // placed once this session
  std::vector<const QWidget*> tracked_;
};
