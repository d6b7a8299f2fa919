// SPDX-License-Identifier: GPL-3.0-or-later
#include "tool_windows/tool_windows.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "link/azimuth_drive.h"
#include "link/head_scan.h"
#include "link/orientation_module.h"
#include "app_state.h"

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
  setFont(ToolWindowFont());
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

QFont ToolWindowFont() {
  QFont f("DejaVu Sans");
  f.setPixelSize(11);
  return f;
}

QSize ScanWindowSize(const QFontMetrics& fm) {
  return {64 * fm.horizontalAdvance('X') + 8, 30 * fm.height() + 14};
}

void PaintScanWindow(QPainter& p, const QRect& r, AppState& s, int buttons_left) {
  const QFontMetrics fm = p.fontMetrics();
  const int lh = fm.height();
  p.setPen(Qt::black);
  int y = 6;
  p.drawText(8, y + fm.ascent(), QString::asprintf("ComStatus: 0x%08X", s.CommErrorFlags.load()));
  y += lh + 4;
  // The ID being tested, and the ID that answered last (its mark moves with it).
  const LinkShown shown = s.Shown();
  if (shown.ScanReplyValid) s.ShownAnsweredHeadId = s.AnsweredHeadId.load();
  const int box = std::max(fm.horizontalAdvance("16") + 8, (buttons_left - 16) / 16);
  for (int i = 0; i < 16; ++i) {
    const QRect b(8 + i * box, y, box - 2, lh + 4);
    const int id = 0x10 + i;
    QColor fill(215, 215, 215);
    if (s.HeadScanActive && s.ScanId == id) fill = QColor(255, 255, 0);
    if (shown.ScanReplyValid && s.ShownAnsweredHeadId == id) fill = QColor(0, 200, 0);
    p.fillRect(b, fill);
    p.setPen(QColor(64, 64, 64));
    p.drawRect(b.adjusted(0, 0, -1, -1));
    p.setPen(Qt::black);
    p.drawText(b, Qt::AlignCenter, QString::number(i + 1));
  }
  y += lh + 12;
  const std::vector<std::string> lines = ScanWindowLines(s);
  p.save();
  p.setClipRect(QRect(0, y, buttons_left - 4, r.height() - y));
  for (const std::string& l : lines) {
    p.drawText(8, y + fm.ascent(), QString::fromStdString(l));
    y += lh;
  }
  p.restore();
}

void PaintAzimuthWindow(QPainter& p, const QRect& r, const AppState& s) {
  const QPoint c(r.width() / 2, r.height() / 2 + 14);  // below the two buttons
  const int radius = 36;
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::black);
  p.drawEllipse(c, radius, radius);
  const double a = AzimuthDegreesShown(s.AzimuthPosition) * M_PI / 180.0;
  p.setPen(QPen(QColor(255, 0, 0), 2));
  p.drawLine(c, c + QPoint(static_cast<int>(radius * std::sin(a)), static_cast<int>(-radius * std::cos(a))));
  const bool at_target = s.RunMode == 0 && s.AzimuthPosition == s.AzimuthAngle;
  p.setPen(at_target ? Qt::white : QColor(200, 200, 200));
  p.drawText(QRect(0, r.height() - 22, r.width(), 20), Qt::AlignCenter,
             QString::fromStdString(AzimuthWindowLines(s).front()));
}

void PaintOrientationWindow(QPainter& p, const QRect& r, const AppState& s) {
  const bool na = OrientationNotAvailable(s);
  const double values[3] = {s.OrientationHeading, s.OrientationPitch, s.OrientationRoll};
  const char* const names[3] = {"Heading", "Pitch", "Roll"};
  const int w = r.width() / 3;
  const int radius = std::min(w / 2 - 4, 24);
  const QFontMetrics fm = p.fontMetrics();
  p.setRenderHint(QPainter::Antialiasing);
  for (int i = 0; i < 3; ++i) {
    const int cx = w * i + w / 2;
    p.setPen(Qt::black);
    p.drawText(QRect(w * i, 8, w, fm.height()), Qt::AlignCenter, names[i]);
    const QPoint c(cx, 8 + fm.height() + 6 + radius);
    p.setBrush(QColor(215, 215, 215));
    p.drawEllipse(c, radius, radius);
    p.setBrush(Qt::NoBrush);
    if (!na) {
      // Heading turns clockwise from the top; pitch and roll tilt a level line.
      p.setPen(QPen(QColor(255, 0, 0), 2));
      const double a = values[i] * M_PI / 180.0;
      if (i == 0) {
        p.drawLine(c, c + QPoint(static_cast<int>(radius * std::sin(a)), static_cast<int>(-radius * std::cos(a))));
      } else {
        const QPoint d(static_cast<int>(radius * std::cos(a)), static_cast<int>(radius * std::sin(a)));
        p.drawLine(c - d, c + d);
      }
    }
    p.setPen(Qt::black);
    const QString v = na ? QString("n/a") : QString::fromStdString(Fmt("%5.1f Deg", values[i]));
    p.drawText(QRect(w * i, c.y() + radius + 6, w, fm.height()), Qt::AlignCenter, v.trimmed());
  }
}
