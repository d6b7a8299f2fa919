// SPDX-License-Identifier: GPL-3.0-or-later
// Fixed layout of the main window's client area and the texts its panels show.
// The layout is computed once from the font and arrow sizes and never changes.
#pragma once

#include <array>
#include <string>

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

// Panel value texts.
std::string RangeText(int range_index, int units);
std::string ModeText(int grid_mode);
std::string GainText(int gain);
std::string SpeedText(int speed, int grid_mode);
std::string SectorText(int sector, int grid_mode);
std::string TrainText(int train, int ss_train, int grid_mode);
std::string FrequencyText(int khz);
int PlotSpeedBarLength(int plot_speed);
// "08-DEC-2026  01:02:03".
std::string DateTimeText(int day, int month, int year, int hour, int minute, int second);

// Index of a typed range in metres (units 0) or feet (units 1), or -1.
int RangeIndexForEntry(int value, int units);
