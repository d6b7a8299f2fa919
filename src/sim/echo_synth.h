// SPDX-License-Identifier: GPL-3.0-or-later
// Turns what a scene returns along one beam into the echo line a head sends:
// spreading and absorption loss, the head's time-varied gain with the commanded
// absorption, the gain setting, pulse-length smear, speckle and receiver noise.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "scene.h"

namespace q47vsim {

struct PingSettings {
  double range_m = 10;
  double gain_db = 6;
  double absorption_db_m = 0.2;  // commanded, used by the time-varied gain
  double pulse_us = 100;
  double frequency_khz = 675;
  double sound_speed = 1500;
};

// Physical absorption of sea water near these frequencies, dB per metre.
double WaterAbsorption(double frequency_khz);

struct EchoLine {
  std::vector<std::uint16_t> s14;  // 14-bit samples (8-bit level x 64)
  double first_strong_m = 0;       // slant range of the first strong return, 0 if none
};

// Samples i = 0..count-1 at slant range first_m + i x spacing_m. The first strong
// return is searched at or beyond min_profile_m and is independent of the noise.
void SynthesiseEcho(const Scene& scene, double angle_deg, const PingSettings& ping, double first_m,
                    double spacing_m, std::size_t count, double min_profile_m, std::mt19937_64& rng,
                    EchoLine& out);

}  // namespace q47vsim
