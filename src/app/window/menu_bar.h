// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's menu bar: every item with its text, & accelerator and command id,
// and the check marks and grey states that follow the application state.
#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>
#include <functional>
#include <map>

class QAction;
class QMenu;
class QMenuBar;

// Command ids of the menu resource "WINQ47V".
namespace cmd {
enum : int {
  kPlayback = 10, kRecord = 15, kCopy = 16, kExit = 18, kPrint = 20,
  kColors = 80,  // 80..88
  kAbout = 100, kComPorts = 105, kXdcrUp = 200, kXdcrDown = 201,
  kClearScreen = 205, kGridOnOff = 206, kSaveScreen = 207, kAutoFrameCapture = 208,
  kSettings = 310, kDiagnostics = 600, kOnWhenMinimized = 650, kHeadScan = 655,
  kPixelZoom = 700, kMeters = 810, kFeet = 811, kSoundVelocity = 820,
  kOffsetAngle = 825, kUserText = 830, kProfileMode = 950,  // 950..954
  kCalibrate = 960, kProfileSetup = 970, kVerticalScan = 980, kAutoAzimuth = 981,
  kHorizontalScan = 982, kProfileGrid = 1000, kZeroDown = 1010,
  kSonarHead = 2000, kAzimuthDrive = 2001, kChangeAzimuth = 2002,
  kSimulateAzimuth = 2004, kOrientationModule = 2005,
  kLiveView = 2100,  // the live view in a browser
  kExportVideo = 2110,  // a recording made into a video
  kExportSurvey = 2111,  // a recording's survey for GIS and CAD
  kExportTrack = 2112,  // a recording's GPS track
  kSmoothScaling = 2120,  // the scaled picture smoothed
  kFullScreen = 2121,     // the main window over the whole screen (F11)
};
}  // namespace cmd

class MenuBar : public QObject {
  Q_OBJECT
 public:
  // Builds the menus into `bar`; every item runs `on_command` with its id.
  MenuBar(QMenuBar* bar, std::function<void(int)> on_command);

  void Check(int id, bool on);
  void Enable(int id, bool on);
  void SetText(int id, const char* text);
  bool IsChecked(int id) const;
  bool ShowsCheckBox(int id) const;
  bool InAMenu(int id) const;  // an item of the menu bar or of one of its menus  // a mark or box is drawn beside the item
  bool IsEnabled(int id) const;
  QString Text(int id) const;
  bool Has(int id) const { return items_.count(id) != 0; }
  QAction* Action(int id) const;
  const std::map<int, QAction*>& Items() const { return items_; }

 private:
  QAction* Add(QMenu* menu, int id, const char* text);
  QAction* AddToBar(int id, const char* text);
  // A command reached by its key in the window only, with no menu item.
  QAction* AddKeyOnly(int id, const char* text, const QKeySequence& key);

  QMenuBar* bar_;
  std::function<void(int)> on_command_;
  std::map<int, QAction*> items_;
};
