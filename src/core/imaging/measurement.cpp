// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/measurement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "imaging/scan_conversion.h"

namespace {

constexpr double kFeetPerMetre = 3.2808398950131231941;

std::string Format(const char* fmt, double a) {
  char buf[96];
  std::snprintf(buf, sizeof buf, fmt, a);
  return buf;
}

std::string Format(const char* fmt, double a, double b) {
  char buf[96];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

double ShownBearing(double b, int grid_mode, int train) {
  if (grid_mode == kGridSector) b += train;
  if (b >= 360) b -= 360;
  if (b > 359.999999) b = 0;
  return b;
}

}  // namespace

WindowPoint ReadoutTransducer(int grid_mode, bool profile_grid, bool zero_down, int cursor_y) {
  switch (grid_mode) {
    case kGridPolar:
      return {301, (cursor_y != 256 && !profile_grid) ? 255 : 256};
    case kGridProfile:
      return {301, 3};
    default:
      if (profile_grid) return {301, zero_down ? 507 : 4};
      return {301, 508};
  }
}

double MetresPerPixel(const ReadoutInputs& in) {
  double m = in.RangeMetres / 500.0;
  if (in.GridMode == kGridPolar || (in.GridMode == kGridSS && in.SSTrain == kSSBoth)) m *= 2;
  const float sv = in.SoundVelocity > 0 ? in.SoundVelocity : 1500.0f;
  return m * sv / 1500.0;
}

double ScreenBearing(int right, int down, double* distance) {
  const double dx = std::abs(right), dy = std::abs(down);
  double d = std::sqrt(dx * dx + dy * dy);
  if (!(d > 0)) d = 0.000001;
  if (distance) *distance = d;
  const double a = std::asin(std::min(1.0, dx / d)) * 57.29577951;
  if (right > 0 && down > 0) return 180 - a;
  if (right <= 0 && down > 0) return a + 180;
  if (right < 0) return 360 - a;
  return a;
}

Readouts UpdateReadouts(const ReadoutInputs& in) {
  Readouts out;
  const bool feet = in.Units == 1;
  const bool fine = in.RangeMetres <= 4;
  const double unit = feet ? kFeetPerMetre : 1.0;
  const char* u = feet ? "FT" : "M";
  const double mpp = MetresPerPixel(in);
  auto limit = [](double v) { return v > 999.99 ? 999.99 : v; };
  auto set = [](ReadoutLine& l, const char* label, std::string value, bool /*separate*/) {
    l.Label = label;
    l.Value = std::move(value);
    l.Text = l.Label + " " + l.Value;
  };

  if (in.GridMode == kGridSS) {
    const WaterfallLayout lay = WaterfallColumns(in.SSTrain);
    const int tx = lay.TransducerColumn + 3;  // window column
    // The range of a window column across the track, and its side.
    auto across = [&](int x, const char** side) {
      const int px = x - tx;
      const bool port = in.SSTrain == kSSPort || (in.SSTrain == kSSBoth && px <= 0);
      *side = port ? "Port Side" : "Stbd Side";
      return limit(std::clamp(port ? -px : px, 0, 500) * mpp * unit);
    };
    const char* side = nullptr;
    const double range = across(in.CursorX, &side);
    // With a measurement origin set, it is the origin and the difference is taken
    // from it; otherwise the origin is the transducer.
    const char* origin_side = side;
    const double origin = in.MeasureMode ? across(in.OriginX, &origin_side) : 0.0;
    char num[16];
    auto line = [&](double v) {
      std::snprintf(num, sizeof num, fine ? "%#06.3f" : "%#06.2f", v);
      return std::string(num) + " " + u;
    };
    // Padded with blanks to one width so that the centred lines stay aligned.
    auto pad = [](std::string s) {
      if (s.size() < 28) s.append(28 - s.size(), ' ');
      return s;
    };
    const bool same_side = std::string(origin_side) == side;
    const double diff = limit(same_side ? std::abs(range - origin) : range + origin);
    set(out.Org, "Org:", pad(line(origin) + ", " + origin_side), false);
    set(out.Tar, "Tar:", pad(line(range) + ", " + side), false);
    set(out.Diff, "Diff:", pad(line(diff)), false);
    return out;
  }

  const WindowPoint t = ReadoutTransducer(in.GridMode, in.ProfileGrid, in.ZeroDown, in.CursorY);

  if (in.ProfileGrid) {
    out.Separate = true;
    const char* fmt2 = fine ? (feet ? "% #06.3f FT, % #06.3f FT" : "% #06.3f M, % #06.3f M")
                            : (feet ? "% #06.2f FT, % #06.2f FT" : "% #06.2f M, % #06.2f M");
    const char* fmt1 = fine ? (feet ? "% #06.3f FT" : "% #06.3f M") : (feet ? "% #06.2f FT" : "% #06.2f M");
    auto h = [&](int x) { return limit((x - t.X + 1) * mpp * unit); };
    auto v = [&](int y) { return limit((t.Y - y) * mpp * unit); };
    const int ax = in.MeasureMode ? in.OriginX : t.X - 1;
    const int ay = in.MeasureMode ? in.OriginY : t.Y;
    set(out.Org, "Org:", Format(fmt2, h(ax), v(ay)), true);
    set(out.Tar, "Tar:", Format(fmt2, h(in.CursorX), v(in.CursorY)), true);
    const double ddx = in.CursorX - ax, ddy = in.CursorY - ay;
    set(out.Diff, "Diff:", Format(fmt1, limit(std::sqrt(ddx * ddx + ddy * ddy) * mpp * unit)), true);
    return out;
  }

  const char* fmt = fine ? (feet ? "%#06.3f FT, %#05.1f Deg" : "%#06.3f M, %#05.1f Deg")
                         : (feet ? "%#06.2f FT, %#05.1f Deg" : "%#06.2f M, %#05.1f Deg");
  // Range and bearing of a window point from the transducer.
  auto from_transducer = [&](int x, int y, double& range, double& bearing) {
    double d = 0;
    bearing = ShownBearing(ScreenBearing(x + 1 - t.X, y - t.Y, &d), in.GridMode, in.Train);
    range = limit(d * mpp * unit);
  };
  double r = 0, b = 0;
  if (in.MeasureMode == 0) {
    set(out.Org, "Org:", Format(fmt, 0.0, 0.0), false);
    from_transducer(in.CursorX, in.CursorY, r, b);
    set(out.Tar, "Tar:", Format(fmt, r, b), false);
    set(out.Diff, "Diff:", Format(fmt, r, b), false);
  } else {
    from_transducer(in.OriginX, in.OriginY, r, b);
    set(out.Org, "Org:", Format(fmt, r, b), false);
    from_transducer(in.CursorX, in.CursorY, r, b);
    set(out.Tar, "Tar:", Format(fmt, r, b), false);
    double d = 0;
    const double db = ShownBearing(ScreenBearing(in.CursorX - in.OriginX, in.CursorY - in.OriginY, &d),
                                   in.GridMode, in.Train);
    set(out.Diff, "Diff:", Format(fmt, limit(d * mpp * unit), db), false);
  }
  return out;
}

WindowPoint ClampZoomCenter(int cursor_x, int cursor_y) {
  return {std::clamp(cursor_x, 4 + 39, 598 - 39), std::clamp(cursor_y, 4 + 39, 508 - 39)};
}
