// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputs/xyz_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app_state.h"
#include "outputs/survey_geometry.h"

namespace {

constexpr double kFeetPerMetre = 3.2808398950131231941;


bool AttitudeColumns(const XyzSettings& s) { return s.OrientationModule != 0 && s.PitchRollHeading == 1; }

// Time stamp and position groups, each column followed by a TAB.
void LeadingGroups(std::string& out, const ProfilePoint& p, const XyzSettings& s, int number) {
  if (s.Timestamp == 1) {
    out.append(p.DateTime, strnlen(p.DateTime, 11));
    out += '\t';
    out.append(p.DateTime + 13, strnlen(p.DateTime + 13, 11));
    out += '\t';
  }
  if (s.LatLongElevation == 1 && p.Gps[0] != 0) {
    const char* g = p.Gps;
    const std::size_t len = strnlen(g, 24);
    out.append(g + std::min<std::size_t>(1, len), len > 1 ? std::min<std::size_t>(11, len - 1) : 0);
    out += '\t';
    out.append(g + std::min<std::size_t>(12, len), len > 12 ? std::min<std::size_t>(12, len - 12) : 0);
    out += '\t';
    AppendXyzNumber(out, p.Elevation, number);
    out += '\t';
  }
}

void Coordinates(std::string& out, int number, float x, float y, float z) {
  AppendXyzNumber(out, x, number);
  out += '\t';
  AppendXyzNumber(out, y, number);
  out += '\t';
  AppendXyzNumber(out, z, number);
  out += "\r\n";
}

// Points 1 to N-2: the first and the last point of a sweep are left out.
std::span<const ProfilePoint> Inner(std::span<const ProfilePoint> points) {
  if (points.size() < 3) return {};
  return points.subspan(1, points.size() - 2);
}

// "%07.2f" cut to its first 7 characters.
std::string HeaderNumber(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%07.2f", v);
  return std::string(buf).substr(0, 7);
}

}  // namespace

void AppendXyzNumber(std::string& out, double v, int width) {
  if (!std::isfinite(v)) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "% 0*.3f", width, v);
    out += buf;
    return;
  }
  // The sign (a blank for a positive number, a minus for any negative one, -0 and
  // numbers that round to 0 included), zeros up to the width, then the digits of
  // the magnitude correctly rounded to three decimals, as printf rounds them.
  char digits[400];  // the largest double has 309 digits before the point
  const std::to_chars_result r =
      std::to_chars(digits, digits + sizeof digits, std::fabs(v), std::chars_format::fixed, 3);
  const std::size_t n = static_cast<std::size_t>(r.ptr - digits);
  out += std::signbit(v) ? '-' : ' ';
  if (n + 1 < static_cast<std::size_t>(width)) out.append(static_cast<std::size_t>(width) - 1 - n, '0');
  out.append(digits, n);
}

XyzSettings XyzSettingsFrom(const AppState& state) {
  XyzSettings s;
  s.Chainage = state.ProfileChainage.load();
  s.Elevation = state.ProfileElevation.load();
  s.XOffset = state.ProfileXOffset.load();
  s.SoundVelocity = state.SoundVelocityMeters.load();
  s.Units = state.Units.load();
  s.ZeroDown = state.ZeroDown.load();
  s.Timestamp = state.XYZTimestamp.load();
  s.LatLongElevation = state.XYZLatLongElevation.load();
  s.RangeHorVer = state.XYZRangeHorVer.load();
  s.PitchRollHeading = state.XYZPitchRollHeading.load();
  s.OrientationModule = state.EnableOrientationModule.load();
  return s;
}

std::string VerticalXyzText(std::span<const ProfilePoint> points, const XyzSettings& s) {
  std::string out;
  out.reserve(64 + points.size() * 160);
  out += HeaderNumber(s.Chainage) + "," + (s.Units == 1 ? "F" : "M") + "\r\n";
  out += HeaderNumber(s.Elevation) + "\r\n";
  out += HeaderNumber(s.XOffset) + "\r\n";
  const double velocity = s.Units == 1 ? s.SoundVelocity * kFeetPerMetre : s.SoundVelocity;
  out += HeaderNumber(velocity) + "\r\n";
  const int number = 7;  // "% 07.3f"
  for (const ProfilePoint& p : Inner(points)) {
    LeadingGroups(out, p, s, number);
    const PointXyz c = VerticalPointXyz(p, s);
    const float beam = p.BeamAngle;
    if (s.RangeHorVer == 1) {
      AppendXyzNumber(out, c.Range, number);
      out += '\t';
      AppendXyzNumber(out, 0.0, number);
      out += '\t';
      AppendXyzNumber(out, beam, number);
      out += '\t';
    }
    if (AttitudeColumns(s)) {
      for (float v : {p.Pitch, p.Roll, p.Heading}) {
        AppendXyzNumber(out, v, number);
        out += '\t';
      }
    }
    Coordinates(out, number, c.X, c.Y, c.Z);
  }
  return out;
}

std::string HorizontalXyzText(std::span<const ProfilePoint> points, const XyzSettings& s) {
  std::string out;
  out.reserve(points.size() * 120);
  const int number = 8;  // "% 08.3f"
  for (const ProfilePoint& p : Inner(points)) {
    LeadingGroups(out, p, s, number);
    const PointXyz c = HorizontalPointXyz(p, s);
    Coordinates(out, number, c.X, c.Y, c.Z);
  }
  return out;
}

std::string AzimuthXyzText(std::span<const ProfilePoint> points, const XyzSettings& s, int azimuth_steps) {
  std::string out;
  out.reserve(points.size() * 170 + 2);
  const int number = 8;  // "% 08.3f"
  for (const ProfilePoint& p : Inner(points)) {
    LeadingGroups(out, p, s, number);
    const PointXyz c = AzimuthPointXyz(p, s, azimuth_steps);
    const float beam = p.BeamAngle;
    if (s.RangeHorVer == 1) {
      AppendXyzNumber(out, c.Range, number);
      out += '	';
      AppendXyzNumber(out, c.Azimuth, number);
      out += '\t';
      AppendXyzNumber(out, beam, number);
      out += '\t';
    }
    if (AttitudeColumns(s)) {
      for (float v : {p.Pitch, p.Roll, p.Heading}) {
        AppendXyzNumber(out, v, number);
        out += '\t';
      }
    }
    Coordinates(out, number, c.X, c.Y, c.Z);
  }
  out += "\r\n";
  return out;
}

std::string DateStem(const std::string& date_text) {
  std::string d = date_text;
  d.resize(11, ' ');
  return d.substr(0, 2) + d.substr(3, 3) + d.substr(7, 4);
}

std::string NextDatedName(const std::string& dir, const std::string& date_text, const std::string& ext) {
  namespace fs = std::filesystem;
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  const std::string stem = lower(DateStem(date_text)) + "-";
  const std::string suffix = "." + lower(ext);
  unsigned long largest = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir.empty() ? fs::path(".") : fs::path(dir), ec)) {
    const std::string name = lower(entry.path().filename().string());
    if (name.size() != stem.size() + 4 + suffix.size()) continue;
    if (name.compare(0, stem.size(), stem) != 0) continue;
    if (name.compare(stem.size() + 4, suffix.size(), suffix) != 0) continue;
    const std::string digits = name.substr(stem.size(), 4);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    largest = std::max(largest, std::stoul(digits));
  }
  char number[16];
  std::snprintf(number, sizeof number, "%04lu", std::min(largest + 1, 9999UL));
  return stem + number + suffix;
}

std::string DatedNames::Next(const std::string& dir, const std::string& date_text, const std::string& ext) {
  namespace fs = std::filesystem;
  std::string stem = DateStem(date_text) + "-";
  std::string suffix = "." + ext;
  for (char& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string key = dir + '\n' + stem + suffix;
  auto named = [&](unsigned long n) {
    char number[24];
    std::snprintf(number, sizeof number, "%04lu", n);
    return stem + number + suffix;
  };
  const fs::path folder(dir.empty() ? "." : dir);
  std::error_code ec;
  // Anything under a name takes it, a dangling link too.
  auto taken = [&](const std::string& name) { return fs::exists(fs::symlink_status(folder / name, ec)); };
  // The last name counts only when its file was made (a failed creation or
  // capture leaves its number free, as a listing would find it).
  if (key == key_ && last_ > 0 && taken(named(last_))) {
    const unsigned long n = std::min(last_ + 1, 9999UL);
    const std::string name = named(n);
    if (n == 9999 || !taken(name)) {
      last_ = n;
      return name;
    }
  }
  const std::string name = NextDatedName(dir, date_text, ext);
  key_ = key;
  last_ = std::stoul(name.substr(stem.size(), 4));
  return name;
}

XyzFile::~XyzFile() {
  if (fd_ >= 0) Close();
  file_.Abandon();
}

bool XyzFile::Create(const std::string& path, OutputMode mode, bool in_place) {
  Close();
  error_.clear();
  path_ = path;
  whole_ = 0;
  failed_ = false;
  if (!in_place) return file_.Open(path, mode, &error_);
  // Only a regular file or a link is replaced at the last number, never through
  // the link; anything else there is left alone.
  struct stat st {};
  if (mode == OutputMode::kReplaceName && ::lstat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
      error_ = RefusedOutputReason(path);
      return false;
    }
    ::unlink(path.c_str());
  }
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error_ = errno == EEXIST ? path + " exists already; it is left as it is" : std::strerror(errno);
    return false;
  }
  return true;
}

bool XyzFile::Write(const std::string& text) {
  if (!IsOpen() || failed_) return false;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(Fd(), text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? std::strerror(errno) : "nothing written";
      failed_ = true;
      // Cut back to the last whole write: what the file keeps is whole.
      if (::ftruncate(Fd(), static_cast<off_t>(whole_)) == 0) ::lseek(Fd(), static_cast<off_t>(whole_), SEEK_SET);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  whole_ += static_cast<long long>(text.size());
  return true;
}

bool XyzFile::Close() {
  if (fd_ >= 0) {
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0 && errno != EINTR && !failed_) {
      error_ = std::strerror(errno);
      failed_ = true;
    }
    if (failed_ && whole_ == 0) ::unlink(path_.c_str());  // this run's own empty file
    return !failed_;
  }
  if (!file_.IsOpen()) return true;
  if (failed_ && whole_ == 0) {
    file_.Abandon();
    return false;
  }
  std::string why;
  if (!file_.Commit(&why)) {
    if (!failed_) error_ = why;
    return false;
  }
  return !failed_;
}
