// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/panel_paint.h"

#include <QPainter>

QFont PanelFont() {
  QFont f("DejaVu Sans");
  f.setPixelSize(12);
  return f;
}

QFont SmallFont() {
  QFont f("DejaVu Sans");
  f.setPixelSize(11);
  return f;
}

void Box(QPainter& p, int l, int t, int r, int b, QColor outline, QColor fill) {
  p.fillRect(QRect(l, t, r - l, b - t), fill);
  p.setPen(outline);
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRect(l, t, r - l - 1, b - t - 1));
}

void ShadowText(QPainter& p, int x, int y, const QString& s, QColor text, QColor shadow) {
  // Win32 text positions are the top of the cell; Qt draws at the baseline.
  const int ascent = p.fontMetrics().ascent();
  p.setPen(shadow);
  p.drawText(x + 1, y + 1 + ascent, s);
  p.setPen(text);
  p.drawText(x, y + ascent, s);
}

void PaintCheckBox(QPainter& p, int x, int y, bool on) {
  QRect box(x, y, 12, 12);
  p.fillRect(box, Qt::white);
  p.setPen(QColor(64, 64, 64));
  p.drawRect(box.adjusted(0, 0, -1, -1));
  if (on) {
    QPen pen(Qt::black, 2);
    p.setPen(pen);
    p.drawLine(x + 3, y + 6, x + 5, y + 9);
    p.drawLine(x + 5, y + 9, x + 9, y + 3);
  }
}
