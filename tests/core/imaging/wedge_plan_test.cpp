// SPDX-License-Identifier: GPL-3.0-or-later
// Wedges drawn from plans against the direct drawer: the same pixels and the same box
// for every head position, speed, display mode, data width, flip, grid state and
// transducer set-up, over pictures full of grid bits, and a plan drawn again with
// other echo lines still gives the direct drawer's picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/scan_conversion.h"

namespace {

constexpr double kPi = 3.141592654;

// The transducer set-ups of the display modes: Sector (fan up; with ProfileGrid on
// and ZeroDown off the fan grows down from row 1), Polar and Profile display.
struct TransducerSetUp {
  int grid_mode;
  bool profile_grid;
  bool zero_down;
};
constexpr TransducerSetUp kSetUps[] = {{kGridSector, false, true},
                             {kGridSector, true, false},
                             {kGridSector, true, true},
                             {kGridPolar, false, true},
                             {kGridProfile, false, true}};

// The head angle as the reply decoder makes it from a position.
float BeamAngle(int position, const TransducerSetUp& u, int train, double rotate) {
  double rad = (position - 600) * kPi / 600.0;
  if (u.grid_mode == kGridProfile) rad += kPi;
  else if (u.grid_mode == kGridSector && !u.profile_grid) rad -= train * kPi / 180.0;
  rad += rotate * kPi / 180.0;
  return static_cast<float>(rad);
}

void RandomLines(EchoLines& l, std::mt19937& rng) {
  for (int i = 0; i < kEchoLineLength; ++i) {
    l.Previous[i] = static_cast<uint8_t>(rng() % 108);
    l.Current[i] = static_cast<uint8_t>(rng() % 108);
    l.Next[i] = static_cast<uint8_t>(rng() % 108);
  }
}

// A picture of echoes with one pixel in five carrying the grid bit.
void RandomPicture(PingImage& a, PingImage& b, std::mt19937& rng) {
  for (int k = 0; k < kImageBytes; ++k) {
    const uint8_t v = static_cast<uint8_t>(rng() % 5 == 0 ? 128 + rng() % 108 : rng() % 108);
    a.Pixels()[k] = v;
    b.Pixels()[k] = v;
  }
}

// Draws the ping both ways and compares every pixel and the box.
void ExpectSame(PingImage& direct, PingImage& planned, const EchoLines& l, const WedgeParams& p,
                WedgePlans& plans, const char* what) {
  const DirtyRect want = DrawWedgeDirect(direct, l, p);
  const DirtyRect got = DrawWedge(planned, l, p, &plans);
  ASSERT_EQ(got, want) << what << " mode " << p.GridMode << " speed " << p.Speed << " angle " << p.BeamAngleRad
                       << " flip " << p.ImageFlip << " samples " << p.SampleCount;
  if (std::memcmp(direct.Pixels(), planned.Pixels(), kImageBytes) != 0) {
    for (int k = 0; k < kImageBytes; ++k)
      ASSERT_EQ(planned.Pixels()[k], direct.Pixels()[k])
          << what << " pixel " << k % kImageWidth << "," << k / kImageWidth << " mode " << p.GridMode << " speed "
          << p.Speed << " angle " << p.BeamAngleRad << " flip " << p.ImageFlip << " samples " << p.SampleCount;
  }
}

TEST(WedgePlan, EveryPositionOfTheWorstCaseMatchesTheDirectDrawer) {
  // Sector "Fastest" at 499 samples (8-bit data): 41 sub-rays, cut at the picture's
  // sides beyond about 48 degrees; all 1201 positions, both step directions.
  std::mt19937 rng(27);
  PingImage direct, planned;
  RandomPicture(direct, planned, rng);
  WedgePlans plans(0);
  EchoLines l;
  for (int flip = 0; flip < 2; ++flip)
    for (int pos = 0; pos <= 1200; ++pos) {
      RandomLines(l, rng);
      WedgeParams p;
      p.Speed = 4;
      p.GridMode = kGridSector;
      p.SectorSize = 180;
      p.BeamAngleRad = BeamAngle(pos, kSetUps[0], 0, 0);
      p.ImageFlip = flip != 0;
      p.SampleCount = 499;
      p.GridOn = (pos & 1) != 0;
      ExpectSame(direct, planned, l, p, plans, "first");
      if (HasFatalFailure()) return;
    }
  // Every plan again, with other echo lines and the grid state swapped.
  for (int flip = 0; flip < 2; ++flip)
    for (int pos = 0; pos <= 1200; pos += 3) {
      RandomLines(l, rng);
      WedgeParams p;
      p.Speed = 4;
      p.BeamAngleRad = BeamAngle(pos, kSetUps[0], 0, 0);
      p.ImageFlip = flip != 0;
      p.SampleCount = 499;
      p.GridOn = (pos & 1) == 0;
      ExpectSame(direct, planned, l, p, plans, "again");
      if (HasFatalFailure()) return;
    }
  EXPECT_EQ(plans.DirectDraws(), 0);
  EXPECT_GT(plans.Plans(), 2000u);
}

TEST(WedgePlan, AllModesSpeedsWidthsAndSetUpsMatchTheDirectDrawer) {
  std::mt19937 rng(4711);
  PingImage direct, planned;
  RandomPicture(direct, planned, rng);
  WedgePlans plans(0);
  EchoLines l;
  // 499 samples: 4 and 8-bit "G" data; 250: 16-bit "G" data, "M" data and Polar.
  // 0 and 640 are the bounds the drawer clamps to.
  const int widths[] = {499, 250, 0, 640};
  const int trains[] = {0, 90, 183, 270};
  for (const TransducerSetUp& u : kSetUps)
    for (int speed = 0; speed <= 4; ++speed)
      for (const int samples : widths)
        for (int sector : {0, 120, 360})
          for (int flip = 0; flip < 2; ++flip) {
            // Every 29th position (all residues of the fan's steps) and the axes, where
            // the fan is not monotonic.
            for (int pos = flip; pos <= 1200; pos += 29) {
              RandomLines(l, rng);
              WedgeParams p;
              p.Speed = speed;
              p.GridMode = u.grid_mode;
              p.ProfileGrid = u.profile_grid;
              p.ZeroDown = u.zero_down;
              p.SectorSize = sector;
              p.BeamAngleRad = BeamAngle(pos, u, trains[pos % 4], pos % 5 == 0 ? 12.5 : 0);
              p.ImageFlip = flip != 0;
              p.SampleCount = samples;
              p.GridOn = rng() % 2 == 0;
              ExpectSame(direct, planned, l, p, plans, "first");
              if (HasFatalFailure()) return;
              RandomLines(l, rng);
              p.GridOn = !p.GridOn;
              ExpectSame(direct, planned, l, p, plans, "again");
              if (HasFatalFailure()) return;
            }
            for (const int pos : {0, 300, 600, 900, 1200}) {
              RandomLines(l, rng);
              WedgeParams p;
              p.Speed = speed;
              p.GridMode = u.grid_mode;
              p.ProfileGrid = u.profile_grid;
              p.ZeroDown = u.zero_down;
              p.SectorSize = sector;
              p.BeamAngleRad = BeamAngle(pos, u, 0, 0) + static_cast<float>(((pos % 7) - 3) * 1e-4);
              p.ImageFlip = flip != 0;
              p.SampleCount = samples;
              p.GridOn = true;
              ExpectSame(direct, planned, l, p, plans, "axis");
              if (HasFatalFailure()) return;
            }
          }
}

TEST(WedgePlan, AGeometryIsPlannedOnItsSecondWedgeAndTheBudgetHolds) {
  std::mt19937 rng(5);
  PingImage direct, planned;
  EchoLines l;
  RandomLines(l, rng);
  WedgeParams p;
  p.Speed = 4;
  p.SampleCount = 499;
  {
    WedgePlans plans;  // a plan from the second wedge on
    ExpectSame(direct, planned, l, p, plans, "first");
    EXPECT_EQ(plans.DirectDraws(), 1);
    EXPECT_EQ(plans.Plans(), 0u);
    ExpectSame(direct, planned, l, p, plans, "second");
    EXPECT_EQ(plans.PlannedDraws(), 1);
    EXPECT_EQ(plans.Plans(), 1u);
  }
  {
    // A budget of about three plans: a sweep of 400 positions keeps drawing the same
    // pixels and the plans never take more than the budget.
    const size_t budget = 3 * 30000;
    WedgePlans plans(0, budget);
    for (int round = 0; round < 2; ++round)
      for (int pos = 400; pos < 800; ++pos) {
        RandomLines(l, rng);
        p.BeamAngleRad = BeamAngle(pos, kSetUps[0], 0, 0);
        ExpectSame(direct, planned, l, p, plans, "budget");
        if (HasFatalFailure()) return;
        ASSERT_LE(plans.Bytes(), budget);
      }
    EXPECT_LT(plans.Plans(), 20u);  // most of the 400 were dropped
    EXPECT_GE(plans.Plans(), 1u);
    plans.Clear();
    EXPECT_EQ(plans.Bytes(), 0u);
    EXPECT_EQ(plans.Plans(), 0u);
  }
}

}  // namespace
