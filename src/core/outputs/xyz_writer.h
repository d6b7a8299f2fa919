// SPDX-License-Identifier: GPL-3.0-or-later
// The .XYZ point files of auto-profile and auto-azimuth: the text of one scan in
// each of the three geometries, the dated file names (14mar2024-0001.xyz) and the
// file itself, whose every write is checked.
#pragma once

#include <span>
#include <string>

#include "imaging/profile_points.h"

// What the writers read of the settings, taken once per scan.
struct XyzSettings {
  float Chainage = 0;        // ProfileChainage (vertical: y; horizontal: Y offset)
  float Elevation = 0;       // ProfileElevation
  float XOffset = 0;         // ProfileXOffset
  float SoundVelocity = 1500;
  int Units = 0;             // 0 metres, 1 feet
  int ZeroDown = 1;
  int Timestamp = 1;         // XYZTimestamp
  int LatLongElevation = 1;  // XYZLatLongElevation
  int RangeHorVer = 1;       // XYZRangeHorVer
  int PitchRollHeading = 1;  // XYZPitchRollHeading
  int OrientationModule = 1; // EnableOrientationModule
};

struct AppState;
XyzSettings XyzSettingsFrom(const AppState& state);

// Vertical scan: the four-line header, then points 1 to N-2 of the sweep.
std::string VerticalXyzText(std::span<const ProfilePoint> points, const XyzSettings& s);
// Horizontal (borehole) scan: no header; points 1 to N-2.
std::string HorizontalXyzText(std::span<const ProfilePoint> points, const XyzSettings& s);
// Auto-azimuth block: points 1 to N-2 at the drive position `azimuth_steps`,
// followed by one empty line.
std::string AzimuthXyzText(std::span<const ProfilePoint> points, const XyzSettings& s, int azimuth_steps);

// "14-MAR-2024" gives "14MAR2024" (characters 0-1, 3-5 and 7-10).
std::string DateStem(const std::string& date_text);
// The next free dated name in `dir` for extension `ext` ("xyz", "bmp"): the
// largest four-digit number among the names stem-NNNN.ext (any case, exactly that
// shape) plus 1, at most 9999; lower case, without the directory.
std::string NextDatedName(const std::string& dir, const std::string& date_text, const std::string& ext);

// NextDatedName for a run that makes many files in one directory: the directory is
// listed once per date and extension, and later names follow the last one given.
// A name that has meanwhile appeared on disk sends it back to the listing, so an
// existing file is never chosen (except 9999, which is replaced as always).
class DatedNames {
 public:
  std::string Next(const std::string& dir, const std::string& date_text, const std::string& ext);

 private:
  std::string key_;            // directory, stem and extension of the last name
  unsigned long last_ = 0;     // its number
};

// An .XYZ file open for writing. Writes are whole or reported: a failed or short
// write (disk full, device removed) returns false with the reason in Error().
class XyzFile {
 public:
  XyzFile() = default;
  ~XyzFile() { Close(); }
  XyzFile(const XyzFile&) = delete;
  XyzFile& operator=(const XyzFile&) = delete;

  // Creates (or replaces) `path`; false when it cannot be created.
  bool Create(const std::string& path);
  bool Write(const std::string& text);
  // False when closing showed that data did not reach the file.
  bool Close();
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  const std::string& Error() const { return error_; }

 private:
  int fd_ = -1;
  std::string path_;
  std::string error_;
};
