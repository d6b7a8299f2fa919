// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard entry box over the frequency read-out: R or G opens it for a range
// or a gain, digits fill it, Enter applies the value (or warns with the values
// allowed), Escape closes it. Live only.
#pragma once

#include <string>

class MainWindow;
class QPainter;
struct AppState;

class EntryBox {
 public:
  explicit EntryBox(MainWindow& window);

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

  MainWindow& window_;
  AppState& state_;
  int mode_ = 0;
  std::string typed_;
};
