// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/tool_window_set.h"

#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <memory>
#include <utility>

#include "app_state.h"
#include "dialogs/config_dialogs.h"
#include "tool_windows/diagnostics_window.h"
#include "window/client_area.h"
#include "files/file_texts.h"
#include "link/head_scan.h"
#include "dialogs/prompts.h"
#include "window/menu_bar.h"
#include "window/shell_state.h"
#include "dialogs/setup_dialogs.h"
#include "tool_windows/tool_windows.h"
#include "tool_windows/window_places.h"

namespace {

// Keys typed while a tool window is the active one go to the main window's
// picture: the one-key commands (H, space, C, R, G) reach the sonar whichever
// window was clicked last, as if the small windows never took the keyboard.
class KeysToMainWindow : public QObject {
 public:
  KeysToMainWindow(QWidget* target, QObject* parent) : QObject(parent), target_(target) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
      QCoreApplication::sendEvent(target_, event);
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QWidget* target_;
};

}  // namespace

ToolWindowSet::ToolWindowSet(AppState& state, ShellState& shell, MenuBar& menu, Prompts& prompts, QWidget& window,
                             Links links)
    : state_(state), shell_(shell), menu_(menu), prompts_(prompts), window_(window), links_(std::move(links)) {}

void ToolWindowSet::Create(DiagnosticsWindow* diagnostics, const std::string& settings_path) {
  diagnostics_ = diagnostics;
  AppState& state = state_;
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
        shell_.HeadScanShown = 0;
        menu_.Check(cmd::kHeadScan, false);
        links_.clear_status();
      },
      &window_);
  auto add_scan_button = [this, &state, buttons_left](const char* text, int y, bool program) {
    auto* b = new QPushButton(text, scan_);
    b->setGeometry(buttons_left, y, 128, 24);
    QObject::connect(b, &QPushButton::clicked, &window_, [this, &state, b, program] {
      b->setDown(true);
      HeadIdDialog d(state, program, &window_);
      links_.run_dialog(d);
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
  QObject::connect(auto_azimuth, &QPushButton::clicked, &window_, [this] { links_.command(cmd::kAutoAzimuth); });
  orientation_ = new ToolWindow(
      "Orientation", QRect(10, 399, 170, 170),
      [&state](QPainter& p, const QRect& r) { PaintOrientationWindow(p, r, state); },
      [this, &state] {
        state.EnableOrientationModule = 0;
        shell_.OrientationShown = 0;
        state.OrientationWindowShown = false;
        menu_.SetText(cmd::kOrientationModule, "Enable &Orientation Module");
      },
      &window_);
  places_ = new WindowPlaces(&window_);
  places_->Load(settings_path);
  auto* keys = new KeysToMainWindow(window_.findChild<ClientArea*>(), &window_);
  for (QWidget* w : Widgets()) {
    places_->Track(w);
    w->installEventFilter(keys);
    // Their buttons take clicks, not the keyboard (space would press them).
    for (QPushButton* b : w->findChildren<QPushButton*>()) b->setFocusPolicy(Qt::NoFocus);
  }
}

void ToolWindowSet::ChangeAzimuth() {
  AppState& state = state_;
  std::unique_ptr<ValueDialog> d(MakeAzimuthDialog(state, prompts_, &window_));
  links_.run_dialog(*d);
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
