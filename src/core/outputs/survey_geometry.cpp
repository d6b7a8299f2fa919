// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputs/survey_geometry.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr double kFeetPerMetre = 3.2808398950131231941;
constexpr double kDegToRad = 3.141592654 * (1.0 / 180.0);
constexpr double kPerSoundSpeed = 1.0 / 1500.0;

float RangeOf(const ProfilePoint& p, const XyzSettings& s) {
  const float r = p.Range;
  float a = static_cast<float>(r * s.SoundVelocity * kPerSoundSpeed);
  if (s.Units == 1) a = static_cast<float>(a * kFeetPerMetre);
  return a;
}

float Rad(float degrees) { return static_cast<float>(degrees * kDegToRad); }

bool AttitudeColumns(const XyzSettings& s) { return s.OrientationModule != 0 && s.PitchRollHeading == 1; }

// Digits of `t` from `from` to `to` (inclusive), blanks skipped; -1 when a
// character is neither, or when no digit is there.
long Digits(std::string_view t, std::size_t from, std::size_t to, int* count = nullptr) {
  long v = 0;
  int n = 0;
  for (std::size_t i = from; i <= to; ++i) {
    const char c = t[i];
    if (c == ' ') continue;
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
    ++n;
  }
  if (count) *count = n;
  return n == 0 ? -1 : v;
}

// "dd.mm.fff h" read from position `at`: `deg_digits` degree characters, then
// ".", two minute digits, ".", three fraction characters, blank, hemisphere.
std::optional<double> Coordinate(std::string_view t, std::size_t at, std::size_t deg_digits, char plus,
                                 char minus) {
  const std::size_t dot1 = at + deg_digits, dot2 = dot1 + 3, hemi = dot2 + 5;
  if (t[dot1] != '.' || t[dot2] != '.') return std::nullopt;
  const long deg = Digits(t, at, dot1 - 1);
  const long min = Digits(t, dot1 + 1, dot2 - 1);
  int n = 0;
  long frac = Digits(t, dot2 + 1, dot2 + 3, &n);
  if (frac < 0) {
    frac = 0;
    n = 0;
  }
  if (deg < 0 || min < 0 || min >= 60) return std::nullopt;
  const char h = t[hemi];
  if (h != plus && h != minus) return std::nullopt;
  double minutes = static_cast<double>(min) + static_cast<double>(frac) / std::pow(10.0, n);
  double v = static_cast<double>(deg) + minutes / 60.0;
  return h == minus ? -v : v;
}

}  // namespace

PointXyz VerticalPointXyz(const ProfilePoint& p, const XyzSettings& s) {
  PointXyz out;
  const float a = RangeOf(p, s);
  const float d = Rad(p.BeamAngle);
  out.Range = a;
  out.X = a * std::sin(d) + s.XOffset;
  out.Y = s.Chainage;
  out.Z = s.ZeroDown != 0 ? s.Elevation + a * std::cos(d) : s.Elevation - a * std::cos(d);
  return out;
}

PointXyz HorizontalPointXyz(const ProfilePoint& p, const XyzSettings& s) {
  PointXyz out;
  const float a = RangeOf(p, s);
  const float d = Rad(p.BeamAngle);
  const float pitch = p.Pitch, roll = p.Roll, heading = p.Heading;
  const float pn = Rad(-pitch);
  const float q = Rad(-roll);
  const float h = Rad(heading);
  const float e = a * std::sin(d);
  const float g = a * std::cos(d);
  float u = e * std::cos(q);
  const float v = e * std::sin(pn) * std::sin(q) + g * std::cos(pn);
  const float w = e * std::cos(pn) * std::sin(q) - g * std::sin(pn);
  if (u > -0.000001f && u < 0.000001f) u = 0.001f;
  const float sign = u / std::fabs(u);
  const float m = sign * std::sqrt(u * u + v * v);
  const float t = std::atan(v / u);
  out.Range = a;
  out.X = m * std::cos(t - h) + s.XOffset;
  out.Y = m * std::sin(t - h) + s.Chainage;
  out.Z = s.Elevation + w;
  out.HeadingApplied = heading;
  return out;
}

PointXyz AzimuthPointXyz(const ProfilePoint& p, const XyzSettings& s, int azimuth_steps) {
  PointXyz out;
  const float az_deg = static_cast<float>(azimuth_steps * 0.3 - 180.0);
  const float az = Rad(az_deg);
  float shown = az_deg;
  if (shown < 0) shown += 360.0f;
  if (shown >= 360.0f) shown = 0.0f;
  const float arm = s.Units == 1 ? static_cast<float>(0.085 * kFeetPerMetre) : 0.085f;
  const float a = RangeOf(p, s);
  const float d = Rad(p.BeamAngle);
  const float x0 = std::cos(az) * a * std::sin(d);
  const float y0 = -a * std::sin(az) * std::sin(d);
  const float z0 = s.ZeroDown != 0 ? a * std::cos(d) : -a * std::cos(d);
  const float x1 = std::sin(az) * arm + x0;
  const float y1 = std::cos(az) * arm + y0;
  float x = x1, y = y1, z = z0;
  if (AttitudeColumns(s)) {
    const float pr = Rad(p.Pitch), r = Rad(p.Roll), h = Rad(p.Heading);
    const float x2 = std::cos(r) * x1 + std::sin(r) * z0;
    const float y2 = std::sin(r) * x1 * std::sin(pr) + std::cos(pr) * y1 - std::sin(pr) * z0 * std::cos(r);
    const float z2 = -x1 * std::cos(pr) * std::sin(r) + std::sin(pr) * y1 + std::cos(pr) * z0 * std::cos(r);
    if (x2 != 0) {
      const float sign = x2 / std::fabs(x2);
      const float m = sign * std::sqrt(y2 * y2 + x2 * x2);
      const float t = std::atan(y2 / x2);
      x = std::cos(t - h) * m;
      y = std::sin(t - h) * m;
    } else {
      x = x2;
      y = y2;
    }
    z = z2;
    out.HeadingApplied = p.Heading;
  }
  out.Range = a;
  out.Azimuth = shown;
  out.X = x;
  out.Y = y;
  out.Z = z;
  return out;
}

std::optional<GeoDegrees> GpsTextDegrees(std::string_view text) {
  if (text.size() < 24) return std::nullopt;
  const std::string_view t = text.substr(0, 24);
  const auto lat = Coordinate(t, 1, 2, 'N', 'S');
  const auto lon = Coordinate(t, 12, 3, 'E', 'W');
  if (!lat || !lon || *lat > 90 || *lat < -90 || *lon > 180 || *lon < -180) return std::nullopt;
  return GeoDegrees{*lat, *lon};
}

std::optional<GeoDegrees> PointDegrees(const ProfilePoint& p) {
  if (p.Gps[0] == 0) return std::nullopt;
  // The record keeps the reader's text whole; its first character (a blank in
  // the reader's text) is the presence flag.
  char text[25];
  std::memcpy(text, p.Gps, 24);
  text[24] = 0;
  text[0] = ' ';
  return GpsTextDegrees(std::string_view(text, 24));
}
