// SPDX-License-Identifier: GPL-3.0-or-later
// The menu commands of the main window: a table from command id to its handler,
// and the check marks, texts and grey states the menus take from the settings and
// the data source.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>

class ControlPanels;
class CoreBridge;
class MenuBar;
class PictureMouse;
class PlaybackStrip;
class Prompts;
class QDialog;
class QImage;
class QWidget;
class ToolWindowSet;
class WindowSurface;
struct AppState;
struct Layout;
struct ShellState;

class MenuCommands {
 public:
  // The pieces of the window the commands work on.
  struct Pieces {
    ControlPanels& panels;
    PictureMouse& mouse;
    PlaybackStrip& playback;
    ToolWindowSet& tools;
  };
  // What the commands ask of the main window itself, connected by it.
  struct Links {
    std::function<void(QDialog&)> run_dialog;  // a modal dialog
    std::function<QImage()> capture_window;    // the whole window as shown
    std::function<void()> palette_changed;     // the picture and the window take the new colours
    std::function<void()> refresh_gps;         // the GPS read-out as the state has it now
    std::function<void(bool shown)> set_azimuth_notice;
    std::function<void(const std::string& text, int text_color, int fill_color, int outline_color)>
        set_status_message;
  };

  // `window` is the main window: the dialogs' parent, closed by Exit.
  MenuCommands(AppState& state, CoreBridge& core, MenuBar& menu, ShellState& shell, Prompts& prompts,
               const Layout& layout, WindowSurface& surface, QWidget& window, Pieces pieces, Links links);

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
  void ExportVideo(int id);
  void ExportSurvey(int id);
  void ExportTrack(int id);
  void Print(int id);

  AppState& state_;
  CoreBridge& core_;
  MenuBar& menu_;
  ShellState& shell_;
  Prompts& prompts_;
  const Layout& layout_;
  WindowSurface& surface_;
  QWidget& window_;
  Pieces pieces_;
  Links links_;
  std::unordered_map<int, Handler> table_;
};
