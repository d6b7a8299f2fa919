// SPDX-License-Identifier: GPL-3.0-or-later
// The client area as the pieces of the main window see it: the widget they paint
// in and the repaints the window does for them. The main window implements it, so
// that a piece takes this instead of the whole window.
#pragma once

class QWidget;

class WindowSurface {
 public:
  virtual QWidget* Widget() const = 0;  // the client area
  virtual void UpdateRect(int l, int t, int r, int b) = 0;  // repaint, right and bottom included
  virtual void ImageChanged() = 0;  // the picture and the grid label under it again

 protected:
  ~WindowSurface() = default;
};
