// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/picture_mouse.h"

#include <QCursor>
#include <QWidget>
#include <QPainter>
#include <algorithm>

#include "app_images.h"
#include "app_state.h"
#include "bridge/core_bridge.h"
#include "imaging/imaging_display.h"
#include "imaging/grid.h"
#include "imaging/measurement.h"
#include "window/layout.h"
#include "window/overlay_painter.h"
#include "window/picture_view.h"
#include "window/window_surface.h"

PictureMouse::PictureMouse(AppState& state, CoreBridge& core, const Layout& layout, const PictureView& picture,
                           WindowSurface& surface)
    : state_(state), core_(core), layout_(layout), picture_(picture), surface_(surface) {}

// ---------------------------------------------------------------- pointer

void PictureMouse::Move(int x, int y) {
  pointer_ = {x, y};
  QWidget* client = surface_.Widget();
  const bool inside = x > 2 && x < 599 && y > 2 && y < 509;
  if (inside) {
    client->setCursor(ImageCursor());
    CursorMoved(x, y, true);
    readout_pending_ = 1;
  } else {
    client->setCursor(Qt::ArrowCursor);
    if (readout_pending_ == 1) {
      readout_pending_ = 0;
      CursorMoved(x, y, false);  // the readout follows the pointer off the picture once
    }
  }
}

void PictureMouse::RightDown(int x, int y) {
  if (x > 2 && x < 599 && y > 2 && y <= 508) {
    QWidget* client = surface_.Widget();
    measure_mode_ ^= 1;
    zoom_frozen_ = 0;
    if (measure_mode_) {
      origin_ = cursor_ = {x, y};
      client->setCursor(Qt::BlankCursor);
    } else {
      client->setCursor(ImageCursor());
    }
    client->update(0, 0, 602, 512);
    CursorMoved(x, y, true);
  }
}

bool PictureMouse::LeftDown(int x, int y) {
  if (!(x > 2 && x < 599 && y > 2 && y < 509)) return false;
  if (state_.PixelZoom == 1) zoom_frozen_ ^= 1;
  if (!zoom_frozen_) CursorMoved(x, y, true);
  return true;
}

void PictureMouse::KeyDown(int key) {
  const int step = static_cast<int>(arrow_step_);
  QPoint d;
  switch (key) {
    case Qt::Key_Left: d = {-step, 0}; break;
    case Qt::Key_Right: d = {step, 0}; break;
    case Qt::Key_Up: d = {0, -step}; break;
    case Qt::Key_Down: d = {0, step}; break;
    default: break;
  }
  if (!d.isNull()) {
    pointer_ += d;
    QCursor::setPos(QCursor::pos() + d);
  }
  arrow_step_ = std::min(16.0f, arrow_step_ + 0.5f);
}

void PictureMouse::CursorMoved(int x, int y, bool inside) {
  const OverlayRects r = OverlayPlaces(layout_);
  QWidget* client = surface_.Widget();
  if (measure_mode_ && state_.GridMode == 2) y = origin_.y();
  if (measure_mode_ && !zoom_frozen_) {
    // Repaint the old and the new line area.
    client->update(QRect(origin_, cursor_).normalized().adjusted(-12, -12, 12, 12));
    client->update(QRect(origin_, QPoint(x, y)).normalized().adjusted(-12, -12, 12, 12));
  }
  if (!zoom_frozen_) {
    cursor_ = {x, y};
    readouts_shown_ = true;
    client->update(r.readouts);
    if (inside && state_.PixelZoom == 1) {
      zoom_centre_ = {x, y};
      zoom_shown_ = true;
      client->update(r.zoom);
    }
  }
}

// ---------------------------------------------------------------- readouts, inset, line

ReadoutInputs PictureMouse::ReadoutState() const {
  ReadoutInputs in;
  in.GridMode = state_.GridMode;
  in.ProfileGrid = state_.ProfileGrid == 1;
  in.ZeroDown = state_.ZeroDown == 1;
  in.Units = state_.Units;
  in.RangeMetres = kRangeMetres[std::clamp(state_.Range.load(), 0, 14)];
  in.SoundVelocity = state_.SoundVelocityMeters;
  in.Train = state_.Train;
  in.SSTrain = state_.SSTrain;
  in.MeasureMode = measure_mode_;
  in.CursorX = cursor_.x();
  in.CursorY = cursor_.y();
  in.OriginX = origin_.x();
  in.OriginY = origin_.y();
  return in;
}

void PictureMouse::PaintZoomAndReadouts(QPainter& p, const QRect& exposed) {
  const OverlayRects r = OverlayPlaces(layout_);
  // Zoom inset: the picture around the cursor, magnified twice.
  if (exposed.intersects(r.zoom)) {
    if (state_.PixelZoom == 1) {
      p.fillRect(r.zoom.adjusted(-2, -2, 2, 2), picture_.Pal(122));
      p.fillRect(r.zoom, Qt::black);
      if (zoom_shown_) {
        const WindowPoint c = ClampZoomCenter(zoom_centre_.x(), zoom_centre_.y());
        const QRect src(c.X - 39 - kImageWindowX, c.Y - 39 - kImageWindowY, 78, 78);
        PingImage& img = core_.Image();
        std::lock_guard lock(img.Lock());
        p.drawImage(r.zoom, picture_.Image(), src);
      }
    }
  }

  // Readouts.
  if (readouts_shown_ && exposed.intersects(r.readouts)) {
    const Readouts ro = UpdateReadouts(ReadoutState());
    p.save();
    QFont f = p.font();
    f.setPixelSize(11);
    p.setFont(f);
    int y = r.readouts.top();
    for (const ReadoutLine* line : {&ro.Org, &ro.Tar, &ro.Diff}) {
      const QString t = QString::fromStdString(ro.Separate ? line->Label + " " + line->Value : line->Text);
      const int w = p.fontMetrics().horizontalAdvance(t);
      const QRect box(r.readouts.center().x() - w / 2 - 2, y, w + 4, p.fontMetrics().height());
      p.fillRect(box, picture_.Pal(122));
      p.setPen(picture_.Pal(125));
      p.drawText(box, Qt::AlignCenter, t);
      y += layout_.LineH;
    }
    p.restore();
  }
}

std::vector<std::string> PictureMouse::ReadoutTexts() const {
  if (!readouts_shown_) return {};
  const Readouts ro = UpdateReadouts(ReadoutState());
  std::vector<std::string> out;
  for (const ReadoutLine* line : {&ro.Org, &ro.Tar, &ro.Diff})
    out.push_back(ro.Separate ? line->Label + " " + line->Value : line->Text);
  return out;
}

void PictureMouse::PaintMeasureLine(QPainter& p) {
  if (!measure_mode_) return;
  p.setPen(QPen(picture_.Pal(123), 1));
  p.drawLine(origin_, cursor_);
  p.setPen(picture_.Pal(127));
  p.drawRect(origin_.x() - 3, origin_.y() - 3, 6, 6);
  p.drawRect(cursor_.x() - 2, cursor_.y() - 2, 4, 4);
}

void PictureMouse::OverlaysChanged(unsigned mask) {
  const OverlayRects r = OverlayPlaces(layout_);
  QWidget* client = surface_.Widget();
  if ((mask & kOverlayReadouts) && readouts_shown_) client->update(r.readouts);
  if ((mask & kOverlayZoom) && zoom_shown_) client->update(r.zoom);
  if ((mask & kOverlayMeasureLine) && measure_mode_)
    client->update(QRect(origin_, cursor_).normalized().adjusted(-12, -12, 12, 12));
}

void PictureMouse::RefreshReadouts() {
  if (readouts_shown_) surface_.Widget()->update(OverlayPlaces(layout_).readouts);
}
