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

ScaledStrokes::ScaledStrokes(QPainter& p) : p_(p) {
  const QTransform t = p.deviceTransform();
  shifted_ = t.m11() != 1.0 || t.m22() != 1.0;
  if (shifted_) p_.translate(0.5, 0.5);
}

ScaledStrokes::~ScaledStrokes() {
  if (shifted_) p_.translate(-0.5, -0.5);
}

void Outline(QPainter& p, const QRect& r, QColor colour) {
  if (r.isEmpty()) return;
  p.fillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
  p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
  p.fillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
  p.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
}

void Box(QPainter& p, int l, int t, int r, int b, QColor outline, QColor fill) {
  p.fillRect(QRect(l, t, r - l, b - t), fill);
  Outline(p, QRect(l, t, r - l, b - t), outline);
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
  Outline(p, box, QColor(64, 64, 64));
  if (on) {
    const ScaledStrokes strokes(p);
    QPen pen(Qt::black, 2);
    p.setPen(pen);
    p.drawLine(x + 3, y + 6, x + 5, y + 9);
    p.drawLine(x + 5, y + 9, x + 9, y + 3);
  }
}
