// SPDX-License-Identifier: GPL-3.0-or-later
// The "Diagnostics" tool window: the last sonar and azimuth replies, link timing,
// serial error state, orientation and profile offsets, twenty labelled rows.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

struct AppState;
struct ShellState;

// One row: label, sonar head value, azimuth drive value (empty when not drawn).
struct DiagnosticsRow {
  std::string label;
  std::string head;
  std::string azimuth;
};

// The twenty rows for the current state.
std::vector<DiagnosticsRow> DiagnosticsRows(const AppState& state, int delay_count);

class DiagnosticsWindow : public QWidget {
  Q_OBJECT
 public:
  DiagnosticsWindow(AppState& state, ShellState& shell, QWidget* owner);
  void FitWidth();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  AppState& state_;
  ShellState& shell_;
};
