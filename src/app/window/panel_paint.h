// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing pieces shared by everything painted in the client area: the fonts, the
// framed boxes, the shadowed labels and the check boxes of the fixed layout.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;

QFont PanelFont();  // the client area's text
QFont SmallFont();  // "(Auto)", the user text, "Plot Speed"

// A filled box from (l, t) to (r, b), the right and bottom edges excluded, outlined.
void Box(QPainter& p, int l, int t, int r, int b, QColor outline, QColor fill);
// A label with its shadow one pixel down and right; (x, y) is the top of the text cell.
void ShadowText(QPainter& p, int x, int y, const QString& s, QColor text, QColor shadow);
// The 12-pixel check box of Hold, Rev and Reverse.
void PaintCheckBox(QPainter& p, int x, int y, bool on);
