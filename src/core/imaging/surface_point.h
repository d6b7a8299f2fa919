// SPDX-License-Identifier: GPL-3.0-or-later
// Profile point found in the echo data itself ("Surface" digitization source): the
// first run of raw 8-bit samples at or above the profile level beyond the minimum
// range, and its range code in the reply's units.
#pragma once

#include <cstdint>
#include <span>

struct SurfacePointInput {
  std::span<const std::uint8_t> Raw;  // the reply's raw 8-bit data bytes (one per sample)
  int BlankSamples = 0;
  int SampleCount = 499;
  float RangeMetres = 0.0f;           // range in use, metres
  int RangeByte = 0;                  // reply byte 7 (range in metres)
  int Units = 0;                      // 1 feet: the minimum range is in feet
  bool Polar = false;                 // Polar display: 252 samples per full range
  int Profile = 0;                    // profile mode 0..4
  bool HasSamples = true;             // false for a "P" reply
  float ProfileMinimumRange = 0.0f;
  int ProfileMinimumLevel = 70;       // 0..107 display scale
  int ProfileDetectionType = 0;       // 0 start of pulse, 1 centre of pulse
};

struct SurfacePointResult {
  bool Searched = false;          // the search ran (else the caller keeps its index)
  bool SetIndex = false;          // SampleIndex is to replace the ping's index
  int SampleIndex = 0;            // including the blanking offset; 0 = none
  int RangeCode = 0;              // 2 mm units below 5 m, else 1 cm; 0 = none
};

// Level on the raw 8-bit scale for a display level: trunc(level x 100 / 107 + 0.5).
int SurfaceLevel(int profile_minimum_level);
// Range code for a sample index (the program's own encoding, threshold 5 m).
int SurfaceRangeCode(int range_byte, int sample_index, int blank_samples, int sample_count);

SurfacePointResult DetectSurfacePoint(const SurfacePointInput& input);
