// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/profile_points.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/scan_conversion.h"

namespace {

void CopyText(char* dst, size_t room, const std::string& s, size_t max_chars) {
  const size_t n = std::min({s.size(), max_chars, room - 1});
  std::memcpy(dst, s.data(), n);
  dst[n] = 0;
}

uint8_t Overlay(uint8_t existing, int colour, bool grid_on) { return pixel::OverGrid(existing, colour, grid_on); }

// Direction (sin t, -cos t) of a point, the second component negated with the
// profile grid on and zero down off.
void PointDirection(const PointParams& p, float& dx, float& dy) {
  dx = std::sin(p.BeamAngleRad);
  dy = -std::cos(p.BeamAngleRad);
  if (p.ProfileGrid && !p.ZeroDown) dy = -dy;
}

}  // namespace

float ProfilePointRange(int code, float blank_distance, int range_metres) {
  if (code <= 0 || code >= 10000) return 0.0f;
  const double r = range_metres < 5 ? code * 0.2 * 0.01 : code * 0.01;
  return static_cast<float>(r + blank_distance);
}

ProfilePoint MakeProfilePoint(const ProfilePointInputs& in) {
  ProfilePoint p;
  std::memset(&p, 0, sizeof p);
  CopyText(p.DateTime, sizeof p.DateTime, in.DateText, 11);
  // The time sits at offset 13; the gap holds blanks as the status panel keeps it.
  if (!in.TimeText.empty()) {
    const size_t date_len = std::strlen(p.DateTime);
    for (size_t i = date_len; i < 13; ++i) p.DateTime[i] = ' ';
    CopyText(p.DateTime + 13, sizeof p.DateTime - 13, in.TimeText, 11);
  }
  CopyText(p.Gps, 25, in.GpsText, 24);
  p.Elevation = in.Elevation;
  p.Range = ProfilePointRange(in.ProfileRangeCode, in.BlankDistance, in.RangeMetres);
  float angle = in.BeamAngleDeg + in.VerticalAngleOffset;
  if (angle >= 360) angle -= 360;
  else if (angle < 0) angle += 360;
  p.BeamAngle = angle;
  p.Direction = in.Direction;
  p.Pitch = in.Pitch;
  p.Roll = in.Roll;
  p.Heading = in.Heading;
  return p;
}

void StoreProfilePoint(ProfilePointStore& store, const ProfilePointInputs& in) {
  if (store.Count < 0) store.Count = 0;
  if (store.Count > kMaxProfilePoints) store.Count = kMaxProfilePoints;
  store.Records[store.Count] = MakeProfilePoint(in);
  if (store.Count < kMaxProfilePoints) ++store.Count;
}

int PointOriginY(int grid_mode, bool profile_grid, bool zero_down) {
  if (grid_mode == kGridPolar) return 253;
  if (grid_mode == kGridProfile) return 0;
  return (profile_grid && !zero_down) ? 1 : 505;
}

void DrawPointsOnly(PingImage& image, ProfilePointTable& table, const PointParams& p) {
  const float x0 = kSectorOriginX;
  const float y0 = static_cast<float>(PointOriginY(p.GridMode, p.ProfileGrid, p.ZeroDown));
  // Erase ahead: the nine positions the head reaches next lose their old points.
  for (int k = 0; k <= 8; ++k) {
    int q = p.ImageFlip ? p.HeadPosition + k : p.HeadPosition - k;
    q = ((q % 1200) + 1200) % 1200;
    PixelPos& e = table[q];
    if (e.X == 0 && e.Y == 0) continue;
    if (pixel::Inside(e.X, e.Y)) {
      uint8_t& v = image.At(e.X, e.Y);
      v = Overlay(v, 0, p.GridOn);
      image.Dirty.Add(e.X, e.Y);
    }
    e = {};
  }
  float dx, dy;
  PointDirection(p, dx, dy);
  const float i = static_cast<float>(p.ProfileSampleIndex);
  const int x = static_cast<int>(x0 + i * dx);
  const int y = static_cast<int>(y0 + i * dy);
  if (!pixel::Inside(x, y)) return;
  if (p.ProfileSampleIndex > 0) {
    uint8_t& v = image.At(x, y);
    v = Overlay(v, 106, p.GridOn);
  }
  image.Dirty.Add(x, y);
  if (p.HeadPosition >= 0 && p.HeadPosition < kProfilePointTableSize) table[p.HeadPosition] = {x, y};
}

void DrawRecentPoints(PingImage& image, RecentProfilePoints& recent, const PointParams& p) {
  if (p.ProfileSampleIndex == 0) return;
  for (const PixelPos& e : recent.Points) {
    if (e.Empty() || !pixel::Inside(e.X, e.Y)) continue;
    uint8_t& v = image.At(e.X, e.Y);
    v = Overlay(v, 106, p.GridOn);
    image.Dirty.Add(e.X, e.Y);
  }
  float dx, dy;
  PointDirection(p, dx, dy);
  const float x0 = kSectorOriginX;
  const float y0 = static_cast<float>(PointOriginY(p.GridMode, p.ProfileGrid, p.ZeroDown));
  const float i = static_cast<float>(p.ProfileSampleIndex);
  const int x = static_cast<int>(x0 + i * dx + 0.5f);
  const int y = static_cast<int>(y0 + i * dy + 0.5f);
  if (!pixel::Inside(x, y)) return;
  uint8_t& v = image.At(x, y);
  v = Overlay(v, 106, p.GridOn);
  image.Dirty.Add(x, y);
  recent.Points[recent.WriteIndex] = {x, y};
  recent.WriteIndex = (recent.WriteIndex + 1) % kRecentProfilePointCount;
}

int DredgeLineRow(const DredgeParams& p) {
  double f = p.RangeMetres;
  if (p.Units == 1) f *= 3.2808399;
  f = f * p.SoundVelocity / 1500;
  if (!(f > 0)) return -1;
  int row;
  if (p.GridMode == kGridPolar) {
    const double l = p.Depth * 250 / f;
    row = static_cast<int>(p.ZeroDown ? 256 - l - 3 : 256 + l - 3);
  } else if (p.GridMode == kGridProfile) {
    // Profile display hangs the fan from row 0, one pixel per sample.
    row = static_cast<int>(p.Depth * 500 / f);
  } else {
    const double l = p.Depth * 500 / f;
    // Beyond the picture the row is off the picture whatever the conversion gives.
    if (l > 1000) return -1;
    row = static_cast<int>(p.ZeroDown ? 504 - l : l + 1);
  }
  return row;
}

bool DrawDredgeLine(PingImage& image, DredgeLineState& state, const DredgeParams& p) {
  if (!p.ProfileGrid || p.GridMode == kGridSS) return false;
  if (!(p.Depth > 0) && p.Depth == state.LastDepth) return false;
  state.LastDepth = p.Depth;
  const int old_row = state.Row;
  auto clear_row = [&](int row) {
    for (int x = 0; x < kImageWidth; ++x) {
      uint8_t& v = image.At(x, row);
      v = Overlay(v, 0, p.GridOn);
    }
  };
  if (old_row >= 1 && old_row <= 504) clear_row(old_row);
  const int row = DredgeLineRow(p);
  const bool shown = p.Depth > 0 && row >= 1 && row <= 504;
  if (shown) {
    for (int x = 0; x < kImageWidth; ++x) {
      uint8_t& v = image.At(x, row);
      v = Overlay(v, 88, p.GridOn);
    }
  }
  bool changed = false;
  if (old_row >= 1 && old_row <= 504 && row != old_row) {
    image.Dirty.Add(0, old_row);
    image.Dirty.Add(kImageWidth - 1, old_row);
    changed = true;
  }
  if (shown) {
    image.Dirty.Add(0, row);
    image.Dirty.Add(kImageWidth - 1, row);
    state.Row = row;
    changed = true;
  } else {
    state.Row = 0;
  }
  return changed;
}
