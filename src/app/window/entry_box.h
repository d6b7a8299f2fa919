// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard entry box over the frequency read-out: R or G opens it for a range
// or a gain, digits fill it, Enter applies the value (or warns with the values
// allowed), Escape closes it. Live only.
#pragma once

#include <functional>
#include <string>

class PictureView;
class Prompts;
class QPainter;
class WindowSurface;
struct AppState;
struct Layout;

class EntryBox {
 public:
  // What follows an applied value, connected by the window.
  struct Links {
    std::function<void()> range_changed;       // the Range panel and what follows the range
    std::function<void(int panel)> panel_changed;  // one panel shows a new value
    std::function<void()> readouts_changed;    // the pointer's readouts read again
  };

  EntryBox(AppState& state, const Layout& layout, const PictureView& picture, Prompts& prompts,
           WindowSurface& surface, Links links);

  // A typed character; false when the box has no use for it.
  bool HandleChar(int ch);
  void Paint(QPainter& p);
  bool Open() const { return mode_ != 0; }
  int Mode() const { return mode_; }  // 0 closed, 1 range, 2 gain
  std::string Text() const;           // as shown; empty while closed

 private:
  void Apply();
  void Close();
  void Redraw();

  AppState& state_;
  const Layout& layout_;
  const PictureView& picture_;
  Prompts& prompts_;
  WindowSurface& surface_;
  Links links_;
  int mode_ = 0;
  std::string typed_;
};
