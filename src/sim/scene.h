// SPDX-License-Identifier: GPL-3.0-or-later
// Synthetic surroundings of a simulated head, in metres. A scene answers, for one
// beam direction, what the beam meets: a backscatter level per range sample (seabed,
// banks, volume) and discrete echoes (walls, pilings, pipe, tyre, rocks) with their
// shadows already cut out of the seabed behind them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace q47vsim {

// A discrete echo along the beam: slant range, echo strength in dB (target strength
// before spreading and absorption), and the range extent it is smeared over.
struct SceneReturn {
  double range_m = 0;
  double strength_db = 0;
  double spread_m = 0;
};

struct BeamEchoes {
  // Area/volume backscatter in dB per sample (already including the beam pattern and
  // shadows); very low values (< -100) mean nothing.
  std::vector<float> backscatter_db;
  std::vector<SceneReturn> returns;
};

class Scene {
 public:
  virtual ~Scene() = default;
  virtual std::string Name() const = 0;
  // Moves the head along the scene (metres from its start; harbour: parallel to the
  // row of pilings), for side-scan pictures from a moving frame. Default: fixed.
  virtual void SetPlatform(double /*along_m*/) {}
  // angle_deg: head position angle, (position - 600) x 0.3, positive clockwise.
  // Sample i lies at slant range first_m + i x spacing_m.
  virtual void Insonify(double angle_deg, double frequency_khz, double first_m, double spacing_m,
                        std::size_t count, BeamEchoes& out) const = 0;
};

// "harbour": a head on a frame 2.5 m above a harbour floor, looking horizontally,
// angle 0 ahead: quay wall ahead and to port, a row of pilings to starboard, a pipe,
// a tyre, rocks and rippled sand.
// "channel": a profiling head 1 m below the surface in the middle of a dredged
// channel, angle 0 straight down: the cross-section with its banks and quay.
std::unique_ptr<Scene> MakeScene(const std::string& name);
bool IsSceneName(const std::string& name);

// Deterministic value noise in 0..1 used for textures (same place, same value).
double ValueNoise(double x, double y, double cell_m, unsigned salt);

}  // namespace q47vsim
