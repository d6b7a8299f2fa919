// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/picture_view.h"

#include <QPainter>
#include <QWidget>

#include "bridge/core_bridge.h"
#include "window/panel_paint.h"

PictureView::PictureView(CoreBridge& core, QWidget* client) : core_(core), client_(client) {
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
    p.drawImage(part, image_, part.translated(-kImageWindowX, -kImageWindowY));
  }
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
