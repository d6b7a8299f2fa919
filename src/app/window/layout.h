// SPDX-License-Identifier: GPL-3.0-or-later
// Fixed layout of the main window's client area and the texts its panels show.
// The layout is computed once from the font and arrow sizes and never changes.
#pragma once

#include <array>
#include <string>

#include "settings/readout_texts.h"

struct LayoutRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// Order of the arrow buttons in `ButtonRects`.
enum ArrowButton {
  kRangeUp, kRangeDown, kSectorUp, kSectorDown, kGainUp, kGainDown, kSpeedUp, kSpeedDown,
  kTrainUp, kTrainDown, kModeUp, kModeDown, kPlayRight, kPlayLeft, kArrowButtonCount
};

struct Layout {
  int ArrowW = 16, ArrowH = 16, CharW = 8, LineH = 16;
  int BoxW = 52, LeftCol = 619, RightCol = 699;
  int Row1 = 83, Row2 = 0, Row3 = 0, Row4 = 0;
  int EntryX = 619, EntryY = 45;
  int TextBase = 0;
  std::array<LayoutRect, kArrowButtonCount> ButtonRects{};
  LayoutRect FileButtonRect, HeadButtonRect;
};

Layout ComputeLayout(int char_w, int line_h, int arrow_w, int arrow_h);

// The panel value texts are the core's (settings/readout_texts.h); the length of
// the Plot Speed bar in pixels.
int PlotSpeedBarLength(int plot_speed);

// Index of a typed range in metres (units 0) or feet (units 1), or -1.
int RangeIndexForEntry(int value, int units);
