#include "diagnostics_window.h"

#include <QCloseEvent>
#include <QPainter>
#include <cstdio>

#include "settings/app_state.h"
#include "shell_state.h"

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
  const bool az = s.AzimuthDriveEnable == 1;
  // Rows 0..7: the last sonar reply; none decoded yet in this build's state.
  for (int i = 0; i < 8; ++i) {
    rows[i].head = "n/a";
    if (az) rows[i].azimuth = "n/a";
  }
  rows[8].head = Fmt("%d ms", s.SendDelay.load());
  rows[9].head = Fmt("%d us", s.TxDelay.load() * 100);
  rows[10].head = Fmt("%d ms", s.SwitchDelay.load());
  rows[11].head = Fmt("%d", delay_count);
  rows[12].head = "";
  rows[13].head = Fmt("0x%04X - %d", 0, 0);
  rows[14].head = Fmt("% 3.1f deg", 0.0);
  rows[15].head = Fmt("% 3.1f deg", 0.0);
  rows[16].head = Fmt("% 3.1f deg (%3.1f)", 0.0, 0.0);
  const char* unit = s.Units == 1 ? "FT" : "M";
  rows[17].head = Fmt("% 3.1f ", s.ProfileXOffset.load()) + unit;
  rows[18].head = Fmt("% 3.1f ", s.ProfileChainage.load()) + unit;
  rows[19].head = Fmt("% 3.1f ", s.ProfileElevation.load()) + unit;
  return rows;
}

DiagnosticsWindow::DiagnosticsWindow(AppState& state, ShellState& shell, QWidget* owner)
    : QWidget(owner, Qt::Tool), state_(state), shell_(shell) {
  setWindowTitle("Diagnostics");
  QFont f("DejaVu Sans");
  f.setPixelSize(11);
  setFont(f);
  QFontMetrics fm(f);
  const int cw = fm.horizontalAdvance('X');
  resize(27 * cw + (state_.AzimuthDriveEnable == 1 ? 60 : 0), 22 * fm.height() + 3);
  move(10, 10);
}

void DiagnosticsWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(128, 128, 128));
  QFontMetrics fm(font());
  const int cw = fm.horizontalAdvance('X');
  const int lh = fm.height();
  const auto rows = DiagnosticsRows(state_, shell_.DelayCount);
  const int vx = 8 * cw + 15;
  for (int i = 0; i < 20; ++i) {
    const int y = 6 + i * lh;
    p.setPen(Qt::black);
    p.drawText(10, y + fm.ascent(), QString::fromStdString(rows[i].label));
    p.drawText(7 * cw + 12, y + fm.ascent(), "-");
    const QRect field(vx, y, 11 * cw, lh);
    p.fillRect(field, QColor(215, 215, 215));
    p.drawText(field.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(rows[i].head));
    if (!rows[i].azimuth.empty()) {
      const QRect az = field.translated(60 + 11 * cw - 60, 0);
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
