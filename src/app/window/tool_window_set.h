// SPDX-License-Identifier: GPL-3.0-or-later
// The tool windows of the main window: Diagnostics, "Scan For Connected Heads",
// "Azimuth" and "Orientation"; where each opens (its remembered place, or beside the
// main window once the window system placed that) and the places kept at close.
#pragma once

#include <functional>
#include <string>
#include <vector>

class DiagnosticsWindow;
class MenuBar;
class Prompts;
class QDialog;
class QWidget;
class ToolWindow;
class WindowPlaces;
struct AppState;
struct ShellState;

class ToolWindowSet {
 public:
  // What the tool windows ask of the main window, connected by it.
  struct Links {
    std::function<void(QDialog&)> run_dialog;  // a modal dialog
    std::function<void(int id)> command;       // a menu command
    std::function<void()> clear_status;        // the status line under the picture blank
  };

  // `window` is the main window: the tool windows' owner, and what they open beside.
  ToolWindowSet(AppState& state, ShellState& shell, MenuBar& menu, Prompts& prompts, QWidget& window, Links links);

  // The three small windows (hidden) and the remembered places of all four.
  void Create(DiagnosticsWindow* diagnostics, const std::string& settings_path);
  ToolWindow* Tool(int which) const;  // 0 scan, 1 azimuth, 2 orientation
  void Changed(int which);            // repaint it when shown
  void Show(QWidget* w);              // at its remembered place or beside the window
  void ChangeAzimuth();               // the azimuth window's "Change Azimuth"
  DiagnosticsWindow* Diagnostics() const { return diagnostics_; }
  std::vector<QWidget*> Widgets() const;
  bool SavePlaces(const std::string& settings_path, std::string* error) const;

 private:
  void ShowWaiting();

  AppState& state_;
  ShellState& shell_;
  MenuBar& menu_;
  Prompts& prompts_;
  QWidget& window_;
  Links links_;
  DiagnosticsWindow* diagnostics_ = nullptr;
  ToolWindow* scan_ = nullptr;
  ToolWindow* azimuth_ = nullptr;
  ToolWindow* orientation_ = nullptr;
  WindowPlaces* places_ = nullptr;
  std::vector<QWidget*> waiting_;  // to show once the main window is placed
  int wait_ticks_ = 0;
};
