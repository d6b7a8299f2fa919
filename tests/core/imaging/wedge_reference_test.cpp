// SPDX-License-Identifier: GPL-3.0-or-later
// The wedge drawer against the rule written out plainly: every sub-ray of every
// radius in table order, trunc(sum x 0.005) in double, bounds test, grid rule.
// Covers all speeds, both flips, grid on and off, fans cut at the image edges and
// fans that straddle an axis.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "imaging/scan_conversion.h"

namespace {

DirtyRect ReferenceWedge(std::vector<uint8_t>& px, const EchoLines& l, const WedgeParams& p) {
  const WedgeGeometry g = SelectWedgeGeometry(p);
  std::array<SubRay, 41> t;
  BuildSubRayTable(p, g, t);
  const float x0 = 298.0f;
  const float y0 = static_cast<float>(SectorOriginY(p.GridMode, p.ProfileGrid, p.ZeroDown));
  DirtyRect box;
  for (int i = 0; i < p.SampleCount; ++i) {
    const float r = static_cast<float>(i);
    const int n = std::min(g.SubRays, g.SubRays / 4 + i / 2);
    for (int j = 0; j < n; ++j) {
      const SubRay s = t[g.FirstRow + j];
      const SubRayWeight w = g.Weights[j];
      const int x = static_cast<int>(x0 + r * s.B);
      const int y = static_cast<int>(y0 + r * s.A);
      int v = static_cast<int>((w.Previous * l.Previous[i] + w.Current * l.Current[i] + w.Next * l.Next[i]) * 0.005);
      if (v > 107) v = 107;
      if (x < 0 || x > 595 || y < 0 || y > 505) continue;
      uint8_t& d = px[y * 596 + x];
      if (p.GridOn && d >= 128) {
        v += 128;
        if (v > 245) v = 245;
      }
      d = static_cast<uint8_t>(v);
      box.Add(x, y);
    }
  }
  return box;
}

TEST(WedgeReference, RandomPingsMatchThePlainRule) {
  std::mt19937 rng(4711);
  for (int trial = 0; trial < 300; ++trial) {
    EchoLines l;
    for (int i = 0; i < kEchoLineLength; ++i) {
      l.Previous[i] = static_cast<uint8_t>(rng() % 108);
      l.Current[i] = static_cast<uint8_t>(rng() % 108);
      l.Next[i] = static_cast<uint8_t>(rng() % 108);
    }
    WedgeParams p;
    p.Speed = static_cast<int>(rng() % 5);
    p.GridMode = static_cast<int>(rng() % 2);
    p.ProfileGrid = rng() % 4 == 0;
    p.ZeroDown = rng() % 2 == 0;
    p.SectorSize = rng() % 6 == 0 ? 0 : 180;
    // Anywhere around the circle, and often on the axes where the fan is not monotonic.
    const double axis = (rng() % 4) * 3.141592654 / 2;
    p.BeamAngleRad = static_cast<float>(rng() % 3 == 0 ? axis + ((rng() % 200) - 100) * 1e-4
                                                        : (rng() % 62832) * 1e-4 - 3.1416);
    p.ImageFlip = rng() % 2 == 0;
    p.SampleCount = p.GridMode == kGridPolar ? 250 : 499;
    p.GridOn = rng() % 2 == 0;

    PingImage img;
    std::vector<uint8_t> ref(kImageBytes);
    for (int k = 0; k < kImageBytes; ++k) {
      const uint8_t v = static_cast<uint8_t>(rng() % 8 == 0 ? 128 + rng() % 108 : rng() % 108);
      img.Pixels()[k] = v;
      ref[k] = v;
    }
    const DirtyRect got = DrawWedge(img, l, p);
    const DirtyRect want = ReferenceWedge(ref, l, p);
    ASSERT_EQ(got, want.Empty() ? DirtyRect{} : want) << "trial " << trial;
    for (int k = 0; k < kImageBytes; ++k)
      ASSERT_EQ(img.Pixels()[k], ref[k]) << "trial " << trial << " pixel " << k % 596 << "," << k / 596
                                         << " speed " << p.Speed << " angle " << p.BeamAngleRad;
  }
}

}  // namespace
