// SPDX-License-Identifier: GPL-3.0-or-later
#include "tool_windows/window_places.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
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

// The sonar picture's place in the main window's client area: a tool window may
// rather cover it than the panels, the menus or the texts under it.
const QRect kPicture(3, 3, 596, 506);

long long Overlap(const QRect& a, const QRect& b) {
  const QRect i = a & b;
  return i.isEmpty() ? 0 : static_cast<long long>(i.width()) * i.height();
}

// The place inside `area` where a frame of `size` hides the least: never another
// tool window if it can help it; of the main window its title and menu bar
// (`bars`) least of all, then the panels and the texts under the picture, the
// picture itself most readily. Among equal places the one nearest the main
// window's top right corner.
QRect LeastCovering(QSize size, const QRect& area, const QRect& main, const QRect& picture, const QRect& bars,
                    const std::vector<QRect>& taken) {
  constexpr int kStep = 8;
  auto steps = [](int from, int last) {
    std::vector<int> v;
    for (int p = from; p < last; p += kStep) v.push_back(p);
    v.push_back(std::max(from, last));
    return v;
  };
  QRect best(WindowPlaces::Inside(QRect(main.topRight(), size), area), size);
  long long best_cost = -1, best_distance = 0;
  for (int y : steps(area.top(), area.bottom() + 1 - size.height())) {
    for (int x : steps(area.left(), area.right() + 1 - size.width())) {
      const QRect r(QPoint(x, y), size);
      long long cost = 4 * Overlap(r, main) - 3 * Overlap(r, picture & main) + 4 * Overlap(r, bars);
      for (const QRect& t : taken) cost += 100 * Overlap(r, t);
      const long long distance = (r.topLeft() - main.topRight()).manhattanLength();
      if (best_cost < 0 || cost < best_cost || (cost == best_cost && distance < best_distance)) {
        best = r;
        best_cost = cost;
        best_distance = distance;
      }
    }
  }
  return best;
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
    std::vector<QRect> taken;
    for (const QWidget* other : tracked_) {
      if (other == window || !other->isVisible()) continue;
      QRect t = other->frameGeometry();
      if (t.size() == other->size()) t.setSize(other->size() + (owner->frameGeometry().size() - owner->size()));
      taken.push_back(t);
    }
    const bool clash = std::any_of(taken.begin(), taken.end(), [&](const QRect& t) { return t.intersects(candidate); });
    if (!area.contains(candidate) || candidate.intersects(main) || clash) {
      // No room beside the window on this screen: where it hides the least.
      const auto* main_window = qobject_cast<const QMainWindow*>(owner);
      const QWidget* client = main_window && main_window->centralWidget() ? main_window->centralWidget() : owner;
      const QRect picture(client->mapToGlobal(kPicture.topLeft()), kPicture.size());
      const QRect bars(main.topLeft(), QPoint(main.right(), client->mapToGlobal(QPoint(0, 0)).y() - 1));
      candidate = LeastCovering(frame, area, main, picture, bars, taken);
    }
    at = Inside(candidate, area);
  }
  window->move(at);
  placed_[title] = true;
  places_[title] = at;
}
