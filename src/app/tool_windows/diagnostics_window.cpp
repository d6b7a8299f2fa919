// SPDX-License-Identifier: GPL-3.0-or-later
#include "tool_windows/diagnostics_window.h"

#include <algorithm>

#include <QCloseEvent>
#include <QPainter>
#include <cstdio>

#include "app_state.h"
#include "link/link_state.h"
#include "window/shell_state.h"

namespace {
std::string Fmt(const char* f, auto... v) {
  char buf[96];
  std::snprintf(buf, sizeof buf, f, v...);
  return buf;
}
}  // namespace

std::vector<DiagnosticsRow> DiagnosticsRows(const AppState& s, int delay_count) {
  static const char* const kLabels[20] = {
      "Header", "Head ID", "Serial Stat", "Head Pos", "Range", "Profile", "Data Bytes",
      "Term", "Send Delay", "Tx Delay", "Switch Delay", "Delay Count", "Rep Rate", "Serial Rxd",
      "Pitch", "Roll", "Heading", "X - Offset", "Y - Offset", "Z - Offset"};
  std::vector<DiagnosticsRow> rows(20);
  for (int i = 0; i < 20; ++i) rows[i].label = kLabels[i];
  const LinkShown shown = s.Shown();
  const PingData& p = shown.Ping;
  const bool feet = s.Units == 1;
  if (p.Decoded) {
    const auto& h = p.ReplyHeader;
    rows[0].head = Fmt("%c%c%c", h[0], h[1], h[2]);
    rows[1].head = Fmt("0x%02X", p.ReplyHeadId);
    rows[2].head = Fmt("0x%02X", p.HeadStatus) + ((p.HeadStatus & 0x02) ? "CHIRP" : "");
    rows[3].head = Fmt("%d", p.HeadPosition);
    rows[4].head = feet ? Fmt("%d FT", 3 * p.RangeMetres) : Fmt("%d M", p.RangeMetres);
    rows[5].head = Fmt("%d", p.ProfileRangeCode);
    rows[6].head = Fmt("%d", p.DataByteCount);
    rows[7].head = Fmt("0x%02X", p.Termination);
  } else {
    for (int i = 0; i < 8; ++i) rows[i].head = "n/a";
  }
  // The azimuth drive column, only while the drive is enabled.
  if (s.AzimuthDriveEnable == 1) {
    const AzimuthReplyCopy& a = shown.Azimuth;
    if (a.Decoded) {
      rows[0].azimuth = Fmt("%c%c%c", a.Header[0], a.Header[1], a.Header[2]) + (a.TiltPresent ? " - MRK II" : " - MRK I");
      rows[1].azimuth = Fmt("0x%02X", a.Id);
      rows[2].azimuth = Fmt("0x%02X", a.Status);
      rows[3].azimuth = Fmt("%d", a.Position);
      rows[4].azimuth = "---";
      rows[5].azimuth = "---";
      rows[6].azimuth = a.TiltPresent ? Fmt("%3.1f, %3.1f, %3.1f", a.Pitch, a.Roll, a.Heading) : "---";
      rows[7].azimuth = Fmt("0x%02X", a.Termination);
    } else {
      for (int i = 0; i < 8; ++i) rows[i].azimuth = "n/a";
    }
  }
  rows[8].head = Fmt("%d ms", s.SendDelay.load());
  rows[9].head = Fmt("%d us", s.TxDelay.load() * 100);
  rows[10].head = Fmt("%d ms", s.SwitchDelay.load());
  rows[11].head = Fmt("%d", delay_count);
  rows[12].head = p.RepRateText;
  rows[13].head = Fmt("0x%04X - %d", s.CommErrorFlags.load(), s.CommErrorQueued.load());
  rows[14].head = Fmt("% 3.1f deg", s.OrientationPitch.load());
  rows[15].head = Fmt("% 3.1f deg", s.OrientationRoll.load());
  rows[16].head = Fmt("% 3.1f deg (%3.1f)", s.OrientationHeading.load(), 0.0);
  const char* unit = feet ? "FT" : "M";
  // In playback the file's own units follow.
  const std::string file_units =
      (s.RunMode == 1 && s.PlaybackFileOpen) ? (s.PlaybackUnits == 1 ? "  (FT)" : "  (M)") : "";
  rows[17].head = Fmt("% 3.1f ", s.ProfileXOffset.load()) + unit + file_units;
  rows[18].head = Fmt("% 3.1f ", s.ProfileChainage.load()) + unit + file_units;
  rows[19].head = Fmt("% 3.1f ", s.ProfileElevation.load()) + unit + file_units;
  return rows;
}

DiagnosticsWindow::DiagnosticsWindow(AppState& state, ShellState& shell, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      state_(state),
      shell_(shell) {
  setWindowTitle("Diagnostics");
  QFont f("DejaVu Sans");
  f.setPixelSize(11);
  setFont(f);
  FitWidth();
}

namespace {

// Where the columns of the window sit for its font: the labels as wide as the
// widest of them, then the dash, the value field and the azimuth drive's column.
struct DiagnosticsColumns {
  int dash, value, value_w, azimuth, azimuth_w, width;
};

DiagnosticsColumns ColumnsFor(const QFontMetrics& fm, const std::vector<DiagnosticsRow>& rows, bool azimuth) {
  const int cw = fm.horizontalAdvance('X');
  int label_w = 0;
  for (const DiagnosticsRow& r : rows) label_w = std::max(label_w, fm.horizontalAdvance(QString::fromStdString(r.label)));
  DiagnosticsColumns c;
  c.dash = 10 + label_w + 6;
  c.value = c.dash + fm.horizontalAdvance('-') + 6;
  c.value_w = 13 * cw;
  c.azimuth = c.value + c.value_w + 4;
  c.azimuth_w = 13 * cw;
  c.width = (azimuth ? c.azimuth + c.azimuth_w : c.value + c.value_w) + 8;
  return c;
}

}  // namespace

void DiagnosticsWindow::FitWidth() {
  // Wide enough for every label and value; wider while the azimuth drive column is
  // shown.
  QFontMetrics fm(font());
  const DiagnosticsColumns c = ColumnsFor(fm, DiagnosticsRows(state_, shell_.DelayCount), state_.AzimuthDriveEnable == 1);
  setFixedSize(c.width, 20 * fm.height() + 12);
}

void DiagnosticsWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);

  p.fillRect(rect(), QColor(128, 128, 128));
  QFontMetrics fm(font());
  const int lh = fm.height();
  const auto rows = DiagnosticsRows(state_, shell_.DelayCount);
  const DiagnosticsColumns c = ColumnsFor(fm, rows, state_.AzimuthDriveEnable == 1);
  for (int i = 0; i < 20; ++i) {
    const int y = 6 + i * lh;
    p.setPen(Qt::black);
    p.drawText(10, y + fm.ascent(), QString::fromStdString(rows[i].label));
    p.drawText(c.dash, y + fm.ascent(), "-");
    const QRect field(c.value, y, c.value_w, lh);
    p.fillRect(field, QColor(215, 215, 215));
    const QString value = QString::fromStdString(rows[i].head);
    // The repetition rate is drawn only when it fits its field.
    if (i != 12 || fm.horizontalAdvance(value) <= field.width() - 2)
      p.drawText(field.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, value);
    if (!rows[i].azimuth.empty()) {
      const QRect az(c.azimuth, y, c.azimuth_w, lh);
      p.fillRect(az, QColor(215, 215, 215));
      p.drawText(az.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(rows[i].azimuth));
    }
  }
}

void DiagnosticsWindow::closeEvent(QCloseEvent* e) {
  shell_.DiagnosticsShown = 0;
  hide();
  e->ignore();
}
