// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/layout.h"

#include "settings/settings_state.h"
#include "settings/user_config.h"

Layout ComputeLayout(int char_w, int line_h, int arrow_w, int arrow_h) {
  Layout l;
  l.ArrowW = arrow_w;
  l.ArrowH = arrow_h;
  l.CharW = char_w;
  l.LineH = line_h;
  l.BoxW = 6 * char_w + 4;
  l.LeftCol = 619;
  // Right of the left column's value box and arrows: BoxW + ArrowW + 631 (683 +
  // ArrowW with an 8-pixel "X").
  l.RightCol = l.BoxW + arrow_w + 631;
  l.Row1 = 83;
  l.Row2 = l.Row1 + 2 * arrow_h + line_h + 3;
  l.Row3 = l.Row2 + 2 * arrow_h + line_h + 3;
  l.Row4 = l.Row3 + 2 * arrow_h + line_h + 3;
  l.EntryX = l.LeftCol;
  l.EntryY = 2 * line_h + 13;
  l.TextBase = 2 * arrow_h + l.Row4 - 9;
  auto pair = [&](int first, int col, int top) {
    int x = col + l.BoxW;
    l.ButtonRects[first] = {x, top, x + arrow_w, top + arrow_h};
    l.ButtonRects[first + 1] = {x, top + arrow_h, x + arrow_w, top + 2 * arrow_h};
  };
  pair(kRangeUp, l.LeftCol, l.Row1);
  pair(kSectorUp, l.LeftCol, l.Row3);
  pair(kGainUp, l.LeftCol, l.Row2);
  pair(kSpeedUp, l.RightCol, l.Row2);
  pair(kTrainUp, l.RightCol, l.Row3);
  pair(kModeUp, l.RightCol, l.Row1);
  l.ButtonRects[kPlayRight] = {336, 534, 336 + arrow_w, 534 + arrow_h};
  l.ButtonRects[kPlayLeft] = {251, 534, 251 + arrow_w, 534 + arrow_h};
  l.HeadButtonRect = {l.LeftCol, line_h + 2, l.LeftCol + 5 * char_w, line_h + 2 + line_h + 5};
  l.FileButtonRect = {l.LeftCol + 5 * char_w, line_h + 2, l.LeftCol + 10 * char_w, line_h + 2 + line_h + 5};
  return l;
}

int PlotSpeedBarLength(int plot_speed) {
  int len = static_cast<int>(plot_speed * 0.01 * 68);
  return len < 0 ? 0 : (len > 68 ? 68 : len);
}

int RangeIndexForEntry(int value, int units) {
  for (int i = 0; i < 15; ++i) {
    int v = units == 1 ? 3 * kRangeMetres[i] : kRangeMetres[i];
    if (v == value) return i;
  }
  return -1;
}
