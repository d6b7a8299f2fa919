// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement cursor's arithmetic: range and bearing (or offsets with the
// profile grid) of the cursor and origin points, the three readout texts, and the
// zoom-inset clamp. Points are window coordinates (image + 3); the mouse handling
// and the painting belong to the user interface.
#pragma once

#include <string>

struct ReadoutInputs {
  int GridMode = 0;
  bool ProfileGrid = false;
  bool ZeroDown = true;
  int Units = 0;             // 1 feet
  int RangeMetres = 50;
  float SoundVelocity = 1500.0f;
  int Train = 0;             // degrees, added to bearings in Sector display
  int SSTrain = 0;           // 0 Port, 1 Both, 2 Stbd
  int MeasureMode = 0;       // 1: the origin point is the anchor
  int CursorX = 0, CursorY = 0;
  int OriginX = 0, OriginY = 0;
};

struct ReadoutLine {
  std::string Label;  // "Org:", "Tar:", "Diff:"
  std::string Value;  // the rest, drawn after the label when `Separate`
  std::string Text;   // the whole line as drawn when not `Separate`
};

struct Readouts {
  ReadoutLine Org, Tar, Diff;
  bool Separate = false;  // profile grid: labels drawn apart from the values
};

// Transducer position in window coordinates for the readouts.
struct WindowPoint {
  int X = 0;
  int Y = 0;
};
WindowPoint ReadoutTransducer(int grid_mode, bool profile_grid, bool zero_down, int cursor_y);

// Metres per pixel of radius: range / 500, doubled in Polar display and for SS
// "Both", scaled by sound velocity / 1500 like the grid.
double MetresPerPixel(const ReadoutInputs& in);

// Bearing in degrees of a point seen from a reference, from its offsets (right
// and down positive), clockwise from the top of the screen, 0 <= b < 360.
double ScreenBearing(int right, int down, double* distance = nullptr);

Readouts UpdateReadouts(const ReadoutInputs& in);

// Zoom inset: the cursor clamped so that the 78 x 78 source square stays inside
// the picture (43..559 across, 43..469 down).
WindowPoint ClampZoomCenter(int cursor_x, int cursor_y);
