// SPDX-License-Identifier: GPL-3.0-or-later
#include "nmea_source.h"

#include <cmath>
#include <cstdio>
#include <fstream>

namespace q47vsim {
namespace {
constexpr double kPi = 3.14159265358979323846;

// Degrees and decimal minutes, "ddmm.mmmm" (latitude) or "dddmm.mmmm" (longitude).
std::string DegreesMinutesField(double value, int degree_digits) {
  double a = std::fabs(value);
  int deg = static_cast<int>(a);
  double min = (a - deg) * 60.0;
  if (min >= 59.99995) deg += 1, min = 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*d%07.4f", degree_digits, deg, min);
  return buf;
}
std::string LatField(double lat, char& hemi) {
  hemi = lat < 0 ? 'S' : 'N';
  return DegreesMinutesField(lat, 2);
}
std::string LonField(double lon, char& hemi) {
  hemi = lon < 0 ? 'W' : 'E';
  return DegreesMinutesField(lon, 3);
}
std::string TimeField(const GpsFix& f) {
  char buf[32];
  int centis = static_cast<int>(f.second * 100 + 0.5);
  std::snprintf(buf, sizeof buf, "%02d%02d%02d.%02d", f.hour, f.minute, centis / 100 % 60, centis % 100);
  return buf;
}
std::string Wrap(const std::string& body) { return "$" + body + "*" + NmeaChecksum(body) + "\r\n"; }
}  // namespace

void TrackPosition(const GpsTrack& t, double t_s, double& lat, double& lon) {
  // Lawn-mower: run a line, step across, run back.
  const double v = t.speed_knots * 1852.0 / 3600.0;
  const double leg = t.line_length_m + t.line_spacing_m;
  double s = std::max(0.0, v * t_s);
  int legs = static_cast<int>(s / leg);
  double in = s - legs * leg;
  double along = 0, across = legs * t.line_spacing_m;
  bool back = legs % 2 == 1;
  if (in < t.line_length_m) {
    along = back ? t.line_length_m - in : in;
  } else {
    along = back ? 0 : t.line_length_m;
    across += in - t.line_length_m;
  }
  const double c = t.course_deg * kPi / 180.0;
  // Along the course and 90 degrees to starboard of it.
  double north = along * std::cos(c) - across * std::sin(c);
  double east = along * std::sin(c) + across * std::cos(c);
  lat = t.start_lat + north / 111320.0;
  lon = t.start_lon + east / (111320.0 * std::cos(t.start_lat * kPi / 180.0));
}

std::string NmeaChecksum(std::string_view body) {
  unsigned x = 0;
  for (char ch : body) x ^= static_cast<unsigned char>(ch);
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02X", x & 0xFF);
  return buf;
}

std::string FormGga(const GpsFix& f) {
  char ns, ew;
  std::string lat = LatField(f.lat, ns), lon = LonField(f.lon, ew);
  char buf[160];
  std::snprintf(buf, sizeof buf, "GPGGA,%s,%s,%c,%s,%c,%d,%02d,%.1f,%.1f,M,-17.2,M,,", TimeField(f).c_str(),
                lat.c_str(), ns, lon.c_str(), ew, f.quality, f.satellites, f.hdop, f.altitude);
  return Wrap(buf);
}

std::string FormGll(const GpsFix& f) {
  char ns, ew;
  std::string lat = LatField(f.lat, ns), lon = LonField(f.lon, ew);
  char buf[160];
  std::snprintf(buf, sizeof buf, "GPGLL,%s,%c,%s,%c,%s,A,A", lat.c_str(), ns, lon.c_str(), ew, TimeField(f).c_str());
  return Wrap(buf);
}

bool LoadNmeaLog(const std::string& path, std::vector<std::string>& lines, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot read " + path;
    return false;
  }
  lines.clear();
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    auto start = line.find('$');
    if (start == std::string::npos || line.size() - start > 200) continue;
    lines.push_back(line.substr(start) + "\r\n");
  }
  if (lines.empty()) {
    if (error) *error = "no NMEA sentence in " + path;
    return false;
  }
  return true;
}

}  // namespace q47vsim
