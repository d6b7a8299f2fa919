// SPDX-License-Identifier: GPL-3.0-or-later
#include "echo_synth.h"

#include <algorithm>
#include <cmath>

namespace q47vsim {
namespace {
constexpr double kSourceArea = 9;      // dB, area backscatter after spreading is undone
constexpr double kSourcePoint = 26;     // dB, discrete echoes
constexpr double kNoiseFloor = -67;     // dB before the time-varied gain
constexpr double kTvgLimit = 70;        // dB, the most the time-varied gain adds
constexpr double kLevelPerDb = 2.4;     // 8-bit level steps per dB
double Lin(double db) { return std::exp(db * 0.23025850929940458); }  // 10^(db/10)
}  // namespace

double WaterAbsorption(double f) { return 0.2 * std::pow(std::max(f, 50.0) / 675.0, 1.4); }

void SynthesiseEcho(const Scene& scene, double angle_deg, const PingSettings& p, double first_m, double spacing_m,
                    std::size_t count, double min_profile_m, std::mt19937_64& rng, EchoLine& out) {
  BeamEchoes beam;
  scene.Insonify(angle_deg, p.frequency_khz, first_m, spacing_m, count, beam);
  const double a_phys = WaterAbsorption(p.frequency_khz);
  const double pulse_m = p.pulse_us * 1e-6 * p.sound_speed / 2;  // range extent of the pulse
  const double pulse_db = 10 * std::log10(std::max(p.pulse_us, 10.0) / 100.0);

  // Expected echo power per sample, before the time-varied gain.
  std::vector<double> power(count, 0.0);
  const int box = std::max(1, static_cast<int>(std::lround(pulse_m / spacing_m)));
  for (std::size_t i = 0; i < count; ++i) {
    // Area backscatter, smeared over the pulse length.
    double acc = 0;
    int n = 0;
    for (int k = 0; k < box; ++k) {
      if (i < static_cast<std::size_t>(k)) break;
      acc += Lin(beam.backscatter_db[i - static_cast<std::size_t>(k)]);
      ++n;
    }
    double r = std::max(first_m + spacing_m * static_cast<double>(i), 0.05);
    power[i] = acc / std::max(n, 1) * Lin(kSourceArea + pulse_db - 30 * std::log10(r) - 2 * a_phys * r);
  }
  for (const auto& ret : beam.returns) {
    double r = std::max(ret.range_m, 0.05);
    double peak = Lin(kSourcePoint + ret.strength_db - 40 * std::log10(r) - 2 * a_phys * r);
    double sigma = std::sqrt(pulse_m * pulse_m / 4 + ret.spread_m * ret.spread_m / 4 + spacing_m * spacing_m / 4);
    // The echo's energy spreads with sigma; a longer pulse carries more of it.
    // The echo starts when the pulse's front comes back and lasts as long as the pulse.
    double centre = (r + pulse_m / 2 - first_m) / spacing_m;
    double width = sigma / spacing_m;
    int lo = static_cast<int>(std::floor(centre - 4 * width)), hi = static_cast<int>(std::ceil(centre + 4 * width));
    double scale = peak * std::min(1.0, (pulse_m + ret.spread_m * 0.2) / (2 * sigma) + 0.5);
    for (int k = std::max(lo, 0); k <= hi && k < static_cast<int>(count); ++k) {
      double u = (k - centre) / width;
      power[static_cast<std::size_t>(k)] += scale * std::exp(-0.5 * u * u);
    }
  }

  out.s14.assign(count, 0);
  out.first_strong_m = 0;
  // Speckle: the mean of two exponential draws (a gamma of shape 2, mean 1), like a
  // couple of independent looks; receiver noise: one exponential draw.
  std::uniform_real_distribution<double> unit(1e-12, 1.0);
  auto expo = [&] { return -std::log(unit(rng)); };
  std::vector<double> level_pre_gain(count);
  double peak_db = -1e9;
  for (std::size_t i = 0; i < count; ++i) {
    double r = std::max(first_m + spacing_m * static_cast<double>(i), 0.05);
    double tvg = std::min(kTvgLimit, 30 * std::log10(std::max(r, 1.0)) + 2 * p.absorption_db_m * r);
    double expected = 10 * std::log10(std::max(power[i], 1e-30)) + tvg;
    level_pre_gain[i] = expected;
    if (r >= min_profile_m) peak_db = std::max(peak_db, expected);
    double got = power[i] * 0.5 * (expo() + expo()) + Lin(kNoiseFloor) * expo();
    double db = 10 * std::log10(got) + tvg + p.gain_db;
    double level = std::clamp(db * kLevelPerDb, 0.0, 255.99);
    out.s14[i] = static_cast<std::uint16_t>(level * 64);
  }
  // First strong return: the first sample within 6 dB of the strongest and well
  // above the seabed's usual level.
  double threshold = std::max(peak_db - 6, 28.0);
  for (std::size_t i = 0; i < count; ++i) {
    double r = first_m + spacing_m * static_cast<double>(i);
    if (r >= min_profile_m && level_pre_gain[i] >= threshold) {
      out.first_strong_m = r;
      break;
    }
  }
}

}  // namespace q47vsim
