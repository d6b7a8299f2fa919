// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace q47vsim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;
constexpr float kNothing = -200.0f;

double Hash01(std::int64_t x, std::int64_t y, unsigned salt) {
  std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^
                    (static_cast<std::uint64_t>(y) + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full ^
                    (static_cast<std::uint64_t>(salt) << 32);
  h ^= h >> 31;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 29;
  h *= 0x94D049BB133111EBull;
  h ^= h >> 32;
  return static_cast<double>(h >> 11) / 9007199254740992.0;
}

double Db(double x) { return 10.0 * std::log10(std::max(x, 1e-12)); }

// Ray from the origin along unit vector (dx, dy) against segment a-b. Returns the
// distance along the ray and the cosine of the incidence angle, or false.
bool RaySegment(double dx, double dy, double ax, double ay, double bx, double by, double& t, double& cos_inc) {
  double ex = bx - ax, ey = by - ay;
  double den = dx * ey - dy * ex;
  if (std::fabs(den) < 1e-12) return false;
  double tt = (ax * ey - ay * ex) / den;
  double u = (ax * dy - ay * dx) / den;
  if (tt <= 0 || u < 0 || u > 1) return false;
  t = tt;
  double len = std::hypot(ex, ey);
  cos_inc = std::fabs(dx * ey - dy * ex) / len;  // |sin| between ray and segment = cos to the normal
  return true;
}

struct Segment {
  double ax, ay, bx, by;
  double height;    // above the seabed; walls reach the surface
  double strength;  // dB at normal incidence
  unsigned salt;
};

struct Blob {  // piling, tyre, rock, block: round in plan
  double x, y, radius, height, strength;
};

class HarbourScene : public Scene {
 public:
  HarbourScene() {
    // Quay wall ahead and round the port side; a pipe on the floor; a crate.
    walls_ = {{-45, 24, 40, 24, 99, 32, 11}, {-26, -30, -26, 24, 99, 32, 12}};
    pipes_ = {{-22, -18, 6, 14, 0.5, 22, 13}};
    // Row of pilings to starboard, 3 m apart, and a second row further out.
    for (int k = 0; k < 9; ++k) blobs_.push_back({11.0, -6.0 + 3.0 * k, 0.3, 99, 30});
    for (int k = 0; k < 5; ++k) blobs_.push_back({17.0, 2.0 + 3.0 * k, 0.3, 99, 30});
    blobs_.push_back({-6.0, 7.5, 0.45, 0.25, 22});    // tyre
    blobs_.push_back({-5.1, 7.5, 0.15, 0.25, 18});    // its far rim
    blobs_.push_back({6.0, -12.0, 1.0, 1.0, 26});     // sunken crate
    // A few rocks, always in the same places.
    for (int k = 0; k < 14; ++k) {
      double x = -22 + 40 * Hash01(k, 1, 77), y = -28 + 48 * Hash01(k, 2, 77);
      if (y > 22 || x < -25) continue;
      blobs_.push_back({x, y, 0.2 + 0.4 * Hash01(k, 3, 77), 0.3 + 0.5 * Hash01(k, 4, 77), 16});
    }
  }
  std::string Name() const override { return "harbour"; }
  void SetPlatform(double along_m) override { platform_y_ = std::clamp(along_m, -14.0, 12.0); }

  void Insonify(double angle_deg, double freq_khz, double first_m, double spacing_m, std::size_t count,
                BeamEchoes& out) const override {
    out.backscatter_db.assign(count, kNothing);
    out.returns.clear();
    const double dx = std::sin(angle_deg * kDeg), dy = std::cos(angle_deg * kDeg);
    const double oy = platform_y_;  // the frame's place along the harbour
    const double half_beam = 0.7 * 675.0 / std::max(freq_khz, 100.0) * kDeg;
    // Ground distance beyond which the seabed is hidden, and shadow bands from low objects.
    double block = 1e9;
    std::vector<std::pair<double, double>> shadows;
    for (const auto& w : walls_) {
      double t, ci;
      if (!RaySegment(dx, dy, w.ax, w.ay - oy, w.bx, w.by - oy, t, ci)) continue;
      block = std::min(block, t);
      // A block wall: joints every 1.6 m, weathered patches.
      double along = (dx * t - w.ax) * (w.bx - w.ax) + (dy * t - w.ay + oy) * (w.by - w.ay);
      along /= std::hypot(w.bx - w.ax, w.by - w.ay);
      double joint = std::fmod(std::fabs(along), 1.6) < 0.12 ? -6 : 0;
      double tex = 6 * (ValueNoise(along, 0.5, 2.0, w.salt) - 0.5);
      double s = w.strength + Db(ci * ci + 0.03) + joint + tex;
      double spread = t * half_beam * std::sqrt(std::max(0.0, 1 - ci * ci)) / std::max(ci, 0.05) + 0.6;
      out.returns.push_back({std::hypot(t, 0.5 * kHeight), s, std::min(spread, 6.0)});
    }
    for (const auto& p : pipes_) {
      double t, ci;
      if (!RaySegment(dx, dy, p.ax, p.ay - oy, p.bx, p.by - oy, t, ci) || t > block) continue;
      double s = p.strength + Db(ci * ci + 0.2);
      out.returns.push_back({std::hypot(t, kHeight - p.height), s, 0.25});
      shadows.push_back({t, t * kHeight / (kHeight - p.height)});
    }
    for (const auto& b : blobs_) {
      double along = b.x * dx + (b.y - oy) * dy;
      if (along <= 0) continue;
      double across = std::fabs(b.x * dy - (b.y - oy) * dx);
      double d = along - std::sqrt(std::max(0.0, b.radius * b.radius - across * across));
      if (d > block) continue;
      double ang = std::atan2(across, along);
      double core = std::atan2(b.radius, along);
      double excess = std::max(0.0, ang - core) / half_beam;
      if (excess > 3) continue;
      double s = b.strength - 6 * excess * excess;
      out.returns.push_back({std::hypot(d, kHeight - std::min(b.height, kHeight) * 0.5), s, b.radius * 0.5});
      if (ang <= core) {
        if (b.height >= kHeight) block = std::min(block, d);
        else shadows.push_back({d + b.radius, d * kHeight / (kHeight - b.height)});
      }
    }
    // Seabed: rippled sand with patches, seen through the vertical beam pattern
    // (tilted 10 degrees down, 30 degrees wide) with a strong first bottom return.
    for (std::size_t i = 0; i < count; ++i) {
      double r = first_m + spacing_m * static_cast<double>(i);
      if (r <= kHeight) {
        // Water column: faint volume scatter, an occasional fish school near the wall.
        out.backscatter_db[i] = -45;
        continue;
      }
      double g = std::sqrt(r * r - kHeight * kHeight);
      double dep = std::asin(kHeight / r) / kDeg;
      double off = (dep - 10.0) / 15.0;
      double beam = std::max(-30.0, -12.0 * off * off);
      double nadir = 14.0 * std::exp(-std::pow((r - kHeight) / 0.25, 2));
      double x = g * dx, y = g * dy + oy;
      double tex = 8.0 * (ValueNoise(x, y, 3.5, 5) - 0.5) + 5.0 * (ValueNoise(x, y, 0.9, 6) - 0.5) +
                   2.5 * std::sin(2 * kPi * (0.3 * x + 0.95 * y) / 1.3);
      // Gravel patch around the crate, mud in the lee of the quay (darker).
      if (std::hypot(x - 4, y + 10) < 6) tex += 4;
      if (y > 18) tex -= 5;
      double lambert = Db(std::pow(std::sin(dep * kDeg), 2)) * 0.5;
      double v = 8 + beam + lambert + tex + nadir;
      if (g > block) v = -60;
      for (const auto& s : shadows)
        if (g > s.first && g < s.second) v -= 25;
      out.backscatter_db[i] = static_cast<float>(v);
    }
  }

 private:
  static constexpr double kHeight = 2.5;  // head above the seabed, m
  double platform_y_ = 0;
  std::vector<Segment> walls_, pipes_;
  std::vector<Blob> blobs_;
};

// Channel cross-section: x across (positive to starboard), z depth below the head.
class ChannelScene : public Scene {
 public:
  ChannelScene() {
    const double top = -kHeadDepth;
    bottom_ = {{-44, top}, {-40, top}, {-40, 5 - kHeadDepth}, {-28, 5 - kHeadDepth}, {-12, 12 - kHeadDepth},
               {3.5, 12 - kHeadDepth}, {4.5, 11.2 - kHeadDepth}, {5.5, 11.2 - kHeadDepth}, {6.5, 12 - kHeadDepth},
               {12, 12 - kHeadDepth}, {28, 4 - kHeadDepth}, {34, 3.5 - kHeadDepth}, {38, top}, {44, top}};
  }
  std::string Name() const override { return "channel"; }

  void Insonify(double angle_deg, double freq_khz, double first_m, double spacing_m, std::size_t count,
                BeamEchoes& out) const override {
    out.backscatter_db.assign(count, kNothing);
    out.returns.clear();
    // Angle 0 straight down, positive to starboard.
    double dx = std::sin(angle_deg * kDeg), dz = std::cos(angle_deg * kDeg);
    const double half_beam = 0.85 * 675.0 / std::max(freq_khz, 100.0) * kDeg;
    double hit = 1e9, hit_ci = 1, hit_x = 0;
    bool rough = false;
    for (std::size_t k = 0; k + 1 < bottom_.size(); ++k) {
      double t, ci;
      if (RaySegment(dx, dz, bottom_[k].first, bottom_[k].second, bottom_[k + 1].first, bottom_[k + 1].second, t,
                     ci) &&
          t < hit) {
        hit = t, hit_ci = ci, hit_x = t * dx;
        rough = std::fabs(hit_x) > 28;  // rock armour on the slopes' tops and the quay
      }
    }
    // The water surface above the head.
    if (dz < 0) {
      double ts = kHeadDepth / -dz;
      if (ts < hit) hit = ts, hit_ci = -dz, hit_x = ts * dx, rough = false;
    }
    if (hit < 1e8) {
      double tex = 5 * (ValueNoise(hit_x, 0, 0.7, 21) - 0.5) + (rough ? 4 * (ValueNoise(hit_x, 1, 0.3, 22) - 0.5) : 0);
      double s = 24 + Db(hit_ci * hit_ci + (rough ? 0.3 : 0.05)) + tex;
      double spread = hit * half_beam * std::sqrt(std::max(0.0, 1 - hit_ci * hit_ci)) / std::max(hit_ci, 0.05);
      out.returns.push_back({hit, s, std::min(spread + 0.05, 4.0)});
    }
    for (std::size_t i = 0; i < count; ++i) {
      double r = first_m + spacing_m * static_cast<double>(i);
      double v = -48;
      if (r > hit) v = 6 - 14 * (r - hit) + 3 * (ValueNoise(r, angle_deg, 0.4, 23) - 0.5);  // into the bed
      // A fish school in mid-water to port.
      double x = r * dx, z = r * dz;
      if (std::hypot((x + 6) / 2.5, (z - 5) / 0.8) < 1 && ValueNoise(x, z, 0.3, 24) > 0.55) v = std::max(v, -5.0);
      out.backscatter_db[i] = static_cast<float>(std::max(v, -60.0));
    }
  }

 private:
  static constexpr double kHeadDepth = 1.0;
  std::vector<std::pair<double, double>> bottom_;
};

}  // namespace

double ValueNoise(double x, double y, double cell, unsigned salt) {
  double fx = x / cell, fy = y / cell;
  double ix = std::floor(fx), iy = std::floor(fy);
  double tx = fx - ix, ty = fy - iy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  auto X = static_cast<std::int64_t>(ix), Y = static_cast<std::int64_t>(iy);
  double a = Hash01(X, Y, salt), b = Hash01(X + 1, Y, salt), c = Hash01(X, Y + 1, salt), d = Hash01(X + 1, Y + 1, salt);
  return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

bool IsSceneName(const std::string& name) { return name == "harbour" || name == "channel"; }

std::unique_ptr<Scene> MakeScene(const std::string& name) {
  if (name == "channel") return std::make_unique<ChannelScene>();
  return std::make_unique<HarbourScene>();
}

}  // namespace q47vsim
