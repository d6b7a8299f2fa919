// SPDX-License-Identifier: GPL-3.0-or-later
// Scan conversion: one ping's echo lines into pixels of PingImage. Sector, Polar
// (and Profile display with echoes) paint a blended wedge of sub-rays at the head
// angle; SS display appends one line to a scrolling waterfall.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/ping_image.h"

constexpr int kEchoLineLength = 640;
constexpr int kSectorOriginX = 298;

// Display modes (`GridMode`) and SS trains (`SSTrain`).
enum GridModes { kGridSector = 0, kGridPolar = 1, kGridSS = 2, kGridProfile = 3 };
enum SSTrains { kSSPort = 0, kSSBoth = 1, kSSStbd = 2 };

// The echo-line window of the three latest pings.
struct EchoLines {
  std::array<uint8_t, kEchoLineLength> Previous{};
  std::array<uint8_t, kEchoLineLength> Current{};
  std::array<uint8_t, kEchoLineLength> Next{};

  // previous := current, current := next, next := samples over `count` entries;
  // with `first_ping` set all three get the samples and the flag is cleared.
  void Shift(const uint8_t* samples, int count, bool& first_ping);
  void Clear();
};

// One row of blend weights for (previous, current, next); each row sums to 200.
struct SubRayWeight {
  int Previous;
  int Current;
  int Next;
};

// The constant weight tables W7, W11, W21 and W41.
const std::array<SubRayWeight, 7>& WeightsW7();
const std::array<SubRayWeight, 11>& WeightsW11();
const std::array<SubRayWeight, 21>& WeightsW21();
const std::array<SubRayWeight, 41>& WeightsW41();

// Row of the transducer for a display mode.
int SectorOriginY(int grid_mode, bool profile_grid, bool zero_down);

// What one wedge needs from the ping and the settings in effect.
struct WedgeParams {
  int Speed = 2;           // 0 Slow .. 4 Fastest
  int GridMode = kGridSector;
  bool ProfileGrid = false;
  bool ZeroDown = true;
  int SectorSize = 180;    // 0: the head does not sweep, step angle 0
  float BeamAngleRad = 0;  // 0 up, clockwise
  bool ImageFlip = false;  // 1: the head angle grows from ping to ping
  int SampleCount = 499;
  bool GridOn = true;
};

// The sweep geometry chosen for a wedge (exposed for tests).
struct WedgeGeometry {
  int SubRays = 0;          // N
  int FirstRow = 0;         // first SubRayTable row used
  int TableRows = 0;        // rows built: 21 or 41
  double StepAngle = 0;     // s, radians
  double HalfWidth = 0;     // h, radians
  double Spacing = 0;       // d, radians
  const SubRayWeight* Weights = nullptr;  // N rows
};
WedgeGeometry SelectWedgeGeometry(const WedgeParams& p);

// SubRayTable rows (a, b): a = -cos t (+cos t with ProfileGrid on, ZeroDown off), b = sin t.
struct SubRay {
  float A;
  float B;
};
int BuildSubRayTable(const WedgeParams& p, const WedgeGeometry& g, std::array<SubRay, 41>& table);

class WedgePlans;

// Draws the wedge of the current ping from the three echo lines. The caller holds
// the image lock (which also guards `plans`). Returns the ping's bounding box (empty
// when nothing landed). With `plans` the wedge is drawn from its geometry's plan
// when it has one; the pixels are the same either way.
DirtyRect DrawWedge(PingImage& image, const EchoLines& lines, const WedgeParams& p, WedgePlans* plans = nullptr);

// The wedge computed sub-ray by sub-ray for every radius, without plans (the
// drawer for a geometry seen the first time, and the reference of the tests).
DirtyRect DrawWedgeDirect(PingImage& image, const EchoLines& lines, const WedgeParams& p);

// The pixels of wedges already seen: per geometry (head angle, speed, display mode,
// flip, sample count) the pixels the wedge writes, each once, with the sample and the
// sub-ray whose value ends up there (the last writer in drawing order). The head
// visits the same few hundred positions sweep after sweep, so a wedge drawn from its
// plan costs one store per changed pixel instead of one per sub-ray and radius.
// A geometry gets a plan on its second wedge (`uses_before_plan` 1); plans are
// dropped when they would pass `byte_budget`, so memory stays bounded.
class WedgePlans {
 public:
  explicit WedgePlans(int uses_before_plan = 1, size_t byte_budget = size_t{48} << 20);
  ~WedgePlans();
  WedgePlans(const WedgePlans&) = delete;
  WedgePlans& operator=(const WedgePlans&) = delete;

  void Clear();
  size_t Bytes() const { return bytes_; }
  size_t Plans() const;
  // Wedges drawn from a plan / drawn directly (for tests and benchmarks).
  long PlannedDraws() const { return planned_draws_; }
  long DirectDraws() const { return direct_draws_; }

 private:
  friend DirtyRect DrawWedge(PingImage&, const EchoLines&, const WedgeParams&, WedgePlans*);
  struct Plan;
  struct Store;
  std::unique_ptr<Store> store_;
  int uses_before_plan_;
  size_t byte_budget_;
  size_t bytes_ = 0;
  long planned_draws_ = 0;
  long direct_draws_ = 0;
};

// Column layout of one waterfall line.
struct WaterfallLayout {
  int TransducerColumn;
  // Port samples run leftwards from here, starboard rightwards; -1 when the side is not shown.
  int PortStart;
  int StbdStart;
  int PixelsPerSample;  // 1 for one side, 2 for "Both"
};
WaterfallLayout WaterfallColumns(int ss_train);

// SS display: scrolls the image one row (up when `scroll_up`, appending at row
// 505; else down, appending at row 0) and draws `samples` as the new line. The
// caller holds the image lock. Returns the whole image as the changed area.
DirtyRect DrawWaterfallLine(PingImage& image, const uint8_t* samples, int sample_count,
                            int ss_train, bool scroll_up, bool grid_on);
