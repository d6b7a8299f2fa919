// SPDX-License-Identifier: GPL-3.0-or-later
#include "window_places.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "settings/ini_file.h"

namespace {

constexpr const char* kSection = "Window Positions";
constexpr int kGap = 4;

std::string Title(const QWidget* w) { return w->windowTitle().toStdString(); }

// "Diagnostics" -> "DiagnosticsX"; spaces are left out of the key name.
std::string Key(const std::string& title, char axis) {
  std::string k;
  for (char c : title)
    if (c != ' ') k += c;
  return k + axis;
}

bool ParseInt(const std::string& s, int& out) {
  try {
    std::size_t used = 0;
    const int v = std::stoi(s, &used);
    if (used == 0) return false;
    out = v;
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

void WindowPlaces::Load(const std::string& ini_path) {
  IniFile ini;
  if (!IniFile::Load(ini_path, ini)) return;
  for (const char* title : {"Diagnostics", "Scan For Connected Heads", "Azimuth", "Orientation"}) {
    int x = 0, y = 0;
    const auto kx = ini.Get(kSection, Key(title, 'X'));
    const auto ky = ini.Get(kSection, Key(title, 'Y'));
    if (kx && ky && ParseInt(*kx, x) && ParseInt(*ky, y)) places_[title] = QPoint(x, y);
  }
}

bool WindowPlaces::Save(const std::string& ini_path, std::string* error) const {
  if (places_.empty()) return true;
  IniFile ini;
  if (!IniFile::Load(ini_path, ini, nullptr, error)) return false;
  for (const auto& [title, p] : places_) {
    ini.Set(kSection, Key(title, 'X'), std::to_string(p.x()));
    ini.Set(kSection, Key(title, 'Y'), std::to_string(p.y()));
  }
  return ini.Save(ini_path, error);
}

void WindowPlaces::Track(QWidget* window) {
  window->installEventFilter(this);
  tracked_.push_back(window);
}

bool WindowPlaces::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Move) {
    auto* w = static_cast<QWidget*>(watched);
    // Only moves of a shown window that has been placed are the user's.
    if (w->isVisible() && placed_[Title(w)]) places_[Title(w)] = w->frameGeometry().topLeft();
  }
  return QObject::eventFilter(watched, event);
}

bool WindowPlaces::SystemPlacesWindows() { return QGuiApplication::platformName() != "offscreen"; }

QPoint WindowPlaces::Inside(const QRect& frame, const QRect& area) {
  int x = frame.x(), y = frame.y();
  x = std::min(x, area.right() + 1 - frame.width());
  y = std::min(y, area.bottom() + 1 - frame.height());
  x = std::max(x, area.left());
  y = std::max(y, area.top());
  return {x, y};
}

QPoint WindowPlaces::Beside(const QRect& owner, QSize size, const QRect& area) {
  const int y = owner.top();
  QRect right(QPoint(owner.right() + 1 + kGap, y), size);
  if (right.right() <= area.right()) return Inside(right, area);
  QRect left(QPoint(owner.left() - kGap - size.width(), y), size);
  if (left.left() >= area.left()) return Inside(left, area);
  return Inside(right, area);
}

void WindowPlaces::Place(QWidget* window, const QWidget* owner) {
  const std::string title = Title(window);
  const QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  // The frame adds the title bar and borders where a window manager draws them;
  // before the first show their size is not known: take the main window's.
  QSize frame = window->frameGeometry().size();
  if (!window->isVisible() || frame == window->size())
    frame = window->size() + (owner->frameGeometry().size() - owner->size());
  QPoint at;
  if (auto it = places_.find(title); it != places_.end()) {
    at = Inside(QRect(it->second, frame), area);
  } else {
    // Down the side of the main window, below the tool windows already open there;
    // when that side is full, down the other side.
    const QRect main = owner->frameGeometry();
    auto stack = [&](QRect candidate) {
      for (int tries = 0; tries < 8; ++tries) {
        bool clash = false;
        for (const QWidget* other : tracked_) {
          if (other == window || !other->isVisible()) continue;
          // A window just shown has no frame yet: allow for the main window's.
          QRect taken = other->frameGeometry();
          if (taken.size() == other->size()) taken.setSize(other->size() + (owner->frameGeometry().size() - owner->size()));
          if (!taken.intersects(candidate)) continue;
          candidate.moveTop(taken.bottom() + 1 + kGap);
          clash = true;
        }
        if (!clash) break;
      }
      return candidate;
    };
    QRect candidate = stack(QRect(Beside(main, frame, area), frame));
    if (candidate.bottom() > area.bottom()) {
      const QRect other_side(QPoint(main.left() - kGap - frame.width(), main.top()), frame);
      const QRect right_side(QPoint(main.right() + 1 + kGap, main.top()), frame);
      const QRect second = stack(candidate.left() > main.left() ? other_side : right_side);
      if (area.contains(second)) candidate = second;
    }
    at = Inside(candidate, area);
  }
  window->move(at);
  placed_[title] = true;
  places_[title] = at;
}
