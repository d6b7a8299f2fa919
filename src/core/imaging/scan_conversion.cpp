#include "imaging/scan_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kPi = 3.141592654;
constexpr double kDegToRad = kPi / 180;

constexpr std::array<SubRayWeight, 7> MakeW7() {
  std::array<SubRayWeight, 7> t{};
  for (int j = 0; j < 7; ++j) t[j] = {65 - 5 * j, 100, 35 + 5 * j};
  return t;
}

constexpr std::array<SubRayWeight, 11> MakeW11() {
  std::array<SubRayWeight, 11> t{};
  for (int j = 0; j < 11; ++j) t[j] = {75 - 5 * j, 100, 25 + 5 * j};
  return t;
}

constexpr std::array<SubRayWeight, 21> kW21 = {{{100, 100, 0}, {100, 100, 0}, {100, 100, 0},
                                                {90, 110, 0},  {80, 120, 0},  {70, 130, 0},
                                                {60, 140, 0},  {50, 150, 0},  {40, 160, 0},
                                                {30, 160, 10}, {20, 160, 20}, {10, 160, 30},
                                                {0, 160, 40},  {0, 150, 50},  {0, 140, 60},
                                                {0, 130, 70},  {0, 120, 80},  {0, 110, 90},
                                                {0, 100, 100}, {0, 100, 100}, {0, 100, 100}}};

constexpr std::array<SubRayWeight, 41> MakeW41() {
  std::array<SubRayWeight, 41> t{};
  int n = 0;
  for (int k = 0; k < 5; ++k) t[n++] = {100, 100, 0};
  for (int k = 1; k <= 12; ++k) t[n++] = {100 - 5 * k, 100 + 5 * k, 0};
  for (int k = 0; k <= 7; ++k) t[n++] = {35 - 5 * k, 160, 5 + 5 * k};
  for (int k = 1; k <= 12; ++k) t[n++] = {0, 160 - 5 * k, 40 + 5 * k};
  for (int k = 0; k < 4; ++k) t[n++] = {0, 100, 100};
  return t;
}

constexpr std::array<SubRayWeight, 7> kW7 = MakeW7();
constexpr std::array<SubRayWeight, 11> kW11 = MakeW11();
constexpr std::array<SubRayWeight, 41> kW41 = MakeW41();

}  // namespace

const std::array<SubRayWeight, 7>& WeightsW7() { return kW7; }
const std::array<SubRayWeight, 11>& WeightsW11() { return kW11; }
const std::array<SubRayWeight, 21>& WeightsW21() { return kW21; }
const std::array<SubRayWeight, 41>& WeightsW41() { return kW41; }

void EchoLines::Shift(const uint8_t* samples, int count, bool& first_ping) {
  count = std::clamp(count, 0, kEchoLineLength);
  if (first_ping) {
    std::memcpy(Previous.data(), samples, count);
    std::memcpy(Current.data(), samples, count);
    std::memcpy(Next.data(), samples, count);
    first_ping = false;
    return;
  }
  std::memcpy(Previous.data(), Current.data(), count);
  std::memcpy(Current.data(), Next.data(), count);
  std::memcpy(Next.data(), samples, count);
}

void EchoLines::Clear() {
  Previous.fill(0);
  Current.fill(0);
  Next.fill(0);
}

int SectorOriginY(int grid_mode, bool profile_grid, bool zero_down) {
  switch (grid_mode) {
    case kGridPolar:
      return 253;
    case kGridProfile:
      return 0;
    default:
      return (profile_grid && !zero_down) ? 1 : 505;
  }
}

WedgeGeometry SelectWedgeGeometry(const WedgeParams& p) {
  WedgeGeometry g;
  const double fine = 1.2 / 21 * kDegToRad;
  g.HalfWidth = 0.6 * kDegToRad;
  g.Spacing = fine;
  g.TableRows = 21;
  int k = 1;
  switch (std::clamp(p.Speed, 0, 4)) {
    case 0:
      g.SubRays = 7, g.FirstRow = 7, g.Weights = kW7.data(), k = 1;
      break;
    case 1:
      g.SubRays = 11, g.FirstRow = 5, g.Weights = kW11.data(), k = 2;
      break;
    case 2:
      g.SubRays = 17, g.FirstRow = 2, g.Weights = kW21.data() + 2, k = 3;
      break;
    case 3:
      g.SubRays = 21, g.FirstRow = 0, g.Weights = kW21.data(), k = 4;
      break;
    case 4:
      k = 8;
      g.HalfWidth = 1.2 * kDegToRad;
      g.FirstRow = 0;
      if (p.GridMode == kGridPolar) {
        g.SubRays = 21, g.Spacing = 2.4 / 21 * kDegToRad, g.Weights = kW21.data();
      } else {
        g.SubRays = 41, g.TableRows = 41, g.Spacing = 2.4 / 41 * kDegToRad, g.Weights = kW41.data();
      }
      break;
  }
  g.StepAngle = p.SectorSize == 0 ? 0.0 : k * kPi / 600;
  return g;
}

int BuildSubRayTable(const WedgeParams& p, const WedgeGeometry& g, std::array<SubRay, 41>& table) {
  const bool down = p.ProfileGrid && !p.ZeroDown && p.GridMode == kGridSector;
  const double beam = p.BeamAngleRad;
  for (int k = 0; k < g.TableRows; ++k) {
    const double t = p.ImageFlip ? beam - g.HalfWidth - g.StepAngle + k * g.Spacing
                                 : beam + g.HalfWidth + g.StepAngle - k * g.Spacing;
    const float c = static_cast<float>(std::cos(t));
    table[k] = {down ? c : -c, static_cast<float>(std::sin(t))};
  }
  return g.TableRows;
}

DirtyRect DrawWedge(PingImage& image, const EchoLines& lines, const WedgeParams& p) {
  const WedgeGeometry g = SelectWedgeGeometry(p);
  std::array<SubRay, 41> table;
  BuildSubRayTable(p, g, table);

  const int n_rays = g.SubRays;
  alignas(32) float a[41], b[41];
  alignas(32) int wp[41], wc[41], wn[41];
  for (int j = 0; j < n_rays; ++j) {
    a[j] = table[g.FirstRow + j].A;
    b[j] = table[g.FirstRow + j].B;
    wp[j] = g.Weights[j].Previous;
    wc[j] = g.Weights[j].Current;
    wn[j] = g.Weights[j].Next;
  }

  const float x0 = static_cast<float>(kSectorOriginX);
  const float y0 = static_cast<float>(SectorOriginY(p.GridMode, p.ProfileGrid, p.ZeroDown));
  const uint8_t grid_mask = p.GridOn ? 0x80 : 0x00;
  const int count = std::clamp(p.SampleCount, 0, kEchoLineLength);
  uint8_t* px = image.Pixels();

  int min_x = 2000, max_x = 0, min_y = 2000, max_y = 0;
  alignas(32) int xs[41], ys[41], vs[41];
  for (int i = 0; i < count; ++i) {
    const float r = static_cast<float>(i);
    const int n = std::min(n_rays, n_rays / 4 + i / 2);
    const int prev = lines.Previous[i], cur = lines.Current[i], next = lines.Next[i];
    // Positions and blended values of this radius, then the stores in table order
    // (at the apex several sub-rays share a pixel; the last writer wins).
    for (int j = 0; j < n; ++j) {
      xs[j] = static_cast<int>(x0 + r * b[j]);
      ys[j] = static_cast<int>(y0 + r * a[j]);
      // trunc(sum x 0.005) equals sum / 200 for every sum 0..21400.
      const int v = (wp[j] * prev + wc[j] * cur + wn[j] * next) / 200;
      vs[j] = v > 107 ? 107 : v;
    }
    for (int j = 0; j < n; ++j) {
      const int x = xs[j], y = ys[j];
      if (static_cast<unsigned>(x) >= static_cast<unsigned>(kImageWidth) ||
          static_cast<unsigned>(y) >= static_cast<unsigned>(kImageHeight))
        continue;
      uint8_t& dst = px[y * kImageWidth + x];
      // Echo levels are at most 107, so level + 128 never reaches the 245 limit.
      dst = static_cast<uint8_t>(vs[j] | (dst & grid_mask));
      min_x = std::min(min_x, x);
      max_x = std::max(max_x, x);
      min_y = std::min(min_y, y);
      max_y = std::max(max_y, y);
    }
  }
  DirtyRect box{min_x, max_x, min_y, max_y};
  if (box.Empty()) box.Reset();
  image.Dirty.Merge(box);
  return box;
}

WaterfallLayout WaterfallColumns(int ss_train) {
  switch (ss_train) {
    case kSSStbd:
      return {95, -1, 95, 1};
    case kSSBoth:
      // Port to the left of the centre column, starboard to the right, each side
      // half of the reply's samples at two pixels per sample.
      return {297, 297, 298, 2};
    default:
      return {595, 595, -1, 1};
  }
}

DirtyRect DrawWaterfallLine(PingImage& image, const uint8_t* samples, int sample_count,
                            int ss_train, bool scroll_up, bool grid_on) {
  uint8_t* px = image.Pixels();
  const int moved = kImageWidth - 1;  // the last column is not scrolled
  if (scroll_up) {
    for (int y = 0; y < kImageHeight - 1; ++y)
      std::memmove(px + y * kImageWidth, px + (y + 1) * kImageWidth, moved);
  } else {
    for (int y = kImageHeight - 2; y >= 0; --y)
      std::memmove(px + (y + 1) * kImageWidth, px + y * kImageWidth, moved);
  }
  const int row = scroll_up ? kImageHeight - 1 : 0;
  uint8_t* line = px + row * kImageWidth;
  const uint8_t grid_mask = grid_on ? 0x80 : 0x00;
  const WaterfallLayout lay = WaterfallColumns(ss_train);

  // Every column of the new line that gets no sample is cleared (keeping a grid
  // bit), so no stale values of the scrolled row stay behind.
  for (int x = 0; x < kImageWidth; ++x) line[x] = static_cast<uint8_t>(line[x] & grid_mask);

  // Dashed grid line in the transducer column, 8 rows on and 8 off.
  if (grid_on) {
    const int c = lay.TransducerColumn;
    for (int y = 0; y < kImageHeight; ++y) {
      uint8_t& v = px[y * kImageWidth + c];
      v = pixel::ClearGrid(v);
      if ((y & 8) == 0) v = pixel::SetGrid(v);
    }
  }

  sample_count = std::clamp(sample_count, 0, kEchoLineLength);
  auto put = [&](int x, int level) {
    if (x < 0 || x >= kImageWidth) return;
    if (level > 107) level = 107;
    line[x] = static_cast<uint8_t>(level | (line[x] & grid_mask));
  };
  if (lay.PixelsPerSample == 1) {
    for (int i = 0; i < sample_count; ++i) {
      if (lay.PortStart >= 0) put(lay.PortStart - i, samples[i]);
      if (lay.StbdStart >= 0) put(lay.StbdStart + i, samples[i]);
    }
  } else {
    const int half = sample_count / 2;
    for (int p = 0; p < 2 * half; ++p) {
      put(lay.PortStart - p, samples[p / 2]);
      put(lay.StbdStart + p, samples[half + p / 2]);
    }
  }
  image.Dirty = DirtyRect::Whole();
  return DirtyRect::Whole();
}
