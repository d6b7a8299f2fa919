// SPDX-License-Identifier: GPL-3.0-or-later
// The range grid (the grid bit of PingImage), its scale label, and the geometry of
// the overlays around the picture (sector dial, head marker, transducer labels)
// as plain data the user interface paints from.
#pragma once

#include <string>

#include "imaging/ping_image.h"
#include "imaging/scan_conversion.h"

struct GridParams {
  int GridMode = kGridSector;
  bool ProfileGrid = false;
  bool ZeroDown = true;
  int SSTrain = kSSPort;
  int Units = 0;  // 0 metres, 1 feet
  float SoundVelocity = 1500.0f;
};

// Pixels per division: B x 1500 / sound velocity (B 100 or 91.44 for Sector and
// SS, 50 or 45.72 for Polar, by units).
float GridSpacing(int grid_mode, int units, float sound_velocity);

// Sets (on) or clears (off) the grid bit on every grid pixel. The caller holds the
// image lock; to move a grid, erase with the old parameters and draw with the new.
void DrawGrid(PingImage& image, const GridParams& p, bool on);

// Scale label of range index 0..14 (" 1 M/DIV" ...), from the SS "Both" tables
// when `ss_both`; nullptr outside the range.
const char* GridScaleLabel(int range_index, int units, bool ss_both);
// The text under the picture: "Grid Off" or the scale label.
std::string GridLabelText(bool grid_on, int range_index, int units, int grid_mode, int ss_train);

// --- Overlay geometry around the picture ---

struct DialPoint {
  int X = 0;
  int Y = 0;
  bool operator==(const DialPoint&) const = default;
};

// Point at `angle_deg` (clockwise from the top) on a circle around (cx, cy); with
// `half_turn` the dial is turned by half a turn (ProfileGrid on, ZeroDown off, not SS).
DialPoint DialPointAt(int cx, int cy, double radius, double angle_deg, bool half_turn);
bool DialHalfTurn(int grid_mode, bool profile_grid, bool zero_down);

struct SectorDialShape {
  bool FullCircle = false;  // sector 360
  bool SingleLine = false;  // sector 0: one radius towards Middle
  double Middle = 0;        // m = rotate + train (train above 180 as train - 360)
  double StartDeg = 0;      // m - w/2
  double EndDeg = 0;        // m + w/2
  DialPoint StartPoint, EndPoint, LinePoint;  // on radius R
  int FaceRadius = 0;       // R + 3, pen 122, brush 125
  // The sector limits as head positions (0.3-degree steps), mirrored and swapped
  // with the dial turned.
  int LimitStartPosition = 0;
  int LimitEndPosition = 0;
};
SectorDialShape ComputeSectorDial(int cx, int cy, int radius, int sector_size, int train,
                                  double rotate_deg, bool half_turn);

struct HeadMarkerShape {
  DialPoint Head;    // radius 4, colour 127
  DialPoint Rotate;  // radius 2, colour 123 (erase: radius 3, colour 122)
};
HeadMarkerShape ComputeHeadMarker(int cx, int cy, int radius, double bearing_deg,
                                  double rotate_deg, bool half_turn);

struct TransducerLabels {
  const char* Main;    // "Xdcr Up", "Xdcr Down", "Xdcr Aft", "Xdcr Fwd"
  const char* Second;  // "Zero Down" / "Zero Up" with ProfileGrid on, else nullptr
};
TransducerLabels ComputeTransducerLabels(int xdcr, bool profile_grid, bool zero_down);
