// The overlays around and over the picture: grid scale label, sector dial with the
// head marker, transducer icon, measurement readouts, measurement line and the
// pixel-zoom inset. Geometry and texts come from the imaging core.
#include <QPainter>
#include <cmath>

#include "client_area.h"
#include "core_bridge.h"
#include "imaging/grid.h"
#include "imaging/measurement.h"
#include "main_window.h"
#include "app_state.h"

namespace {
constexpr int kDialX = 650, kDialY = 537, kDialR = 20;
}

OverlayRects MainWindow::Overlays() const {
  OverlayRects r;
  r.zoom = QRect(621, layout_.TextBase - 14, 156, 156);
  r.readouts = QRect(603, r.zoom.bottom() + 3, 205, 3 * layout_.LineH + 2);
  r.dial = QRect(kDialX - kDialR - 10, kDialY - kDialR - 10, 2 * kDialR + 21, 2 * kDialR + 21);
  r.transducer = QRect(690, r.dial.top(), 118, r.dial.height());
  r.grid_label = QRect(200, 511, 203, layout_.LineH + 5);
  return r;
}

ReadoutInputs MainWindow::ReadoutState() const {
  ReadoutInputs in;
  in.GridMode = state_.GridMode;
  in.ProfileGrid = state_.ProfileGrid == 1;
  in.ZeroDown = state_.ZeroDown == 1;
  in.Units = state_.Units;
  in.RangeMetres = kRangeMetres[std::clamp(state_.Range.load(), 0, 14)];
  in.SoundVelocity = state_.SoundVelocityMeters;
  in.Train = state_.Train;
  in.SSTrain = state_.SSTrain;
  in.MeasureMode = shell_.MeasureMode;
  in.CursorX = cursor_.x();
  in.CursorY = cursor_.y();
  in.OriginX = origin_.x();
  in.OriginY = origin_.y();
  return in;
}

void MainWindow::PaintOverlays(QPainter& p, const QRect& exposed) {
  const OverlayRects r = Overlays();
  const int ascent = p.fontMetrics().ascent();

  // Grid scale label under the picture, where the status line is when it is blank.
  if (status_text_.empty() && exposed.intersects(r.grid_label)) {
    const QString t = QString::fromStdString(
        GridLabelText(state_.Grid == 1, state_.Range, state_.Units, state_.GridMode, state_.SSTrain));
    const int w = p.fontMetrics().horizontalAdvance(t);
    p.fillRect(QRect(296 - w / 2, 512, w + 11, layout_.LineH + 3), Pal(122));
    p.setPen(Pal(125));
    p.drawText(301 - w / 2, 513 + ascent, t);
  }

  // Sector dial and head marker.
  if (exposed.intersects(r.dial)) {
    const bool half = DialHalfTurn(state_.GridMode, state_.ProfileGrid == 1, state_.ZeroDown == 1);
    const double rotate = state_.RotateAngle;
    const SectorDialShape dial =
        ComputeSectorDial(kDialX, kDialY, kDialR, state_.SectorSize, state_.Train, rotate, half);
    p.setPen(Pal(122));
    p.setBrush(Pal(125));
    p.drawEllipse(QPoint(kDialX, kDialY), dial.FaceRadius, dial.FaceRadius);
    p.setPen(Pal(127));
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
    const LinkShown shown = state_.Shown();
    if (shown.Ping.Decoded) {
      const HeadMarkerShape m = ComputeHeadMarker(kDialX, kDialY, kDialR, shown.Ping.BeamAngleDeg, rotate, half);
      p.setPen(Qt::NoPen);
      p.setBrush(Pal(123));
      p.drawEllipse(QPoint(m.Rotate.X, m.Rotate.Y), 2, 2);
      p.setBrush(Pal(127));
      p.drawEllipse(QPoint(m.Head.X, m.Head.Y), 4, 4);
      p.setBrush(Qt::NoBrush);
    }
  }

  // Transducer icon with its labels.
  if (exposed.intersects(r.transducer)) {
    const TransducerLabels labels =
        ComputeTransducerLabels(state_.Xdcr, state_.ProfileGrid == 1, state_.ZeroDown == 1);
    const int x = r.transducer.left() + 6, y = r.transducer.top() + 10;
    const bool up = state_.Xdcr == 1;
    p.setPen(Pal(122));
    p.setBrush(Pal(127));
    p.drawRect(x, y + (up ? 10 : 0), 12, 20);
    p.setBrush(Pal(123));
    QPolygon cone;
    if (up) cone << QPoint(x, y + 10) << QPoint(x + 12, y + 10) << QPoint(x + 6, y);
    else cone << QPoint(x, y + 20) << QPoint(x + 12, y + 20) << QPoint(x + 6, y + 30);
    p.drawPolygon(cone);
    p.setBrush(Qt::NoBrush);
    ShadowText(p, x + 20, y, labels.Main, Qt::white);
    if (labels.Second) ShadowText(p, x + 20, y + layout_.LineH + 2, labels.Second, Qt::white);
  }

  // Zoom inset: the picture around the cursor, magnified twice.
  if (exposed.intersects(r.zoom)) {
    if (state_.PixelZoom == 1) {
      p.fillRect(r.zoom.adjusted(-2, -2, 2, 2), Pal(122));
      p.fillRect(r.zoom, Qt::black);
      if (zoom_shown_) {
        const WindowPoint c = ClampZoomCenter(zoom_centre_.x(), zoom_centre_.y());
        const QRect src(c.X - 39 - kImageWindowX, c.Y - 39 - kImageWindowY, 78, 78);
        PingImage& img = core_.Image();
        std::lock_guard lock(img.Lock());
        p.drawImage(r.zoom, image_, src);
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
      p.fillRect(box, Pal(122));
      p.setPen(Pal(125));
      p.drawText(box, Qt::AlignCenter, t);
      y += layout_.LineH;
    }
    p.restore();
  }
}

std::vector<std::string> MainWindow::ReadoutTexts() const {
  if (!readouts_shown_) return {};
  const Readouts ro = UpdateReadouts(ReadoutState());
  std::vector<std::string> out;
  for (const ReadoutLine* line : {&ro.Org, &ro.Tar, &ro.Diff})
    out.push_back(ro.Separate ? line->Label + " " + line->Value : line->Text);
  return out;
}

void MainWindow::PaintMeasureLine(QPainter& p) {
  if (!shell_.MeasureMode) return;
  p.setPen(QPen(Pal(123), 1));
  p.drawLine(origin_, cursor_);
  p.setPen(Pal(127));
  p.drawRect(origin_.x() - 3, origin_.y() - 3, 6, 6);
  p.drawRect(cursor_.x() - 2, cursor_.y() - 2, 4, 4);
}

void MainWindow::CursorMoved(int x, int y, bool inside) {
  const OverlayRects r = Overlays();
  if (shell_.MeasureMode && state_.GridMode == 2) y = origin_.y();
  if (shell_.MeasureMode && !shell_.ZoomFrozen) {
    // Repaint the old and the new line area.
    client_->update(QRect(origin_, cursor_).normalized().adjusted(-12, -12, 12, 12));
    client_->update(QRect(origin_, QPoint(x, y)).normalized().adjusted(-12, -12, 12, 12));
  }
  if (!shell_.ZoomFrozen) {
    cursor_ = {x, y};
    readouts_shown_ = true;
    client_->update(r.readouts);
    if (inside && state_.PixelZoom == 1) {
      zoom_centre_ = {x, y};
      zoom_shown_ = true;
      client_->update(r.zoom);
    }
  }
}
