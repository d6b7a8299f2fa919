// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/picture_view.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "window/client_area.h"

#include "bridge/core_bridge.h"
#include "window/panel_paint.h"

PictureView::PictureView(CoreBridge& core, ClientArea* client) : core_(core), client_(client) {
  image_ = QImage(core_.Image().Pixels(), kImageWidth, kImageHeight, kImageWidth, QImage::Format_Indexed8);
  SetPalette();
  refresh_timer_.setInterval(16);
  QObject::connect(&refresh_timer_, &QTimer::timeout, client_, [this] { FlushDirty(); });
  refresh_timer_.start();
}

void PictureView::SetPalette() {
  const PaletteTable pal = core_.Palette();
  QList<QRgb> table;
  table.reserve(256);
  for (const Rgb& c : pal) table.push_back(qRgb(c.Red, c.Green, c.Blue));
  image_.setColorTable(table);
}

QColor PictureView::Pal(int index) const {
  if (index < 0 || index >= image_.colorCount()) return Qt::black;
  return QColor(image_.color(index));
}

void PictureView::Paint(QPainter& p, const QRect& exposed) {
  const QRect image_rect(kImageWindowX, kImageWindowY, kImageWidth, kImageHeight);
  if (!exposed.intersects(QRect(2, 2, 598, 508))) return;
  Box(p, 2, 2, 600, 510, Pal(123), Qt::black);
  const QRect part = exposed & image_rect;
  if (!part.isEmpty()) {
    PingImage& img = core_.Image();
    std::lock_guard lock(img.Lock());
    // No smoothing unless asked for: the painter scales by nearest neighbour.
    const QTransform t = p.deviceTransform();
    const bool whole = t.m11() == std::floor(t.m11()) && t.m22() == std::floor(t.m22());
    if (smooth_ && !whole) {
      // A smoothed pixel reads its neighbours: the part is drawn with a margin of
      // the picture around it, so that a repaint leaves no seam at its edges.
      p.save();
      p.setRenderHint(QPainter::SmoothPixmapTransform);
      p.setClipRect(image_rect, Qt::IntersectClip);
      const QRect wider = part.adjusted(-2, -2, 2, 2) & image_rect;
      p.drawImage(wider, image_, wider.translated(-kImageWindowX, -kImageWindowY));
      p.restore();
    } else if (p.device()->devicePixelRatio() == 1.0 && t.m11() != 1.0 && t.m11() == t.m22()) {
      PaintNearest(p, part, t.m11());
    } else {
      p.drawImage(part, image_, part.translated(-kImageWindowX, -kImageWindowY));
    }
  }
}

void PictureView::PaintNearest(QPainter& p, const QRect& part, double s) {
  // The screen pixels whose centres lie in the part, each showing the image pixel
  // its centre falls on: the same pixel whatever area a repaint covers, so that
  // repaints of neighbouring areas leave no seam.
  const auto first = [s](int layout) { return static_cast<int>(std::ceil(layout * s - 0.5)); };
  const QRect image_device(QPoint(first(kImageWindowX), first(kImageWindowY)),
                           QPoint(first(kImageWindowX + kImageWidth) - 1, first(kImageWindowY + kImageHeight) - 1));
  const QRect dev = QRect(QPoint(first(part.left()), first(part.top())),
                          QPoint(first(part.right() + 1) - 1, first(part.bottom() + 1) - 1)) &
                    image_device;
  if (dev.isEmpty()) return;
  const auto source = [s](int device, int origin, int size) {
    const int i = static_cast<int>(std::floor((device + 0.5) / s)) - origin;
    return std::clamp(i, 0, size - 1);
  };
  std::vector<int> columns(static_cast<size_t>(dev.width()));
  for (int i = 0; i < dev.width(); ++i) columns[static_cast<size_t>(i)] = source(dev.left() + i, kImageWindowX, kImageWidth);
  const QList<QRgb> table = image_.colorTable();
  QImage out(dev.size(), QImage::Format_RGB32);
  for (int j = 0; j < dev.height(); ++j) {
    const uchar* src = image_.constScanLine(source(dev.top() + j, kImageWindowY, kImageHeight));
    QRgb* row = reinterpret_cast<QRgb*>(out.scanLine(j));
    for (int i = 0; i < dev.width(); ++i) row[i] = table[src[columns[static_cast<size_t>(i)]]];
  }
  p.save();
  p.resetTransform();
  p.drawImage(dev.topLeft(), out);
  p.restore();
}

void PictureView::QueueRepaint(const DirtyRect& area) {
  std::lock_guard lock(repaint_mutex_);
  pending_repaint_.Merge(area);
}

void PictureView::FlushDirty() {
  DirtyRect d;
  {
    // Pixels the ping pipeline already handed over, and any drawn since that it
    // has not handed over yet.
    std::lock_guard lock(repaint_mutex_);
    d = pending_repaint_;
    pending_repaint_.Reset();
  }
  {
    PingImage& img = core_.Image();
    std::lock_guard lock(img.Lock());
    d.Merge(img.Dirty);
    img.Dirty.Reset();
  }
  if (d.Empty()) return;
  client_->update(kImageWindowX + d.MinX, kImageWindowY + d.MinY, d.MaxX - d.MinX + 1, d.MaxY - d.MinY + 1);
}
