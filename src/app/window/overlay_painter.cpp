// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/overlay_painter.h"

#include <QPainter>

#include "app_state.h"
#include "imaging/grid.h"
#include "imaging/measurement.h"
#include "window/layout.h"
#include "window/panel_paint.h"
#include "window/picture_view.h"

namespace {
constexpr int kDialX = 650, kDialY = 537, kDialR = 20;
}

OverlayRects OverlayPlaces(const Layout& layout) {
  OverlayRects r;
  r.zoom = QRect(621, layout.TextBase - 14, 156, 156);
  r.readouts = QRect(603, r.zoom.bottom() + 3, 205, 3 * layout.LineH + 2);
  r.dial = QRect(kDialX - kDialR - 10, kDialY - kDialR - 10, 2 * kDialR + 21, 2 * kDialR + 21);
  r.transducer = QRect(690, r.dial.top(), 118, r.dial.height());
  r.grid_label = QRect(200, 511, 203, layout.LineH + 5);
  return r;
}

void OverlayPainter::Paint(QPainter& p, const QRect& exposed, bool status_blank) {
  const AppState& state = state_;
  const Layout& layout = layout_;
  const OverlayRects r = OverlayPlaces(layout);
  const int ascent = p.fontMetrics().ascent();

  // Grid scale label under the picture, where the status line is when it is blank;
  // not while the head scan runs, whose message blinks there.
  const bool label = status_blank && !state.HeadScanActive;
  if (label && exposed.intersects(r.grid_label)) {
    const QString t = QString::fromStdString(
        GridLabelText(state.Grid == 1, state.Range, state.Units, state.GridMode, state.SSTrain));
    const int w = p.fontMetrics().horizontalAdvance(t);
    p.fillRect(QRect(296 - w / 2, 512, w + 11, layout.LineH + 3), picture_.Pal(122));
    p.setPen(picture_.Pal(125));
    p.drawText(301 - w / 2, 513 + ascent, t);
  }

  // Sector dial and head marker.
  if (exposed.intersects(r.dial)) {
    const bool half = DialHalfTurn(state.GridMode, state.ProfileGrid == 1, state.ZeroDown == 1);
    const double rotate = state.RotateAngle;
    const SectorDialShape dial =
        ComputeSectorDial(kDialX, kDialY, kDialR, state.SectorSize, state.Train, rotate, half);
    p.setPen(picture_.Pal(122));
    p.setBrush(picture_.Pal(125));
    p.drawEllipse(QPoint(kDialX, kDialY), dial.FaceRadius, dial.FaceRadius);
    p.setPen(picture_.Pal(127));
    if (dial.FullCircle) {
      p.drawEllipse(QPoint(kDialX, kDialY), kDialR, kDialR);
    } else if (dial.SingleLine) {
      p.drawLine(kDialX, kDialY, dial.LinePoint.X, dial.LinePoint.Y);
    } else {
      // Qt angles: counter-clockwise from 3 o'clock in 1/16 degree.
      const QRect box(kDialX - kDialR, kDialY - kDialR, 2 * kDialR, 2 * kDialR);
      const double start = half ? dial.StartDeg + 180 : dial.StartDeg;
      const double span = dial.EndDeg - dial.StartDeg;
      p.drawPie(box, static_cast<int>((90 - start - span) * 16), static_cast<int>(span * 16));
    }
    p.setBrush(Qt::NoBrush);
    const LinkShown shown = state.Shown();
    if (shown.Ping.Decoded) {
      const HeadMarkerShape m = ComputeHeadMarker(kDialX, kDialY, kDialR, shown.Ping.BeamAngleDeg, rotate, half);
      p.setPen(Qt::NoPen);
      p.setBrush(picture_.Pal(123));
      p.drawEllipse(QPoint(m.Rotate.X, m.Rotate.Y), 2, 2);
      p.setBrush(picture_.Pal(127));
      p.drawEllipse(QPoint(m.Head.X, m.Head.Y), 4, 4);
      p.setBrush(Qt::NoBrush);
    }
  }

  // Transducer icon with its labels.
  if (exposed.intersects(r.transducer)) {
    const TransducerLabels labels =
        ComputeTransducerLabels(state.Xdcr, state.ProfileGrid == 1, state.ZeroDown == 1);
    const int x = r.transducer.left() + 6, y = r.transducer.top() + 10;
    const bool up = state.Xdcr == 1;
    p.setPen(picture_.Pal(122));
    p.setBrush(picture_.Pal(127));
    p.drawRect(x, y + (up ? 10 : 0), 12, 20);
    p.setBrush(picture_.Pal(123));
    QPolygon cone;
    if (up) cone << QPoint(x, y + 10) << QPoint(x + 12, y + 10) << QPoint(x + 6, y);
    else cone << QPoint(x, y + 20) << QPoint(x + 12, y + 20) << QPoint(x + 6, y + 30);
    p.drawPolygon(cone);
    p.setBrush(Qt::NoBrush);
    ShadowText(p, x + 20, y, labels.Main, Qt::white, picture_.Pal(125));
    if (labels.Second) ShadowText(p, x + 20, y + layout.LineH + 2, labels.Second, Qt::white, picture_.Pal(125));
  }
}
