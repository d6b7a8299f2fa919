// SPDX-License-Identifier: GPL-3.0-or-later
// The overlays around the picture that follow the settings and the head: the grid
// scale label under the picture, the sector dial with the head marker, and the
// transducer icon with its labels. OverlayPlaces says where every overlay sits,
// the zoom inset and the readouts of the mouse included.
#pragma once

#include <QRect>

class PictureView;
class QPainter;
struct AppState;
struct Layout;

// Where the overlays beside and under the picture sit.
struct OverlayRects {
  QRect zoom, readouts, dial, transducer, grid_label;
};
OverlayRects OverlayPlaces(const Layout& layout);

class OverlayPainter {
 public:
  OverlayPainter(const AppState& state, const Layout& layout, const PictureView& picture)
      : state_(state), layout_(layout), picture_(picture) {}
  // The grid label only where the status line under the picture is blank.
  void Paint(QPainter& p, const QRect& exposed, bool status_blank);

 private:
  const AppState& state_;
  const Layout& layout_;
  const PictureView& picture_;
};
