// SPDX-License-Identifier: GPL-3.0-or-later
// The sonar picture in the client area: a QImage over the core's pixels whose colour
// table is the palette, and the repaint of what pings drew, gathered from any thread
// and turned into one repaint of the client area every 16 ms.
#pragma once

#include <QColor>
#include <QImage>
#include <QTimer>
#include <mutex>

#include "imaging/ping_image.h"

class CoreBridge;
class QPainter;
class QRect;
class QWidget;

class PictureView {
 public:
  PictureView(CoreBridge& core, QWidget* client);

  void SetPalette();  // the colour table follows the core's palette
  QColor Pal(int index) const;  // a colour of the palette
  const QImage& Image() const { return image_; }
  void Paint(QPainter& p, const QRect& exposed);  // the frame and the picture
  // What pings drew since the last repaint; called from any thread.
  void QueueRepaint(const DirtyRect& area);
  void FlushDirty();  // repaint what was drawn since the last time

 private:
  CoreBridge& core_;
  QWidget* client_;
  QImage image_;  // wraps PingImage's pixels; colour table = palette
  QTimer refresh_timer_;
  std::mutex repaint_mutex_;
  DirtyRect pending_repaint_;  // guarded by repaint_mutex_
};
