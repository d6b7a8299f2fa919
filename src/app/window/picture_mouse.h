// SPDX-License-Identifier: GPL-3.0-or-later
// The mouse on the picture: the pointer's readouts (origin, target and their
// difference) beside the picture, the magnified zoom inset that follows it (a left
// click freezes it), the measurement line from an origin set with the right button,
// and the arrow keys that move the pointer faster while held.
#pragma once

#include <QPoint>
#include <QRect>
#include <string>
#include <vector>

class CoreBridge;
class PictureView;
class QPainter;
class WindowSurface;
struct AppState;
struct Layout;
struct ReadoutInputs;

class PictureMouse {
 public:
  PictureMouse(AppState& state, CoreBridge& core, const Layout& layout, const PictureView& picture,
               WindowSurface& surface);

  void Move(int x, int y);
  bool LeftDown(int x, int y);  // true on the picture
  void RightDown(int x, int y);
  void SetPointer(int x, int y) { pointer_ = {x, y}; }
  QPoint Pointer() const { return pointer_; }
  void KeyDown(int key);  // the arrow keys move the pointer
  void KeyUp() { arrow_step_ = 1.0f; }

  void PaintMeasureLine(QPainter& p);
  void PaintZoomAndReadouts(QPainter& p, const QRect& exposed);  // beside the picture
  void OverlaysChanged(unsigned mask);  // new pixels under the inset, the readouts or the line
  void RefreshReadouts();  // after a change of what the readouts read
  std::vector<std::string> ReadoutTexts() const;  // the three lines as shown; empty before any

  int MeasureMode() const { return measure_mode_; }
  void StopMeasuring() { measure_mode_ = 0; }
  int ZoomFrozen() const { return zoom_frozen_; }
  void ThawZoom() { zoom_frozen_ = 0; }
  float ArrowStep() const { return arrow_step_; }

 private:
  void CursorMoved(int x, int y, bool inside);
  ReadoutInputs ReadoutState() const;

  AppState& state_;
  CoreBridge& core_;
  const Layout& layout_;
  const PictureView& picture_;
  WindowSurface& surface_;
  QPoint pointer_;
  QPoint cursor_{301, 256}, origin_{301, 256}, zoom_centre_{301, 256};
  bool readouts_shown_ = false, zoom_shown_ = false;
  int measure_mode_ = 0;
  int zoom_frozen_ = 0;
  int readout_pending_ = 0;
  float arrow_step_ = 1.0f;
};
