// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/scan_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

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

namespace {

// trunc(sum x 0.005) equals sum / 200 for every sum 0..21400 (every row of weights
// sums to 200 and levels are at most 107), and sum / 200 equals
// (sum x 41944) >> 23 over that range; the tests check both over all sums.
constexpr int kDiv200Magic = 41944;
constexpr int kDiv200Shift = 23;

}  // namespace

namespace {

bool Monotonic(const float* v, int n) {
  bool up = true, down = true;
  for (int j = 1; j < n; ++j) {
    up = up && v[j] >= v[j - 1];
    down = down && v[j] <= v[j - 1];
  }
  return up || down;
}

// The sub-rays of one wedge in lanes of 8, padded with zeros.
constexpr int kLanes = 48;
struct WedgeLanes {
  alignas(32) float a[kLanes] = {};
  alignas(32) float b[kLanes] = {};
  alignas(32) int16_t wp[kLanes] = {};
  alignas(32) int16_t wc[kLanes] = {};
  alignas(32) int16_t wn[kLanes] = {};
  float x0 = 0;
  float y0 = 0;
};

// One radius: the pixel offset y x 596 + x of each sub-ray (x = trunc(x0 + r x b),
// y = trunc(y0 + r x a), in float, meaningful only inside the image) and its
// blended level. The variants give the same results.
using RadiusFn = void (*)(const WedgeLanes&, int n, float r, int prev, int cur, int next, int32_t* idx,
                          int16_t* vs);
// Stores the last sub-ray of each run on one pixel, in table order.
using StoreFn = void (*)(uint8_t* px, const int32_t* idx, const int16_t* vs, int n, uint8_t grid_mask);

void RadiusScalar(const WedgeLanes& w, int n, float r, int prev, int cur, int next, int32_t* idx, int16_t* vs) {
  for (int j = 0; j < n; ++j) {
    const int x = static_cast<int>(w.x0 + r * w.b[j]);
    const int y = static_cast<int>(w.y0 + r * w.a[j]);
    idx[j] = y * kImageWidth + x;
    const int v = ((w.wp[j] * prev + w.wc[j] * cur + w.wn[j] * next) * kDiv200Magic) >> kDiv200Shift;
    vs[j] = static_cast<int16_t>(v > 107 ? 107 : v);
  }
}

[[maybe_unused]] void StoreScalar(uint8_t* px, const int32_t* idx, const int16_t* vs, int n, uint8_t grid_mask) {
  for (int j = 0; j < n; ++j) {
    if (j + 1 < n && idx[j] == idx[j + 1]) continue;
    uint8_t* dst = px + idx[j];
    *dst = static_cast<uint8_t>(vs[j] | (*dst & grid_mask));
  }
}

#if defined(__SSE2__)
inline __m128i BlendLevels(const WedgeLanes& w, int j, __m128i vp, __m128i vc, __m128i vn) {
  const __m128i sum = _mm_add_epi16(
      _mm_add_epi16(_mm_mullo_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(w.wp + j)), vp),
                    _mm_mullo_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(w.wc + j)), vc)),
      _mm_mullo_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(w.wn + j)), vn));
  return _mm_min_epi16(_mm_srli_epi16(_mm_mulhi_epu16(sum, _mm_set1_epi16(static_cast<int16_t>(kDiv200Magic))),
                                      kDiv200Shift - 16),
                       _mm_set1_epi16(107));
}

void RadiusSse2(const WedgeLanes& w, int n, float r, int prev, int cur, int next, int32_t* idx, int16_t* vs) {
  const __m128 vr = _mm_set1_ps(r), vx0 = _mm_set1_ps(w.x0), vy0 = _mm_set1_ps(w.y0);
  const __m128 stride = _mm_set1_ps(static_cast<float>(kImageWidth));
  const __m128i vp = _mm_set1_epi16(static_cast<int16_t>(prev));
  const __m128i vc = _mm_set1_epi16(static_cast<int16_t>(cur));
  const __m128i vn = _mm_set1_epi16(static_cast<int16_t>(next));
  for (int j = 0; j < n; j += 8) {
    for (int h = j; h < j + 8; h += 4) {
      const __m128i x = _mm_cvttps_epi32(_mm_add_ps(vx0, _mm_mul_ps(vr, _mm_load_ps(w.b + h))));
      const __m128i y = _mm_cvttps_epi32(_mm_add_ps(vy0, _mm_mul_ps(vr, _mm_load_ps(w.a + h))));
      // y x 596 + x is exact in float for every pixel inside the image.
      _mm_store_si128(reinterpret_cast<__m128i*>(idx + h),
                      _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(y), stride), _mm_cvtepi32_ps(x))));
    }
    _mm_store_si128(reinterpret_cast<__m128i*>(vs + j), BlendLevels(w, j, vp, vc, vn));
  }
}

void StoreSse2(uint8_t* px, const int32_t* idx, const int16_t* vs, int n, uint8_t grid_mask) {
  for (int j = 0; j < n; j += 4) {
    const __m128i here = _mm_load_si128(reinterpret_cast<const __m128i*>(idx + j));
    const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(idx + j + 1));
    unsigned last = ~static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(here, after)))) & 0xFu;
    if (n - j < 4) last &= (1u << (n - j)) - 1;
    while (last) {
      const int k = j + __builtin_ctz(last);
      uint8_t* dst = px + idx[k];
      *dst = static_cast<uint8_t>(vs[k] | (*dst & grid_mask));
      last &= last - 1;
    }
  }
}

// The same with eight float lanes where the processor has them (no fused
// multiply-add: the products and sums round as in the scalar code).
__attribute__((target("avx2"))) void RadiusAvx2(const WedgeLanes& w, int n, float r, int prev, int cur, int next,
                                                int32_t* idx, int16_t* vs) {
  const __m256 vr = _mm256_set1_ps(r), vx0 = _mm256_set1_ps(w.x0), vy0 = _mm256_set1_ps(w.y0);
  const __m256 stride = _mm256_set1_ps(static_cast<float>(kImageWidth));
  const __m128i vp = _mm_set1_epi16(static_cast<int16_t>(prev));
  const __m128i vc = _mm_set1_epi16(static_cast<int16_t>(cur));
  const __m128i vn = _mm_set1_epi16(static_cast<int16_t>(next));
  for (int j = 0; j < n; j += 8) {
    const __m256i x = _mm256_cvttps_epi32(_mm256_add_ps(vx0, _mm256_mul_ps(vr, _mm256_load_ps(w.b + j))));
    const __m256i y = _mm256_cvttps_epi32(_mm256_add_ps(vy0, _mm256_mul_ps(vr, _mm256_load_ps(w.a + j))));
    _mm256_store_si256(reinterpret_cast<__m256i*>(idx + j),
                       _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(y), stride),
                                                         _mm256_cvtepi32_ps(x))));
    const __m128i sum = _mm_add_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(w.wp + j)), vp),
                      _mm_mullo_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(w.wc + j)), vc)),
        _mm_mullo_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(w.wn + j)), vn));
    _mm_store_si128(reinterpret_cast<__m128i*>(vs + j),
                    _mm_min_epi16(_mm_srli_epi16(_mm_mulhi_epu16(sum, _mm_set1_epi16(static_cast<int16_t>(kDiv200Magic))),
                                                 kDiv200Shift - 16),
                                  _mm_set1_epi16(107)));
  }
}

__attribute__((target("avx2"))) void StoreAvx2(uint8_t* px, const int32_t* idx, const int16_t* vs, int n,
                                               uint8_t grid_mask) {
  for (int j = 0; j < n; j += 8) {
    const __m256i here = _mm256_load_si256(reinterpret_cast<const __m256i*>(idx + j));
    const __m256i after = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(idx + j + 1));
    unsigned last =
        ~static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(here, after)))) & 0xFFu;
    if (n - j < 8) last &= (1u << (n - j)) - 1;
    while (last) {
      const int k = j + __builtin_ctz(last);
      uint8_t* dst = px + idx[k];
      *dst = static_cast<uint8_t>(vs[k] | (*dst & grid_mask));
      last &= last - 1;
    }
  }
}
#endif

struct WedgeKernels {
  RadiusFn radius;
  StoreFn store;
};

WedgeKernels ChooseKernels() {
#if defined(__SSE2__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return {RadiusAvx2, StoreAvx2};
  return {RadiusSse2, StoreSse2};
#else
  return {RadiusScalar, StoreScalar};
#endif
}

// The selected sub-rays and their weights in lanes, and the origin.
void FillLanes(const WedgeParams& p, const WedgeGeometry& g, WedgeLanes& w) {
  std::array<SubRay, 41> table;
  BuildSubRayTable(p, g, table);
  for (int j = 0; j < g.SubRays; ++j) {
    w.a[j] = table[g.FirstRow + j].A;
    w.b[j] = table[g.FirstRow + j].B;
    w.wp[j] = static_cast<int16_t>(g.Weights[j].Previous);
    w.wc[j] = static_cast<int16_t>(g.Weights[j].Current);
    w.wn[j] = static_cast<int16_t>(g.Weights[j].Next);
  }
  w.x0 = static_cast<float>(kSectorOriginX);
  w.y0 = static_cast<float>(SectorOriginY(p.GridMode, p.ProfileGrid, p.ZeroDown));
}

}  // namespace

DirtyRect DrawWedgeDirect(PingImage& image, const EchoLines& lines, const WedgeParams& p) {
  static const WedgeKernels kernels = ChooseKernels();
  const WedgeGeometry g = SelectWedgeGeometry(p);
  WedgeLanes w;
  FillLanes(p, g, w);
  const int n_rays = g.SubRays;
  // With both coordinates monotonic along the fan (the usual case: a few degrees
  // that do not straddle an axis) the first and last sub-ray of a radius bound it,
  // so the bounds test and the box need only those two.
  const bool monotonic = Monotonic(w.a, n_rays) && Monotonic(w.b, n_rays);

  const uint8_t grid_mask = p.GridOn ? 0x80 : 0x00;
  const int count = std::clamp(p.SampleCount, 0, kEchoLineLength);
  uint8_t* px = image.Pixels();
  auto x_of = [&w](float r, int j) { return static_cast<int>(w.x0 + r * w.b[j]); };
  auto y_of = [&w](float r, int j) { return static_cast<int>(w.y0 + r * w.a[j]); };
  auto inside = [](int x, int y) {
    return static_cast<unsigned>(x) < static_cast<unsigned>(kImageWidth) &&
           static_cast<unsigned>(y) < static_cast<unsigned>(kImageHeight);
  };

  DirtyRect box;
  alignas(32) int32_t idx[kLanes + 8];
  alignas(32) int16_t vs[kLanes];
  for (int i = 0; i < count; ++i) {
    const float r = static_cast<float>(i);
    // Near the apex fewer sub-rays are needed.
    const int n = std::min(n_rays, n_rays / 4 + i / 2);
    const int xa = x_of(r, 0), ya = y_of(r, 0), xb = x_of(r, n - 1), yb = y_of(r, n - 1);
    // Levels are at most 107, so level + 128 never reaches the 245 limit of the
    // grid rule; the stores keep table order (the last writer of a pixel wins).
    if (monotonic && inside(xa, ya) && inside(xb, yb)) {
      kernels.radius(w, n, r, lines.Previous[i], lines.Current[i], lines.Next[i], idx, vs);
      box.Add(xa, ya);
      box.Add(xb, yb);
      // Of a run of sub-rays on one pixel only the last is stored: its value wins
      // and echo writes never change the grid bit.
      idx[n] = -1;
      kernels.store(px, idx, vs, n, grid_mask);
    } else {
      RadiusScalar(w, n, r, lines.Previous[i], lines.Current[i], lines.Next[i], idx, vs);
      for (int j = 0; j < n; ++j) {
        const int x = x_of(r, j), y = y_of(r, j);
        if (!inside(x, y)) continue;
        uint8_t* dst = px + y * kImageWidth + x;
        *dst = static_cast<uint8_t>(vs[j] | (*dst & grid_mask));
        box.Add(x, y);
      }
    }
  }
  image.Dirty.Merge(box);
  return box;
}

// --- Wedge plans -----------------------------------------------------------------

namespace {

// What an entry for a geometry not yet planned costs in the budget.
constexpr size_t kEntryOverhead = 96;

// The inputs the pixels of a wedge depend on: the sub-ray table (head angle, step,
// spacing, rows, direction of the fan), the origin and the sample count. The levels
// and the grid are applied when drawing.
uint64_t PlanKey(const WedgeParams& p, const WedgeGeometry& g, int count) {
  uint32_t beam;
  std::memcpy(&beam, &p.BeamAngleRad, sizeof beam);
  const bool down = p.ProfileGrid && !p.ZeroDown && p.GridMode == kGridSector;
  const int y0 = SectorOriginY(p.GridMode, p.ProfileGrid, p.ZeroDown);
  uint64_t k = beam;
  k |= static_cast<uint64_t>(std::clamp(p.Speed, 0, 4)) << 32;
  k |= static_cast<uint64_t>(p.GridMode == kGridPolar) << 35;
  k |= static_cast<uint64_t>(down) << 36;
  k |= static_cast<uint64_t>(p.ImageFlip) << 37;
  k |= static_cast<uint64_t>(g.StepAngle == 0.0) << 38;
  k |= static_cast<uint64_t>(y0 & 0x1FF) << 39;
  k |= static_cast<uint64_t>(count & 0x3FF) << 48;
  return k;
}

}  // namespace

// The levels table of a wedge: for each distinct row of weights r and sample i the
// blended level, at levels[r * kEchoLineLength + i].
constexpr int kMaxWeightRows = 41;
constexpr int kLevelsBytes = kMaxWeightRows * kEchoLineLength;

struct WedgePlans::Plan {
  int uses = 0;
  bool built = false;
  int count = 0;
  int rows = 0;                            // distinct rows of weights
  alignas(16) int16_t wp[kMaxWeightRows] = {};
  alignas(16) int16_t wc[kMaxWeightRows] = {};
  alignas(16) int16_t wn[kMaxWeightRows] = {};
  std::vector<uint32_t> pixels;            // each pixel the wedge writes, once
  std::vector<uint16_t> levels;            // its level: r * kEchoLineLength + i
  DirtyRect box;
  size_t Bytes() const { return kEntryOverhead + sizeof(Plan) + pixels.capacity() * 4 + levels.capacity() * 2; }
};

struct WedgePlans::Store {
  std::unordered_map<uint64_t, Plan> plans;
  std::vector<int32_t> last;        // per pixel: i << 6 | j of its last writer, -1 none
  std::vector<uint32_t> touched;
  std::vector<uint8_t> levels = std::vector<uint8_t>(kLevelsBytes + 64);  // one wedge's levels table
};

WedgePlans::WedgePlans(int uses_before_plan, size_t byte_budget)
    : store_(std::make_unique<Store>()), uses_before_plan_(std::max(uses_before_plan, 0)), byte_budget_(byte_budget) {}

WedgePlans::~WedgePlans() = default;

void WedgePlans::Clear() {
  store_->plans.clear();
  bytes_ = 0;
}

size_t WedgePlans::Plans() const {
  size_t n = 0;
  for (const auto& [key, plan] : store_->plans) n += plan.built ? 1 : 0;
  return n;
}

namespace {

// Follows the drawing order of the direct drawer (radius by radius, sub-rays in table
// order, the same float arithmetic and bounds test) and keeps for every pixel only its
// last writer: the pixel and where its level is in the levels table.
template <typename Plan>
void BuildPlan(Plan& plan, const WedgeParams& p, const WedgeGeometry& g, int count, std::vector<int32_t>& last,
               std::vector<uint32_t>& touched) {
  WedgeLanes w;
  FillLanes(p, g, w);
  plan.count = count;
  // Equal rows of weights give equal levels: each distinct row once.
  int row_of[kMaxWeightRows];
  plan.rows = 0;
  for (int j = 0; j < g.SubRays; ++j) {
    int r = 0;
    while (r < plan.rows && !(plan.wp[r] == w.wp[j] && plan.wc[r] == w.wc[j] && plan.wn[r] == w.wn[j])) ++r;
    if (r == plan.rows) {
      plan.wp[r] = w.wp[j], plan.wc[r] = w.wc[j], plan.wn[r] = w.wn[j];
      ++plan.rows;
    }
    row_of[j] = r;
  }
  if (last.size() != static_cast<size_t>(kImageBytes)) last.assign(kImageBytes, -1);
  touched.clear();
  const int n_rays = g.SubRays;
  for (int i = 0; i < count; ++i) {
    const float r = static_cast<float>(i);
    const int n = std::min(n_rays, n_rays / 4 + i / 2);
    for (int j = 0; j < n; ++j) {
      const int x = static_cast<int>(w.x0 + r * w.b[j]);
      const int y = static_cast<int>(w.y0 + r * w.a[j]);
      if (static_cast<unsigned>(x) >= static_cast<unsigned>(kImageWidth) ||
          static_cast<unsigned>(y) >= static_cast<unsigned>(kImageHeight))
        continue;
      const int at = y * kImageWidth + x;
      if (last[at] < 0) touched.push_back(static_cast<uint32_t>(at));
      last[at] = i << 6 | j;
    }
  }
  plan.pixels.assign(touched.begin(), touched.end());
  plan.levels.resize(touched.size());
  plan.box = DirtyRect{};
  for (size_t k = 0; k < touched.size(); ++k) {
    const uint32_t at = touched[k];
    const int i = last[at] >> 6, j = last[at] & 63;
    plan.levels[k] = static_cast<uint16_t>(row_of[j] * kEchoLineLength + i);
    plan.box.Add(static_cast<int>(at) % kImageWidth, static_cast<int>(at) / kImageWidth);
    last[at] = -1;
  }
  plan.built = true;
}

// The levels table: trunc((wp x previous + wc x current + wn x next) / 200), at most
// 107, for every distinct row and every sample. Rows are padded to whole blocks
// (the echo lines are 640 long, a multiple of every block).
template <typename Plan>
void LevelsScalar(const Plan& plan, const EchoLines& lines, uint8_t* out) {
  for (int r = 0; r < plan.rows; ++r)
    for (int i = 0; i < plan.count; ++i) {
      const int v = ((plan.wp[r] * lines.Previous[i] + plan.wc[r] * lines.Current[i] + plan.wn[r] * lines.Next[i]) *
                     kDiv200Magic) >> kDiv200Shift;
      out[r * kEchoLineLength + i] = static_cast<uint8_t>(v > 107 ? 107 : v);
    }
}

#if defined(__SSE2__)
template <typename Plan>
void LevelsSse2(const Plan& plan, const EchoLines& lines, uint8_t* out) {
  const __m128i zero = _mm_setzero_si128(), magic = _mm_set1_epi16(static_cast<int16_t>(kDiv200Magic));
  const __m128i top = _mm_set1_epi16(107);
  for (int i = 0; i < plan.count; i += 8) {
    const __m128i p = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(lines.Previous.data() + i)), zero);
    const __m128i c = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(lines.Current.data() + i)), zero);
    const __m128i n = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(lines.Next.data() + i)), zero);
    for (int r = 0; r < plan.rows; ++r) {
      const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_set1_epi16(plan.wp[r]), p),
                                                      _mm_mullo_epi16(_mm_set1_epi16(plan.wc[r]), c)),
                                        _mm_mullo_epi16(_mm_set1_epi16(plan.wn[r]), n));
      const __m128i v = _mm_min_epi16(_mm_srli_epi16(_mm_mulhi_epu16(sum, magic), kDiv200Shift - 16), top);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + r * kEchoLineLength + i), _mm_packus_epi16(v, v));
    }
  }
}

__attribute__((target("avx2"))) inline __m256i Widen(const uint8_t* q) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q)));
}

__attribute__((target("avx2"))) inline __m256i Level(__m256i wp, __m256i wc, __m256i wn, __m256i p, __m256i c,
                                                     __m256i n) {
  const __m256i sum = _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(wp, p), _mm256_mullo_epi16(wc, c)),
                                       _mm256_mullo_epi16(wn, n));
  return _mm256_min_epi16(
      _mm256_srli_epi16(_mm256_mulhi_epu16(sum, _mm256_set1_epi16(static_cast<int16_t>(kDiv200Magic))),
                        kDiv200Shift - 16),
      _mm256_set1_epi16(107));
}

template <typename Plan>
__attribute__((target("avx2"))) void LevelsAvx2(const Plan& plan, const EchoLines& lines, uint8_t* out) {
  for (int i = 0; i < plan.count; i += 32) {
    const __m256i p0 = Widen(lines.Previous.data() + i), p1 = Widen(lines.Previous.data() + i + 16);
    const __m256i c0 = Widen(lines.Current.data() + i), c1 = Widen(lines.Current.data() + i + 16);
    const __m256i n0 = Widen(lines.Next.data() + i), n1 = Widen(lines.Next.data() + i + 16);
    for (int r = 0; r < plan.rows; ++r) {
      const __m256i wp = _mm256_set1_epi16(plan.wp[r]), wc = _mm256_set1_epi16(plan.wc[r]);
      const __m256i wn = _mm256_set1_epi16(plan.wn[r]);
      // packus interleaves the 128-bit halves; the permute puts the samples in order.
      const __m256i packed = _mm256_permute4x64_epi64(
          _mm256_packus_epi16(Level(wp, wc, wn, p0, c0, n0), Level(wp, wc, wn, p1, c1, n1)), 0xD8);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + r * kEchoLineLength + i), packed);
    }
  }
}
#endif

// Each pixel of the plan once, its grid bit kept with the grid on; with the grid off
// no pixel needs to be read.
template <typename Plan>
void StorePlan(uint8_t* px, const Plan& plan, const uint8_t* levels, bool grid_on) {
  const uint32_t* at = plan.pixels.data();
  const uint16_t* lv = plan.levels.data();
  const size_t n = plan.pixels.size();
  if (grid_on) {
    for (size_t k = 0; k < n; ++k) px[at[k]] = static_cast<uint8_t>(levels[lv[k]] | (px[at[k]] & 0x80));
  } else {
    for (size_t k = 0; k < n; ++k) px[at[k]] = levels[lv[k]];
  }
}

}  // namespace

DirtyRect DrawWedge(PingImage& image, const EchoLines& lines, const WedgeParams& p, WedgePlans* plans) {
  if (!plans) return DrawWedgeDirect(image, lines, p);
  using Plan = WedgePlans::Plan;
  const WedgeGeometry g = SelectWedgeGeometry(p);
  const int count = std::clamp(p.SampleCount, 0, kEchoLineLength);
  const uint64_t key = PlanKey(p, g, count);
  WedgePlans::Store& store = *plans->store_;
  auto [it, inserted] = store.plans.try_emplace(key);
  Plan& plan = it->second;
  if (inserted) plans->bytes_ += plan.Bytes();
  if (!plan.built) {
    if (plan.uses < plans->uses_before_plan_) {
      ++plan.uses;
      ++plans->direct_draws_;
      if (plans->bytes_ > plans->byte_budget_) {
        plans->bytes_ -= plan.Bytes();
        store.plans.erase(it);
      }
      return DrawWedgeDirect(image, lines, p);
    }
    plans->bytes_ -= plan.Bytes();
    BuildPlan(plan, p, g, count, store.last, store.touched);
    plans->bytes_ += plan.Bytes();
    // Over the budget other plans make room (in the table's order, which has nothing
    // to do with the sweep, so that a sweep larger than the budget still finds most
    // of its plans).
    for (auto e = store.plans.begin(); plans->bytes_ > plans->byte_budget_ && e != store.plans.end();) {
      if (e == it) {
        ++e;
        continue;
      }
      plans->bytes_ -= e->second.Bytes();
      e = store.plans.erase(e);
    }
  }
  ++plans->planned_draws_;
  static const auto levels = [] {
#if defined(__SSE2__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? LevelsAvx2<Plan> : LevelsSse2<Plan>;
#else
    return LevelsScalar<Plan>;
#endif
  }();
  levels(plan, lines, store.levels.data());
  StorePlan(image.Pixels(), plan, store.levels.data(), p.GridOn);
  const DirtyRect box = plan.box;
  image.Dirty.Merge(box);
  if (plans->bytes_ > plans->byte_budget_) {  // one plan larger than the whole budget
    plans->bytes_ -= plan.Bytes();
    store.plans.erase(it);
  }
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
