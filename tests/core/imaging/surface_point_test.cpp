// SPDX-License-Identifier: GPL-3.0-or-later
// Profile points found in the raw 8-bit echo data: level, minimum range, start and
// centre of pulse, and the range code written back into the reply.
#include "imaging/surface_point.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

SurfacePointInput Input(const std::vector<std::uint8_t>& raw) {
  SurfacePointInput in;
  in.Raw = raw;
  in.BlankSamples = 10;
  in.SampleCount = 499;
  in.RangeMetres = 50.0f;
  in.RangeByte = 50;
  in.Profile = 4;
  in.ProfileMinimumLevel = 70;
  return in;
}

TEST(SurfacePoint, LevelOnTheRawScale) {
  EXPECT_EQ(SurfaceLevel(70), 65);
  EXPECT_EQ(SurfaceLevel(0), 0);
  EXPECT_EQ(SurfaceLevel(107), 100);
}

TEST(SurfacePoint, RangeCodes) {
  struct Case {
    int range_byte, index, blank, count, code;
  } cases[] = {
      {3, 130, 10, 499, 361},     // 2 mm units below 5 m
      {50, 260, 10, 499, 2505},   // 1 cm units
      {200, 509, 10, 499, 16383}, // beyond 14 bits: held at the largest code
      {50, 0, 10, 499, 0},
      {50, 5, 10, 499, 0},        // inside the blanking: p = 0
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SurfaceRangeCode(c.range_byte, c.index, c.blank, c.count), c.code) << "index " << c.index;
  }
}

TEST(SurfacePoint, StartAndCentreOfPulse) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, std::uint8_t>> hits;
    int detection_type;
    int index;  // including the blanking of 10
  } cases[] = {
      {"single sample, start", {{40, 65}}, 0, 50},
      {"single sample, centre", {{40, 65}}, 1, 50},
      {"below the level", {{40, 64}}, 0, 0},
      {"run, centre", {{40, 90}, {45, 70}, {52, 66}}, 1, 56},
      {"run, start", {{40, 90}, {45, 70}, {52, 66}}, 0, 50},
      {"hit beyond 20 ends the pulse before it", {{40, 90}, {61, 90}}, 1, 50},
      {"hit at index 0 is skipped", {{0, 200}, {7, 80}}, 0, 17},
      {"nothing", {}, 0, 0},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> raw(500, 3);
    for (const auto& [at, v] : c.hits) raw[static_cast<std::size_t>(at)] = v;
    SurfacePointInput in = Input(raw);
    in.ProfileDetectionType = c.detection_type;
    const SurfacePointResult r = DetectSurfacePoint(in);
    EXPECT_TRUE(r.Searched) << c.name;
    EXPECT_EQ(r.SampleIndex, c.index) << c.name;
    EXPECT_EQ(r.RangeCode, SurfaceRangeCode(50, c.index, 10, 499)) << c.name;
  }
}

TEST(SurfacePoint, MinimumRangeAndModes) {
  std::vector<std::uint8_t> raw(500, 3);
  raw[30] = 100;
  raw[300] = 100;
  {
    // 10 m minimum at 50 m: m = 100, search from 90.
    SurfacePointInput in = Input(raw);
    in.ProfileMinimumRange = 10.0f;
    EXPECT_EQ(DetectSurfacePoint(in).SampleIndex, 310);
  }
  {
    // Feet: the range is taken in feet (50 m = 164 ft), 32.8 ft = 100 samples.
    SurfacePointInput in = Input(raw);
    in.Units = 1;
    in.ProfileMinimumRange = 32.8f;
    EXPECT_EQ(DetectSurfacePoint(in).SampleIndex, 310);
  }
  {
    // The minimum beyond the range: no point, code rewritten as none.
    SurfacePointInput in = Input(raw);
    in.ProfileMinimumRange = 60.0f;
    const SurfacePointResult r = DetectSurfacePoint(in);
    EXPECT_TRUE(r.SetIndex);
    EXPECT_EQ(r.SampleIndex, 0);
    EXPECT_EQ(r.RangeCode, 0);
  }
  for (int profile : {0, 1}) {
    SurfacePointInput in = Input(raw);
    in.Profile = profile;
    const SurfacePointResult r = DetectSurfacePoint(in);
    EXPECT_FALSE(r.Searched) << profile;
    EXPECT_FALSE(r.SetIndex) << profile;
  }
  {
    SurfacePointInput in = Input(raw);
    in.HasSamples = false;
    EXPECT_FALSE(DetectSurfacePoint(in).Searched);
  }
  {
    // Fewer raw bytes than the sample count: the search stops at the data.
    std::vector<std::uint8_t> few(20, 3);
    SurfacePointInput in = Input(few);
    EXPECT_EQ(DetectSurfacePoint(in).SampleIndex, 0);
    in.RangeMetres = 0.0f;
    EXPECT_EQ(DetectSurfacePoint(in).SampleIndex, 0);
  }
}

}  // namespace
