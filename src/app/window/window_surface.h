// SPDX-License-Identifier: GPL-3.0-or-later
// The client area as the pieces of the main window see it: the widget they paint
// in and the repaints the window does for them. The main window implements it, so
// that a piece takes this instead of the whole window. Its repaints take layout
// coordinates, whatever the scale the client area is shown at.
#pragma once

#include "window/client_area.h"

class WindowSurface {
 public:
  virtual ClientArea* Widget() const = 0;  // the client area
  virtual void UpdateRect(int l, int t, int r, int b) = 0;  // repaint, right and bottom included
  virtual void ImageChanged() = 0;  // the picture and the grid label under it again

 protected:
  ~WindowSurface() = default;
};
