// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing pieces shared by everything painted in the client area: the fonts, the
// framed boxes, the shadowed labels and the check boxes of the fixed layout.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;
class QRect;

QFont PanelFont();  // the client area's text
QFont SmallFont();  // "(Auto)", the user text, "Plot Speed"

// Lines drawn while the painter scales (a scaled window, a high-density screen):
// Qt centres a scaled pen on its line, where at scale 1 a one-pixel line fills the
// pixels right of and below it. Moving the drawing half a layout pixel while it
// scales puts a line on the scaled pixels it fills at scale 1. Fills and text are
// drawn without it.
class ScaledStrokes {
 public:
  explicit ScaledStrokes(QPainter& p);
  ~ScaledStrokes();
  ScaledStrokes(const ScaledStrokes&) = delete;
  ScaledStrokes& operator=(const ScaledStrokes&) = delete;

 private:
  QPainter& p_;
  bool shifted_;
};

// The one-pixel outline of `r`, drawn as fills so that it stays on the edge pixels
// at any scale.
void Outline(QPainter& p, const QRect& r, QColor colour);
// A filled box from (l, t) to (r, b), the right and bottom edges excluded, outlined.
void Box(QPainter& p, int l, int t, int r, int b, QColor outline, QColor fill);
// A label with its shadow one pixel down and right; (x, y) is the top of the text cell.
void ShadowText(QPainter& p, int x, int y, const QString& s, QColor text, QColor shadow);
// The 12-pixel check box of Hold, Rev and Reverse.
void PaintCheckBox(QPainter& p, int x, int y, bool on);
