// SPDX-License-Identifier: GPL-3.0-or-later
// The .XYZ point files of auto-profile and auto-azimuth: the text of one scan in
// each of the three geometries, the dated file names (14mar2024-0001.xyz) and the
// file itself, whose every write is checked.
#pragma once

#include <span>
#include <string>

#include "files/output_file.h"
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

// Appends printf's "% 0<width>.3f" of `v`, the form of every number of a point line
// (width 7 in vertical scans, 8 in the others), without going through printf.
void AppendXyzNumber(std::string& out, double v, int width);

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

// An .XYZ file being written, always under a new name (a file, link or node already
// there is left alone). Whole files: made under a temporary name beside its own
// and given its name when closed, so that a full disk, a crash or a kill never
// leaves a cut-off or empty file under a survey name (nor moves the numbering
// on). In place: made under its name at once and growing there, as the window's
// survey files do so that a long auto-azimuth run can be watched. Writes are
// whole or reported: a failed or short write (disk full, device removed) returns
// false with the reason in Error(), and the file then keeps only the writes
// before it (none: no file at all).
class XyzFile {
 public:
  XyzFile() = default;
  ~XyzFile();
  XyzFile(const XyzFile&) = delete;
  XyzFile& operator=(const XyzFile&) = delete;

  // Starts `path`; with kReplaceName what is at the name itself (a link, not its
  // target) is replaced.
  bool Create(const std::string& path, OutputMode mode = OutputMode::kNewName, bool in_place = false);
  bool Write(const std::string& text);
  // Finishes the file; false when it holds less than was written to it or cannot
  // take its name (then nothing is left when nothing was whole).
  bool Close();
  bool IsOpen() const { return file_.IsOpen() || fd_ >= 0; }
  const std::string& Path() const { return path_; }
  const std::string& Error() const { return error_; }

 private:
  int Fd() const { return fd_ >= 0 ? fd_ : file_.fd(); }
  WholeOutputFile file_;
  int fd_ = -1;  // in place
  std::string path_;
  std::string error_;
  long long whole_ = 0;  // bytes of the whole writes
  bool failed_ = false;
};
