// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/surface_point.h"

#include <algorithm>
#include <cstddef>

namespace {
constexpr double kFeetPerMetre = 3.2808399;
constexpr int kPulseSpan = 20;        // indices after the start that can extend the pulse
constexpr int kMaxRangeCode = 16383;  // 14 bits in reply bytes 8 and 9
}  // namespace

int SurfaceLevel(int profile_minimum_level) {
  return static_cast<int>(profile_minimum_level * 100.0 / 107.0 + 0.5);
}

int SurfaceRangeCode(int range_byte, int sample_index, int blank_samples, int sample_count) {
  if (sample_index <= 0 || sample_count <= 0) return 0;
  const int p = std::max(sample_index - blank_samples, 0);
  double v = static_cast<double>(range_byte) * p / sample_count * 100.0;
  if (range_byte < 5) v *= 5.0;  // 2 mm units below 5 m
  v += 0.5;
  if (!(v > 0.0)) return 0;
  // Points beyond 163.83 m do not fit 14 bits: hold at the largest code.
  if (v >= kMaxRangeCode) return kMaxRangeCode;
  return static_cast<int>(v);
}

SurfacePointResult DetectSurfacePoint(const SurfacePointInput& in) {
  SurfacePointResult result;
  const int n = in.Polar ? 252 : 500;
  const double range = in.RangeMetres * (in.Units == 1 ? kFeetPerMetre : 1.0);

  // Minimum index; a range of 0 leaves no room for a point.
  int m = n;
  if (range > 0.0) {
    const double v = n * static_cast<double>(in.ProfileMinimumRange) / range + 0.5;
    m = v >= n ? n : (v <= 0.0 ? 0 : static_cast<int>(v));
  }
  const bool search = in.Profile > 1 && in.HasSamples;
  if (m >= n) {
    result.SetIndex = true;
    result.SampleIndex = 0;
    result.Searched = search;  // the code is rewritten as "no point"
    return result;
  }
  if (!search) return result;
  result.Searched = true;
  result.SetIndex = true;

  const int level = SurfaceLevel(in.ProfileMinimumLevel);
  const int limit = std::min<int>(in.SampleCount, static_cast<int>(in.Raw.size()));
  const int begin = std::max(m - in.BlankSamples, 0);
  int start = -1;
  for (int i = begin; i < limit; ++i) {
    if (in.Raw[static_cast<std::size_t>(i)] >= level && i != 0) {
      start = i;
      break;
    }
  }
  if (start < 0) return result;  // no point
  int end = start;
  for (int j = start + 1; j <= start + kPulseSpan && j < limit; ++j) {
    if (in.Raw[static_cast<std::size_t>(j)] >= level) end = j;
  }
  start += in.BlankSamples;
  end += in.BlankSamples;
  int index = in.ProfileDetectionType == 1 ? static_cast<int>((start + end) * 0.5 + 0.5) : start;
  if (index > in.SampleCount) index = 0;
  result.SampleIndex = index;
  result.RangeCode = SurfaceRangeCode(in.RangeByte, index, in.BlankSamples, in.SampleCount);
  return result;
}
