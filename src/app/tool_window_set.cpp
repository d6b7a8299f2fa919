// SPDX-License-Identifier: GPL-3.0-or-later
#include "tool_window_set.h"

#include <QDialog>
#include <QFontMetrics>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <memory>

#include "app_state.h"
#include "config_dialogs.h"
#include "diagnostics_window.h"
#include "files/file_texts.h"
#include "link/head_scan.h"
#include "main_window.h"
#include "menu_bar.h"
#include "setup_dialogs.h"
#include "tool_windows.h"
#include "window_places.h"

ToolWindowSet::ToolWindowSet(MainWindow& window) : window_(window) {}

void ToolWindowSet::Create(DiagnosticsWindow* diagnostics, const std::string& settings_path) {
  diagnostics_ = diagnostics;
  AppState& state = window_.State();
  // The scan window: its size from the character metrics, its two buttons at the
  // right, each drawn pressed while its dialog is open.
  const QSize scan_size = ScanWindowSize(QFontMetrics(ToolWindowFont()));
  const int buttons_left = scan_size.width() - 136;
  scan_ = new ToolWindow(
      "Scan For Connected Heads", QRect(QPoint(10, 10), scan_size),
      [&state, buttons_left](QPainter& p, const QRect& r) { PaintScanWindow(p, r, state, buttons_left); },
      [this, &state] {
        StopHeadScan(state);
        state.ScanWindowShown = false;
        window_.Shell().HeadScanShown = 0;
        window_.Menu().Check(cmd::kHeadScan, false);
        window_.SetStatusMessage("", 121, 121, 121);
      },
      &window_);
  auto add_scan_button = [this, &state, buttons_left](const char* text, int y, bool program) {
    auto* b = new QPushButton(text, scan_);
    b->setGeometry(buttons_left, y, 128, 24);
    QObject::connect(b, &QPushButton::clicked, &window_, [this, &state, b, program] {
      b->setDown(true);
      HeadIdDialog d(state, program, &window_);
      window_.RunDialog(d);
      b->setDown(false);
    });
  };
  add_scan_button("Change Head ID", 40, false);
  add_scan_button("Program Head", 72, true);
  azimuth_ = new ToolWindow(
      "Azimuth", QRect(450, 399, 170, 170),
      [&state](QPainter& p, const QRect& r) { PaintAzimuthWindow(p, r, state); },
      [&state] { state.AzimuthWindow = 0; }, &window_);
  auto* change = new QPushButton("Change Azimuth", azimuth_);
  change->setGeometry(4, 4, 162, 20);
  QObject::connect(change, &QPushButton::clicked, &window_, [this] { ChangeAzimuth(); });
  auto* auto_azimuth = new QPushButton("Auto-Azimuth", azimuth_);
  auto_azimuth->setGeometry(4, 26, 162, 20);
  QObject::connect(auto_azimuth, &QPushButton::clicked, &window_, [this] { window_.OnCommand(cmd::kAutoAzimuth); });
  orientation_ = new ToolWindow(
      "Orientation", QRect(10, 399, 170, 170),
      [&state](QPainter& p, const QRect& r) { PaintOrientationWindow(p, r, state); },
      [this, &state] {
        state.EnableOrientationModule = 0;
        window_.Shell().OrientationShown = 0;
        state.OrientationWindowShown = false;
        window_.Menu().SetText(cmd::kOrientationModule, "Enable &Orientation Module");
      },
      &window_);
  places_ = new WindowPlaces(&window_);
  places_->Load(settings_path);
  for (QWidget* w : Widgets()) places_->Track(w);
}

void ToolWindowSet::ChangeAzimuth() {
  AppState& state = window_.State();
  std::unique_ptr<ValueDialog> d(MakeAzimuthDialog(state, window_.GetPrompts(), &window_));
  window_.RunDialog(*d);
  if (d->result() == QDialog::Accepted && state.RunMode == 0) state.AzimuthMoveRequest = true;
  Changed(1);
}

ToolWindow* ToolWindowSet::Tool(int which) const {
  return which == 0 ? scan_ : (which == 1 ? azimuth_ : orientation_);
}

void ToolWindowSet::Changed(int which) {
  if (ToolWindow* w = Tool(which); w && w->isVisible()) w->update();
}

std::vector<QWidget*> ToolWindowSet::Widgets() const {
  return {diagnostics_, scan_, azimuth_, orientation_};
}

void ToolWindowSet::Show(QWidget* w) {
  if (!w->isVisible()) {
    // Beside the main window needs to know where the window system put it: until
    // the main window is on the screen, tool windows wait for it (a few seconds at
    // most, then they open anyway).
    QWindow* handle = window_.windowHandle();
    const bool placed_by_system = WindowPlaces::SystemPlacesWindows();
    if (placed_by_system && window_.isVisible() && handle && !handle->isExposed() && wait_ticks_ < 200) {
      const bool first = waiting_.empty();
      if (std::find(waiting_.begin(), waiting_.end(), w) == waiting_.end()) waiting_.push_back(w);
      if (first) {
        ++wait_ticks_;
        QTimer::singleShot(100, &window_, [this] { ShowWaiting(); });
      }
      return;
    }
    places_->Place(w, &window_);
  }
  w->show();
  w->raise();
  w->update();
}

void ToolWindowSet::ShowWaiting() {
  std::vector<QWidget*> waiting;
  waiting.swap(waiting_);
  for (QWidget* w : waiting) Show(w);
}

bool ToolWindowSet::SavePlaces(const std::string& settings_path, std::string* error) const {
  return places_->Save(settings_path, error);
}
