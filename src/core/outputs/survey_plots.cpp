// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputs/survey_plots.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kWidth = 900, kHeight = 640;
constexpr int kLeft = 90, kRight = 40, kTop = 78, kBottom = 66;
constexpr int kColourBarWidth = 110;  // room kept right of an azimuth plan

std::string Fmt(const char* format, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// Text safe inside SVG elements and attributes.
std::string Escaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F) out += c;
    }
  }
  return out;
}

// A label for a tick value at the step used: as many decimals as the step needs.
std::string TickLabel(double v, double step) {
  int decimals = 0;
  while (decimals < 6 && std::fabs(step * std::pow(10.0, decimals) - std::round(step * std::pow(10.0, decimals))) > 1e-6)
    ++decimals;
  if (std::fabs(v) < step * 1e-9) v = 0;
  char format[16];
  std::snprintf(format, sizeof format, "%%.%df", decimals);
  return Fmt(format, v);
}

// Blue (low) through cyan, green and yellow to red (high), t in 0..1.
std::string ColourAt(double t) {
  static constexpr double kStops[5][3] = {
      {49, 54, 149}, {69, 170, 215}, {90, 190, 90}, {250, 215, 60}, {215, 48, 39}};
  t = std::clamp(std::isfinite(t) ? t : 0.0, 0.0, 1.0) * 4.0;
  const int i = std::min(static_cast<int>(t), 3);
  const double f = t - i;
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", static_cast<int>(kStops[i][0] + f * (kStops[i + 1][0] - kStops[i][0])),
                static_cast<int>(kStops[i][1] + f * (kStops[i + 1][1] - kStops[i][1])),
                static_cast<int>(kStops[i][2] + f * (kStops[i + 1][2] - kStops[i][2])));
  return buf;
}

struct Axis {
  Ticks ticks;
  double pixel_low = 0, pixel_high = 1;  // pixels of ticks.Low and ticks.High
  double Map(double v) const {
    return pixel_low + (v - ticks.Low) / (ticks.High - ticks.Low) * (pixel_high - pixel_low);
  }
};

void Extent(const std::vector<SurveyPoint>& points, double SurveyPoint::*field, double& lo, double& hi) {
  lo = 1e300;
  hi = -1e300;
  for (const SurveyPoint& p : points) {
    lo = std::min(lo, p.*field);
    hi = std::max(hi, p.*field);
  }
}

// Widens the shorter of two ranges so that one unit is as long on both axes.
void EqualScale(double& xlo, double& xhi, double width, double& ylo, double& yhi, double height) {
  const double per_x = (xhi - xlo) / width, per_y = (yhi - ylo) / height;
  if (per_x > per_y) {
    const double grow = per_x * height - (yhi - ylo);
    ylo -= grow / 2;
    yhi += grow / 2;
  } else {
    const double grow = per_y * width - (xhi - xlo);
    xlo -= grow / 2;
    xhi += grow / 2;
  }
}

void AxesAndGrid(std::string& svg, const Axis& x, const Axis& y, const std::string& x_label,
                 const std::string& y_label) {
  const double left = std::min(x.pixel_low, x.pixel_high), right = std::max(x.pixel_low, x.pixel_high);
  const double top = std::min(y.pixel_low, y.pixel_high), bottom = std::max(y.pixel_low, y.pixel_high);
  svg += "<g stroke=\"#dddddd\" stroke-width=\"1\">\n";
  for (double v : x.ticks.Values)
    svg += "<line x1=\"" + Fmt("%.1f", x.Map(v)) + "\" y1=\"" + Fmt("%.1f", top) + "\" x2=\"" + Fmt("%.1f", x.Map(v)) +
           "\" y2=\"" + Fmt("%.1f", bottom) + "\"/>\n";
  for (double v : y.ticks.Values)
    svg += "<line x1=\"" + Fmt("%.1f", left) + "\" y1=\"" + Fmt("%.1f", y.Map(v)) + "\" x2=\"" + Fmt("%.1f", right) +
           "\" y2=\"" + Fmt("%.1f", y.Map(v)) + "\"/>\n";
  svg += "</g>\n";
  svg += "<rect x=\"" + Fmt("%.1f", left) + "\" y=\"" + Fmt("%.1f", top) + "\" width=\"" + Fmt("%.1f", right - left) +
         "\" height=\"" + Fmt("%.1f", bottom - top) + "\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.2\"/>\n";
  svg += "<g font-family=\"sans-serif\" font-size=\"12\" fill=\"#000000\">\n";
  for (double v : x.ticks.Values) {
    const std::string px = Fmt("%.1f", x.Map(v));
    svg += "<line x1=\"" + px + "\" y1=\"" + Fmt("%.1f", bottom) + "\" x2=\"" + px + "\" y2=\"" +
           Fmt("%.1f", bottom + 6) + "\" stroke=\"#000000\"/>\n";
    svg += "<text x=\"" + px + "\" y=\"" + Fmt("%.1f", bottom + 20) + "\" text-anchor=\"middle\">" +
           TickLabel(v, x.ticks.Step) + "</text>\n";
  }
  for (double v : y.ticks.Values) {
    const std::string py = Fmt("%.1f", y.Map(v));
    svg += "<line x1=\"" + Fmt("%.1f", left - 6) + "\" y1=\"" + py + "\" x2=\"" + Fmt("%.1f", left) + "\" y2=\"" + py +
           "\" stroke=\"#000000\"/>\n";
    svg += "<text x=\"" + Fmt("%.1f", left - 9) + "\" y=\"" + py + "\" dy=\"4\" text-anchor=\"end\">" +
           TickLabel(v, y.ticks.Step) + "</text>\n";
  }
  svg += "<text x=\"" + Fmt("%.1f", (left + right) / 2) + "\" y=\"" + Fmt("%.1f", bottom + 44) +
         "\" text-anchor=\"middle\" font-size=\"14\">" + Escaped(x_label) + "</text>\n";
  svg += "<text transform=\"translate(" + Fmt("%.1f", left - 62) + "," + Fmt("%.1f", (top + bottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\" font-size=\"14\">" + Escaped(y_label) + "</text>\n";
  svg += "</g>\n";
}

}  // namespace

bool ReadXyzPoints(std::string_view text, std::vector<SurveyPoint>& points) {
  points.clear();
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find('\t') == std::string_view::npos) continue;  // header or sweep separator
    std::vector<std::string_view> fields;
    for (std::size_t from = 0;;) {
      const std::size_t tab = line.find('\t', from);
      fields.push_back(line.substr(from, tab == std::string_view::npos ? std::string_view::npos : tab - from));
      if (tab == std::string_view::npos) break;
      from = tab + 1;
    }
    if (fields.size() < 3) return false;
    double v[3];
    for (int k = 0; k < 3; ++k) {
      const std::string field(fields[fields.size() - 3 + static_cast<std::size_t>(k)]);
      char* parsed_end = nullptr;
      v[k] = std::strtod(field.c_str(), &parsed_end);
      if (parsed_end == field.c_str() || !std::isfinite(v[k])) return false;
      while (*parsed_end == ' ') ++parsed_end;
      if (*parsed_end != '\0') return false;
    }
    points.push_back({v[0], v[1], v[2]});
  }
  return true;
}

std::string PlyFile(const std::vector<SurveyPoint>& points, const std::string& comment) {
  std::string out = "ply\nformat binary_little_endian 1.0\n";
  if (!comment.empty()) out += "comment " + Escaped(comment) + "\n";
  out += "element vertex " + std::to_string(points.size()) + "\n";
  out += "property double x\nproperty double y\nproperty double z\nend_header\n";
  out.reserve(out.size() + points.size() * 24);
  for (const SurveyPoint& p : points) {
    for (double v : {p.X, p.Y, p.Z}) {
      std::uint64_t bits;
      std::memcpy(&bits, &v, sizeof bits);
      for (int k = 0; k < 8; ++k) out += static_cast<char>((bits >> (8 * k)) & 0xFF);
    }
  }
  return out;
}

Ticks RoundTicks(double lo, double hi, int wanted) {
  Ticks t;
  if (!std::isfinite(lo) || !std::isfinite(hi)) lo = 0, hi = 1;
  if (hi < lo) std::swap(lo, hi);
  if (hi - lo < 1e-9) {
    lo -= 0.5;
    hi += 0.5;
  }
  const double raw = (hi - lo) / std::max(wanted, 1);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power * 10;
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (power * m >= raw) {
      step = power * m;
      break;
    }
  t.Step = step;
  t.Low = std::floor(lo / step) * step;
  t.High = std::ceil(hi / step) * step;
  for (int i = 0;; ++i) {
    const double v = t.Low + i * step;
    if (v > t.High + step * 1e-6 || i > 1000) break;
    t.Values.push_back(v);
  }
  return t;
}

std::string SurveySvg(const std::vector<SurveyPoint>& points, const PlotInfo& info) {
  const std::string unit = info.Units == 1 ? "ft" : "m";
  const bool azimuth = info.Geometry == SurveyGeometry::kAzimuth;
  const bool vertical = info.Geometry == SurveyGeometry::kVertical;
  const double plot_left = kLeft, plot_right = kWidth - kRight - (azimuth ? kColourBarWidth : 0);
  const double plot_top = kTop, plot_bottom = kHeight - kBottom;
  const double width = plot_right - plot_left, height = plot_bottom - plot_top;
  const bool depth_down = info.ZeroDown != 0;
  const double dredge = depth_down ? info.Elevation + info.DredgeDepth : info.Elevation - info.DredgeDepth;

  // The drawn quantities: across and up the page.
  double xlo, xhi, ylo, yhi;
  if (points.empty()) {
    xlo = -1, xhi = 1, ylo = -1, yhi = 1;
  } else {
    Extent(points, &SurveyPoint::X, xlo, xhi);
    Extent(points, vertical ? &SurveyPoint::Z : &SurveyPoint::Y, ylo, yhi);
  }
  // The sonar is in the picture too: at its offset and elevation in a section, at
  // its offsets in a borehole plan, at the origin of an azimuth plan.
  const double sonar_x = azimuth ? 0.0 : info.XOffset;
  const double sonar_y = vertical ? info.Elevation : azimuth ? 0.0 : info.Chainage;
  if (points.empty()) xlo = xhi = sonar_x, ylo = yhi = sonar_y;
  xlo = std::min(xlo, sonar_x);
  xhi = std::max(xhi, sonar_x);
  ylo = std::min(ylo, sonar_y);
  yhi = std::max(yhi, sonar_y);
  if (vertical) {
    if (info.DredgeDepth != 0) {
      ylo = std::min(ylo, dredge);
      yhi = std::max(yhi, dredge);
    }
  }
  // A margin of a twentieth round the points.
  const double mx = std::max((xhi - xlo) * 0.05, 0.5), my = std::max((yhi - ylo) * 0.05, 0.5);
  xlo -= mx, xhi += mx, ylo -= my, yhi += my;
  if (!vertical) EqualScale(xlo, xhi, width, ylo, yhi, height);

  Axis x{RoundTicks(xlo, xhi, 8), plot_left, plot_right};
  Axis y{RoundTicks(ylo, yhi, 7), 0, 0};
  // Depths grow down the page, elevations and plan Y up.
  if (vertical && depth_down) {
    y.pixel_low = plot_top;
    y.pixel_high = plot_bottom;
  } else {
    y.pixel_low = plot_bottom;
    y.pixel_high = plot_top;
  }
  if (!vertical) {
    // Keep one scale on both axes after rounding the ticks outward.
    const double per_x = (x.ticks.High - x.ticks.Low) / width, per_y = (y.ticks.High - y.ticks.Low) / height;
    const double per = std::max(per_x, per_y);
    const double xspan = (x.ticks.High - x.ticks.Low) / per, yspan = (y.ticks.High - y.ticks.Low) / per;
    x.pixel_low = plot_left + (width - xspan) / 2;
    x.pixel_high = x.pixel_low + xspan;
    y.pixel_low = plot_bottom - (height - yspan) / 2;
    y.pixel_high = y.pixel_low - yspan;
  }

  std::string title, x_label, y_label;
  if (vertical) {
    title = "Cross-section at chainage " + Fmt("%.2f", info.Chainage) + " " + unit;
    x_label = "Offset across (" + unit + ")";
    y_label = std::string(depth_down ? "Depth" : "Elevation") + " (" + unit + ")";
  } else if (info.Geometry == SurveyGeometry::kHorizontal) {
    title = "Borehole section in plan at elevation " + Fmt("%.2f", info.Elevation) + " " + unit + ", chainage " +
            Fmt("%.2f", info.Chainage) + " " + unit;
    x_label = "X (" + unit + ")";
    y_label = "Y (" + unit + ")";
  } else {
    title = "Auto-azimuth plan, chainage " + Fmt("%.2f", info.Chainage) + " " + unit;
    x_label = "X (" + unit + ")";
    y_label = "Y (" + unit + ")";
  }
  if (!info.DateText.empty()) title += ", " + info.DateText;

  std::string svg;
  svg.reserve(4096 + points.size() * 80);
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kWidth) + "\" height=\"" +
         std::to_string(kHeight) + "\" viewBox=\"0 0 " + std::to_string(kWidth) + " " + std::to_string(kHeight) +
         "\">\n";
  svg += "<title>" + Escaped(title) + "</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  svg += "<text x=\"" + std::to_string(kWidth / 2) +
         "\" y=\"28\" text-anchor=\"middle\" font-family=\"sans-serif\" font-size=\"18\" font-weight=\"bold\">" +
         Escaped(title) + "</text>\n";
  svg += "<text x=\"" + std::to_string(kWidth / 2) +
         "\" y=\"50\" text-anchor=\"middle\" font-family=\"sans-serif\" font-size=\"12\" fill=\"#444444\">" +
         Escaped(info.FileName + (info.FileName.empty() ? "" : ", ") + std::to_string(points.size()) + " points" +
                 (info.NoEchoPoints > 0 ? ", " + std::to_string(info.NoEchoPoints) +
                                              (info.NoEchoPoints == 1 ? " point" : " points") +
                                              " without an echo left out"
                                        : std::string())) +
         "</text>\n";
  AxesAndGrid(svg, x, y, x_label, y_label);

  double zlo = 0, zhi = 1;
  if (azimuth && !points.empty()) Extent(points, &SurveyPoint::Z, zlo, zhi);
  const Ticks zt = RoundTicks(zlo, zhi, 6);

  if (vertical && info.DredgeDepth != 0) {
    const std::string py = Fmt("%.1f", y.Map(dredge));
    svg += "<line x1=\"" + Fmt("%.1f", plot_left) + "\" y1=\"" + py + "\" x2=\"" + Fmt("%.1f", plot_right) +
           "\" y2=\"" + py + "\" stroke=\"#c03020\" stroke-width=\"1.5\" stroke-dasharray=\"8 5\"/>\n";
    svg += "<text x=\"" + Fmt("%.1f", plot_right - 4) + "\" y=\"" + py +
           "\" dy=\"-5\" text-anchor=\"end\" font-family=\"sans-serif\" font-size=\"12\" fill=\"#c03020\">Dredge line " +
           Fmt("%.2f", dredge) + " " + unit + "</text>\n";
  }
  svg += "<g fill=\"none\" stroke=\"#000000\" stroke-width=\"1.2\"><circle cx=\"" + Fmt("%.1f", x.Map(sonar_x)) +
         "\" cy=\"" + Fmt("%.1f", y.Map(sonar_y)) + "\" r=\"5\"/></g>\n";
  svg += "<text x=\"" + Fmt("%.1f", x.Map(sonar_x) + 8) + "\" y=\"" + Fmt("%.1f", y.Map(sonar_y)) +
         "\" dy=\"-6\" font-family=\"sans-serif\" font-size=\"12\">Sonar</text>\n";

  svg += "<g stroke=\"none\">\n";
  if (vertical && points.size() > 1) {
    // The section line through the points in the order of the sweep.
    svg += "<polyline fill=\"none\" stroke=\"#2060a0\" stroke-width=\"1\" points=\"";
    for (const SurveyPoint& p : points) svg += Fmt("%.1f", x.Map(p.X)) + "," + Fmt("%.1f", y.Map(p.Z)) + " ";
    svg += "\"/>\n";
  }
  for (const SurveyPoint& p : points) {
    const double py = vertical ? y.Map(p.Z) : y.Map(p.Y);
    const std::string fill =
        azimuth ? ColourAt((p.Z - zt.Low) / (zt.High - zt.Low)) : std::string(vertical ? "#103870" : "#1a7a40");
    svg += "<circle cx=\"" + Fmt("%.1f", x.Map(p.X)) + "\" cy=\"" + Fmt("%.1f", py) + "\" r=\"2\" fill=\"" + fill +
           "\"/>\n";
  }
  svg += "</g>\n";

  if (azimuth) {
    // The colour bar: elevations (or depths) of the points.
    const double bx = kWidth - kRight - kColourBarWidth + 30, bw = 18;
    const int steps = 40;
    for (int i = 0; i < steps; ++i) {
      const double t0 = static_cast<double>(i) / steps;
      const double y0 = plot_bottom - (i + 1) * height / steps;
      svg += "<rect x=\"" + Fmt("%.1f", bx) + "\" y=\"" + Fmt("%.1f", y0) + "\" width=\"" + Fmt("%.1f", bw) +
             "\" height=\"" + Fmt("%.1f", height / steps + 0.5) + "\" fill=\"" + ColourAt(t0 + 0.5 / steps) +
             "\"/>\n";
    }
    svg += "<rect x=\"" + Fmt("%.1f", bx) + "\" y=\"" + Fmt("%.1f", plot_top) + "\" width=\"" + Fmt("%.1f", bw) +
           "\" height=\"" + Fmt("%.1f", height) + "\" fill=\"none\" stroke=\"#000000\"/>\n";
    svg += "<g font-family=\"sans-serif\" font-size=\"12\">\n";
    for (double v : zt.Values) {
      const double py = plot_bottom - (v - zt.Low) / (zt.High - zt.Low) * height;
      svg += "<line x1=\"" + Fmt("%.1f", bx + bw) + "\" y1=\"" + Fmt("%.1f", py) + "\" x2=\"" + Fmt("%.1f", bx + bw + 5) +
             "\" y2=\"" + Fmt("%.1f", py) + "\" stroke=\"#000000\"/>\n";
      svg += "<text x=\"" + Fmt("%.1f", bx + bw + 8) + "\" y=\"" + Fmt("%.1f", py) + "\" dy=\"4\">" +
             TickLabel(v, zt.Step) + "</text>\n";
    }
    svg += "<text transform=\"translate(" + Fmt("%.1f", bx - 8) + "," + Fmt("%.1f", (plot_top + plot_bottom) / 2) +
           ") rotate(-90)\" text-anchor=\"middle\" font-size=\"14\">" +
           std::string(depth_down ? "Depth" : "Elevation") + " Z (" + unit + ")</text>\n";
    svg += "</g>\n";
  }
  svg += "</svg>\n";
  return svg;
}
