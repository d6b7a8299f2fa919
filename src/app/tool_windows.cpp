#include "tool_windows.h"

#include <QCloseEvent>
#include <QPainter>
#include <cmath>
#include <cstdio>

#include "link/azimuth_drive.h"
#include "link/head_scan.h"
#include "link/orientation_module.h"
#include "settings/app_state.h"

namespace {
std::string Fmt(const char* f, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, f, v);
  return buf;
}
}  // namespace

ToolWindow::ToolWindow(const char* title, QRect geometry, Painter painter, std::function<void()> on_close,
                       QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      painter_(std::move(painter)),
      on_close_(std::move(on_close)) {
  // A title and a close button only, so that the title fits the small window.
  setWindowTitle(title);
  QFont f("DejaVu Sans");
  f.setPixelSize(11);
  setFont(f);
  setGeometry(geometry);
  setFixedSize(geometry.size());  // not resizable: the window manager offers no maximise
}

void ToolWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(128, 128, 128));
  painter_(p, rect());
}

void ToolWindow::closeEvent(QCloseEvent* e) {
  hide();
  if (on_close_) on_close_();
  e->ignore();
}

std::vector<std::string> ScanWindowLines(const AppState& s) {
  std::vector<std::string> lines;
  char buf[64];
  std::snprintf(buf, sizeof buf, "Scanning ID: 0x%02X", s.ScanId.load());
  lines.push_back(s.HeadScanActive ? buf : "Scan stopped");
  const LinkShown shown = s.Shown();
  if (!shown.ScanReplyValid) {
    lines.push_back("No head answered yet");
    return lines;
  }
  std::snprintf(buf, sizeof buf, "Head ID: 0x%02X", s.AnsweredHeadId.load());
  lines.push_back(buf);
  std::span<const std::uint8_t, 64> nv(shown.ScanReply.data() + 12, 64);
  const HeadInfoTexts t = DecodeHeadInfo(nv);
  if (t.hasFields) {
    lines.push_back("EPROM Revision: " + t.EpromRevision);
    lines.push_back("Serial Number: " + t.SerialNumber);
    lines.push_back("Sensor Type: " + t.SensorType);
    lines.push_back("XDCR Type: " + t.XdcrType);
    lines.push_back("Depth Rating: " + t.DepthRating);
    lines.push_back("Gear Ratio: " + t.GearRatio);
    lines.push_back("Sample Rate: " + t.SampleRate);
    lines.push_back("Shot Count: " + t.ShotCount);
  }
  for (const NvRamRow& r : t.NvRam)
    lines.push_back(r.label + "  " + r.values[0] + " " + r.values[1] + " " + r.values[2] + " " + r.values[3]);
  return lines;
}

std::vector<std::string> AzimuthWindowLines(const AppState& s) {
  return {Fmt("%5.1f Deg", AzimuthDegreesShown(s.AzimuthPosition))};
}

std::vector<std::string> OrientationWindowLines(const AppState& s) {
  if (OrientationNotAvailable(s)) return {"Heading: n/a", "Pitch: n/a", "Roll: n/a"};
  return {"Heading: " + Fmt("%5.1f Deg", s.OrientationHeading), "Pitch: " + Fmt("%5.1f Deg", s.OrientationPitch),
          "Roll: " + Fmt("%5.1f Deg", s.OrientationRoll)};
}
