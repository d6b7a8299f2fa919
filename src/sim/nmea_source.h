// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated GPS receiver: a boat running survey lines (a lawn-mower pattern)
// from a start position, reported as NMEA GGA and/or GLL sentences ended by CR LF,
// or an NMEA log replayed line by line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace q47vsim {

struct GpsTrack {
  double start_lat = 49.2741667;   // degrees, north positive
  double start_lon = -123.1853333; // degrees, east positive
  double speed_knots = 2.0;
  double course_deg = 45.0;        // direction of the survey lines
  double line_length_m = 200.0;
  double line_spacing_m = 20.0;
};

struct GpsFix {
  double lat = 0, lon = 0;       // degrees
  int hour = 0, minute = 0;
  double second = 0;
  int quality = 1, satellites = 8;
  double hdop = 0.9, altitude = 12.4;
};

// Position after t_s seconds along the track.
void TrackPosition(const GpsTrack& track, double t_s, double& lat, double& lon);

// "hh" checksum of the characters between "$" and "*".
std::string NmeaChecksum(std::string_view body);
// Whole sentences with "$", "*hh" and CR LF.
std::string FormGga(const GpsFix& fix);
std::string FormGll(const GpsFix& fix);

// Reads an NMEA log: every line that starts with "$", ended with CR LF whatever
// the file used. Returns false when the file cannot be read or holds no sentence.
bool LoadNmeaLog(const std::string& path, std::vector<std::string>& lines, std::string* error);

}  // namespace q47vsim
