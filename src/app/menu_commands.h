// SPDX-License-Identifier: GPL-3.0-or-later
// The menu commands of the main window: a table from command id to its handler,
// and the check marks, texts and grey states the menus take from the settings and
// the data source.
#pragma once

#include <unordered_map>

class MainWindow;
class MenuBar;
struct AppState;
class CoreBridge;

class MenuCommands {
 public:
  explicit MenuCommands(MainWindow& window);

  void Run(int id);  // ids without a handler do nothing
  bool Handles(int id) const { return table_.count(id) != 0; }
  void BuildFromState();  // at start-up, from the loaded settings
  void SetRunModeMenus();  // what HEAD and FILE allow

 private:
  using Handler = void (MenuCommands::*)(int id);
  bool Head() const;

  void Colors(int id);
  void ProfileMode(int id);
  void Record(int id);
  void Playback(int id);
  void Copy(int id);
  void AutoFrameCapture(int id);
  void Exit(int id);
  void Transducer(int id);
  void Units(int id);
  void Calibrate(int id);
  void ComPorts(int id);
  void Settings(int id);
  void PixelZoom(int id);
  void ClearScreen(int id);
  void Diagnostics(int id);
  void OnWhenMinimized(int id);
  void ProfileGrid(int id);
  void ZeroDown(int id);
  void AutoProfile(int id);
  void AutoAzimuth(int id);
  void GridOnOff(int id);
  void About(int id);
  void AzimuthDrive(int id);
  void ChangeAzimuth(int id);
  void SimulateAzimuth(int id);
  void OrientationModule(int id);
  void HeadScan(int id);
  void SaveScreen(int id);
  void OffsetAngle(int id);
  void ProfileSetup(int id);
  void SoundVelocity(int id);
  void UserText(int id);
  void LiveView(int id);
  void Print(int id);

  MainWindow& window_;
  AppState& state_;
  CoreBridge& core_;
  MenuBar& menu_;
  std::unordered_map<int, Handler> table_;
};
