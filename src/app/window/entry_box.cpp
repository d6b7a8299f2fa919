// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/entry_box.h"

#include <QPainter>
#include <cstdlib>
#include <utility>

#include "app_state.h"
#include "dialogs/prompts.h"
#include "window/layout.h"
#include "window/picture_view.h"
#include "window/window_surface.h"

namespace {

const char* const kRangeWarningMeters =
    "Please use one of the following ranges:\n 1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 60, 80, 100, 150, or 200 Meters    ";
const char* const kRangeWarningFeet =
    "Please use one of the following ranges:\n 3, 6, 9, 12, 15, 30, 60, 90, 120, 150, 180, 240, 300, 450, or 600 Feet    ";

}  // namespace

EntryBox::EntryBox(AppState& state, const Layout& layout, const PictureView& picture, Prompts& prompts,
                   WindowSurface& surface, Links links)
    : state_(state), layout_(layout), picture_(picture), prompts_(prompts), surface_(surface),
      links_(std::move(links)) {}

bool EntryBox::HandleChar(int ch) {
  const bool head = state_.RunMode == 0;
  const char c = static_cast<char>(ch);
  if ((c == 'R' || c == 'r' || c == 'G' || c == 'g') && head) {
    if (mode_ != 0) Close();
    mode_ = (c == 'R' || c == 'r') ? 1 : 2;
    Redraw();
    return true;
  }
  if (((c >= '0' && c <= '9') || c == '.') && mode_ != 0 && head) {
    if (typed_.size() < 3) typed_.push_back(c);
    Redraw();
    return true;
  }
  if (ch == 13 && mode_ != 0 && head) {
    if (!typed_.empty()) Apply();
    Close();
    return true;
  }
  if (ch == 27 && mode_ != 0 && head) {
    Close();
    return true;
  }
  return false;
}

void EntryBox::Apply() {
  const int value = static_cast<int>(std::strtod(typed_.c_str(), nullptr));
  if (mode_ == 1) {
    const int idx = RangeIndexForEntry(value, state_.Units);
    if (idx < 0)
      prompts_.Warning("Keyboard Range", state_.Units == 1 ? kRangeWarningFeet : kRangeWarningMeters);
    else
      state_.Range = idx;
    links_.range_changed();
    state_.ClearRequest = true;
    state_.SendRequest = true;
    links_.readouts_changed();  // the same pointer reads another distance at the new range
  } else if (mode_ == 2) {
    if (value < 0 || value > 40) {
      prompts_.Warning("Keyboard Gain", "Entered Gain is out of range!\nUse 0 to 40 dB");
    } else {
      state_.Gain = value;
      links_.panel_changed(2);
      state_.SendRequest = true;
    }
  }
}

void EntryBox::Close() {
  typed_.clear();
  mode_ = 0;
  Redraw();
}

void EntryBox::Redraw() {
  const Layout& L = layout_;
  surface_.UpdateRect(L.EntryX, L.EntryY, L.EntryX + 160, L.EntryY + L.LineH + 2);
}

std::string EntryBox::Text() const {
  if (mode_ == 0) return {};
  std::string s = mode_ == 1 ? "Range: " : "Gain: ";
  s += typed_.empty() ? "?" : typed_;
  if (mode_ == 1) s += state_.Units == 1 ? " FT" : " M";
  else s += " dB";
  return s;
}

void EntryBox::Paint(QPainter& p) {
  if (mode_ == 0) return;
  const Layout& L = layout_;
  const QString t = QString::fromStdString(Text());
  const int w = p.fontMetrics().horizontalAdvance(t) + 5;
  p.fillRect(QRect(L.EntryX, L.EntryY, w, L.LineH), picture_.Pal(123));
  p.setPen(Qt::black);
  p.drawText(L.EntryX + 2, L.EntryY + 1 + p.fontMetrics().ascent(), t);
}
