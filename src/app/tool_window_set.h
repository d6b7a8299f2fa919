// SPDX-License-Identifier: GPL-3.0-or-later
// The tool windows of the main window: Diagnostics, "Scan For Connected Heads",
// "Azimuth" and "Orientation"; where each opens (its remembered place, or beside the
// main window once the window system placed that) and the places kept at close.
#pragma once

#include <string>
#include <vector>

class DiagnosticsWindow;
class MainWindow;
class QWidget;
class ToolWindow;
class WindowPlaces;

class ToolWindowSet {
 public:
  explicit ToolWindowSet(MainWindow& window);

  // The three small windows (hidden) and the remembered places of all four.
  void Create(DiagnosticsWindow* diagnostics, const std::string& settings_path);
  ToolWindow* Tool(int which) const;  // 0 scan, 1 azimuth, 2 orientation
  void Changed(int which);            // repaint it when shown
  void Show(QWidget* w);              // at its remembered place or beside the window
  void ChangeAzimuth();               // the azimuth window's "Change Azimuth"
  std::vector<QWidget*> Widgets() const;
  bool SavePlaces(const std::string& settings_path, std::string* error) const;

 private:
  void ShowWaiting();

  MainWindow& window_;
  DiagnosticsWindow* diagnostics_ = nullptr;
  ToolWindow* scan_ = nullptr;
  ToolWindow* azimuth_ = nullptr;
  ToolWindow* orientation_ = nullptr;
  WindowPlaces* places_ = nullptr;
  std::vector<QWidget*> waiting_;  // to show once the main window is placed
  int wait_ticks_ = 0;
};
