// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/grid.h"

#include <cmath>

namespace {

constexpr double kPi = 3.141592654;
constexpr double kDegToRad = kPi / 180;
constexpr float kArcStep = 0.0008726645f;  // 0.05 degrees

struct GridPen {
  PingImage& image;
  bool on;
  void Put(int x, int y) {
    if (!pixel::Inside(x, y)) return;
    uint8_t& v = image.At(x, y);
    v = on ? pixel::SetGrid(v) : pixel::ClearGrid(v);
  }
  void Row(int y, int step) {
    for (int x = 0; x < kImageWidth; x += step) Put(x, y);
  }
  void Column(int x, int step) {
    for (int y = 0; y < kImageHeight; y += step) Put(x, y);
  }
};

void Arcs(GridPen& pen, float spacing, float limit, int cx, int cy, float start, int steps) {
  if (!(spacing > 0)) return;
  float a = start;
  for (int k = 1; k <= steps; ++k) {
    a += kArcStep;
    const double s = std::sin(a), c = std::cos(a);
    for (int n = 1; n * spacing <= limit; ++n) {
      const float r = n * spacing;
      pen.Put(static_cast<int>(cx + r * s + 0.5), static_cast<int>(cy + r * c + 0.5));
    }
  }
}

}  // namespace

float GridSpacing(int grid_mode, int units, float sound_velocity) {
  float b;
  if (grid_mode == kGridPolar)
    b = units ? 45.72f : 50.0f;
  else
    b = units ? 91.44f : 100.0f;
  if (!(sound_velocity > 0)) sound_velocity = 1500.0f;
  return b * 1500.0f / sound_velocity;
}

void DrawGrid(PingImage& image, const GridParams& p, bool on) {
  GridPen pen{image, on};
  const float s = GridSpacing(p.GridMode, p.Units, p.SoundVelocity);
  switch (p.GridMode) {
    case kGridSector: {
      const bool down = p.ProfileGrid && !p.ZeroDown;
      pen.Row(down ? 1 : 504, 1);
      pen.Column(297, 1);
      if (!p.ProfileGrid) {
        Arcs(pen, s, 510.0f, 297, 505, static_cast<float>(kPi / 2), 3600);
      } else {
        for (int n = 1; s > 0 && n * s < 506; ++n)
          pen.Row(static_cast<int>(p.ZeroDown ? 504 - n * s : n * s + 1), 2);
        for (int n = 1; n <= 6; ++n) {
          pen.Column(static_cast<int>(297 - n * s), 2);
          pen.Column(static_cast<int>(297 + n * s), 2);
        }
      }
      break;
    }
    case kGridPolar:
      pen.Row(253, 1);
      pen.Column(297, 1);
      if (!p.ProfileGrid) {
        Arcs(pen, s, 260.0f, 297, 252, 0.0f, 7200);
      } else {
        for (int n = 1; s > 0 && n * s < 253; ++n) {
          pen.Row(static_cast<int>(253 - n * s), 2);
          pen.Row(static_cast<int>(253 + n * s), 2);
        }
        for (int n = 1; s > 0 && n * s < 298; ++n) {
          pen.Column(static_cast<int>(297 - n * s), 2);
          pen.Column(static_cast<int>(297 + n * s), 2);
        }
      }
      break;
    case kGridSS: {
      const int c = WaterfallColumns(p.SSTrain).TransducerColumn;
      for (int y = 0; y < kImageHeight; ++y)
        if (!on || (y & 8) == 0) pen.Put(c, y);
      break;
    }
    default:
      break;  // Profile display has no grid
  }
}

const char* GridScaleLabel(int range_index, int units, bool ss_both) {
  static constexpr const char* kMetres[15] = {
      " 0.2 M/DIV", " 0.4 M/DIV", " 0.6 M/DIV", " 0.8 M/DIV", " 1 M/DIV",
      " 2 M/DIV",   " 4 M/DIV",   " 6 M/DIV",   " 8 M/DIV",   "10 M/DIV",
      "12 M/DIV",   "16 M/DIV",   "20 M/DIV",   "30 M/DIV",   "40 M/DIV"};
  static constexpr const char* kMetresBoth[15] = {
      " 0.4 M/DIV", " 0.8 M/DIV", " 1.2 M/DIV", " 1.6 M/DIV", " 2 M/DIV",
      " 4 M/DIV",   " 8 M/DIV",   "12 M/DIV",   "16 M/DIV",   "20 M/DIV",
      "24 M/DIV",   "32 M/DIV",   "40 M/DIV",   "60 M/DIV",   "80 M/DIV"};
  static constexpr const char* kFeet[15] = {
      "0.6 FT/DIV", "1.2 FT/DIV", "1.8 FT/DIV", "2.4 FT/DIV", "3 FT/DIV",
      "6 FT/DIV",   "12 FT/DIV",  "18 FT/DIV",  "24 FT/DIV",  "30 FT/DIV",
      "36 FT/DIV",  "48 FT/DIV",  "60 FT/DIV",  "90 FT/DIV",  "120 FT/DIV"};
  static constexpr const char* kFeetBoth[15] = {
      "1.2 FT/DIV", "2.4 FT/DIV", "3.6 FT/DIV", "4.8 FT/DIV", "6 FT/DIV",
      "12 FT/DIV",  "24 FT/DIV",  "36 FT/DIV",  "48 FT/DIV",  "60 FT/DIV",
      "72 FT/DIV",  "96 FT/DIV",  "120 FT/DIV", "180 FT/DIV", "240 FT/DIV"};
  if (range_index < 0 || range_index > 14) return nullptr;
  if (units) return ss_both ? kFeetBoth[range_index] : kFeet[range_index];
  return ss_both ? kMetresBoth[range_index] : kMetres[range_index];
}

std::string GridLabelText(bool grid_on, int range_index, int units, int grid_mode, int ss_train) {
  if (!grid_on) return "Grid Off";
  const char* t = GridScaleLabel(range_index, units, grid_mode == kGridSS && ss_train == kSSBoth);
  return t ? t : "";
}

bool DialHalfTurn(int grid_mode, bool profile_grid, bool zero_down) {
  return profile_grid && !zero_down && grid_mode != kGridSS;
}

DialPoint DialPointAt(int cx, int cy, double radius, double angle_deg, bool half_turn) {
  double s = std::sin(angle_deg * kDegToRad), c = std::cos(angle_deg * kDegToRad);
  if (half_turn) s = -s, c = -c;
  return {static_cast<int>(cx + radius * s + 0.5), static_cast<int>(cy - radius * c + 0.5)};
}

SectorDialShape ComputeSectorDial(int cx, int cy, int radius, int sector_size, int train,
                                  double rotate_deg, bool half_turn) {
  SectorDialShape d;
  d.FaceRadius = radius + 3;
  d.FullCircle = sector_size == 360;
  d.SingleLine = sector_size == 0;
  d.Middle = rotate_deg + (train > 180 ? train - 360 : train);
  d.StartDeg = d.Middle - sector_size / 2.0;
  d.EndDeg = d.Middle + sector_size / 2.0;
  d.StartPoint = DialPointAt(cx, cy, radius, d.StartDeg, half_turn);
  d.EndPoint = DialPointAt(cx, cy, radius, d.EndDeg, half_turn);
  d.LinePoint = DialPointAt(cx, cy, radius, d.Middle, half_turn);
  int a = static_cast<int>((d.StartDeg + 180) * 10 / 3);
  int b = static_cast<int>((d.EndDeg + 180) * 10 / 3);
  if (half_turn) {
    a = 1200 - a;
    b = 1200 - b;
    if (a == 1200) a = 0;
    if (b == 1200) b = 0;
    std::swap(a, b);
  }
  d.LimitStartPosition = a;
  d.LimitEndPosition = b;
  return d;
}

HeadMarkerShape ComputeHeadMarker(int cx, int cy, int radius, double bearing_deg,
                                  double rotate_deg, bool half_turn) {
  if (bearing_deg > 180) bearing_deg -= 360;
  if (rotate_deg > 180) rotate_deg -= 360;
  return {DialPointAt(cx, cy, radius + 8, bearing_deg, half_turn),
          DialPointAt(cx, cy, radius + 8, rotate_deg, half_turn)};
}

TransducerLabels ComputeTransducerLabels(int xdcr, bool profile_grid, bool zero_down) {
  if (!profile_grid) return {xdcr ? "Xdcr Up" : "Xdcr Down", nullptr};
  return {xdcr ? "Xdcr Aft" : "Xdcr Fwd", zero_down ? "Zero Up" : "Zero Down"};
}
